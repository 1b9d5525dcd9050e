"""Byte ranges: a 200 reply offers them (Accept-Ranges, ETag) and a request for "bytes=N-" or
"bytes=N-M" gets that part as 206. If-Range must name the current entity tag exactly, else the
whole body comes back, so a client never splices two different files."""

import re

from .delivery import Reply

_RANGE = re.compile(r"bytes=([0-9]+)-([0-9]*)\Z")


def offer_ranges(reply, request_headers):
    """reply as a range request asks for it; replies other than a whole 200 body pass unchanged."""
    body = reply.body
    if reply.status != 200 or not getattr(body, "tag", ""):
        return reply
    etag = f'"{body.tag}"'
    headers = reply.headers + (("Accept-Ranges", "bytes"), ("ETag", etag))
    whole = Reply(200, reply.content_type, body, headers)
    match = _RANGE.match(request_headers.get("Range", "").strip())
    if match is None:
        return whole  # no range, several ranges, or a form this server does not serve
    if_range = request_headers.get("If-Range")
    if if_range is not None and if_range.strip() != etag:
        return whole
    start = int(match[1])
    end = min(int(match[2]), body.length - 1) if match[2] else body.length - 1
    if start >= body.length:
        return Reply(416, "text/plain; charset=utf-8", body.slice(0, 0), (("Content-Range", f"bytes */{body.length}"),))
    if end < start:
        return whole
    return Reply(206, reply.content_type, body.slice(start, end + 1),
                 headers + (("Content-Range", f"bytes {start}-{end}/{body.length}"),))
