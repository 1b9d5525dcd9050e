#!/usr/bin/env python3
"""Runs the maker's reference server on a content folder.

Routes, namespaces and the control API are described in kestrova_server/.
"""

import argparse
import os
import sys
import threading

from kestrova_server.server import MakerServer
from kestrova_server.serving import serve_until_signalled, write_port_file
from kestrova_server.tls import CertificateChoice, TlsMakerServer


def parse_args(argv):
    parser = argparse.ArgumentParser(description="The maker's reference HTTP server.")
    parser.add_argument("--content", required=True, help="folder with version.txt, update.json, ...")
    parser.add_argument("--host", default="127.0.0.1")
    parser.add_argument("--port", type=int, default=0, help="0 picks a free port")
    parser.add_argument("--port-file", help="where to write the chosen port once listening")
    parser.add_argument("--log", help="append request lines here instead of stderr")
    parser.add_argument("--quiet", action="store_true", help="log no request lines")
    parser.add_argument("--tls-port", type=int, help="also serve TLS on this port (0 picks one)")
    parser.add_argument("--tls-cert", help="the TLS port's starting certificate (PEM); others beside it")
    parser.add_argument("--tls-key", help="its private key (PEM)")
    parser.add_argument("--tls-port-file", help="where to write the TLS port once listening")
    args = parser.parse_args(argv)
    if args.tls_port is not None and not (args.tls_cert and args.tls_key):
        parser.error("--tls-port needs --tls-cert and --tls-key")
    return args



def main(argv=None):
    args = parse_args(argv)
    if not os.path.isdir(args.content):
        print(f"maker_server: the content folder {args.content} does not exist", file=sys.stderr)
        return 2
    log_stream = None
    if not args.quiet:
        log_stream = open(args.log, "a", encoding="utf-8") if args.log else sys.stderr
    server = MakerServer(args.content, args.host, args.port, log_stream)
    tls_server = None
    if args.tls_port is not None:
        tls_server = TlsMakerServer(server, args.host, args.tls_port, CertificateChoice(args.tls_cert, args.tls_key))
        threading.Thread(target=tls_server.serve_forever, daemon=True).start()
        if args.tls_port_file:
            write_port_file(args.tls_port_file, tls_server.server_port)

    def stop():
        if tls_server is not None:
            tls_server.request_stop()
        server.request_stop()

    ready = f"listening on {server.url}" + (f" and {tls_server.url}" if tls_server else "")
    try:
        serve_until_signalled(server, stop, args.port_file, ready)
    finally:
        if tls_server is not None:
            tls_server.server_close()
        if args.log and log_stream is not None:
            log_stream.close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
