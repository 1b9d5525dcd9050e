"""The reference server's TLS port: the certificate the control API picks, the same
namespaces as the plain port, refused handshakes logged; and the test proxy's tunnel."""

import http.client
import io
import os
import ssl
import subprocess
import sys
import tempfile
import threading
import unittest

import test_certificates
from kestrova_server.tls import CertificateChoice, TlsMakerServer
from tests.server_fixture import ServerTestCase

TOOLS = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


class TlsPort(ServerTestCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.certs = os.path.join(cls._temp.name, "certs")
        os.makedirs(cls.certs)
        test_certificates.make(cls.certs, "localhost")
        cls.log = io.StringIO()
        cls.running.server._log_stream = cls.log
        choice = CertificateChoice(os.path.join(cls.certs, "good.pem"), os.path.join(cls.certs, "good.key"))
        cls.tls = TlsMakerServer(cls.running.server, "127.0.0.1", 0, choice)
        threading.Thread(target=cls.tls.serve_forever, kwargs={"poll_interval": 0.05}, daemon=True).start()

    @classmethod
    def tearDownClass(cls):
        cls.tls.request_stop()
        cls.tls.server_close()
        super().tearDownClass()

    def tearDown(self):
        self.control("tls", method="POST", name="good")

    def fetch(self, path, port=None):
        context = ssl.create_default_context(cafile=os.path.join(self.certs, "ca.pem"))
        connection = http.client.HTTPSConnection("localhost", port or self.tls.server_port, timeout=10,
                                                 context=context)
        try:
            connection.request("GET", self.target(path))
            response = connection.getresponse()
            return response.status, response.read()
        finally:
            connection.close()

    def test_serves_the_namespace_of_the_plain_port(self):
        self.control("put", body=b"9.9", path="/V")
        self.assertEqual(self.fetch("/V"), (200, b"9.9"))
        self.assertEqual(self.control("log")[-1]["path"], "/V")

    def test_each_bad_certificate_is_refused_by_a_checking_client_and_logged(self):
        for name, reason in (("expired", "expired"), ("wronghost", "match"), ("otherca", "unable to get")):
            with self.subTest(name):
                self.assertEqual(self.control("tls", method="POST", name=name)["name"], name)
                with self.assertRaises(ssl.SSLCertVerificationError) as caught:
                    self.fetch("/V")
                self.assertIn(reason, str(caught.exception))
                # The server's thread logs the alert it got after the client has given up.
                line = f"TLS handshake with 127.0.0.1 refused ({name})"
                for _ in range(100):
                    if line in self.log.getvalue():
                        break
                    threading.Event().wait(0.05)
                self.assertIn(line, self.log.getvalue())

    def test_an_unknown_or_malformed_name_is_refused(self):
        for name in ("missing", "../good", ""):
            with self.subTest(name):
                self.control("tls", method="POST", name=name, expect=400)
        self.assertEqual(self.fetch("/_gen/5")[0], 200)

    def test_the_test_proxy_tunnels_connect(self):
        port_file = os.path.join(self._temp.name, "proxy.port")
        proxy = subprocess.Popen([sys.executable, os.path.join(TOOLS, "test_proxy.py"), "--port", "0",
                                  "--port-file", port_file], stdout=subprocess.DEVNULL)
        self.addCleanup(proxy.wait)
        self.addCleanup(proxy.terminate)
        for _ in range(100):
            if os.path.exists(port_file):
                break
            threading.Event().wait(0.05)
        with open(port_file) as handle:
            proxy_port = int(handle.read())
        context = ssl.create_default_context(cafile=os.path.join(self.certs, "ca.pem"))
        connection = http.client.HTTPSConnection("127.0.0.1", proxy_port, timeout=10, context=context)
        connection.set_tunnel("localhost", self.tls.server_port)
        self.control("put", body=b"through", path="/V")
        try:
            connection.request("GET", self.target("/V"))
            self.assertEqual(connection.getresponse().read(), b"through")
        finally:
            connection.close()
        log = http.client.HTTPConnection("127.0.0.1", proxy_port, timeout=10)
        log.request("GET", "/_proxy/log")
        self.assertIn(f"CONNECT localhost:{self.tls.server_port} 200", log.getresponse().read().decode())
        log.close()


if __name__ == "__main__":
    unittest.main()
