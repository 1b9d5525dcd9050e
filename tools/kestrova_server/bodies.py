"""Response bodies that know their length and can send themselves whole or in pieces."""

import hashlib
import os
import stat

FILE_CHUNK = 64 * 1024
PATTERN_CHUNK = 1024 * 1024

# The generated pattern repeats every 256 bytes, so one block (plus a period of slack for
# unaligned starts) serves any offset without building the whole body in memory.
_PERIOD = bytes((i * 31 + 7) & 0xFF for i in range(256))
_PATTERN_BLOCK = memoryview(_PERIOD * (PATTERN_CHUNK // 256 + 1))


# Each body carries a strong entity tag (without quotes) that changes with its bytes, so a
# client resuming a download can tell the same file from a new one.


class BytesBody:
    def __init__(self, data):
        self.data = bytes(data)
        self.length = len(self.data)
        self.tag = hashlib.sha1(self.data).hexdigest()[:20]

    def chunks(self, limit=None, size=FILE_CHUNK):
        end = self.length if limit is None else min(limit, self.length)
        view = memoryview(self.data)
        for start in range(0, end, size):
            yield view[start:min(start + size, end)]

    def send_all(self, sock):
        sock.sendall(self.data)

    def slice(self, start, end):
        return BytesBody(self.data[start:end])


class FileBody:
    def __init__(self, path, length, offset=0, tag=""):
        self.path = path
        self.length = length
        self.offset = offset  # where the body starts inside the file
        self.tag = tag

    def chunks(self, limit=None, size=FILE_CHUNK):
        remaining = self.length if limit is None else min(limit, self.length)
        with open(self.path, "rb") as source:
            source.seek(self.offset)
            while remaining > 0:
                block = source.read(min(size, remaining))
                if not block:
                    return
                remaining -= len(block)
                yield block

    def send_all(self, sock):
        # sendfile keeps big downloads out of Python's hands entirely; it refuses a count of 0.
        if self.length == 0:
            return
        with open(self.path, "rb") as source:
            sock.sendfile(source, self.offset, self.length)

    def slice(self, start, end):
        return FileBody(self.path, end - start, self.offset + start, self.tag)


class PatternBody:
    def __init__(self, length, offset=0):
        self.length = length
        self.offset = offset  # position of the first byte in the endless pattern
        self.tag = f"gen-{length}"

    def chunks(self, limit=None, size=PATTERN_CHUNK):
        end = self.length if limit is None else min(limit, self.length)
        size = max(1, min(size, PATTERN_CHUNK))
        offset = 0
        while offset < end:
            count = min(size, end - offset)
            start = (self.offset + offset) % 256
            yield _PATTERN_BLOCK[start:start + count]
            offset += count

    def send_all(self, sock):
        for block in self.chunks():
            sock.sendall(block)

    def slice(self, start, end):
        return PatternBody(end - start, self.offset + start)


def file_body(path):
    """A body for the regular file at path, or None when there is none."""
    try:
        info = os.stat(path)
    except OSError:
        return None
    if not stat.S_ISREG(info.st_mode):
        return None
    return FileBody(path, info.st_size, tag=f"{info.st_size:x}-{info.st_mtime_ns:x}")
