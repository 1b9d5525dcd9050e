"""The threaded server holding the content folder, the namespaces and the log output."""

import socket
import socketserver
import sys
import threading
import time
import traceback
from http.server import ThreadingHTTPServer

from .content import ContentFolder
from .handler import MakerRequestHandler
from .namespaces import Registry


class MakerServer(ThreadingHTTPServer):
    daemon_threads = True
    request_queue_size = 128  # parallel test programs open many connections at once

    def __init__(self, content_dir, host="127.0.0.1", port=0, log_stream=None):
        self.content = ContentFolder(content_dir)
        self.registry = Registry()
        self.stopping = threading.Event()
        self._log_stream = log_stream
        self._log_lock = threading.Lock()
        self.address_family = socket.AF_INET6 if ":" in host else socket.AF_INET
        super().__init__((host, port), MakerRequestHandler)

    def server_bind(self):
        # HTTPServer.server_bind looks up the host's full name, which can hang without DNS.
        socketserver.TCPServer.server_bind(self)
        self.server_name, self.server_port = self.server_address[:2]

    @property
    def url(self):
        host = self.server_name
        return f"http://[{host}]:{self.server_port}" if ":" in host else f"http://{host}:{self.server_port}"

    def write_log(self, line):
        if self._log_stream is None:
            return
        with self._log_lock:
            self._log_stream.write(f"{time.strftime('%H:%M:%S')} {line}\n")
            self._log_stream.flush()

    def handle_error(self, request, client_address):
        # Clients hanging up in the middle of a stall, drop or timeout are routine here.
        if isinstance(sys.exc_info()[1], (ConnectionError, TimeoutError)):
            return
        text = traceback.format_exc()
        with self._log_lock:
            stream = self._log_stream or sys.stderr
            stream.write(f"error serving {client_address}:\n{text}")
            stream.flush()

    def request_stop(self):
        """Ends serve_forever and wakes stalled or trickling replies; call it from another thread."""
        self.stopping.set()
        self.shutdown()
