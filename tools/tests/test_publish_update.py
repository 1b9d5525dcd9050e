"""publish_update: what lands in the content folder, what is refused, and that the server serves it."""

import base64
import hashlib
import http.client
import json
import os
import subprocess
import sys
import tempfile
import unittest
from urllib.parse import urlsplit

from cryptography.exceptions import InvalidSignature
from cryptography.hazmat.primitives import hashes
from cryptography.hazmat.primitives.asymmetric import ec, utils

import publish_update
from publish_update import SIGNED_HEADER, PublishError, check_public_keys, publish

from .server_fixture import RunningServer, write_tree

TOOLS = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PUBLISH = os.path.join(TOOLS, "publish_update.py")
CHINESE = "\u53d1\u7968\u52a9\u624b.dll"

RELEASE = {
    "Veltrin.exe": b"MZ" + os.urandom(200000),
    "Morvane.exe": b"MZ" + os.urandom(5000),
    CHINESE: "\u5f00\u7968".encode("utf-8") * 30,
    "read me.txt": b"",
}


class PublishTestCase(unittest.TestCase):
    def setUp(self):
        temp = tempfile.TemporaryDirectory()
        self.addCleanup(temp.cleanup)
        self.temp = temp.name
        self.release = os.path.join(temp.name, "release")
        self.content = os.path.join(temp.name, "content")
        os.makedirs(self.release)
        write_tree(self.release, RELEASE)

    def run_cli(self, *extra, version="2.1.0", base_url="http://updates.example.com"):
        return subprocess.run([sys.executable, PUBLISH, "--release", self.release, "--version", version,
                               "--content", self.content, "--base-url", base_url, *extra],
                              capture_output=True, timeout=20)

    def content_file(self, *parts):
        with open(os.path.join(self.content, *parts), "rb") as stored:
            return stored.read()


class PublishedSetTest(PublishTestCase):
    def test_update_list_describes_the_copied_files(self):
        entries = publish(self.release, "2.1.0", self.content, "http://updates.example.com:8080/")
        raw = self.content_file("update.json")
        self.assertIn(CHINESE.encode("utf-8"), raw)
        self.assertEqual(json.loads(raw.decode("utf-8")), entries)
        self.assertEqual([entry["name"] for entry in entries], ["Morvane.exe", "Veltrin.exe", "read me.txt", CHINESE])
        base = "http://updates.example.com:8080/files/update/"
        self.assertEqual([entry["url"] for entry in entries],
                         [base + "Morvane.exe", base + "Veltrin.exe", base + "read%20me.txt",
                          base + "%E5%8F%91%E7%A5%A8%E5%8A%A9%E6%89%8B.dll"])
        for entry in entries:
            with self.subTest(name=entry["name"]):
                written = self.content_file("files", "update", entry["name"])
                self.assertEqual(written, RELEASE[entry["name"]])
                self.assertEqual(entry["id"], hashlib.md5(written).hexdigest())
                self.assertEqual(entry["md5"], entry["id"])
                self.assertEqual(set(entry), {"id", "name", "url", "md5"})

    def test_version_is_stored_byte_for_byte(self):
        for version, stored in [("2.1.0", b"2.1.0"), ("3.0\r\n", b"3.0\r\n"), (b"\xd6\xd0 1", b"\xd6\xd0 1")]:
            with self.subTest(version=version):
                publish(self.release, version, self.content, "http://updates.example.com")
                self.assertEqual(self.content_file("version.txt"), stored)

    def test_files_path_sets_both_folder_and_url(self):
        entries = publish(self.release, "1", self.content, "https://h.example", "/dl/v2/")
        self.assertEqual(entries[0]["url"], "https://h.example/dl/v2/Morvane.exe")
        self.assertEqual(self.content_file("dl", "v2", "Morvane.exe"), RELEASE["Morvane.exe"])

    def test_command_line_output_is_served_by_the_server(self):
        os.makedirs(self.content)
        running = RunningServer(self.content)
        self.addCleanup(running.close)
        result = self.run_cli(version="5.0", base_url=f"http://127.0.0.1:{running.port}")
        self.assertEqual(result.returncode, 0, result.stderr)
        connection = http.client.HTTPConnection("127.0.0.1", running.port, timeout=10)
        self.addCleanup(connection.close)

        def fetch(path):
            connection.request("GET", path)
            response = connection.getresponse()
            self.assertEqual(response.status, 200, path)
            return response.read()

        self.assertEqual(fetch("/V"), b"5.0")
        entries = json.loads(fetch("/U"))
        self.assertEqual(len(entries), len(RELEASE))
        for entry in entries:
            with self.subTest(name=entry["name"]):
                self.assertEqual(hashlib.md5(fetch(urlsplit(entry["url"]).path)).hexdigest(), entry["md5"])


