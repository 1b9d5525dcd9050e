#!/usr/bin/env python3
"""Publishes a release folder as an update set in a content folder: the files under
<content><files-path>/, update.json listing them with MD5s, and version.txt; signed with
the maker's key when one is given (--key): SHA-256s in the list and update.sig beside it.

    publish_update.py keygen --out FILE      makes a signing key and prints its public half
    publish_update.py check-key HEX[,HEX]    checks public keys as a build takes them"""

import argparse
import base64
import hashlib
import json
import os
import re
import struct
import subprocess
import sys
import tempfile
from urllib.parse import quote

DEFAULT_FILES_PATH = "/files/update"
_FORBIDDEN_IN_NAMES = ("\\", "/", ":")
_COPY_CHUNK = 1024 * 1024
# What a signature covers: this, the version text, a line end and the list's exact bytes.
SIGNED_HEADER = b"KESTROVA-UPDATE-1\n"
_PUBLIC_KEY = re.compile(r"[0-9A-Fa-f]{128}\Z")
_CNG_ECDSA_P256_PRIVATE_MAGIC = 0x32534345  # BCRYPT_ECDSA_PRIVATE_P256_MAGIC, "ECS2"


class PublishError(Exception):
    """Bad input; nothing has been written when this is raised."""


def publish(release_dir, version, content_dir, base_url, files_path=DEFAULT_FILES_PATH, key_file=None):
    """Publishes release_dir into content_dir and returns the entries written to update.json.
    With key_file (a private key in PEM) the set is signed."""
    version_bytes = version if isinstance(version, bytes) else os.fsencode(version)
    if not version_bytes:
        raise PublishError("the version must not be empty")
    key = None
    if key_file is not None:
        # The signature binds the version text the updater records; a control character in
        # it (a line end above all) could move bytes between the version and the list.
        if any(byte < 0x20 or byte == 0x7F for byte in version_bytes):
            raise PublishError("a signed version must not hold line ends or other control characters")
        key = load_private_key(key_file)
    base_url = _checked_base_url(base_url)
    files_path = _checked_files_path(files_path)
    names = _release_file_names(release_dir)

    target = os.path.join(content_dir, *files_path[1:].split("/"))
    os.makedirs(target, exist_ok=True)
    entries = []
    for name in names:
        md5, sha256 = _copy_with_digests(os.path.join(release_dir, name), os.path.join(target, name))
        url = f"{base_url}{quote(files_path)}/{quote(name, safe='')}"
        # The updater checks each downloaded file against "id"; "md5" repeats it for people.
        entry = {"id": md5, "name": name, "url": url, "md5": md5}
        if key is not None:
            entry["sha256"] = sha256
        entries.append(entry)

    listing = (json.dumps(entries, ensure_ascii=False, indent=2) + "\n").encode("utf-8")
    _write_replacing(os.path.join(content_dir, "update.json"), listing)
    signature_path = os.path.join(content_dir, "update.sig")
    if key is not None:
        _write_replacing(signature_path, sign_update(key, version_bytes, listing))
    elif os.path.exists(signature_path):
        os.unlink(signature_path)  # it would only ever fail against the new list
    # The version goes last: a client that sees it finds the list and the files in place.
    _write_replacing(os.path.join(content_dir, "version.txt"), version_bytes)
    return entries


def sign_update(key, version_bytes, listing):
    """base64 of r||s (32 bytes each): ECDSA P-256 over SHA-256 of the signed message."""
    from cryptography.hazmat.primitives import hashes
    from cryptography.hazmat.primitives.asymmetric import ec, utils

    der = key.sign(SIGNED_HEADER + version_bytes + b"\n" + listing, ec.ECDSA(hashes.SHA256()))
    r, s = utils.decode_dss_signature(der)
    return base64.b64encode(r.to_bytes(32, "big") + s.to_bytes(32, "big"))


def load_private_key(path):
    from cryptography.hazmat.primitives import serialization
    from cryptography.hazmat.primitives.asymmetric import ec

    try:
        with open(path, "rb") as pem:
            key = serialization.load_pem_private_key(pem.read(), password=None)
    except (OSError, ValueError, TypeError) as error:
        raise PublishError(f"cannot read the private key {path}: {error}") from None
    if not isinstance(key, ec.EllipticCurvePrivateKey) or not isinstance(key.curve, ec.SECP256R1):
        raise PublishError(f"{path} is not a P-256 key (make one with: publish_update.py keygen)")
    return key


def public_key_hex(key):
    """X||Y as 128 lowercase hexadecimal digits, as KESTROVA_UPDATE_KEY takes it."""
    numbers = key.public_key().public_numbers()
    return (numbers.x.to_bytes(32, "big") + numbers.y.to_bytes(32, "big")).hex()


