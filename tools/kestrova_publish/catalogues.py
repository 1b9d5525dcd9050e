"""The toolbox's catalogues and status text per taxpayer code, from files the maker edits:

    SOURCE/status.json                 {"default": "1", "<code>": "3", ...}
    SOURCE/default/software.json       the /F reply, {"data": [entries]}
    SOURCE/default/documents.json      {"<folder id>": [items], ...}, one /D reply per folder
    SOURCE/codes/<code>/...            the same files for one taxpayer code
    SOURCE/pages/                      new.html, url.html, GG.html
    anything else in SOURCE            files that entries name by a relative path

Icons, packages and documents named by a relative path are stored by content and named by
their URL. A code without a file of its own gets the default's. The set is written into a
new folder and switched into place with one link (tree/catalogue)."""

import json
import os
from urllib.parse import urlsplit

from . import tree as static_tree
from .rules import FOLDER_ID, TAXPAYER_CODE, PublishError, checked_base_url, name_problem

# Names in the published set that no taxpayer code can take ("_" is not in a code).
DEFAULT = "_default"
PAGES = "_pages"
PAGE_NAMES = ("new.html", "url.html", "GG.html")


def publish_catalogues(tree, source, base_url):
    """Checks everything, then stores the files and switches the set; returns the codes."""
    base_url = checked_base_url(base_url)
    collector = _Collector(source)
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
        urls = {reference: base_url + static_tree.store_file(tree, path, os.path.basename(path))[0]
                for reference, path in collector.files.items()}
        folder = static_tree.new_folder(tree, "catalogues")
        for code, (software, documents) in catalogues.items():
            target = os.path.join(folder, code)
            os.makedirs(os.path.join(target, "documents"))
            if software is not None:
                _write_json(os.path.join(target, "software.json"), _with_urls(software, ("iocn", "url"), urls))
            for folder_id, items in (documents or {}).items():
                _write_json(os.path.join(target, "documents", f"{folder_id}.json"),
                            _with_urls({"data": items}, ("url",), urls))
        for code, text in statuses.items():
            os.makedirs(os.path.join(folder, code), exist_ok=True)
            static_tree.write_file(os.path.join(folder, code, "status.txt"), text.encode("utf-8"))
        os.makedirs(os.path.join(folder, PAGES))
        for name in pages:
            with open(os.path.join(source, "pages", name), "rb") as page:
                static_tree.write_file(os.path.join(folder, PAGES, name), page.read())
        static_tree.switch_link(tree, "catalogue", folder)
    return [code for code in catalogues if code != DEFAULT]


def _write_json(path, document):
    static_tree.write_file(path, (json.dumps(document, ensure_ascii=False, indent=1) + "\n").encode("utf-8"))


def _with_urls(document, keys, urls):
    """The document with each relative reference under keys replaced by its file's URL."""
    for entry in document["data"]:
        for key in keys:
            if entry.get(key) in urls:
                entry[key] = urls[entry[key]]
    return document


class _Collector:
    """Reads and checks the maker's files; gathers every problem and every named file."""

    def __init__(self, source):
        self.source = source
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
            self._reference(item, "url", where)

    def _plain_name(self, entry, key, where, suffix):
        # The programs store the file under this name (the icon under name + ".png").
        name = entry.get(key)
        problem = name_problem(name + suffix) if isinstance(name, str) else "is missing or not a text"
        if problem:
            self.problems.append(f'{where}: "{key}" {name!r} {problem}')

    def _reference(self, entry, key, where):
        reference = entry.get(key)
        if not isinstance(reference, str):
            self.problems.append(f'{where}: "{key}" is missing or not a text')
            return
        if urlsplit(reference).scheme in ("http", "https") or reference in self.files or (key == "iocn" and not reference):
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
