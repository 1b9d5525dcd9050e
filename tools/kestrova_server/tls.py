"""TLS on a second port with the same content, namespaces and faults as the plain one.

The certificate a client meets is chosen per connection by an SNI callback from the one
the control API named last ("tls?name=expired" picks expired.pem and expired.key beside
the starting certificate), so one build of a program meets every certificate in turn."""

import os
import ssl
import threading

from .namespaces import NAME
from .server import MakerServer


def _context(certificate, key):
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(certificate, key)
    return context


class CertificateChoice:
    def __init__(self, certificate, key):
        self._folder = os.path.dirname(os.path.abspath(certificate))
        self._default = _context(certificate, key)
        self._lock = threading.Lock()
        self._current = self._default
        self.current_name = os.path.splitext(os.path.basename(certificate))[0]
        # Connections start on the default context; the callback moves each to the chosen one.
        self.base = _context(certificate, key)
        self.base.sni_callback = self._pick

    def choose(self, name):
        """Serves NAME.pem with NAME.key from the starting certificate's folder from now on."""
        if not name or not NAME.match(name):
            raise ValueError("name may hold only letters, digits, _ and -")
        stem = os.path.join(self._folder, name)
        if not (os.path.isfile(stem + ".pem") and os.path.isfile(stem + ".key")):
            raise ValueError(f"no certificate {name}.pem with {name}.key in the certificate folder")
        context = _context(stem + ".pem", stem + ".key")
        with self._lock:
            self._current, self.current_name = context, name

    def _pick(self, connection, server_name, initial):
        with self._lock:
            connection.context = self._current


class TlsMakerServer(MakerServer):
    """Serves plain's content and namespaces over TLS."""

    def __init__(self, plain, host, port, choice):
        self.choice = choice
        super().__init__(plain.content.root, host, port, plain._log_stream)
        self.content, self.registry = plain.content, plain.registry
        self._log_lock = plain._log_lock  # one log, lines never interleaved
        self.registry.certificates = choice

    @property
    def url(self):
        return "https" + super().url[len("http"):]

    def finish_request(self, request, client_address):
        # The handshake runs on the connection's own thread, so a client that never
        # completes one holds no other.
        request.settimeout(30)
        try:
            connection = self.choice.base.wrap_socket(request, server_side=True)
        except (ssl.SSLError, OSError) as error:
            self.write_log(f"TLS handshake with {client_address[0]} refused ({self.choice.current_name}): {error}")
            return
        try:
            connection.settimeout(None)
            super().finish_request(connection, client_address)
        finally:
            connection.close()
