"""publish_update: the tree it writes and what it refuses."""

import base64
import hashlib
import json
import os
import re
import subprocess
import sys
import tempfile
import unittest
from urllib.parse import urlsplit

from cryptography.hazmat.primitives import hashes
from cryptography.hazmat.primitives.asymmetric import ec, utils

from unittest import mock

from kestrova_publish import deltas
from kestrova_publish.catalogues import publish_catalogues
from kestrova_publish.release import publish_release, republish
from kestrova_publish.rules import PROGRAM_TYPES, PublishError
from kestrova_publish.signing import SIGNED_CATALOGUE_HEADER, SIGNED_HEADER, check_public_keys, keygen

from .server_fixture import write_tree

PUBLISH = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "publish_update.py")
CHINESE = "\u53d1\u7968\u52a9\u624b.dll"
RELEASE = {"Veltrin.exe": b"MZ" + os.urandom(200000), CHINESE: "\u5f00\u7968".encode("utf-8") * 30, "read me.txt": b""}
ICON = b"\x89PNG" + bytes(1200)


class PublishTestCase(unittest.TestCase):
    def setUp(self):
        temp = tempfile.TemporaryDirectory()
        self.addCleanup(temp.cleanup)
        self.temp, self.tree = temp.name, os.path.join(temp.name, "tree")
        self.release, self.source = os.path.join(temp.name, "release"), os.path.join(temp.name, "source")
        write_tree(self.release, RELEASE)
        self.key = os.path.join(temp.name, "maker.pem")
        self.public_hex = keygen(self.key)

    def stored(self, *parts):
        with open(os.path.join(self.tree, *parts), "rb") as stored:
            return stored.read()

    def write_source(self, software=None, documents=None, status=None, code="91500000TEST0001"):
        entry = {"name": "Tool", "downname": "tool.exe", "iocn": "icons/tool.png", "url": "http://cdn.example/t.exe"}
        write_tree(self.source, {
            "icons/tool.png": ICON,
            "docs/guide.pdf": b"%PDF",
            "status.json": json.dumps(status or {"default": "1", code: "3"}).encode(),
            "default/software.json": json.dumps(software or {"data": [entry]}).encode(),
            "default/documents.json": json.dumps(documents or {"0": [
                {"id": "7", "name": "guides", "type": 0, "url": ""},
                {"id": "8", "name": "guide.pdf", "type": 1, "url": "docs/guide.pdf"}]}).encode(),
            f"codes/{code}/software.json": b'{"data": []}',
        })

    def verify(self, version, listing):
        self.verify_message(self.stored("update.sig"), SIGNED_HEADER + version + b"\n" + listing)

    def verify_message(self, signature_text, message):
        signature = base64.b64decode(signature_text, validate=True)
        der = utils.encode_dss_signature(int.from_bytes(signature[:32], "big"), int.from_bytes(signature[32:], "big"))
        public = ec.EllipticCurvePublicKey.from_encoded_point(ec.SECP256R1(), b"\x04" + bytes.fromhex(self.public_hex))
        public.verify(der, message, ec.ECDSA(hashes.SHA256()))


class ReleaseTest(PublishTestCase):
    def test_files_go_under_their_digest_and_the_three_routes_switch_together(self):
        entries = publish_release(self.tree, self.release, "2.1.0", "http://h.example:8080/t/e2e", self.key)
        self.assertEqual([entry["name"] for entry in entries], ["Veltrin.exe", "read me.txt", CHINESE])
        for entry in entries:
            content = RELEASE[entry["name"]]
            with self.subTest(name=entry["name"]):
                self.assertEqual(entry["id"], hashlib.md5(content).hexdigest())
                self.assertEqual(entry["sha256"], hashlib.sha256(content).hexdigest())
                self.assertEqual(entry["bytes"], len(content))
                path = urlsplit(entry["url"]).path
                self.assertTrue(path.startswith(f"/t/e2e/files/{entry['sha256']}/"), path)
                self.assertEqual(self.stored("files", entry["sha256"], entry["name"]), content)
        listing = self.stored("update.json")
        self.assertEqual(json.loads(listing), entries)
        self.verify(b"2.1.0", listing)
        first = os.readlink(os.path.join(self.tree, "current"))

        republish(self.tree, "2.1.0", "2.1.1", self.key)
        self.assertNotEqual(os.readlink(os.path.join(self.tree, "current")), first)
        self.assertEqual((self.stored("version.txt"), self.stored("update.json")), (b"2.1.1", listing))
        self.verify(b"2.1.1", listing)
        publish_release(self.tree, self.release, "2.1.2", "http://h")  # unsigned: no signature left behind
        self.assertFalse(os.path.exists(os.path.join(self.tree, "update.sig")))