class RefusalTest(PublishTestCase):
    def assert_nothing_written(self):
        self.assertFalse(os.path.exists(os.path.join(self.content, "update.json")))
        self.assertFalse(os.path.exists(os.path.join(self.content, "version.txt")))

    def test_subfolder_is_refused_by_the_command_line(self):
        os.mkdir(os.path.join(self.release, "plugins"))
        result = self.run_cli()
        self.assertEqual(result.returncode, 2)
        self.assertIn(b"plugins", result.stderr)
        self.assertIn(b"subfolder", result.stderr)
        self.assert_nothing_written()

    def test_names_with_separators_are_refused(self):
        for name in ("a:b.exe", "a\\b.exe"):
            with self.subTest(name=name):
                path = os.path.join(self.release, name)
                write_tree(self.release, {name: b"x"})
                with self.assertRaisesRegex(PublishError, "must not contain"):
                    publish(self.release, "1", self.content, "http://h")
                os.unlink(path)
                self.assert_nothing_written()

    def test_bad_arguments_are_refused(self):
        cases = [
            dict(version=""),
            dict(base_url="ftp://h"),
            dict(files_path="files/update"),
            dict(files_path="/files/../up"),
            dict(release=os.path.join(self.release, "absent")),
        ]
        for case in cases:
            with self.subTest(case=case):
                arguments = dict(release=self.release, version="1", base_url="http://h", files_path="/files/update")
                arguments.update(case)
                with self.assertRaises(PublishError):
                    publish(arguments["release"], arguments["version"], self.content, arguments["base_url"],
                            arguments["files_path"])
                self.assert_nothing_written()


class SignedSetTest(PublishTestCase):
    def keygen(self):
        path = os.path.join(self.temp, "maker.pem")
        result = subprocess.run([sys.executable, PUBLISH, "keygen", "--out", path], capture_output=True, timeout=20)
        self.assertEqual(result.returncode, 0, result.stderr)
        return path, result.stdout.decode().strip()

    def test_signature_verifies_with_the_public_key_and_a_changed_list_does_not(self):
        key_path, public_hex = self.keygen()
        public_key = ec.EllipticCurvePublicKey.from_encoded_point(ec.SECP256R1(), b"\x04" + bytes.fromhex(public_hex))
        result = self.run_cli("--key", key_path, version="2.1.0")
        self.assertEqual(result.returncode, 0, result.stderr)
        listing = self.content_file("update.json")
        signature = base64.b64decode(self.content_file("update.sig"), validate=True)
        der = utils.encode_dss_signature(int.from_bytes(signature[:32], "big"), int.from_bytes(signature[32:], "big"))

        def verify(version, body):
            public_key.verify(der, SIGNED_HEADER + version + b"\n" + body, ec.ECDSA(hashes.SHA256()))

        verify(b"2.1.0", listing)
        for version, body in [(b"2.1.0", listing + b" "), (b"2.1.1", listing), (b"2.1.0", listing[1:])]:
            self.assertRaises(InvalidSignature, verify, version, body)
        for entry in json.loads(listing):
            self.assertEqual(entry["sha256"], hashlib.sha256(RELEASE[entry["name"]]).hexdigest())
        # Published again without the key: no SHA-256s, and the old signature is gone.
        self.assertNotIn("sha256", publish(self.release, "2.1.1", self.content, "http://h")[0])
        self.assertFalse(os.path.exists(os.path.join(self.content, "update.sig")))

    def test_bad_keys_and_versions_are_refused(self):
        key_path, public_hex = self.keygen()
        for version, key in [("3.0\r\n", key_path), ("3.0\n1", key_path), ("3.0", PUBLISH), ("3.0", key_path + "x")]:
            with self.subTest(version=version, key=key), self.assertRaises(PublishError):
                publish(self.release, version, self.content, "http://h", key_file=key)
        self.assertFalse(os.path.exists(os.path.join(self.content, "version.txt")))
        self.assertRaisesRegex(PublishError, "exists already", publish_update.keygen, key_path)
        check_public_keys(f"{public_hex},{public_hex.upper()}")
        off_curve = public_hex[:-1] + ("1" if public_hex[-1] == "0" else "0")
        for keys in [off_curve, public_hex[:-2], ",".join([public_hex] * 3)]:
            self.assertRaises(PublishError, check_public_keys, keys)
