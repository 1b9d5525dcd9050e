"""An update release in the tree: its files stored by content, then version.txt,
update.json and update.sig (served as /V, /U, /U.sig) in a new folder that one link
switches to, so the three always change together."""

import json
import os
import sys

from . import deltas as smaller_forms
from . import tree as static_tree
from .rules import PublishError, checked_base_url, name_problem, sorts_after, version_problem
from .signing import load_private_key, sign_update

UPDATE_ROUTE_FILES = ("version.txt", "update.json", "update.sig")


def publish_release(tree, release_dir, version, base_url, key_file=None, force=False, deltas=3, compress=True,
                    log=None):
    """Publishes the flat folder release_dir as version; returns the update list's entries.
    With key_file (the maker's private key, PEM) the set is signed, and each file is also
    offered compressed (compress) and as patches from its versions in the last deltas
    publications; updaters take those from signed lists only."""
    version_bytes = _checked_version(version)
    base_url = checked_base_url(base_url)
    names = _release_file_names(release_dir)
    key = load_private_key(key_file) if key_file is not None else None
    smaller = key is not None and (compress or deltas > 0)
    if smaller:
        smaller_forms.zstd_tool()
    log = log or (lambda line: print(line, file=sys.stderr))
    with static_tree.locked(tree), smaller_forms.work_folder() as work:
        _check_order(tree, version_bytes, force)
        earlier = smaller_forms.recent_listings(tree, deltas) if key is not None else []
        entries = []
        for name in names:
            source = os.path.join(release_dir, name)
            path, md5, sha256, length = static_tree.store_file(tree, source, name)
            # The updater checks each download against "id"; "md5" repeats it for people. It
            # stops a transfer that brings more than "bytes"; older updaters ignore it.
            entry = {"id": md5, "name": name, "url": base_url + path, "md5": md5, "bytes": length}
            if key is not None:
                entry["sha256"] = sha256
            if smaller and compress:
                frame = smaller_forms.compressed_member(tree, source, name, base_url, work)
                if frame is not None:
                    entry["zst"] = frame
            if smaller and deltas > 0:
                patches = smaller_forms.patch_members(tree, source, name, sha256, base_url, work, earlier, log)
                if patches:
                    entry["patches"] = patches
            entries.append(entry)
        listing = (json.dumps(entries, ensure_ascii=False, indent=2) + "\n").encode("utf-8")
        _switch_release(tree, version_bytes, listing, key)
    return entries


def republish(tree, old_version, version, key_file=None, force=False):
    """Publishes the list of an earlier release again under a new version: installations
    never go back by themselves, so going back is a new version with the old files."""
    version_bytes = _checked_version(version)
    old_bytes = os.fsencode(old_version)
    key = load_private_key(key_file) if key_file is not None else None
    with static_tree.locked(tree):
        listing = _listing_of(tree, old_bytes)
        entries = json.loads(listing)
        if key is not None and not all("sha256" in entry for entry in entries):
            raise PublishError(f"release {old_version!r} was published without SHA-256 digests; "
                               "publish its files again with the release command to sign them")
        _check_order(tree, version_bytes, force)
        _switch_release(tree, version_bytes, listing, key)
    return entries


def published_version(tree):
    return static_tree.read_or_none(os.path.join(tree, "current", "version.txt"))


def _checked_version(version):
    version_bytes = version if isinstance(version, bytes) else os.fsencode(version)
    problem = version_problem(version_bytes)
    if problem:
        raise PublishError(f"{problem}: {version_bytes!r}")
    return version_bytes


def _check_order(tree, version_bytes, force):
    published = published_version(tree)
    if published is None or force or sorts_after(version_bytes, published):
        return
    raise PublishError(
        f"version {version_bytes.decode(errors='replace')!r} does not sort after the published "
        f"{published.decode(errors='replace')!r}: installations compare versions byte by byte "
        f"from the left (so 1.0.10 sorts before 1.0.9) and would never update; give every part "
        f"the same width (1.0.09, 1.0.10), or --force to publish it all the same")


def _switch_release(tree, version_bytes, listing, key):
    folder = static_tree.new_folder(tree, "releases")
    static_tree.write_file(os.path.join(folder, "update.json"), listing)
    if key is not None:
        static_tree.write_file(os.path.join(folder, "update.sig"), sign_update(key, version_bytes, listing))
    static_tree.write_file(os.path.join(folder, "version.txt"), version_bytes)
    static_tree.switch_link(tree, "current", folder)
    static_tree.link_into(tree, UPDATE_ROUTE_FILES, "current")


def _listing_of(tree, old_bytes):
    """update.json of the latest release folder published as that version."""
    releases = os.path.join(tree, "releases")
    folders = sorted(os.listdir(releases), reverse=True) if os.path.isdir(releases) else []
    for folder in folders:
        path = os.path.join(releases, folder)
        if static_tree.read_or_none(os.path.join(path, "version.txt")) == old_bytes:
            return static_tree.read_or_none(os.path.join(path, "update.json"))
    raise PublishError(f"no release of version {old_bytes.decode(errors='replace')!r} in {tree}")


def _release_file_names(release_dir):
    """The release's file names, sorted; every problem is reported before anything is written."""
    if not os.path.isdir(release_dir):
        raise PublishError(f"the release folder {release_dir} does not exist")
    names = sorted(os.listdir(release_dir))
    if not names:
        raise PublishError(f"the release folder {release_dir} is empty")
    problems = []
    for name in names:
        path = os.path.join(release_dir, name)
        problem = name_problem(name, in_update_list=True)
        if problem:
            problems.append(f"{name!r}: the file name {problem}")
        elif os.path.isdir(path):
            problems.append(f"{name}: subfolders are not supported; the update set is one flat folder")
        elif not os.path.isfile(path):
            problems.append(f"{name}: not a regular file")
    if problems:
        raise PublishError("cannot publish " + release_dir + ":\n  " + "\n  ".join(problems))
    return names
