"""Smaller forms of an update's files: each file compressed as one zstd frame ("zst"), and
binary patches from the versions of the file that recent releases published ("patches"),
made with Debian's zstd in long mode against the old file as its raw-content prefix. Both
are stored by content like the files themselves. The updater takes them from signed lists
only, and fetches the whole file when neither works."""

import json
import os
import shutil
import subprocess
import tempfile

from . import tree as static_tree
from .rules import SHA256, PublishError

# The updater's decoder accepts a window of 2^27 bytes; a patch must reach from the end of
# the file back to the start of its base, so the two together may not be longer.
WINDOW_LOG = 27
MAX_PATCH_SPAN = 1 << WINDOW_LOG
_LEVEL = "-19"


def zstd_tool():
    tool = shutil.which("zstd")
    if tool is None:
        raise PublishError("Debian's zstd is needed to compress files and make patches "
                           "(apt-get install zstd), or publish with --no-compress --deltas 0")
    return tool


def compressed_member(tree, source_path, name, base_url, work):
    """The "zst" member: the file as one zstd frame, stored by content; None when the frame
    is no smaller than the file (compressed already), which would only cost a decode."""
    frame = os.path.join(work, "whole.zst")
    _run_zstd([_LEVEL, f"--long={WINDOW_LOG}", source_path, "-o", frame])
    if os.path.getsize(frame) >= os.path.getsize(source_path):
        return None
    return _stored_member(tree, frame, name + ".zst", base_url)


def patch_members(tree, source_path, name, sha256, base_url, work, releases, log):
    """The "patches" member: a patch to this file from each other version of it that the
    given releases (update lists, newest first) published."""
    size = os.path.getsize(source_path)
    members = []
    for base_sha256 in _bases(tree, name, sha256, releases):
        base = os.path.join(tree, static_tree.FILES, base_sha256, name)
        if not os.path.isfile(base):
            log(f"{name}: the published version {base_sha256[:12]} is gone from the tree; no patch from it")
            continue
        if os.path.getsize(base) + size > MAX_PATCH_SPAN:
            log(f"{name}: no patch from {base_sha256[:12]}: the base and the file together exceed "
                f"{MAX_PATCH_SPAN >> 20} MiB, the window the updater decodes")
            continue
        patch = os.path.join(work, f"from-{base_sha256}.zst")
        _run_zstd([_LEVEL, f"--long={WINDOW_LOG}", f"--patch-from={base}", source_path, "-o", patch])
        member = _stored_member(tree, patch, f"{name}.{base_sha256[:12]}.patch", base_url)
        members.append({"from": base_sha256, **member})
    return members


def recent_listings(tree, count):
    """The update lists of the last count publications, newest first."""
    releases = os.path.join(tree, "releases")
    if count <= 0 or not os.path.isdir(releases):
        return []
    folders = sorted((entry for entry in os.listdir(releases) if entry.isdigit()), reverse=True)[:count]
    listings = []
    for folder in folders:
        listing = static_tree.read_or_none(os.path.join(releases, folder, "update.json"))
        if listing is not None:
            listings.append(json.loads(listing))
    return listings


def work_folder():
    return tempfile.TemporaryDirectory(prefix="kestrova-publish-")


def _bases(tree, name, sha256, releases):
    """The SHA-256 of each earlier version of the file, newest first, each once."""
    seen = []
    for listing in releases:
        for entry in listing:
            if entry.get("name") != name:
                continue
            digest = entry.get("sha256") or _digest_in_url(entry.get("url", ""))
            if digest and digest != sha256 and digest not in seen:
                seen.append(digest)
    return seen


def _digest_in_url(url):
    """Lists published without SHA-256 still name it: files live under files/<sha256>/."""
    parts = url.split("/")
    for i, part in enumerate(parts[:-1]):
        if part == static_tree.FILES and SHA256.match(parts[i + 1]):
            return parts[i + 1]
    return None


def _stored_member(tree, path, stored_name, base_url):
    url_path, _, sha256, _ = static_tree.store_file(tree, path, stored_name)
    return {"url": base_url + url_path, "bytes": os.path.getsize(path), "sha256": sha256}


def _run_zstd(arguments):
    # One thread, so that the same input gives the same frame on every machine.
    command = [zstd_tool(), "-q", "-f", "-T1", "--no-progress", *arguments]
    result = subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    if result.returncode != 0:
        raise PublishError(f"zstd failed ({' '.join(command[1:])}): {result.stderr.decode(errors='replace').strip()}")