class SmallerFormsTest(PublishTestCase):
    def decoded(self, member, base=None):
        """What Debian's zstd makes of a published frame, as the updater must."""
        frame = self.stored(*urlsplit(member["url"]).path.split("/")[3:])
        self.assertEqual((len(frame), hashlib.sha256(frame).hexdigest()), (member["bytes"], member["sha256"]))
        command = ["zstd", "-d", "-q", "-c", f"--long={deltas.WINDOW_LOG}"]
        if base is not None:
            command.append("--patch-from=" + os.path.join(self.tree, "files", base, "Veltrin.exe"))
        with tempfile.NamedTemporaryFile(dir=self.temp) as stored:
            stored.write(frame)
            stored.flush()
            return subprocess.run(command + [stored.name], check=True, stdout=subprocess.PIPE).stdout

    def publish_versions(self, contents, **options):
        for number, content in enumerate(contents, 1):
            write_tree(self.release, {"Veltrin.exe": content})
            entries = publish_release(self.tree, self.release, f"3.{number}", "http://h/t/e2e", self.key, **options)
        return {entry["name"]: entry for entry in entries}

    def test_signed_files_come_compressed_and_as_patches_from_the_last_releases(self):
        versions = [bytes(100000) + os.urandom(50000) + bytes([n]) * 3000 for n in range(5)]
        entries = self.publish_versions(versions, deltas=3)
        program = entries["Veltrin.exe"]
        self.assertEqual(self.decoded(program["zst"]), versions[-1])
        self.assertLess(program["zst"]["bytes"], len(versions[-1]))
        self.assertEqual([patch["from"] for patch in program["patches"]],
                         [hashlib.sha256(version).hexdigest() for version in reversed(versions[1:4])])
        for patch in program["patches"]:
            self.assertEqual(self.decoded(patch, base=patch["from"]), versions[-1])
        # A file that did not change needs no patch; one compressed already, no frame.
        self.assertNotIn("patches", entries[CHINESE])
        self.assertNotIn("zst", entries["read me.txt"])

    def test_limits_and_lists_without_smaller_forms(self):
        versions = [os.urandom(1000) + bytes(9000), os.urandom(1000) + bytes(9000)]
        said = []
        with mock.patch.object(deltas, "MAX_PATCH_SPAN", 19999):
            over_window = self.publish_versions(versions, log=said.append)["Veltrin.exe"]
        self.assertNotIn("patches", over_window)
        self.assertEqual(len(said), 1)
        self.assertIn("no patch from " + hashlib.sha256(versions[0]).hexdigest()[:12], said[0])
        self.assertIn("zst", over_window)
        for options in ({"deltas": 0, "compress": False}, {"key_file": None}):
            with self.subTest(options=options):
                arguments = {"key_file": self.key, "force": True, **options}
                write_tree(self.release, {"Veltrin.exe": os.urandom(3000) + bytes(3000)})
                entry = publish_release(self.tree, self.release, "4.0", "http://h", arguments.pop("key_file"),
                                        **arguments)[0]
                self.assertFalse({"zst", "patches"} & set(entry))


