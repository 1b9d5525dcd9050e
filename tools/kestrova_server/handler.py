"""One request: namespace, request log, fault and redirect handling, then the content."""

import re
from http.server import BaseHTTPRequestHandler
from urllib.parse import parse_qsl, unquote, urlsplit

from . import control, redirects
from .bodies import BytesBody, PatternBody
from .content import content_name, guess_type
from .delivery import Reply, deliver, send_headers, status_page
from .namespaces import split_namespace
from .ranges import offer_ranges
from .request_body import read_request_body

CONTROL_PREFIX = "/_ctl/"
_GENERATED = re.compile(r"/_gen/([0-9]{1,15})\Z")


def split_target(target):
    """(path, query) of a request target; path is None when the target is not usable."""
    if target.startswith("/"):
        path, _, query = target.partition("?")
        return path, query
    if target.lower().startswith(("http://", "https://")):
        parts = urlsplit(target)
        return parts.path or "/", parts.query
    return None, ""


class MakerRequestHandler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "KestrovaMaker/1.0"
    timeout = 120  # an idle keep-alive connection gives its thread back eventually
    # Headers and body leave in separate writes: with Nagle's algorithm the body of an answer
    # on a kept connection would wait for the client's delayed acknowledgement (40 ms here).
    disable_nagle_algorithm = True

    log_ns = "-"
    log_path = "-"

    def __getattr__(self, name):
        # Every method reaches the one dispatcher, so unknown methods get 405 rather than 501.
        if name.startswith("do_"):
            return self._dispatch
        raise AttributeError(name)

    def _dispatch(self):
        self.log_ns, self.log_path = "-", self.path
        try:
            body = read_request_body(self.rfile, self.headers)
        except ValueError:
            self.close_connection = True
            deliver(self, status_page(400))
            return
        raw_path, query = split_target(self.path)
        if raw_path is None:
            deliver(self, status_page(400))
        elif raw_path.startswith(CONTROL_PREFIX):
            self.log_ns = "(control)"
            control.handle(self, raw_path[len(CONTROL_PREFIX):], query, body)
        else:
            self._serve(raw_path, query)

    def _serve(self, raw_path, query):
        ns, raw_rest = split_namespace(raw_path)
        path = unquote(raw_rest, errors="replace")
        self.log_ns, self.log_path = ns or "-", path
        registry = self.server.registry
        entry = registry.record(ns, self.command, path, query, self.headers.get("Range"))
        if self.command not in ("GET", "HEAD"):
            deliver(self, status_page(405, [("Allow", "GET, HEAD")]))
            return
        pairs = parse_qsl(query, keep_blank_values=True)
        prefix = f"/t/{ns}" if ns else ""
        fault = None
        if redirects.is_hop(pairs):
            location = redirects.next_location(prefix, raw_rest, pairs)
        else:
            fault = registry.take_fault(ns, path)
            location = None
            if fault is not None and fault.mode == "redirect":
                location, fault = redirects.first_location(prefix, raw_rest, pairs, fault), None
        if location is not None:
            send_headers(self, 302, "text/plain; charset=utf-8", 0, [("Location", location)])
            return
        reply = self._reply(ns, path, dict(pairs))
        if fault is None or fault.mode != "norange":
            reply = offer_ranges(reply, self.headers)
        try:
            deliver(self, reply, fault, sent=entry)
        finally:
            self.server.write_log(f"{self.log_ns} {self.command} {self.log_path} sent {entry.get('sent', 0)} bytes")

    def _reply(self, ns, path, params):
        generated = _GENERATED.match(path)
        if generated:
            return Reply(200, "application/octet-stream", PatternBody(int(generated[1])))
        name = content_name(path, params)
        # An overlay may stand for the route ("/V") or for the file behind it ("/version.txt").
        keys = (path,) if name is None else (path, "/" + name)
        data = self.server.registry.overlay(ns, *keys)
        if data is not None:
            return Reply(200, guess_type(name or path), BytesBody(data))
        body = self.server.content.body(name) if name is not None else None
        if body is None:
            return status_page(404)
        return Reply(200, guess_type(name), body)

    def log_request(self, code="-", size="-"):
        status = code if isinstance(code, str) else int(code)
        self.server.write_log(f"{self.log_ns} {self.command} {self.log_path} {status}")

    def log_message(self, format, *args):
        self.server.write_log(format % args)
