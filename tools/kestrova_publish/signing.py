"""The maker's signing key: making one, checking public keys, signing an update list.
Needs Debian's python3-cryptography (run the tools with /usr/bin/python3)."""

import base64
import os
import re
import struct
import subprocess

from .rules import PublishError

# What a signature covers: this, the version text, a line end and the list's exact bytes.
SIGNED_HEADER = b"KESTROVA-UPDATE-1\n"
# And for a catalogue reply: this, what it is ("F", or "D <folder id>"), a line end and its exact bytes.
SIGNED_CATALOGUE_HEADER = b"KESTROVA-CATALOGUE-1\n"
_PUBLIC_KEY = re.compile(r"[0-9A-Fa-f]{128}\Z")
_CNG_ECDSA_P256_PRIVATE_MAGIC = 0x32534345  # BCRYPT_ECDSA_PRIVATE_P256_MAGIC, "ECS2"


def sign_update(key, version_bytes, listing):
    """base64 of r||s (32 bytes each): ECDSA P-256 over SHA-256 of the signed message."""
    return _sign(key, SIGNED_HEADER + version_bytes + b"\n" + listing)


def sign_catalogue(key, what, body):
    """The signature of a catalogue reply: what is "F" or "D <folder id>", body its exact bytes."""
    return _sign(key, SIGNED_CATALOGUE_HEADER + what.encode("ascii") + b"\n" + body)


def _sign(key, message):
    from cryptography.hazmat.primitives import hashes
    from cryptography.hazmat.primitives.asymmetric import ec, utils

    der = key.sign(message, ec.ECDSA(hashes.SHA256()))
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
    repository = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
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
