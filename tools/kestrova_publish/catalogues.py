"""The toolbox's catalogues and status text per taxpayer code, from files the maker edits:

    SOURCE/status.json                 {"default": "1", "<code>": "3", ...}
    SOURCE/default/software.json       the /F reply, {"data": [entries]}
    SOURCE/default/documents.json      {"<folder id>": [items], ...}, one /D reply per folder
    SOURCE/codes/<code>/...            the same files for one taxpayer code
    SOURCE/pages/                      new.html, url.html, GG.html
    anything else in SOURCE            files that entries name by a relative path

Icons, packages and documents named by a relative path are stored by content and named by
their URL. A code without a file of its own gets the default's. The set is written into a
new folder and switched into place with one link (tree/catalogue); the default catalogue is
also linked at the tree's root (software.json, documents/, status.txt, pages/) for servers
without routes, such as the reference server.

With the maker's key every reply is signed: each entry and document carries the "sha256"
and "bytes" of its file and each icon its "iconsha256", computed from the files themselves
(an absolute URL must bring its own), and sigs/<sha256 of the reply>.sig holds the
signature of each reply the set holds, kept for good as the files are."""

import hashlib
import json
import os
from urllib.parse import urlsplit

from . import tree as static_tree
from .rules import (FOLDER_ID, SHA256, TAXPAYER_CODE, PublishError, checked_base_url, name_problem,
                    signed_document_problem, signed_package_problem)
from .signing import load_private_key, sign_catalogue

# Names in the published set that no taxpayer code can take ("_" is not in a code).
DEFAULT = "_default"
PAGES = "_pages"
PAGE_NAMES = ("new.html", "url.html", "GG.html")
SIGNATURES = "sigs"
# Per reference key: the members a signed entry gets for its file (digest, length).
SIGNED_MEMBERS = {"url": ("sha256", "bytes"), "iocn": ("iconsha256", None)}


def publish_catalogues(tree, source, base_url, key_file=None):
    """Checks everything, then stores the files and switches the set; returns the codes.
    With key_file (the maker's private key, PEM) the replies are signed."""
    base_url = checked_base_url(base_url)
    key = load_private_key(key_file) if key_file is not None else None
    collector = _Collector(source, signed=key is not None)
    catalogues = {DEFAULT: collector.catalogue(os.path.join(source, "default"), "default")}
    codes_dir = os.path.join(source, "codes")
    for code in sorted(os.listdir(codes_dir)) if os.path.isdir(codes_dir) else []:
        if not TAXPAYER_CODE.match(code):
            collector.problems.append(f"codes/{code}: a taxpayer code is 1 to 32 letters and digits")
            continue
        catalogues[code] = collector.catalogue(os.path.join(codes_dir, code), f"codes/{code}")
    statuses = collector.statuses()
    pages = [name for name in PAGE_NAMES if os.path.isfile(os.path.join(source, "pages", name))]
    if collector.problems:
        raise PublishError("cannot publish the catalogues of " + source + ":\n  " + "\n  ".join(collector.problems))

    with static_tree.locked(tree):
        # Stored files are seen by no client until a catalogue names them.
        stored = {}
        for reference, path in collector.files.items():
            url_path, _, sha256, length = static_tree.store_file(tree, path, os.path.basename(path))
            stored[reference] = (base_url + url_path, sha256, length)
        replies = _replies(catalogues, stored, key is not None)
        if key is not None:
            _check_signed_addresses(replies)
        folder = static_tree.new_folder(tree, "catalogues")
        for code in catalogues:
            os.makedirs(os.path.join(folder, code, "documents"))
        for (code, name), (_, body) in replies.items():
            static_tree.write_file(os.path.join(folder, code, name), body)
        for code, text in statuses.items():
            os.makedirs(os.path.join(folder, code), exist_ok=True)
            static_tree.write_file(os.path.join(folder, code, "status.txt"), text.encode("utf-8"))
        os.makedirs(os.path.join(folder, PAGES))
        for name in pages:
            with open(os.path.join(source, "pages", name), "rb") as page:
                static_tree.write_file(os.path.join(folder, PAGES, name), page.read())
        if key is not None:
            _write_signatures(tree, key, replies.values())
        static_tree.switch_link(tree, "catalogue", folder)
        static_tree.link_into(tree, ("software.json", "documents", "status.txt"), f"catalogue/{DEFAULT}")
        static_tree.link_as(tree, "pages", f"catalogue/{PAGES}")
    return [code for code in catalogues if code != DEFAULT]


