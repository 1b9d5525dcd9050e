"""Per-namespace state (faults, overlay files, request log) so parallel tests stay apart."""

import re
import threading
import time

_PREFIX = re.compile(r"/t/([A-Za-z0-9_-]+)(/.*)\Z", re.S)
NAME = re.compile(r"[A-Za-z0-9_-]*\Z")


def split_namespace(raw_path):
    """("ns", "/rest") for "/t/ns/rest"; ("", raw_path) otherwise."""
    match = _PREFIX.match(raw_path)
    return (match[1], match[2]) if match else ("", raw_path)


class _Space:
    def __init__(self):
        self.faults = {}
        self.overlays = {}
        self.log = []


class Registry:
    def __init__(self):
        self._lock = threading.Lock()
        self._spaces = {}
        self.certificates = None  # the TLS port's CertificateChoice, when one serves

    def _space(self, ns):
        space = self._spaces.get(ns)
        if space is None:
            space = self._spaces[ns] = _Space()
        return space

    def reset(self, ns):
        with self._lock:
            self._spaces.pop(ns, None)

    def record(self, ns, method, path, query, byte_range=None):
        """Logs a request; the entry returned gets "sent", the body bytes sent, once known."""
        entry = {"method": method, "path": path, "query": query, "range": byte_range, "time": time.time(), "sent": 0}
        with self._lock:
            self._space(ns).log.append(entry)
        return entry

    def log(self, ns):
        with self._lock:
            space = self._spaces.get(ns)
            return list(space.log) if space else []

    def set_fault(self, ns, route, fault):
        with self._lock:
            self._space(ns).faults[route] = fault

    def clear_fault(self, ns, route):
        with self._lock:
            space = self._spaces.get(ns)
            return bool(space) and space.faults.pop(route, None) is not None

    def take_fault(self, ns, route):
        """The fault for route, counting this request against its remaining uses."""
        with self._lock:
            space = self._spaces.get(ns)
            fault = space.faults.get(route) if space else None
            if fault is not None and fault.remaining is not None:
                fault.remaining -= 1
                if fault.remaining <= 0:
                    del space.faults[route]
            return fault

    def put(self, ns, path, data):
        with self._lock:
            self._space(ns).overlays[path] = bytes(data)

    def overlay(self, ns, *paths):
        """The first overlay file stored under any of paths, or None."""
        with self._lock:
            space = self._spaces.get(ns)
            if space is None:
                return None
            for path in paths:
                if path in space.overlays:
                    return space.overlays[path]
            return None