class CataloguesTest(PublishTestCase):
    def test_codes_get_their_own_files_and_relative_references_become_urls(self):
        self.write_source()
        self.assertEqual(publish_catalogues(self.tree, self.source, "http://h"), ["91500000TEST0001"])
        software = json.loads(self.stored("catalogue", "_default", "software.json"))["data"][0]
        self.assertEqual(software["iocn"], f"http://h/files/{hashlib.sha256(ICON).hexdigest()}/tool.png")
        self.assertEqual(software["url"], "http://cdn.example/t.exe")
        document = json.loads(self.stored("catalogue", "_default", "documents", "0.json"))["data"][1]
        self.assertEqual(self.stored(*urlsplit(document["url"]).path[1:].split("/")), b"%PDF")
        self.assertEqual(self.stored("catalogue", "91500000TEST0001", "software.json").strip(), b'{\n "data": []\n}')
        self.assertEqual(self.stored("catalogue", "91500000TEST0001", "status.txt"), b"3")
        self.assertEqual(self.stored("catalogue", "_default", "status.txt"), b"1")
        # The default set at the root, for the reference server.
        self.assertEqual(self.stored("software.json"), self.stored("catalogue", "_default", "software.json"))
        self.assertEqual(self.stored("documents", "0.json"), self.stored("catalogue", "_default", "documents", "0.json"))
        self.assertNotIn("sha256", software)
        self.assertFalse(os.path.exists(os.path.join(self.tree, "sigs")))

    def test_signed_replies_name_their_files_digests_and_each_reply_has_its_signature(self):
        package = b"MZ" + os.urandom(5000)
        entries = [{"name": "Tool", "downname": "tool.exe", "iocn": "icons/tool.png", "url": "packages/tool.exe"},
                   {"name": "Cdn", "downname": "cdn.exe", "iocn": "", "url": "http://cdn.example/c.exe",
                    "sha256": "c" * 64, "bytes": 0}]
        write_tree(self.source, {"packages/tool.exe": package})
        self.write_source({"data": entries}, {"0": [{"id": "8", "name": "guide.pdf", "type": 1, "url": "docs/guide.pdf"}],
                                              "1": [], "2": []})
        publish_catalogues(self.tree, self.source, "http://h", self.key)
        body = self.stored("catalogue", "_default", "software.json")
        tool, cdn = json.loads(body)["data"]
        self.assertEqual((tool["sha256"], tool["bytes"]), (hashlib.sha256(package).hexdigest(), len(package)))
        self.assertEqual(tool["iconsha256"], hashlib.sha256(ICON).hexdigest())
        self.assertIn(tool["sha256"], tool["url"])
        self.assertEqual((cdn["sha256"], cdn["bytes"], cdn["url"]), ("c" * 64, 0, "http://cdn.example/c.exe"))
        guide = json.loads(self.stored("catalogue", "_default", "documents", "0.json"))["data"][0]
        self.assertEqual((guide["sha256"], guide["bytes"]), (hashlib.sha256(b"%PDF").hexdigest(), 4))
        replies = [("F", ("_default", "software.json")), ("F", ("91500000TEST0001", "software.json")),
                   ("D 0", ("_default", "documents", "0.json")), ("D 1", ("_default", "documents", "1.json")),
                   ("D 2", ("_default", "documents", "2.json"))]
        for what, parts in replies:
            with self.subTest(reply=parts):
                reply = self.stored("catalogue", *parts)
                signature = self.stored("sigs", hashlib.sha256(reply).hexdigest() + ".sig")
                self.verify_message(signature, SIGNED_CATALOGUE_HEADER + what.encode() + b"\n" + reply)
        self.assertEqual(json.loads(self.stored("catalogue", "_default", "documents", "2.json")),
                         {"folder": "2", "data": []}, "empty folders differ by their id")

    def test_the_program_types_are_the_toolboxs(self):
        source = os.path.join(os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__)))),
                              "shared", "file_names.cpp")
        with open(source, encoding="utf-8") as cpp:
            text = cpp.read()
        listed = text[text.index("kProgramTypes[]"):text.index("};", text.index("kProgramTypes[]"))]
        self.assertEqual(set(re.findall(r'"([a-z0-9-]+)"', listed)), PROGRAM_TYPES)


