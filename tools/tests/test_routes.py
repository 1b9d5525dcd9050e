"""Which file answers which request, and plain HTTP behaviour: 404, 405, HEAD, keep-alive."""

import hashlib
import os

from .server_fixture import CONTENT, SECRET, ServerTestCase, pattern, read_head, read_until_close

CHINESE_PATH = "/files/update/%E5%8F%91%E7%A5%A8%E5%8A%A9%E6%89%8B.exe"


class ContentRoutesTest(ServerTestCase):
    def test_program_routes_and_static_files_map_to_the_content_folder(self):
        cases = [
            ("/V", "version.txt"),
            ("/U", "update.json"),
            ("/U.sig", "update.sig"),
            ("/S?tax=913501_1", "status.txt"),
            ("/F?tax=913501&id=0.4417", "software.json"),
            ("/D?tax=913501&id=0&rid=0.12", "documents/0.json"),
            ("/D?tax=913501&id=7&rid=0.12", "documents/7.json"),
            ("/new.html?tax=913501", "pages/new.html"),
            ("/url.html?tax=913501", "pages/url.html"),
            ("/GG.html?tax=913501", "pages/GG.html"),
            ("/files/update/Veltrin.exe", "files/update/Veltrin.exe"),
            ("/icons/app.png?v=2", "icons/app.png"),
            (CHINESE_PATH, "files/update/\u53d1\u7968\u52a9\u624b.exe"),
            ("/F.sig?sha256=" + "ab" * 32, "sigs/" + "ab" * 32 + ".sig"),
            ("/D.sig?sha256=" + "ab" * 32, "sigs/" + "ab" * 32 + ".sig"),
        ]
        for ns in ("", self.ns):
            for path, name in cases:
                with self.subTest(ns=ns, path=path):
                    response = self.get(path, ns=ns)
                    self.assertEqual(response.status, 200)
                    self.assertEqual(response.body, CONTENT[name])
                    self.assertEqual(response.headers["Content-Length"], str(len(CONTENT[name])))

    def test_content_type_follows_the_file_behind_the_route(self):
        for path, expected in [("/V", "text/plain"), ("/U", "application/json"), ("/D?id=0", "application/json"),
                               ("/GG.html", "text/html"), ("/icons/app.png", "image/png")]:
            with self.subTest(path=path):
                self.assertEqual(self.get(path).headers["Content-Type"], expected)

    def test_missing_files_get_a_small_html_404(self):
        for path in ["/nothing.bin", "/D?tax=1&id=99", "/D?tax=1", "/files/update/", "/files", "/",
                     "/F.sig", "/F.sig?sha256=" + "AB" * 32, "/D.sig?sha256=" + "ab" * 31, "/F.sig?sha256=../x"]:
            with self.subTest(path=path):
                response = self.get(path)
                self.assertEqual(response.status, 404)
                self.assertTrue(response.headers["Content-Type"].startswith("text/html"))
                self.assertIn(b"<h1>404 Not Found</h1>", response.body)
                self.assertLess(len(response.body), 200)

    def test_paths_reaching_outside_the_content_folder_are_refused(self):
        secret_path = os.path.join(os.path.dirname(self.content_dir), "secret.txt")
        attempts = ["/../secret.txt", "/files/../../secret.txt", "/%2e%2e/secret.txt", "/files%2f..%2f..%2fsecret.txt",
                    "/..%5csecret.txt", "/files/..\\..\\secret.txt", "/" + secret_path, "//" + secret_path.lstrip("/"),
                    "/D?id=../../secret", "/./V"]
        for ns in ("", self.ns):
            for path in attempts:
                with self.subTest(ns=ns, path=path):
                    response = self.get(path, ns=ns)
                    self.assertEqual(response.status, 404)
                    self.assertNotIn(SECRET, response.body)

    def test_large_file_arrives_whole(self):
        data = os.urandom(24 * 1024 * 1024 + 3)
        with open(os.path.join(self.content_dir, "files", "large.bin"), "wb") as large:
            large.write(data)
        response = self.get("/files/large.bin")
        self.assertEqual(response.headers["Content-Length"], str(len(data)))
        self.assertEqual(hashlib.md5(response.body).digest(), hashlib.md5(data).digest())


class HttpBehaviourTest(ServerTestCase):
    def test_head_sends_the_get_headers_and_no_body(self):
        sock = self.raw_request("/files/update/Veltrin.exe", method="HEAD")
        # A second request on the same connection shows exactly where the HEAD reply ended.
        sock.sendall(f"GET {self.target('/V')} HTTP/1.1\r\nHost: test\r\nConnection: close\r\n\r\n".encode())
        status, headers, rest = read_head(sock)
        self.assertEqual(status, 200)
        self.assertEqual(headers["content-length"], str(len(CONTENT["files/update/Veltrin.exe"])))
        following = read_until_close(sock, rest)
        self.assertTrue(following.startswith(b"HTTP/1.1 200 "), following[:40])
        self.assertTrue(following.endswith(b"\r\n\r\n" + CONTENT["version.txt"]))

    def test_one_connection_carries_several_requests(self):
        connection = self.connect()
        self.addCleanup(connection.close)
        first_socket = None
        requests = [("GET", "/V", None, 200), ("GET", "/_gen/300000", None, 200), ("GET", "/missing", None, 404),
                    ("POST", "/V", b"x" * 5000, 405), ("GET", "/U", None, 200)]
        for method, path, body, status in requests:
            with self.subTest(method=method, path=path):
                connection.request(method, self.target(path), body=body)
                response = connection.getresponse()
                response.read()
                self.assertEqual(response.status, status)
                self.assertIsNotNone(connection.sock, "the server closed the connection")
                first_socket = first_socket or connection.sock
                self.assertIs(connection.sock, first_socket)

    def test_methods_other_than_get_and_head_get_405(self):
        for method in ("POST", "PUT", "DELETE", "BREW"):
            with self.subTest(method=method):
                response = self.get("/V", method=method, body=b"")
                self.assertEqual(response.status, 405)
                self.assertEqual(response.headers["Allow"], "GET, HEAD")

    def test_generated_file_has_the_asked_size_and_pattern(self):
        for size in (0, 1, 255, 256, 70001, 1048577):
            with self.subTest(size=size):
                response = self.get(f"/_gen/{size}")
                self.assertEqual(response.headers["Content-Length"], str(size))
                self.assertEqual(response.body, pattern(0, size))

    def test_large_generated_file_streams_whole(self):
        size, block = 96 * 1024 * 1024 + 17, 1024 * 1024
        connection = self.connect()
        self.addCleanup(connection.close)
        connection.request("GET", self.target(f"/_gen/{size}"))
        response = connection.getresponse()
        self.assertEqual(response.headers["Content-Length"], str(size))
        offset = 0
        while piece := response.read(block):
            if piece != pattern(offset, len(piece)):
                self.fail(f"wrong bytes at offset {offset}")
            offset += len(piece)
        self.assertEqual(offset, size)
