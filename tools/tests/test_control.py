"""The control API: namespaces keep faults, logs and overlays apart; overlays; reset; refusals."""

import os

from .server_fixture import CONTENT, ServerTestCase

VERSION = CONTENT["version.txt"]


class NamespaceTest(ServerTestCase):
    def test_faults_apply_only_in_their_namespace(self):
        other = self.ns + "-other"
        self.addCleanup(self.control, "reset", ns=other)
        self.fault("/V", "status", body=b"mine", code=500)
        self.fault("/V", "body", body=b"theirs", ns=other)
        self.assertEqual(self.get("/V").body, b"mine")
        self.assertEqual(self.get("/V", ns=other).body, b"theirs")
        self.assertEqual(self.get("/V", ns="").body, VERSION)

    def test_log_lists_the_namespace_requests_in_order(self):
        other = self.ns + "-other"
        self.addCleanup(self.control, "reset", ns=other)
        self.get("/V?tax=91_1&marker=log-test")
        self.get("/S", ns=other)
        self.get("/_gen/5")
        self.get("/U", method="HEAD")
        self.get("/files/update/%E5%8F%91.exe?x=%20y")
        self.get("/V", method="POST", body=b"z")
        self.fault("/V", "status", code=500)
        log = self.control("log")
        self.assertEqual([(entry["method"], entry["path"], entry["query"]) for entry in log], [
            ("GET", "/V", "tax=91_1&marker=log-test"),
            ("GET", "/_gen/5", ""),
            ("HEAD", "/U", ""),
            ("GET", "/files/update/\u53d1.exe", "x=%20y"),
            ("POST", "/V", ""),
        ])
        times = [entry["time"] for entry in log]
        self.assertEqual(times, sorted(times))
        # The body bytes each reply sent; a HEAD sends none.
        self.assertEqual([entry["sent"] for entry in log[:3]], [len(CONTENT["version.txt"]), 5, 0])
        self.assertEqual([entry["path"] for entry in self.control("log", ns=other)], ["/S"])
        self.assertNotIn("marker=log-test", [entry["query"] for entry in self.control("log", ns="")])

    def test_reset_clears_faults_log_and_overlays(self):
        self.fault("/V", "status", code=500)
        self.control("put", body=b"overlay", path="/U")
        self.get("/S")
        self.control("reset", method="POST")
        self.assertEqual(self.control("log"), [])
        self.assertEqual(self.get("/V").body, VERSION)
        self.assertEqual(self.get("/U").body, CONTENT["update.json"])


class OverlayTest(ServerTestCase):
    def test_put_overlays_a_route_in_its_namespace_only(self):
        self.control("put", body=b"9.9\r\n", path="/V")
        self.assertEqual(self.get("/V?tax=1").body, b"9.9\r\n")
        self.assertEqual(self.get("/V", ns=self.ns + "-other").body, VERSION)
        self.assertEqual(self.get("/V", ns="").body, VERSION)

    def test_overlay_by_file_name_and_for_new_paths(self):
        self.control("put", body=b'{"data": []}', path="/documents/7.json")
        self.control("put", body=b"fresh", path="/new/thing.bin", method="PUT")
        self.assertEqual(self.get("/D?tax=1&id=7").body, b'{"data": []}')
        self.assertEqual(self.get("/D?tax=1&id=0").body, CONTENT["documents/0.json"])
        thing = self.get("/new/thing.bin")
        self.assertEqual((thing.status, thing.body, thing.headers["Content-Length"]), (200, b"fresh", "5"))

    def test_put_accepts_a_chunked_body(self):
        connection = self.connect()
        self.addCleanup(connection.close)
        connection.request("PUT", f"/_ctl/put?ns={self.ns}&path=/V", body=iter([b"1.", b"2.", b"3"]),
                           encode_chunked=True)
        self.assertEqual(connection.getresponse().read(), b'{"ok": true, "size": 5}')
        self.assertEqual(self.get("/V").body, b"1.2.3")

    def test_root_put_never_writes_the_content_folder(self):
        self.addCleanup(self.control, "reset", ns="")
        self.control("put", body=b"root only", path="/root-only.txt", ns="")
        self.assertEqual(self.get("/root-only.txt", ns="").body, b"root only")
        self.assertEqual(self.get("/root-only.txt").status, 404)
        self.assertFalse(os.path.exists(os.path.join(self.content_dir, "root-only.txt")))


class ControlRefusalTest(ServerTestCase):
    def test_malformed_control_requests_are_refused_and_change_nothing(self):
        cases = [
            ("fault", "POST", {"route": "/V", "mode": "explode"}, 400),
            ("fault", "POST", {"route": "/V", "mode": "status", "code": "abc"}, 400),
            ("fault", "POST", {"route": "/V", "mode": "trickle", "chunk": "0"}, 400),
            ("fault", "POST", {"route": "/V", "mode": "stall", "seconds": "nan"}, 400),
            ("fault", "POST", {"route": "V", "mode": "drop"}, 400),
            ("fault", "POST", {"mode": "drop"}, 400),
            ("fault", "POST", {"route": "/V", "mode": "status", "ns": "bad ns"}, 400),
            ("fault", "GET", {"route": "/V", "mode": "drop"}, 405),
            ("log", "POST", {}, 405),
            ("explode", "GET", {}, 404),
        ]
        for action, method, params, status in cases:
            with self.subTest(action=action, method=method, params=params):
                reply = self.control(action, method=method, body=b"" if method == "POST" else None,
                                     expect=status, **params)
                self.assertIn("error", reply)
        self.assertEqual(self.get("/V").body, VERSION)
        self.assertEqual([entry["path"] for entry in self.control("log")], ["/V"])