def keygen(out_path, cng_out_path=None):
    """Writes a new private key (PEM, readable by its owner only) and returns its public hex.
    cng_out_path also gets the key as a CNG private key blob (BCRYPT_ECCPRIVATE_BLOB: the
    P-256 ECDSA header, then X, Y and d), for test programs that sign with CNG."""
    from cryptography.hazmat.primitives import serialization
    from cryptography.hazmat.primitives.asymmetric import ec

    for path in filter(None, (out_path, cng_out_path)):
        if _inside_repository(path):
            raise PublishError(f"{path} is inside the repository, where a private key could be committed")
        if os.path.lexists(path):
            raise PublishError(f"{path} exists already; a key is never overwritten")
    key = ec.generate_private_key(ec.SECP256R1())
    pem = key.private_bytes(serialization.Encoding.PEM, serialization.PrivateFormat.PKCS8,
                            serialization.NoEncryption())
    _write_new_private(out_path, pem)
    if cng_out_path:
        header = struct.pack("<II", _CNG_ECDSA_P256_PRIVATE_MAGIC, 32)
        d = key.private_numbers().private_value.to_bytes(32, "big")
        _write_new_private(cng_out_path, header + bytes.fromhex(public_key_hex(key)) + d)
    return public_key_hex(key)


def check_public_keys(text):
    """Refuses anything but one or two public keys (comma-separated) that lie on P-256."""
    from cryptography.hazmat.primitives.asymmetric import ec

    keys = text.split(",")
    if not 1 <= len(keys) <= 2 or not all(_PUBLIC_KEY.match(key) for key in keys):
        raise PublishError("a key is X||Y as 128 hexadecimal digits; two are separated by a comma")
    for key in keys:
        raw = bytes.fromhex(key)
        try:
            ec.EllipticCurvePublicKey.from_encoded_point(ec.SECP256R1(), b"\x04" + raw)
        except ValueError:
            raise PublishError(f"{key} is not a point of P-256") from None


def _inside_repository(path):
    """Whether path lies in this tool's repository and git would not ignore it there."""
    repository = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    target = os.path.abspath(path)
    if os.path.commonpath([repository, target]) != repository:
        return False
    try:
        ignored = subprocess.run(["git", "-C", repository, "check-ignore", "-q", target], capture_output=True)
    except OSError:
        return True
    return ignored.returncode != 0


def _write_new_private(path, data):
    """Creates path for its owner alone; never replaces an existing key."""
    try:
        handle = os.open(path, os.O_WRONLY | os.O_CREAT | os.O_EXCL, 0o600)
    except OSError as error:
        raise PublishError(f"cannot create {path}: {error.strerror}") from None
    with os.fdopen(handle, "wb") as target:
        target.write(data)


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


def _copy_with_digests(source_path, target_path):
    """Copies the file and returns its MD5 and SHA-256 in hexadecimal."""
    md5, sha256 = hashlib.md5(), hashlib.sha256()
    with open(source_path, "rb") as source, _replacing(target_path) as target:
        while block := source.read(_COPY_CHUNK):
            md5.update(block)
            sha256.update(block)
            target.write(block)
    return md5.hexdigest(), sha256.hexdigest()


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


def keygen_main(argv):
    parser = argparse.ArgumentParser(prog="publish_update.py keygen",
                                     description="Make a signing key; print its public half for KESTROVA_UPDATE_KEY.")
    parser.add_argument("--out", required=True, help="the private key file (PEM) to create, outside the repository")
    parser.add_argument("--cng-out", help="also write the key here as a CNG private key blob (for tests)")
    args = parser.parse_args(argv)
    try:
        print(keygen(args.out, args.cng_out))
    except PublishError as error:
        print(f"publish_update: {error}", file=sys.stderr)
        return 2
    return 0


def check_key_main(argv):
    parser = argparse.ArgumentParser(prog="publish_update.py check-key",
                                     description="Check public keys (current[,next]) as a build takes them.")
    parser.add_argument("keys")
    args = parser.parse_args(argv)
    try:
        check_public_keys(args.keys)
    except PublishError as error:
        print(f"publish_update: {error}", file=sys.stderr)
        return 2
    return 0


def main(argv=None):
    argv = sys.argv[1:] if argv is None else argv
    commands = {"keygen": keygen_main, "check-key": check_key_main}
    if argv and argv[0] in commands:
        return commands[argv[0]](argv[1:])
    parser = argparse.ArgumentParser(description="Publish a release folder as an update set.",
                                     epilog="Other commands: keygen --out FILE; check-key HEX[,HEX].")
    parser.add_argument("--release", required=True, help="folder holding the update's files (flat)")
    parser.add_argument("--version", required=True, help="version text, stored byte for byte")
    parser.add_argument("--content", required=True, help="the server's content folder")
    parser.add_argument("--base-url", required=True, help="scheme and host the clients use")
    parser.add_argument("--files-path", default=DEFAULT_FILES_PATH, help="URL path of the files")
    parser.add_argument("--key", help="the maker's private key (PEM): sign the set")
    args = parser.parse_args(argv)
    try:
        entries = publish(args.release, args.version, args.content, args.base_url, args.files_path, args.key)
    except PublishError as error:
        print(f"publish_update: {error}", file=sys.stderr)
        return 2
    signed = ", signed" if args.key else ""
    print(f"published {len(entries)} files as version {args.version!r}{signed}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