class RefusalTest(PublishTestCase):
    """Each refusal names the problem, and what the clients see stays as it was."""

    def test_refusals(self):
        publish_release(self.tree, self.release, "1.0.9", "http://h", self.key)
        entry = {"name": "Tool", "downname": "tool.exe", "iocn": "", "url": "http://h/t.exe"}
        releases = [  # version, a file added to the release, key, expected message
            ("1.0.10", None, self.key, "does not sort after the published '1.0.9'"),
            ("1.0.9", None, self.key, "does not sort after"),
            ("", None, None, "must not be empty"),
            ("2.0 beta", None, None, "must not hold a space"),
            ("2.0[1]", None, None, "must not hold a space, '\\[', '\\]' or '='"),
            ("2.0\r\n", None, None, "line end"),
            ("2.0", "a\x01b.dll", None, "control character"),
            ("2.0", "a<b.dll", None, "control character or one of"),
            ("2.0", "setup.", None, "ends in a dot or a space"),
            ("2.0", "nul.txt", None, "device name"),
            ("2.0", "COM0", None, "device name"),
            ("2.0", "caf\u00e9\u0301.dll", None, "code page 936"),
            ("2.0", "\u6dfa.dll", None, "byte 0x5C"),
            ("2.0", None, PUBLISH, "cannot read the private key"),
        ]
        for version, extra, key, message in releases:
            with self.subTest(version=version, extra=extra):
                if extra:
                    write_tree(self.release, {extra: b"x"})
                with self.assertRaisesRegex(PublishError, message):
                    publish_release(self.tree, self.release, version, "http://h", key)
                if extra:
                    os.unlink(os.path.join(self.release, extra))
                self.assertEqual(self.stored("version.txt"), b"1.0.9")
        publish_release(self.tree, self.release, "1.0.10", "http://h", self.key, force=True)
        self.assertRaisesRegex(PublishError, "no release of version '3.0'", republish, self.tree, "3.0", "3.1")

        catalogues = [  # the source's software.json, documents.json, status.json, expected message
            ({"data": [dict(entry, downname="con.exe")]}, None, None, '"downname" \'con.exe\' is a Windows device'),
            ({"data": [dict(entry, name="a:b")]}, None, None, '"name" \'a:b\' holds'),
            ({"data": [dict(entry, iocn="../outside.png")]}, None, None, "neither an http URL nor a file"),
            ({"rows": []}, None, None, '"data" is an array'),
            (None, {"../0": []}, None, "a folder id is"),
            (None, {"0": [{"id": "../x", "type": 10}]}, None, "a folder's \"id\""),
            (None, None, {"default": "1", "bad code": "3"}, "'bad code' is not a taxpayer code"),
        ]
        signed = [  # signed: what a keyed toolbox would refuse, and files the tool cannot hash
            ({"data": [dict(entry)]}, None, '"url" is an absolute URL, so the entry must carry its file\'s "sha256"'),
            ({"data": [dict(entry, sha256="a" * 64, bytes=1.5)]}, None, '"bytes" \\(its length'),
            ({"data": [dict(entry, sha256="A" * 64, bytes=1)]}, None, '"sha256" \\(64 lowercase'),
            ({"data": [dict(entry, sha256="a" * 64, bytes=1, iocn="http://h/i.png")]}, None, '"iconsha256"'),
            ({"data": [dict(entry, downname="tool.msi", url="icons/tool.png")]}, None, 'does not end in ".exe"'),
            (None, {"0": [{"id": "8", "name": "guide.lnk", "type": 1, "url": "docs/guide.pdf"}]}, '".lnk"'),
        ]
        cases = [(software, documents, status, message, None) for software, documents, status, message in catalogues]
        cases += [(software, documents, None, message, self.key) for software, documents, message in signed]
        for software, documents, status, message, key in cases:
            with self.subTest(software=software, documents=documents, status=status, signed=key is not None):
                self.write_source(software, documents, status)
                with self.assertRaisesRegex(PublishError, message):
                    publish_catalogues(self.tree, self.source, "http://h", key)
                self.assertFalse(os.path.exists(os.path.join(self.tree, "catalogue")))

    def test_command_line_refuses_with_a_message_and_code_2(self):
        os.mkdir(os.path.join(self.release, "plugins"))
        # The form without a command, as scripts/test and scripts/demo call it.
        result = subprocess.run([sys.executable, PUBLISH, "--release", self.release, "--version", "1", "--content",
                                 self.tree, "--base-url", "ftp://h"], capture_output=True, timeout=20)
        self.assertEqual(result.returncode, 2)
        self.assertIn(b"the base URL is the programs' server address", result.stderr)
        check_public_keys(f"{self.public_hex},{self.public_hex.upper()}")
        off_curve = self.public_hex[:-1] + ("1" if self.public_hex[-1] == "0" else "0")
        for keys in [off_curve, self.public_hex[:-2], ",".join([self.public_hex] * 3)]:
            self.assertRaises(PublishError, check_public_keys, keys)
        self.assertRaisesRegex(PublishError, "exists already", keygen, self.key)
