"""Which file of the content folder answers a request path."""

import mimetypes
import os
import re

from .bodies import file_body

# The programs ask for short fixed names; these are the files behind them.
FIXED_ROUTES = {
    "/V": "version.txt",
    "/U": "update.json",
    "/U.sig": "update.sig",  # the list's signature, written by the publishing tool with a key
    "/S": "status.txt",
    "/F": "software.json",
    # /D?id=N is documents/N.json, /F.sig and /D.sig?sha256=H are sigs/H.sig (content_name).
    "/new.html": "pages/new.html",
    "/url.html": "pages/url.html",
    "/GG.html": "pages/GG.html",
}

_FOLDER_ID = re.compile(r"[0-9A-Za-z_-]+\Z")
_SHA256 = re.compile(r"[0-9a-f]{64}\Z")

# The catalogues' signatures, kept under the SHA-256 of the body they sign.
SIGNATURE_ROUTES = ("/F.sig", "/D.sig")


def content_name(path, params):
    """The content-relative name ("documents/3.json") for a decoded request path, or None."""
    if path in FIXED_ROUTES:
        return FIXED_ROUTES[path]
    if path == "/D":
        folder = params.get("id", "")
        return f"documents/{folder}.json" if _FOLDER_ID.match(folder) else None
    if path in SIGNATURE_ROUTES:
        digest = params.get("sha256", "")
        return f"sigs/{digest}.sig" if _SHA256.match(digest) else None
    return safe_relative_name(path)


def safe_relative_name(path):
    """path without its leading slash, or None if it could reach outside the content folder."""
    if not path.startswith("/") or "\\" in path or "\0" in path:
        return None
    parts = path[1:].split("/")
    if any(part in ("", ".", "..") for part in parts):
        return None
    return "/".join(parts)


def guess_type(name):
    return mimetypes.guess_type(name, strict=False)[0] or "application/octet-stream"


class ContentFolder:
    def __init__(self, root):
        self.root = os.path.abspath(root)

    def body(self, name):
        """The body of the regular file called name, or None."""
        full = os.path.join(self.root, *name.split("/"))
        # Belt and braces: the name was already checked segment by segment.
        if os.path.commonpath([self.root, os.path.normpath(full)]) != self.root:
            return None
        return file_body(full)
