#!/usr/bin/env python3
"""Publishes a release folder as an update set in a content folder: the files under
<content><files-path>/, update.json listing them with MD5s, and version.txt."""

import argparse
import hashlib
import json
import os
import sys
import tempfile
from urllib.parse import quote

DEFAULT_FILES_PATH = "/files/update"
_FORBIDDEN_IN_NAMES = ("\\", "/", ":")
_COPY_CHUNK = 1024 * 1024


class PublishError(Exception):
    """Bad input; nothing has been written when this is raised."""


def publish(release_dir, version, content_dir, base_url, files_path=DEFAULT_FILES_PATH):
    """Publishes release_dir into content_dir and returns the entries written to update.json."""
    version_bytes = version if isinstance(version, bytes) else os.fsencode(version)
    if not version_bytes:
        raise PublishError("the version must not be empty")
    base_url = _checked_base_url(base_url)
    files_path = _checked_files_path(files_path)
    names = _release_file_names(release_dir)

    target = os.path.join(content_dir, *files_path[1:].split("/"))
    os.makedirs(target, exist_ok=True)
    entries = []
    for name in names:
        digest = _copy_with_md5(os.path.join(release_dir, name), os.path.join(target, name))
        url = f"{base_url}{quote(files_path)}/{quote(name, safe='')}"
        # The updater checks each downloaded file against "id"; "md5" repeats it for people.
        entries.append({"id": digest, "name": name, "url": url, "md5": digest})

    listing = json.dumps(entries, ensure_ascii=False, indent=2) + "\n"
    _write_replacing(os.path.join(content_dir, "update.json"), listing.encode("utf-8"))
    # The version goes last: a client that sees it finds the list and the files in place.
    _write_replacing(os.path.join(content_dir, "version.txt"), version_bytes)
    return entries


def _checked_base_url(base_url):
    if not base_url.startswith(("http://", "https://")):
        raise PublishError(f"the base URL must start with http:// or https://, not {base_url!r}")
    return base_url.rstrip("/")


def _checked_files_path(files_path):
    path = files_path.rstrip("/")
    parts = path[1:].split("/")
    if not path.startswith("/") or "\\" in path or any(part in ("", ".", "..") for part in parts):
        raise PublishError(f"the files path must look like /files/update, not {files_path!r}")
    return path


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
        if name in (".", "..") or any(mark in name for mark in _FORBIDDEN_IN_NAMES):
            problems.append(f"{name!r}: a file name must not contain \\, / or :")
        elif not _is_utf8(name):
            problems.append(f"{name!r}: the file name is not valid UTF-8")
        elif os.path.isdir(path):
            problems.append(f"{name}: subfolders are not supported; the update set is one flat folder")
        elif not os.path.isfile(path):
            problems.append(f"{name}: not a regular file")
    if problems:
        raise PublishError("cannot publish " + release_dir + ":\n  " + "\n  ".join(problems))
    return names


def _is_utf8(name):
    try:
        name.encode("utf-8")
    except UnicodeEncodeError:  # undecodable bytes come back from listdir as lone surrogates
        return False
    return True


def _copy_with_md5(source_path, target_path):
    digest = hashlib.md5()
    with open(source_path, "rb") as source, _replacing(target_path) as target:
        while block := source.read(_COPY_CHUNK):
            digest.update(block)
            target.write(block)
    return digest.hexdigest()


def _write_replacing(path, data):
    with _replacing(path) as target:
        target.write(data)


class _replacing:
    """A file written beside path and renamed over it on success, so readers never see half of it."""

    def __init__(self, path):
        self._path = path
        handle, self._temporary = tempfile.mkstemp(prefix=".publish-", dir=os.path.dirname(path) or ".")
        self._file = os.fdopen(handle, "wb")

    def __enter__(self):
        return self._file

    def __exit__(self, kind, value, trace):
        self._file.close()
        if kind is None:
            os.chmod(self._temporary, 0o644)
            os.replace(self._temporary, self._path)
        else:
            os.unlink(self._temporary)
        return False


def main(argv=None):
    parser = argparse.ArgumentParser(description="Publish a release folder as an update set.")
    parser.add_argument("--release", required=True, help="folder holding the update's files (flat)")
    parser.add_argument("--version", required=True, help="version text, stored byte for byte")
    parser.add_argument("--content", required=True, help="the server's content folder")
    parser.add_argument("--base-url", required=True, help="scheme and host the clients use")
    parser.add_argument("--files-path", default=DEFAULT_FILES_PATH, help="URL path of the files")
    args = parser.parse_args(argv)
    try:
        entries = publish(args.release, args.version, args.content, args.base_url, args.files_path)
    except PublishError as error:
        print(f"publish_update: {error}", file=sys.stderr)
        return 2
    print(f"published {len(entries)} files as version {args.version!r}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
