"""A real server on a loopback port over a temporary content folder, plus small HTTP helpers."""

import http.client
import json
import os
import re
import socket
import tempfile
import threading
import unittest
from dataclasses import dataclass
from urllib.parse import urlencode

from kestrova_server.server import MakerServer

SECRET = b"outside the content folder"

CONTENT = {
    "version.txt": b"3.2.1\r\n",
    "update.json": b'[{"id": "1", "name": "Veltrin.exe", "url": "http://x/files/update/Veltrin.exe"}]',
    "update.sig": b"c2lnbmF0dXJl",
    "status.txt": b"2",
    "software.json": b'{"data": [{"name": "Alpha"}]}',
    "documents/0.json": b'{"data": [{"id": 7, "name": "root"}]}',
    "documents/7.json": b'{"data": [{"id": 8, "name": "seven"}]}',
    "pages/new.html": b"<html>new</html>",
    "pages/url.html": b"<html>url</html>",
    "pages/GG.html": b"<html>GG</html>",
    "files/update/Veltrin.exe": bytes(range(256)) * 1200 + b"MZ-end",
    "files/update/\u53d1\u7968\u52a9\u624b.exe": "\u53d1\u7968".encode("utf-8") * 100,
    "icons/app.png": b"\x89PNG\r\n\x1a\n" + b"\x00" * 300,
    "sigs/" + "ab" * 32 + ".sig": b"c2lnbmVkIGNhdGFsb2d1ZQ==",
}

_PERIOD = bytes((i * 31 + 7) & 0xFF for i in range(256))


def pattern(start, count):
    """Bytes start..start+count of the server's generated file."""
    repeated = _PERIOD * (count // 256 + 2)
    return repeated[start % 256:start % 256 + count]


@dataclass
class Response:
    status: int
    headers: object
    body: bytes


def write_tree(root, files):
    for name, data in files.items():
        path = os.path.join(root, *name.split("/"))
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as target:
            target.write(data)


class RunningServer:
    """MakerServer serving content_dir from a background thread."""

    def __init__(self, content_dir):
        self.server = MakerServer(content_dir)
        self.port = self.server.server_port
        self._thread = threading.Thread(target=self.server.serve_forever, kwargs={"poll_interval": 0.05}, daemon=True)
        self._thread.start()

    def close(self):
        self.server.request_stop()
        self.server.server_close()
        self._thread.join(5)


class ServerTestCase(unittest.TestCase):
    """One server per test class; each test works in a namespace of its own."""

    @classmethod
    def setUpClass(cls):
        cls._temp = tempfile.TemporaryDirectory()
        cls.content_dir = os.path.join(cls._temp.name, "content")
        write_tree(cls.content_dir, CONTENT)
        with open(os.path.join(cls._temp.name, "secret.txt"), "wb") as secret:
            secret.write(SECRET)
        cls.running = RunningServer(cls.content_dir)
        cls.port = cls.running.port

    @classmethod
    def tearDownClass(cls):
        cls.running.close()
        cls._temp.cleanup()

    def setUp(self):
        self.ns = re.sub(r"[^A-Za-z0-9_-]", "-", f"{type(self).__name__}-{self._testMethodName}")
        self.addCleanup(self.control, "reset")

    def target(self, path, ns=None):
        ns = self.ns if ns is None else ns
        return f"/t/{ns}{path}" if ns else path

    def connect(self, timeout=10):
        return http.client.HTTPConnection("127.0.0.1", self.port, timeout=timeout)

    def get(self, path, method="GET", body=None, headers=None, ns=None):
        connection = self.connect()
        try:
            connection.request(method, self.target(path, ns), body=body, headers=headers or {})
            response = connection.getresponse()
            return Response(response.status, response.headers, response.read())
        finally:
            connection.close()

    def control(self, action, body=None, method=None, ns=None, expect=200, **params):
        query = urlencode({"ns": self.ns if ns is None else ns, **params})
        connection = self.connect()
        try:
            connection.request(method or ("GET" if body is None else "POST"), f"/_ctl/{action}?{query}", body=body)
            response = connection.getresponse()
            data = response.read()
        finally:
            connection.close()
        self.assertEqual(response.status, expect, data)
        return json.loads(data)

    def fault(self, route, mode, body=b"", **params):
        return self.control("fault", body=body, route=route, mode=mode, **params)

    def raw_request(self, path, method="GET", ns=None, timeout=10):
        """A socket that has sent one request and not read anything yet."""
        sock = socket.create_connection(("127.0.0.1", self.port), timeout=timeout)
        self.addCleanup(sock.close)
        sock.sendall(f"{method} {self.target(path, ns)} HTTP/1.1\r\nHost: test\r\n\r\n".encode("latin-1"))
        return sock


def read_head(sock):
    """(status, lower-cased headers, body bytes already received) of a raw response."""
    data = b""
    while b"\r\n\r\n" not in data:
        block = sock.recv(65536)
        if not block:
            raise AssertionError(f"connection closed inside the headers: {data!r}")
        data += block
    head, _, rest = data.partition(b"\r\n\r\n")
    lines = head.decode("latin-1").split("\r\n")
    headers = {}
    for line in lines[1:]:
        name, _, value = line.partition(":")
        headers[name.strip().lower()] = value.strip()
    return int(lines[0].split()[1]), headers, rest


def read_until_close(sock, received=b""):
    """Everything up to the peer's close; a reset ends the reading like a close does."""
    parts = [received]
    try:
        while block := sock.recv(1 << 20):
            parts.append(block)
    except ConnectionResetError:
        pass
    return b"".join(parts)
