"""Byte ranges with entity tags, as resuming clients use them, and the fault that turns them off."""

from .server_fixture import CONTENT, ServerTestCase, pattern

VELTRIN = CONTENT["files/update/Veltrin.exe"]


class RangeTest(ServerTestCase):
    def test_ranges_of_files_generated_bodies_and_overlays(self):
        self.control("put", body=b"overlay bytes " * 100, path="/pkg/over.bin")
        for path, whole in [("/files/update/Veltrin.exe", VELTRIN), ("/_gen/300000", pattern(0, 300000)),
                            ("/pkg/over.bin", b"overlay bytes " * 100)]:
            with self.subTest(path=path):
                plain = self.get(path)
                etag = plain.headers["ETag"]
                self.assertEqual((plain.status, plain.body, plain.headers["Accept-Ranges"]), (200, whole, "bytes"))
                self.assertTrue(etag.startswith('"') and etag.endswith('"'), etag)
                n = len(whole)
                # (Range, If-Range) -> (status, body, Content-Range)
                cases = [
                    (("bytes=1000-", None), (206, whole[1000:], f"bytes 1000-{n - 1}/{n}")),
                    (("bytes=10-19", etag), (206, whole[10:20], f"bytes 10-19/{n}")),
                    (("bytes=10-", '"another"'), (200, whole, None)),
                    (("bytes=10-", "W/" + etag), (200, whole, None)),
                    (("bytes=1-2,5-6", None), (200, whole, None)),
                    ((f"bytes={n}-", etag), (416, b"", f"bytes */{n}")),
                ]
                for (byte_range, if_range), (status, body, content_range) in cases:
                    headers = {"Range": byte_range, **({"If-Range": if_range} if if_range else {})}
                    response = self.get(path, headers=headers)
                    self.assertEqual((response.status, response.body, response.headers["Content-Range"]),
                                     (status, body, content_range), headers)
                self.assertEqual(self.get(path).headers["ETag"], etag, "the same bytes keep their tag")
        self.assertEqual([entry["range"] for entry in self.control("log")][:3], [None, "bytes=1000-", "bytes=10-19"])

    def test_a_changed_file_gets_another_tag_and_norange_turns_ranges_off(self):
        self.control("put", body=b"first", path="/pkg/a.bin")
        first = self.get("/pkg/a.bin").headers["ETag"]
        self.control("put", body=b"second", path="/pkg/a.bin")
        self.assertNotEqual(self.get("/pkg/a.bin").headers["ETag"], first)
        self.fault("/_gen/5000", "norange")
        response = self.get("/_gen/5000", headers={"Range": "bytes=100-"})
        self.assertEqual((response.status, response.body), (200, pattern(0, 5000)))
        self.assertNotIn("ETag", response.headers)
        self.assertNotIn("Accept-Ranges", response.headers)
        self.assertEqual(self.get("/V").headers["Content-Length"], str(len(CONTENT["version.txt"])))
