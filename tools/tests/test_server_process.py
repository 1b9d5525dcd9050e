"""maker_server.py as the test scripts run it: a subprocess on a free port, ended by a signal."""

import http.client
import os
import signal
import subprocess
import sys
import tempfile
import time
import unittest

TOOLS = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
MAKER_SERVER = os.path.join(TOOLS, "maker_server.py")


class ServerProcessTest(unittest.TestCase):
    def setUp(self):
        temp = tempfile.TemporaryDirectory()
        self.addCleanup(temp.cleanup)
        self.folder = temp.name
        self.content = os.path.join(self.folder, "content")
        os.mkdir(self.content)
        with open(os.path.join(self.content, "version.txt"), "wb") as version:
            version.write(b"4.0")

    def start(self, *options):
        process = subprocess.Popen([sys.executable, MAKER_SERVER, "--content", self.content, "--port", "0", *options],
                                   stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        self.addCleanup(self._finish, process)
        return process

    @staticmethod
    def _finish(process):
        if process.poll() is None:
            process.kill()
        process.wait()
        process.stdout.close()
        process.stderr.close()

    def wait_for_port(self, port_file, process):
        deadline = time.monotonic() + 10
        while not os.path.exists(port_file):
            self.assertIsNone(process.poll(), "the server exited while starting")
            self.assertLess(time.monotonic(), deadline, "no port file")
            time.sleep(0.02)
        with open(port_file) as text:
            return int(text.read())

    def fetch(self, port, path):
        connection = http.client.HTTPConnection("127.0.0.1", port, timeout=5)
        try:
            connection.request("GET", path)
            response = connection.getresponse()
            return response.status, response.read()
        finally:
            connection.close()

    def test_port_file_announcement_log_and_sigterm(self):
        port_file = os.path.join(self.folder, "server.port")
        log_file = os.path.join(self.folder, "server.log")
        process = self.start("--port-file", port_file, "--log", log_file)
        port = self.wait_for_port(port_file, process)
        self.assertEqual(process.stdout.readline(), f"listening on http://127.0.0.1:{port}\n".encode())
        self.assertEqual(self.fetch(port, "/V"), (200, b"4.0"))
        self.assertEqual(self.fetch(port, "/t/probe/missing.txt")[0], 404)
        process.send_signal(signal.SIGTERM)
        self.assertEqual(process.wait(timeout=10), 0)
        with open(log_file, encoding="utf-8") as log:
            lines = log.read().splitlines()
        self.assertTrue(any(line.endswith(" - GET /V 200") for line in lines), lines)
        self.assertTrue(any(line.endswith(" probe GET /missing.txt 404") for line in lines), lines)
        self.assertEqual(sorted(os.listdir(self.folder)), ["content", "server.log", "server.port"])

    def test_quiet_server_logs_nothing_and_stops_on_sigint(self):
        port_file = os.path.join(self.folder, "server.port")
        process = self.start("--port-file", port_file, "--quiet")
        port = self.wait_for_port(port_file, process)
        self.assertEqual(self.fetch(port, "/V"), (200, b"4.0"))
        process.send_signal(signal.SIGINT)
        self.assertEqual(process.wait(timeout=10), 0)
        self.assertEqual(process.stderr.read(), b"")

    def test_missing_content_folder_is_an_error(self):
        process = subprocess.run([sys.executable, MAKER_SERVER, "--content", os.path.join(self.folder, "absent")],
                                 capture_output=True, timeout=10)
        self.assertEqual(process.returncode, 2)
        self.assertIn(b"absent", process.stderr)
