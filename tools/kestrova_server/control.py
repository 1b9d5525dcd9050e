"""The control API under /_ctl/: faults, overlay files, request log and reset, per namespace,
and the certificate of the TLS port (for every namespace).
Control calls are neither logged nor faulted."""

import json
from urllib.parse import parse_qsl

from .faults import parse_fault
from .namespaces import NAME


def _route(params, name):
    route = params.get(name, "")
    if not route.startswith("/"):
        raise ValueError(f"{name} must be a path starting with /")
    return route


def _reset(registry, ns, params, body):
    registry.reset(ns)
    return {"ok": True}


def _fault(registry, ns, params, body):
    registry.set_fault(ns, _route(params, "route"), parse_fault(params, body))
    return {"ok": True}


def _clear(registry, ns, params, body):
    return {"ok": True, "removed": registry.clear_fault(ns, _route(params, "route"))}


def _put(registry, ns, params, body):
    registry.put(ns, _route(params, "path"), body)
    return {"ok": True, "size": len(body)}


def _log(registry, ns, params, body):
    return registry.log(ns)


def _tls(registry, ns, params, body):
    if registry.certificates is None:
        raise ValueError("this server has no TLS port")
    registry.certificates.choose(params.get("name", ""))
    return {"ok": True, "name": registry.certificates.current_name}


_ACTIONS = {
    "tls": (("POST",), _tls),
    "reset": (("GET", "POST"), _reset),
    "fault": (("POST",), _fault),
    "clear": (("DELETE", "POST"), _clear),
    "put": (("PUT", "POST"), _put),
    "log": (("GET",), _log),
}


def _send(handler, status, document, extra=()):
    data = json.dumps(document, ensure_ascii=False).encode("utf-8")
    handler.send_response(status)
    handler.send_header("Content-Type", "application/json; charset=utf-8")
    handler.send_header("Content-Length", str(len(data)))
    for name, value in extra:
        handler.send_header(name, value)
    handler.end_headers()
    if handler.command != "HEAD":
        handler.wfile.write(data)


def handle(handler, action, query, body):
    entry = _ACTIONS.get(action)
    if entry is None:
        _send(handler, 404, {"error": f"no control action {action!r}"})
        return
    methods, run = entry
    if handler.command not in methods:
        _send(handler, 405, {"error": f"{action} takes {' or '.join(methods)}"}, [("Allow", ", ".join(methods))])
        return
    params = dict(parse_qsl(query, keep_blank_values=True))
    ns = params.get("ns", "")
    if not NAME.match(ns):
        _send(handler, 400, {"error": "ns may hold only letters, digits, _ and -"})
        return
    try:
        result = run(handler.server.registry, ns, params, body)
    except ValueError as error:
        _send(handler, 400, {"error": str(error)})
        return
    _send(handler, 200, result)
