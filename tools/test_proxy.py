#!/usr/bin/env python3
"""A forward HTTP proxy for the tests, standard library only.

Requests with an absolute URI (GET, HEAD) are passed on to their server, Range headers
included, and the answer streamed back. CONNECT host:port opens a tunnel to that server
(for https), through which the proxy only relays bytes. Each request is logged as
"METHOD URL STATUS". A
request with a plain path is the control API, for the tests on loopback:
  /_proxy/log      the logged lines since the last reset, one per line
  /_proxy/reset    forget the log and switch authentication off
  /_proxy/auth?user=U&password=P   require Basic authentication with these
"""

import argparse
import base64
import http.client
import select
import socket
import sys
import threading
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

from kestrova_server.serving import serve_until_signalled

HOP_HEADERS = {"connection", "proxy-connection", "keep-alive", "proxy-authorization", "proxy-authenticate",
               "te", "trailer", "transfer-encoding", "upgrade"}
BLOCK = 64 * 1024


class ProxyState:
    def __init__(self, log_path, credentials):
        self.lock = threading.Lock()
        self.log_path = log_path
        self.lines = []
        self.credentials = credentials  # "user:password", or None

    def record(self, line):
        with self.lock:
            self.lines.append(line)
            if self.log_path:
                with open(self.log_path, "a", encoding="utf-8") as log:
                    log.write(line + "\n")


class ProxyHandler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "KestrovaTestProxy"

    def log_message(self, format, *args):
        pass

    def do_GET(self):
        self.handle_request()

    def do_HEAD(self):
        self.handle_request()

    def do_CONNECT(self):
        state = self.server.state
        if state.credentials is not None and not self.authorised(state.credentials):
            state.record(f"CONNECT {self.path} 407")
            self.answer(407, b"proxy authentication required\n",
                        {"Proxy-Authenticate": 'Basic realm="kestrova-test"'})
            return
        host, _, port = self.path.rpartition(":")
        if not host or not port.isdigit():
            state.record(f"CONNECT {self.path} 400")
            self.answer(400, b"CONNECT takes host:port\n")
            return
        try:
            upstream = socket.create_connection((host.strip("[]"), int(port)), timeout=60)
        except OSError as error:
            state.record(f"CONNECT {self.path} 502")
            self.answer(502, f"server unreachable: {error}\n".encode())
            return
        state.record(f"CONNECT {self.path} 200")
        self.send_response(200, "Connection established")
        self.end_headers()
        self.close_connection = True
        with upstream:
            self.relay(self.connection, upstream)

    @staticmethod
    def relay(client, upstream):
        """Copies bytes both ways until either side closes."""
        sockets = [client, upstream]
        while True:
            readable, _, broken = select.select(sockets, [], sockets, 120)
            if broken or not readable:
                return
            for source in readable:
                try:
                    block = source.recv(BLOCK)
                except OSError:
                    return
                if not block:
                    return
                (upstream if source is client else client).sendall(block)

    def handle_request(self):
        if self.path.startswith("/"):
            self.control()
            return
        state = self.server.state
        if state.credentials is not None and not self.authorised(state.credentials):
            state.record(f"{self.command} {self.path} 407")
            self.answer(407, b"proxy authentication required\n",
                        {"Proxy-Authenticate": 'Basic realm="kestrova-test"'})
            return
        target = urllib.parse.urlsplit(self.path)
        if target.scheme != "http" or not target.hostname:
            state.record(f"{self.command} {self.path} 400")
            self.answer(400, b"only absolute http URLs\n")
            return
        path = target.path or "/"
        if target.query:
            path += "?" + target.query
        headers = {name: value for name, value in self.headers.items() if name.lower() not in HOP_HEADERS}
        headers["Connection"] = "close"
        try:
            upstream = http.client.HTTPConnection(target.hostname, target.port or 80, timeout=60)
            upstream.request(self.command, path, headers=headers)
            reply = upstream.getresponse()
        except OSError as error:
            state.record(f"{self.command} {self.path} 502")
            self.answer(502, f"server unreachable: {error}\n".encode())
            return
        state.record(f"{self.command} {self.path} {reply.status}")
        self.send_response(reply.status, reply.reason)
        for name, value in reply.getheaders():
            if name.lower() not in HOP_HEADERS:
                self.send_header(name, value)
        # Bodies are streamed as they come; without a length the end of the connection ends them.
        self.send_header("Connection", "close")
        self.end_headers()
        self.close_connection = True
        if self.command == "HEAD":
            upstream.close()
            return
        try:
            while True:
                block = reply.read1(BLOCK) if hasattr(reply, "read1") else reply.read(BLOCK)
                if not block:
                    break
                self.wfile.write(block)
                self.wfile.flush()
        except OSError:
            pass
        finally:
            upstream.close()

    def authorised(self, credentials):
        field = self.headers.get("Proxy-Authorization", "")
        scheme, _, token = field.partition(" ")
        if scheme.lower() != "basic":
            return False
        try:
            return base64.b64decode(token.strip()).decode("utf-8") == credentials
        except ValueError:
            return False

    def answer(self, status, body, extra=None):
        self.send_response(status)
        for name, value in (extra or {}).items():
            self.send_header(name, value)
        self.send_header("Content-Type", "text/plain")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        if self.command != "HEAD":
            self.wfile.write(body)

    def control(self):
        state = self.server.state
        request = urllib.parse.urlsplit(self.path)
        query = urllib.parse.parse_qs(request.query)
        if request.path == "/_proxy/log":
            with state.lock:
                body = "".join(line + "\n" for line in state.lines).encode()
            self.answer(200, body)
        elif request.path == "/_proxy/reset":
            with state.lock:
                state.lines = []
                state.credentials = None
            self.answer(200, b"reset\n")
        elif request.path == "/_proxy/auth":
            with state.lock:
                state.credentials = query.get("user", [""])[0] + ":" + query.get("password", [""])[0]
            self.answer(200, b"authentication on\n")
        else:
            self.answer(404, b"not a proxy request\n")



def main(argv=None):
    parser = argparse.ArgumentParser(description="A forward HTTP proxy for the tests.")
    parser.add_argument("--host", default="127.0.0.1")
    parser.add_argument("--port", type=int, default=0, help="0 picks a free port")
    parser.add_argument("--port-file", help="where to write the chosen port once listening")
    parser.add_argument("--log", help="append a line per proxied request here")
    parser.add_argument("--user", help="require Basic authentication with this user name")
    parser.add_argument("--password", default="", help="and this password")
    args = parser.parse_args(argv)
    server = ThreadingHTTPServer((args.host, args.port), ProxyHandler)
    server.daemon_threads = True
    server.state = ProxyState(args.log, f"{args.user}:{args.password}" if args.user else None)

    serve_until_signalled(server, server.shutdown, args.port_file)
    return 0


if __name__ == "__main__":
    sys.exit(main())
