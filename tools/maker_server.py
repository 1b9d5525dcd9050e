#!/usr/bin/env python3
"""Runs the maker's reference server on a content folder.

Routes, namespaces and the control API are described in kestrova_server/.
"""

import argparse
import os
import sys

from kestrova_server.server import MakerServer
from kestrova_server.serving import serve_until_signalled


def parse_args(argv):
    parser = argparse.ArgumentParser(description="The maker's reference HTTP server.")
    parser.add_argument("--content", required=True, help="folder with version.txt, update.json, ...")
    parser.add_argument("--host", default="127.0.0.1")
    parser.add_argument("--port", type=int, default=0, help="0 picks a free port")
    parser.add_argument("--port-file", help="where to write the chosen port once listening")
    parser.add_argument("--log", help="append request lines here instead of stderr")
    parser.add_argument("--quiet", action="store_true", help="log no request lines")
    return parser.parse_args(argv)



def main(argv=None):
    args = parse_args(argv)
    if not os.path.isdir(args.content):
        print(f"maker_server: the content folder {args.content} does not exist", file=sys.stderr)
        return 2
    log_stream = None
    if not args.quiet:
        log_stream = open(args.log, "a", encoding="utf-8") if args.log else sys.stderr
    server = MakerServer(args.content, args.host, args.port, log_stream)

    try:
        serve_until_signalled(server, server.request_stop, args.port_file, f"listening on {server.url}")
    finally:
        if args.log and log_stream is not None:
            log_stream.close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
