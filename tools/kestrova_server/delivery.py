"""Sending a reply: the normal way, or the broken way a fault asks for."""

import socket
import struct
from dataclasses import dataclass
from http import HTTPStatus

from .bodies import BytesBody

# A stalled reply with nothing behind it still promises a body, so the client waits for one.
STALL_LENGTH = 1000000


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


def deliver(handler, reply, fault=None):
    """Sends reply, bent by fault when there is one (redirects are handled before this)."""
    mode = fault.mode if fault else None
    if mode == "status":
        reply = Reply(fault.code, "text/plain; charset=utf-8", BytesBody(fault.body))
    elif mode == "body":
        reply = Reply(200, reply.content_type, BytesBody(fault.body))
    _SENDERS.get(mode, _send_normal)(handler, reply, fault)


def _wants_body(handler):
    return handler.command != "HEAD"


def _send_normal(handler, reply, fault):
    send_headers(handler, reply.status, reply.content_type, reply.body.length, reply.headers)
    if _wants_body(handler):
        reply.body.send_all(handler.connection)


def _send_without_length(handler, reply, fault):
    # HTTP/1.0 framing: the body ends where the connection does.
    handler.close_connection = True
    send_headers(handler, reply.status, reply.content_type, None, reply.headers + (("Connection", "close"),))
    if _wants_body(handler):
        reply.body.send_all(handler.connection)


def _send_then_drop(handler, reply, fault):
    length = reply.body.length
    after = length // 2 if fault.after is None else min(fault.after, length)
    handler.close_connection = True
    send_headers(handler, reply.status, reply.content_type, length, reply.headers)
    if _wants_body(handler):
        for block in reply.body.chunks(limit=after):
            handler.connection.sendall(block)
    if fault.reset:
        _abort(handler)


def _send_trickle(handler, reply, fault):
    send_headers(handler, reply.status, reply.content_type, reply.body.length, reply.headers)
    if not _wants_body(handler):
        return
    stopping = handler.server.stopping
    for index, block in enumerate(reply.body.chunks(size=fault.chunk)):
        if index and stopping.wait(fault.delay):
            handler.close_connection = True
            return
        handler.connection.sendall(block)


def _send_headers_then_stall(handler, reply, fault):
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
}
