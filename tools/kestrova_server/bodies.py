"""Response bodies that know their length and can send themselves whole or in pieces."""

import os
import stat

FILE_CHUNK = 64 * 1024
PATTERN_CHUNK = 1024 * 1024

# The generated pattern repeats every 256 bytes, so one block (plus a period of slack for
# unaligned starts) serves any offset without building the whole body in memory.
_PERIOD = bytes((i * 31 + 7) & 0xFF for i in range(256))
_PATTERN_BLOCK = memoryview(_PERIOD * (PATTERN_CHUNK // 256 + 1))


class BytesBody:
    def __init__(self, data):
        self.data = bytes(data)
        self.length = len(self.data)

    def chunks(self, limit=None, size=FILE_CHUNK):
        end = self.length if limit is None else min(limit, self.length)
        view = memoryview(self.data)
        for start in range(0, end, size):
            yield view[start:min(start + size, end)]

    def send_all(self, sock):
        sock.sendall(self.data)


class FileBody:
    def __init__(self, path, length):
        self.path = path
        self.length = length

    def chunks(self, limit=None, size=FILE_CHUNK):
        remaining = self.length if limit is None else min(limit, self.length)
        with open(self.path, "rb") as source:
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
            sock.sendfile(source, 0, self.length)


class PatternBody:
    def __init__(self, length):
        self.length = length

    def chunks(self, limit=None, size=PATTERN_CHUNK):
        end = self.length if limit is None else min(limit, self.length)
        size = max(1, min(size, PATTERN_CHUNK))
        offset = 0
        while offset < end:
            count = min(size, end - offset)
            start = offset % 256
            yield _PATTERN_BLOCK[start:start + count]
            offset += count

    def send_all(self, sock):
        for block in self.chunks():
            sock.sendall(block)


def file_body(path):
    """A body for the regular file at path, or None when there is none."""
    try:
        info = os.stat(path)
    except OSError:
        return None
    if not stat.S_ISREG(info.st_mode):
        return None
    return FileBody(path, info.st_size)
