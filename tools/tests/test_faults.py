"""Each fault mode as a client sees it on the wire, and how faults expire or are cleared."""

import socket
import time
from urllib.parse import parse_qs, urlsplit

from .server_fixture import CONTENT, ServerTestCase, pattern, read_head, read_until_close

VERSION = CONTENT["version.txt"]
VELTRIN = CONTENT["files/update/Veltrin.exe"]


class BrokenDeliveryTest(ServerTestCase):
    def test_status_fault_sends_its_code_and_the_posted_body(self):
        page = b"<html><body>not here</body></html>"
        self.fault("/missing.png", "status", body=page, code=404)
        self.fault("/V", "status", body=b"", code=503)
        missing = self.get("/missing.png")
        self.assertEqual((missing.status, missing.body), (404, page))
        self.assertEqual(missing.headers["Content-Length"], str(len(page)))
        unavailable = self.get("/V")
        self.assertEqual((unavailable.status, unavailable.body), (503, b""))

    def test_body_fault_replaces_only_the_body(self):
        self.fault("/V", "body", body=b"9.9.9")
        response = self.get("/V?tax=1")
        self.assertEqual((response.status, response.body), (200, b"9.9.9"))
        self.assertEqual(response.headers["Content-Type"], "text/plain")

    def test_nolength_sends_the_whole_body_unframed_and_closes(self):
        for path, expected in [("/_gen/300000", pattern(0, 300000)), ("/V", VERSION)]:
            with self.subTest(path=path):
                self.fault(path, "nolength")
                sock = self.raw_request(path)
                status, headers, rest = read_head(sock)
                self.assertEqual(status, 200)
                self.assertNotIn("content-length", headers)
                self.assertEqual(headers.get("connection"), "close")
                self.assertEqual(read_until_close(sock, rest), expected)

    def test_drop_sends_part_of_the_promised_body_then_closes(self):
        cases = [("/_gen/100000", {"after": 5000}, 100000, 5000),
                 ("/files/update/Veltrin.exe", {}, len(VELTRIN), len(VELTRIN) // 2)]
        for path, params, length, sent in cases:
            with self.subTest(path=path):
                self.fault(path, "drop", **params)
                sock = self.raw_request(path)
                status, headers, rest = read_head(sock)
                self.assertEqual(headers["content-length"], str(length))
                received = read_until_close(sock, rest)
                self.assertEqual(len(received), sent)
                self.assertEqual(received, (pattern(0, length) if path.startswith("/_gen") else VELTRIN)[:sent])

    def test_extra_sends_more_than_the_body_and_counts_what_the_client_took(self):
        length, extra = 300000, 8 * 1024 * 1024
        self.fault("/_gen/300000", "extra", bytes=extra)
        sock = self.raw_request("/_gen/300000")
        status, headers, rest = read_head(sock)
        self.assertEqual(headers["content-length"], str(length + extra))
        self.fault("/_gen/300000", "extra", bytes=extra, nolength=1)
        unframed = self.raw_request("/_gen/300000")
        status, headers, rest = read_head(unframed)
        self.assertNotIn("content-length", headers)
        # A client that stops soon after the body: the count shows it, not the 8 MB due.
        received = rest
        while len(received) < length + 1:
            received += unframed.recv(65536)
        self.assertEqual(received[:length], pattern(0, length))
        unframed.close()
        deadline = time.monotonic() + 10
        while time.monotonic() < deadline:
            entry = self.control("log")[-1]
            if entry["sent"] > length and time.time() - entry["time"] > 1:
                break
            time.sleep(0.1)
        self.assertGreater(entry["sent"], length)
        self.assertLess(entry["sent"], length + extra // 4)

    def test_drop_with_reset_ends_in_a_reset(self):
        self.fault("/_gen/2000000", "drop", after=1000, reset=1)
        sock = self.raw_request("/_gen/2000000")
        read_head(sock)
        time.sleep(0.2)  # let the reset arrive before reading
        with self.assertRaises(ConnectionResetError):
            while sock.recv(65536):
                pass

    def test_trickle_spreads_the_body_over_time(self):
        self.fault("/_gen/4000", "trickle", chunk=1000, delay=0.15)
        started = time.monotonic()
        response = self.get("/_gen/4000")
        elapsed = time.monotonic() - started
        self.assertEqual(response.body, pattern(0, 4000))
        self.assertGreaterEqual(elapsed, 3 * 0.15 - 0.02)
        self.assertLess(elapsed, 3.0)

    def test_stall_sends_headers_then_nothing_without_holding_up_others(self):
        self.fault("/V", "stall", seconds=2)
        self.fault("/icon.png", "stall", seconds=2)
        started = time.monotonic()
        stalled = [self.raw_request("/V"), self.raw_request("/icon.png")]
        heads = [read_head(sock) for sock in stalled]
        self.assertEqual([(status, headers["content-length"], rest) for status, headers, rest in heads],
                         [(200, str(len(VERSION)), b""), (200, "1000000", b"")])
        stalled[0].settimeout(0.5)
        with self.assertRaises(socket.timeout):
            stalled[0].recv(100)
        self.assertEqual(self.get("/U").status, 200)
        self.assertLess(time.monotonic() - started, 1.5, "the stall held up another request")
        for sock in stalled:
            sock.settimeout(5)
            self.assertEqual(read_until_close(sock), b"")
        self.assertGreaterEqual(time.monotonic() - started, 1.9)


class RedirectTest(ServerTestCase):
    def follow(self, path):
        """The Location of every redirect met on the way, and the final response."""
        locations = []
        response = self.get(path)
        while response.status == 302:
            locations.append(response.headers["Location"])
            self.assertLess(len(locations), 20, "endless redirects")
            response = self.get(locations[-1], ns="")
        return locations, response

    def test_chain_has_the_asked_hops_then_the_normal_answer(self):
        for hops, expected in [(None, 3), (1, 1), (5, 5)]:
            with self.subTest(hops=hops):
                self.fault("/D", "redirect", **({"hops": hops} if hops else {}))
                locations, final = self.follow("/D?tax=1&id=7&rid=3")
                self.assertEqual(len(locations), expected)
                for location in locations:
                    self.assertTrue(location.startswith(f"/t/{self.ns}/D?"), location)
                    self.assertEqual(parse_qs(urlsplit(location).query)["id"], ["7"])
                self.assertEqual((final.status, final.body), (200, CONTENT["documents/7.json"]))

    def test_target_replaces_the_last_location(self):
        self.fault("/V", "redirect", hops=2, target="/_gen/10")
        locations, final = self.follow("/V")
        self.assertEqual(len(locations), 2)
        self.assertEqual(locations[-1], f"/t/{self.ns}/_gen/10")
        self.assertEqual(final.body, pattern(0, 10))
        self.fault("/V", "redirect", hops=1, target="http://elsewhere.invalid/V")
        self.assertEqual(self.get("/V").headers["Location"], "http://elsewhere.invalid/V")


class FaultLifetimeTest(ServerTestCase):
    def test_count_limits_a_fault_to_the_next_requests(self):
        self.fault("/V", "status", body=b"busy", code=503, count=2)
        self.assertEqual([self.get("/V").status for _ in range(4)], [503, 503, 200, 200])

    def test_a_started_redirect_chain_finishes_after_its_fault_expired(self):
        self.fault("/V", "redirect", hops=3, count=1)
        locations, final = RedirectTest.follow(self, "/V")
        self.assertEqual((len(locations), final.body), (3, VERSION))
        self.assertEqual(self.get("/V").status, 200)

    def test_fault_matches_the_exact_route_whatever_the_query(self):
        self.fault("/V", "status", code=500)
        self.assertEqual(self.get("/V?tax=1&id=2").status, 500)
        self.assertEqual(self.get("/V/").status, 404)
        self.assertEqual(self.get("/U").status, 200)

    def test_clear_removes_a_fault(self):
        for method in ("DELETE", "POST"):
            with self.subTest(method=method):
                self.fault("/V", "status", code=500)
                self.assertEqual(self.control("clear", method=method, route="/V"), {"ok": True, "removed": True})
                self.assertEqual(self.get("/V").status, 200)
        self.assertEqual(self.control("clear", method="DELETE", route="/V")["removed"], False)