def _replies(catalogues, stored, signed):
    """{(code, file name in its folder): (what the signature names, body)} of every reply."""
    replies = {}
    for code, (software, documents) in catalogues.items():
        if software is not None:
            replies[(code, "software.json")] = ("F", _body(_resolved(software, ("iocn", "url"), stored, signed)))
        for folder_id, items in (documents or {}).items():
            # A signed folder names itself, so that two folders of the same items, or a folder
            # and a software catalogue, never share one body and so one signature's address.
            document = {"folder": folder_id, "data": items} if signed else {"data": items}
            replies[(code, f"documents/{folder_id}.json")] = (
                f"D {folder_id}", _body(_resolved(document, ("url",), stored, signed)))
    return replies


def _body(document):
    return (json.dumps(document, ensure_ascii=False, indent=1) + "\n").encode("utf-8")


def _resolved(document, keys, stored, signed):
    """A copy of document with each relative reference under keys replaced by its file's URL
    and, when signed, the file's digest and length added."""
    document = dict(document, data=[dict(entry) for entry in document["data"]])
    for entry in document["data"]:
        for key in keys:
            if entry.get(key) not in stored:
                continue
            url, sha256, size = stored[entry[key]]
            entry[key] = url
            if signed:
                digest_member, length_member = SIGNED_MEMBERS[key]
                entry[digest_member] = sha256
                if length_member:
                    entry[length_member] = size
    return document


def _check_signed_addresses(replies):
    """A signature's address is its body's SHA-256: two replies with one body must be the same reply."""
    seen = {}
    for (code, name), (what, body) in replies.items():
        digest = hashlib.sha256(body).hexdigest()
        if seen.setdefault(digest, (what, code, name))[0] != what:
            other = seen[digest]
            raise PublishError(f"{code}/{name} and {other[1]}/{other[2]} are the same bytes signed as "
                               f"{what!r} and {other[0]!r}: their signatures would share one address")


def _write_signatures(tree, key, replies):
    folder = os.path.join(tree, SIGNATURES)
    os.makedirs(folder, exist_ok=True)
    for what, body in replies:
        path = os.path.join(folder, hashlib.sha256(body).hexdigest() + ".sig")
        # Kept for good: caches may hold it forever, so an existing one is never replaced.
        if not os.path.exists(path):
            static_tree.write_file(path, sign_catalogue(key, what, body))


