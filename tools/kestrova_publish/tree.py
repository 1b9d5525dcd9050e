"""The static tree the server serves. Files live under their SHA-256, so an address never
changes its content and caches may keep it forever. Files that belong together (the
version, the update list and its signature; a catalogue set) are written into a new
numbered folder and switched into place by replacing one link, so that a server never
serves half of a publication.

    files/<sha256>/<name>      every published file, kept for good
    releases/<n>/              version.txt, update.json, update.sig of one publication
    current -> releases/<n>
    catalogues/<n>/            the catalogue set of one publication
    catalogue -> catalogues/<n>
    version.txt, update.json, update.sig -> current/...   (for servers without routes)"""

import contextlib
import fcntl
import hashlib
import os
import tempfile
from urllib.parse import quote

from .rules import PublishError

FILES = "files"
_COPY_CHUNK = 1024 * 1024


@contextlib.contextmanager
def locked(tree):
    """One publication at a time: the order check and the switch must see the same tree."""
    os.makedirs(tree, exist_ok=True)
    with open(os.path.join(tree, ".publish.lock"), "a") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        yield


def read_or_none(path):
    try:
        with open(path, "rb") as stored:
            return stored.read()
    except FileNotFoundError:
        return None


def write_file(path, data):
    """Written beside path and renamed over it, so readers never see half of it."""
    handle, temporary = tempfile.mkstemp(prefix=".publish-", dir=os.path.dirname(path) or ".")
    try:
        with os.fdopen(handle, "wb") as target:
            target.write(data)
        os.chmod(temporary, 0o644)
        os.replace(temporary, path)
    except BaseException:
        with contextlib.suppress(FileNotFoundError):
            os.unlink(temporary)
        raise


def store_file(tree, source_path, name):
    """Puts the file under files/<sha256>/<name> (once) and returns (path, md5, sha256, length),
    the path relative to the tree's root in URL form, name percent-encoded; the digests and
    the length are of the bytes stored."""
    incoming = os.path.join(tree, FILES)
    os.makedirs(incoming, exist_ok=True)
    md5, sha256 = hashlib.md5(), hashlib.sha256()
    length = 0
    handle, temporary = tempfile.mkstemp(prefix=".incoming-", dir=incoming)
    try:
        with open(source_path, "rb") as source, os.fdopen(handle, "wb") as target:
            while block := source.read(_COPY_CHUNK):
                md5.update(block)
                sha256.update(block)
                length += len(block)
                target.write(block)
        os.chmod(temporary, 0o644)
        folder = os.path.join(incoming, sha256.hexdigest())
        os.makedirs(folder, exist_ok=True)
        final = os.path.join(folder, name)
        if os.path.exists(final):
            os.unlink(temporary)  # the same bytes under the same name: already published
        else:
            os.replace(temporary, final)
    except BaseException:
        with contextlib.suppress(FileNotFoundError):
            os.unlink(temporary)
        raise
    return f"/{FILES}/{sha256.hexdigest()}/{quote(name, safe='')}", md5.hexdigest(), sha256.hexdigest(), length


def new_folder(tree, kind):
    """A fresh folder kind/<n>, n one above the highest there."""
    parent = os.path.join(tree, kind)
    os.makedirs(parent, exist_ok=True)
    numbers = [int(entry) for entry in os.listdir(parent) if entry.isdigit()]
    number = max(numbers, default=0) + 1
    while True:
        path = os.path.join(parent, f"{number:06d}")
        try:
            os.mkdir(path)
            return path
        except FileExistsError:
            number += 1


def switch_link(tree, link_name, folder):
    """Points tree/link_name at folder in one step (a new link renamed over the old one)."""
    target = os.path.relpath(folder, tree)
    temporary = os.path.join(tree, f".{link_name}.new")
    with contextlib.suppress(FileNotFoundError):
        os.unlink(temporary)
    os.symlink(target, temporary)
    os.replace(temporary, os.path.join(tree, link_name))


def link_into(tree, names, link_name):
    """tree/<name> -> link_name/<name> for each name, replacing what is there: servers that
    map routes to plain file names follow the switched link through them."""
    for name in names:
        link_as(tree, name, f"{link_name}/{name}")


def link_as(tree, name, wanted):
    """tree/<name> -> wanted (relative to the tree), replacing a link or file there."""
    path = os.path.join(tree, name)
    if os.path.islink(path) and os.readlink(path) == wanted:
        return
    if os.path.isdir(path) and not os.path.islink(path):
        raise PublishError(f"{path} is a folder; it cannot become the link to {wanted}")
    temporary = path + ".new-link"
    with contextlib.suppress(FileNotFoundError):
        os.unlink(temporary)
    os.symlink(wanted, temporary)
    os.replace(temporary, path)
