#!/usr/bin/env python3
"""scripts/package signing the test build: it asks the time-stamp server it is given, and a
failed time-stamp or a signature the given CA does not trust leaves no release behind."""

import http.server
import os
import pathlib
import subprocess
import tempfile
import threading
import unittest

ROOT = pathlib.Path(__file__).resolve().parents[2]
SIGNER = pathlib.Path(os.environ["KESTROVA_TEST_SIGNER"])


class TimeStampRecorder(http.server.BaseHTTPRequestHandler):
    requests = []

    def do_POST(self):
        self.requests.append((self.path, self.headers["Content-Type"],
                              self.rfile.read(int(self.headers["Content-Length"]))))
        self.send_error(503)  # no time-stamp authority answers here

    def log_message(self, *args):
        pass


class PackageSigningTest(unittest.TestCase):
    def test_a_failed_time_stamp_or_an_untrusted_signature_leaves_no_release(self):
        server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), TimeStampRecorder)
        threading.Thread(target=server.serve_forever, daemon=True).start()
        self.addCleanup(server.server_close)
        self.addCleanup(server.shutdown)
        temp = pathlib.Path(self.enterContext(tempfile.TemporaryDirectory()))
        subprocess.run([ROOT / "tests/release/make-code-signer", temp / "other"], check=True)
        timestamp_url = f"http://127.0.0.1:{server.server_address[1]}/tsa"
        for index, (options, error) in enumerate([
                (["--verify-ca", SIGNER / "ca.pem", "--timestamp-url", timestamp_url], "Veltrin.exe: signing failed"),
                (["--verify-ca", temp / "other/ca.pem"], "Veltrin.exe: its signature does not verify")]):
            with self.subTest(error):
                dist = temp / f"dist{index}"
                dist.mkdir()
                result = subprocess.run(
                    ["bash", ROOT / "scripts/package", "--from-build", os.environ["KESTROVA_TEST_BUILD"], "--dist", dist,
                     "--unsigned", "--test-build", "--sign-pfx", SIGNER / "signer.pfx", *options],
                    env=dict(os.environ, KESTROVA_SIGN_PASSWORD=(SIGNER / "password").read_text().strip()),
                    capture_output=True, text=True, timeout=300)
                self.assertNotEqual(result.returncode, 0, result.stdout)
                self.assertIn(error, result.stderr)
                self.assertEqual(list(dist.iterdir()), [])
        # One RFC 3161 request, of the first signing: a DER sequence with a SHA-256 imprint.
        [(path, kind, body)] = TimeStampRecorder.requests
        self.assertEqual((path, kind, body[:1]), ("/tsa", "application/timestamp-query", b"\x30"))
        self.assertIn(bytes.fromhex("0609608648016503040201"), body)


if __name__ == "__main__":
    unittest.main()
