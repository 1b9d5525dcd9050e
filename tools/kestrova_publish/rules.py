"""What the programs accept: version texts, file names, taxpayer codes and folder ids.
Anything published that breaks these rules would be fetched at every logon and abandoned."""

import re


class PublishError(Exception):
    """Bad input; nothing the clients can see has changed when this is raised."""


# The characters nginx lets through in a taxpayer code and a folder id (the same patterns
# are in the nginx configuration): anything else cannot name a file of the tree.
TAXPAYER_CODE = re.compile(r"[0-9A-Za-z]{1,32}\Z")
FOLDER_ID = re.compile(r"[0-9A-Za-z_-]{1,64}\Z")

_DEVICE_STEMS = {"CON", "PRN", "AUX", "NUL"} | {f"{port}{n}" for port in ("COM", "LPT") for n in range(10)}
_RESERVED_CHARACTERS = set('<>:"/\\|?*')


def version_problem(version_bytes):
    """Why the updater would not take this /V text as a version, or None. It records a
    version only when "sys.ini" reads it back unchanged."""
    if not version_bytes:
        return "the version must not be empty"
    for byte in version_bytes:
        if byte < 0x20 or byte == 0x7F:
            return "the version must not hold a line end or another control character"
        if byte in b" []=":
            return "the version must not hold a space, '[', ']' or '='"
    return None


def sorts_after(new_version, published_version):
    """The updater's rule: bytes compared from the left, a proper prefix is the older text."""
    return new_version > published_version


def name_problem(name, in_update_list=False):
    """Why name is not a plain Windows file name the programs can store, or None.
    in_update_list: the updater converts the list to code page 936 before parsing it, so a
    double-byte character whose trail byte is 0x5C would read as a JSON escape."""
    if name in ("", ".", ".."):
        return "not a file name"
    if any(ord(c) < 0x20 or ord(c) == 0x7F or c in _RESERVED_CHARACTERS for c in name):
        return 'holds a control character or one of <>:"/\\|?*'
    if name[-1] in ". ":
        return "ends in a dot or a space"
    if name.split(".", 1)[0].rstrip(" ").upper() in _DEVICE_STEMS:
        return "is a Windows device name"
    try:
        ansi = name.encode("cp936")
    except UnicodeEncodeError:
        return "is not representable in code page 936, the users' code page"
    if in_update_list and b"\\" in ansi:
        return "holds a character whose code page 936 form has the byte 0x5C"
    return None


def checked_base_url(base_url):
    if not re.match(r"https?://[^/?#\s]+(/[^?#\s]*)?\Z", base_url):
        raise PublishError(f"the base URL is the programs' server address, such as "
                           f"http://updates.example.com, not {base_url!r}")
    return base_url.rstrip("/")