class _Collector:
    """Reads and checks the maker's files; gathers every problem and every named file."""

    def __init__(self, source, signed=False):
        self.source = source
        self.signed = signed
        self.problems = []
        self.files = {}  # relative reference -> path of the file in SOURCE
        if not os.path.isdir(os.path.join(source, "default")):
            self.problems.append(f"{source} has no folder default/ (the catalogues of every other code)")

    def catalogue(self, folder, label):
        software = self._json(os.path.join(folder, "software.json"), f"{label}/software.json")
        if software is not None:
            if not isinstance(software, dict) or not isinstance(software.get("data"), list):
                self.problems.append(f'{label}/software.json: the root is an object whose "data" is an array')
                software = None
            else:
                for index, entry in enumerate(software["data"]):
                    self._software_entry(entry, f"{label}/software.json entry {index}")
        documents = self._json(os.path.join(folder, "documents.json"), f"{label}/documents.json")
        if documents is not None:
            if not isinstance(documents, dict) or not all(isinstance(items, list) for items in documents.values()):
                self.problems.append(f"{label}/documents.json: the root maps folder ids to arrays of items")
                documents = None
            else:
                for folder_id, items in documents.items():
                    where = f"{label}/documents.json folder {folder_id!r}"
                    if not FOLDER_ID.match(folder_id):
                        self.problems.append(f"{where}: a folder id is 1 to 64 letters, digits, '_' or '-'")
                    for index, item in enumerate(items):
                        self._document_item(item, f"{where} item {index}")
        return software, documents

    def statuses(self):
        statuses = self._json(os.path.join(self.source, "status.json"), "status.json") or {}
        if not isinstance(statuses, dict) or not all(isinstance(text, str) for text in statuses.values()):
            self.problems.append('status.json: the root maps "default" and taxpayer codes to texts')
            return {}
        result = {}
        for code, text in statuses.items():
            if code != "default" and not TAXPAYER_CODE.match(code):
                self.problems.append(f"status.json: {code!r} is not a taxpayer code (1 to 32 letters and digits)")
            result[DEFAULT if code == "default" else code] = text
        return result

    def _json(self, path, label):
        if not os.path.exists(path):
            return None
        try:
            with open(path, "rb") as source:
                return json.loads(source.read().decode("utf-8"))
        except (OSError, ValueError) as error:
            self.problems.append(f"{label}: not JSON in UTF-8: {error}")
            return None

    def _software_entry(self, entry, where):
        if not isinstance(entry, dict):
            self.problems.append(f"{where}: not an object")
            return
        for key, suffix in (("name", ".png"), ("downname", "")):
            self._plain_name(entry, key, where, suffix)
        if self.signed and isinstance(entry.get("downname"), str):
            self._problem(where, "downname", entry["downname"], signed_package_problem(entry["downname"]))
        for key in ("iocn", "url"):
            self._reference(entry, key, where)

    def _document_item(self, item, where):
        if not isinstance(item, dict):
            self.problems.append(f"{where}: not an object")
            return
        kind = item.get("type", 0)
        if kind in (0, 10) and not FOLDER_ID.match(str(item.get("id", ""))):
            self.problems.append(f'{where}: a folder\'s "id" is 1 to 64 letters, digits, \'_\' or \'-\'')
        if kind == 1:
            self._plain_name(item, "name", where, "")
            if self.signed and isinstance(item.get("name"), str):
                self._problem(where, "name", item["name"], signed_document_problem(item["name"]))
            self._reference(item, "url", where)

    def _plain_name(self, entry, key, where, suffix):
        # The programs store the file under this name (the icon under name + ".png").
        name = entry.get(key)
        self._problem(where, key, name, name_problem(name + suffix) if isinstance(name, str) else "is missing or not a text")

    def _problem(self, where, key, value, problem):
        if problem:
            self.problems.append(f'{where}: "{key}" {value!r} {problem}')

    def _reference(self, entry, key, where):
        reference = entry.get(key)
        if not isinstance(reference, str):
            self.problems.append(f'{where}: "{key}" is missing or not a text')
            return
        if key == "iocn" and not reference:
            return
        if urlsplit(reference).scheme in ("http", "https"):
            if self.signed:
                self._signed_members(entry, key, where)
            return
        if reference in self.files:
            return
        path = os.path.normpath(os.path.join(self.source, reference))
        inside = os.path.commonpath([os.path.abspath(self.source), os.path.abspath(path)]) == os.path.abspath(self.source)
        if not reference or not inside or not os.path.isfile(path):
            self.problems.append(f'{where}: "{key}" {reference!r} is neither an http URL nor a file in {self.source}')
            return
        problem = name_problem(os.path.basename(path))
        if problem:
            self.problems.append(f'{where}: "{key}" {reference!r}: the file name {problem}')
            return
        self.files[reference] = path

    def _signed_members(self, entry, key, where):
        """A file the tool cannot hash: the source must name its digest (and length) itself."""
        digest_member, length_member = SIGNED_MEMBERS[key]
        digest = entry.get(digest_member)
        if not isinstance(digest, str) or not SHA256.match(digest):
            self.problems.append(f'{where}: "{key}" is an absolute URL, so the entry must carry its file\'s '
                                 f'"{digest_member}" (64 lowercase hexadecimal digits)')
        length = entry.get(length_member) if length_member else 0
        if length_member and (not isinstance(length, int) or isinstance(length, bool) or length < 0):
            self.problems.append(f'{where}: "{key}" is an absolute URL, so the entry must carry its file\'s '
                                 f'"{length_member}" (its length, a non-negative integer)')
