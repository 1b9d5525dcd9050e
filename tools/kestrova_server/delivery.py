"""Sending a reply: the normal way, or the broken way a fault asks for; counting the body
bytes the client's connection took, so a test can see where a client stopped a transfer."""

import socket
import struct
from dataclasses import dataclass
from http import HTTPStatus

from .bodies import BytesBody, PatternBody

# A stalled reply with nothing behind it still promises a body, so the client waits for one.
STALL_LENGTH = 1000000
# Files go out in pieces of this size, so a client that hangs up leaves a count of what went.
SEND_PIECE = 1024 * 1024
# The surplus of an "extra" fault goes out in small pieces with a pause between them, so
# that the count shows where the client stopped rather than what the socket buffers held.
EXTRA_PIECE = 64 * 1024
EXTRA_PAUSE = 0.005


class CountingConnection:
    """The client's socket as the bodies see it, counting the bytes it accepted."""

    def __init__(self, sock):
        self.sock = sock
        self.sent = 0

    def sendall(self, data):
        self.sock.sendall(data)
        self.sent += len(data)

    def sendfile(self, source, offset, count):
        while count > 0:
            sent = self.sock.sendfile(source, offset, min(count, SEND_PIECE))
            if not sent:
                return
            offset += sent
            count -= sent
            self.sent += sent


@dataclass
class Reply:
    status: int
    content_type: str
    body: object  # one of the bodies in bodies.py
    headers: tuple = ()


def status_page(status, extra_headers=()):
    phrase = f"{status} {HTTPStatus(status).phrase}"
    html = f"<html><body><h1>{phrase}</h1></body></html>\n".encode("ascii")
    return Reply(status, "text/html; charset=utf-8", BytesBody(html), tuple(extra_headers))


def send_headers(handler, status, content_type, length, extra=()):
    handler.send_response(status)
    handler.send_header("Content-Type", content_type)
    if length is not None:
        handler.send_header("Content-Length", str(length))
    for name, value in extra:
        handler.send_header(name, value)
    handler.end_headers()


def deliver(handler, reply, fault=None, sent=None):
    """Sends reply, bent by fault when there is one (redirects are handled before this).
    sent, a dict, gets "sent": the body bytes the connection took, also when it broke."""
    mode = fault.mode if fault else None
    if mode == "status":
        reply = Reply(fault.code, "text/plain; charset=utf-8", BytesBody(fault.body))
    elif mode == "body":
        reply = Reply(200, reply.content_type, BytesBody(fault.body))
    out = CountingConnection(handler.connection)
    try:
        _SENDERS.get(mode, _send_normal)(handler, reply, fault, out)
    finally:
        if sent is not None:
            sent["sent"] = out.sent


def _wants_body(handler):
    return handler.command != "HEAD"


def _send_normal(handler, reply, fault, out):
    send_headers(handler, reply.status, reply.content_type, reply.body.length, reply.headers)
    if _wants_body(handler):
        reply.body.send_all(out)


def _send_without_length(handler, reply, fault, out):
    # HTTP/1.0 framing: the body ends where the connection does.
    handler.close_connection = True
    send_headers(handler, reply.status, reply.content_type, None, reply.headers + (("Connection", "close"),))
    if _wants_body(handler):
        reply.body.send_all(out)


def _send_then_drop(handler, reply, fault, out):
    length = reply.body.length
    after = length // 2 if fault.after is None else min(fault.after, length)
    handler.close_connection = True
    send_headers(handler, reply.status, reply.content_type, length, reply.headers)
    if _wants_body(handler):
        for block in reply.body.chunks(limit=after):
            out.sendall(block)
    if fault.reset:
        _abort(handler)


def _send_trickle(handler, reply, fault, out):
    send_headers(handler, reply.status, reply.content_type, reply.body.length, reply.headers)
    if not _wants_body(handler):
        return
    stopping = handler.server.stopping
    for index, block in enumerate(reply.body.chunks(size=fault.chunk)):
        if index and stopping.wait(fault.delay):
            handler.close_connection = True
            return
        out.sendall(block)


def _send_with_extra(handler, reply, fault, out):
    # The body, then fault.extra bytes more than it has: announced in the length, or, with
    # nolength, unframed and ended by closing the connection.
    length = reply.body.length + fault.extra
    if fault.unframed:
        handler.close_connection = True
        send_headers(handler, reply.status, reply.content_type, None, reply.headers + (("Connection", "close"),))
    else:
        send_headers(handler, reply.status, reply.content_type, length, reply.headers)
    if not _wants_body(handler):
        return
    reply.body.send_all(out)
    stopping = handler.server.stopping
    for block in PatternBody(fault.extra).chunks(size=EXTRA_PIECE):
        if stopping.wait(EXTRA_PAUSE):
            handler.close_connection = True
            return
        out.sendall(block)


def _send_headers_then_stall(handler, reply, fault, out):
    length = reply.body.length if reply.status == 200 else STALL_LENGTH
    handler.close_connection = True
    send_headers(handler, 200, reply.content_type, length)
    # Waiting on the stop event lets a shutting-down server end stalls at once.
    handler.server.stopping.wait(fault.seconds)


def _abort(handler):
    # Zero linger turns close() into a TCP reset, as when the peer's machine dies.
    sock = handler.connection
    sock.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
    handler.rfile.close()  # the buffered reader holds a reference that would delay the close
    sock.close()


_SENDERS = {
    "nolength": _send_without_length,
    "drop": _send_then_drop,
    "trickle": _send_trickle,
    "stall": _send_headers_then_stall,
    "extra": _send_with_extra,
}
