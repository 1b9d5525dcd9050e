#!/usr/bin/env python3
"""What scripts/demo asks of the running reference server: set a fault on a route, wait for a
request to arrive, wait for the programs to go quiet. Talks to the control API of the root
namespace (tools/README.md)."""

import argparse
import json
import sys
import time
import urllib.parse
import urllib.request


def control(server, action, query="", method="GET"):
    url = f"{server}/_ctl/{action}" + (f"?{query}" if query else "")
    request = urllib.request.Request(url, data=b"" if method == "POST" else None, method=method)
    with urllib.request.urlopen(request, timeout=10) as reply:
        return json.loads(reply.read().decode("utf-8"))


def requests(server):
    return control(server, "log")


def set_fault(server, route, settings):
    query = urllib.parse.urlencode([("route", route)] + [tuple(item.split("=", 1)) for item in settings])
    control(server, "fault", query, method="POST")


def wait_for_request(server, path, query_part, after, timeout):
    """Index of the first request for path (whose query holds query_part) after index after."""
    deadline = time.monotonic() + timeout
    while True:
        log = requests(server)
        for index in range(after, len(log)):
            if log[index]["path"] == path and query_part in log[index]["query"]:
                return index
        if time.monotonic() > deadline:
            return None
        time.sleep(0.2)


def wait_for_quiet(server, quiet, timeout):
    """Waits until no request has arrived for quiet seconds; the number of requests so far."""
    deadline = time.monotonic() + timeout
    count, since = len(requests(server)), time.monotonic()
    while time.monotonic() - since < quiet and time.monotonic() < deadline:
        time.sleep(0.2)
        now = len(requests(server))
        if now != count:
            count, since = now, time.monotonic()
    return count


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--server", required=True, help="root URL of the reference server")
    commands = parser.add_subparsers(dest="command", required=True)
    fault = commands.add_parser("fault", help="make a route misbehave")
    fault.add_argument("route")
    fault.add_argument("settings", nargs="*", help="mode=trickle chunk=4096 delay=0.2 ...")
    wait = commands.add_parser("wait", help="wait for a request; prints its index in the log")
    wait.add_argument("path")
    wait.add_argument("--query", default="", help="text the request's query must contain")
    wait.add_argument("--after", type=int, default=0, help="ignore the first AFTER requests")
    wait.add_argument("--timeout", type=float, default=60)
    quiet = commands.add_parser("quiet", help="wait until requests stop; prints their count")
    quiet.add_argument("--seconds", type=float, default=1.5)
    quiet.add_argument("--timeout", type=float, default=60)
    count = commands.add_parser("count", help="print the number of requests so far")
    count.add_argument("path", nargs="?", help="only those for this path")
    args = parser.parse_args(argv)

    if args.command == "fault":
        set_fault(args.server, args.route, args.settings)
    elif args.command == "wait":
        index = wait_for_request(args.server, args.path, args.query, args.after, args.timeout)
        if index is None:
            print(f"no request for {args.path} within {args.timeout:g} s", file=sys.stderr)
            return 1
        print(index)
    elif args.command == "quiet":
        print(wait_for_quiet(args.server, args.seconds, args.timeout))
    else:
        print(sum(1 for request in requests(args.server) if args.path in (None, request["path"])))
    return 0


if __name__ == "__main__":
    sys.exit(main())
