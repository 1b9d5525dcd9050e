#!/usr/bin/env python3
"""Turns the demo's sample content (tools/demo_content, laid out as the reference server's
content folder) into the source folder of the publishing tool, so that scripts/demo
publishes the catalogues signed, as a maker does: icons and documents become files the tool
publishes by their digest, and the packages, which the reference server generates
("/_gen/<n>"), stay absolute URLs that carry their own digest and length."""

import argparse
import hashlib
import json
import os
import re
import shutil

DEMO_SERVER = "http://127.0.0.1:8765"
_GENERATED = re.compile(re.escape(DEMO_SERVER) + r"/_gen/([0-9]+)\Z")
_PERIOD = bytes((i * 31 + 7) & 0xFF for i in range(256))


def generated_digest(length):
    """SHA-256 of what the reference server sends for /_gen/<length>."""
    digest = hashlib.sha256()
    block = _PERIOD * 4096
    for start in range(0, length, len(block)):
        digest.update(block[:min(len(block), length - start)])
    return digest.hexdigest()


def relative(url, folder):
    prefix = f"{DEMO_SERVER}/{folder}/"
    return url[len(DEMO_SERVER) + 1:] if url.startswith(prefix) else url


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--content", required=True, help="tools/demo_content")
    parser.add_argument("--source", required=True, help="the source folder to write")
    parser.add_argument("--server", required=True, help="the demo server's address, which the packages name")
    args = parser.parse_args()
    shutil.rmtree(args.source, ignore_errors=True)
    os.makedirs(os.path.join(args.source, "default"))
    for folder in ("icons", "docs", "pages"):
        shutil.copytree(os.path.join(args.content, folder), os.path.join(args.source, folder))
    with open(os.path.join(args.content, "status.txt"), encoding="utf-8") as status:
        statuses = {"default": status.read()}

    with open(os.path.join(args.content, "software.json"), encoding="utf-8") as software:
        catalogue = json.load(software)
    for entry in catalogue["data"]:
        entry["iocn"] = relative(entry["iocn"], "icons")
        generated = _GENERATED.match(entry["url"])
        if generated:
            length = int(generated[1])
            entry.update(url=f"{args.server}/_gen/{length}", sha256=generated_digest(length), bytes=length)
    documents = {}
    folders = os.path.join(args.content, "documents")
    for name in sorted(os.listdir(folders)):
        with open(os.path.join(folders, name), encoding="utf-8") as folder:
            items = json.load(folder)["data"]
        for item in items:
            item["url"] = relative(item.get("url", ""), "docs")
        documents[os.path.splitext(name)[0]] = items

    for name, document in (("software.json", catalogue), ("documents.json", documents)):
        with open(os.path.join(args.source, "default", name), "w", encoding="utf-8") as target:
            json.dump(document, target, ensure_ascii=False, indent=1)
    with open(os.path.join(args.source, "status.json"), "w", encoding="utf-8") as target:
        json.dump(statuses, target, ensure_ascii=False)


if __name__ == "__main__":
    main()
