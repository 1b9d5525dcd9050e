"""What the programs accept: version texts, file names, taxpayer codes and folder ids.
Anything published that breaks these rules would be fetched at every logon and abandoned."""

import re


class PublishError(Exception):
    """Bad input; nothing the clients can see has changed when this is raised."""


# The characters nginx lets through in a taxpayer code and a folder id (the same patterns
# are in the nginx configuration): anything else cannot name a file of the tree.
TAXPAYER_CODE = re.compile(r"[0-9A-Za-z]{1,32}\Z")
FOLDER_ID = re.compile(r"[0-9A-Za-z_-]{1,64}\Z")

SHA256 = re.compile(r"[0-9a-f]{64}\Z")

# The types the shell runs as code rather than opening them as documents, as the toolbox
# knows them (shared/file_names.cpp, IsProgramFileName; a test keeps the two lists equal).
PROGRAM_TYPES = frozenset((
    "ade", "adp", "app", "application", "appref-ms", "appx", "appxbundle", "asp", "bas", "bat",
    "cer", "chm", "cmd", "cnt", "com", "cpl", "crt", "csh", "der", "diagcab", "diagcfg", "diagpkg",
    "dll", "drv", "exe", "fxp", "gadget", "grp", "hlp", "hpj", "hta", "htt", "inf", "ins", "iqy",
    "isp", "its", "jar", "jnlp", "js", "jse", "ksh", "library-ms", "lnk", "mad", "maf", "mag",
    "mam", "maq", "mar", "mas", "mat", "mau", "mav", "maw", "mcf", "mda", "mdb", "mde", "mdt",
    "mdw", "mdz", "msc", "msh", "msh1", "msh1xml", "msh2", "msh2xml", "mshxml", "msi", "msix",
    "msixbundle", "msp", "mst", "ocx", "ops", "osd", "pcd", "pif", "pl", "plg", "prf", "prg",
    "printerexport", "ps1", "ps1xml", "ps2", "ps2xml", "psc1", "psc2", "psd1", "psm1", "pssc",
    "pst", "py", "pyc", "pyo", "pyw", "pyz", "pyzw", "rb", "reg", "scf", "scr", "sct", "search-ms",
    "searchconnector-ms", "settingcontent-ms", "shb", "shs", "slk", "sys", "theme", "themepack",
    "tmp", "url", "vb", "vbe", "vbp", "vbs", "vhd", "vhdx", "vsmacros", "vsw", "webpnp", "website",
    "ws", "wsb", "wsc", "wsf", "wsh", "xbap", "xll", "xnk",
))

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


def signed_package_problem(downname):
    """Why a signed catalogue cannot offer a package of this file name, or None: the toolbox
    starts only ".exe" files itself, never through a shell handler."""
    return None if downname.endswith(".exe") and len(downname) > 4 else 'does not end in ".exe"'


def signed_document_problem(name):
    """Why a signed catalogue cannot offer a document of this name, or None."""
    extension = name.rsplit(".", 1)[1].lower() if "." in name else ""
    return f'is of the type ".{extension}", which the shell would run, not open' if extension in PROGRAM_TYPES else None
