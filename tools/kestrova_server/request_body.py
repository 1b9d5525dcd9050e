"""Reading a request's body, so control calls get their data and keep-alive stays in step."""


def read_request_body(rfile, headers):
    """The whole body of the request; ValueError when its framing is broken."""
    if "chunked" in headers.get("Transfer-Encoding", "").lower():
        return _read_chunked(rfile)
    text = headers.get("Content-Length")
    if not text:
        return b""
    try:
        length = int(text)
    except ValueError:
        raise ValueError("Content-Length is not a number") from None
    if length < 0:
        raise ValueError("Content-Length is negative")
    data = rfile.read(length)
    if len(data) != length:
        raise ValueError("the request body ended early")
    return data


def _read_chunked(rfile):
    parts = []
    while True:
        line = rfile.readline(1024)
        try:
            size = int(line.split(b";")[0].strip(), 16)
        except ValueError:
            raise ValueError("bad chunk size line") from None
        if size == 0:
            # Skip any trailer fields up to the blank line that ends the request.
            while rfile.readline(65537) not in (b"\r\n", b"\n", b""):
                pass
            return b"".join(parts)
        data = rfile.read(size)
        if len(data) != size:
            raise ValueError("the request body ended early")
        parts.append(data)
        rfile.readline(3)
