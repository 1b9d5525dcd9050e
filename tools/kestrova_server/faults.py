"""Fault settings: how a route misbehaves, parsed and checked from control parameters."""

from dataclasses import dataclass

MODES = ("status", "nolength", "drop", "trickle", "stall", "redirect", "body", "norange", "extra")


@dataclass
class Fault:
    mode: str
    body: bytes = b""
    code: int = 200
    after: int | None = None  # drop: bytes sent before closing; None means half
    reset: bool = False  # drop: end with a TCP reset instead of an orderly close
    chunk: int = 1024
    delay: float = 0.2
    seconds: float = 60.0
    hops: int = 3
    target: str = ""
    extra: int = 0  # extra: bytes sent beyond the body
    unframed: bool = False  # extra: no Content-Length, the connection's end ends the body
    remaining: int | None = None  # requests left before the fault expires; None is forever


def _number(params, name, kind, default, minimum):
    text = params.get(name)
    if text is None or text == "":
        return default
    try:
        value = kind(text)
    except ValueError:
        raise ValueError(f"{name} must be a number, not {text!r}") from None
    if value != value or value < minimum:  # value != value catches NaN
        raise ValueError(f"{name} must be at least {minimum}")
    return value


def parse_fault(params, body):
    """A Fault from the query parameters and body of a fault request; ValueError when invalid."""
    mode = params.get("mode", "")
    if mode not in MODES:
        raise ValueError(f"mode must be one of {', '.join(MODES)}")
    fault = Fault(
        mode=mode,
        body=body,
        code=_number(params, "code", int, 200, 100),
        after=_number(params, "after", int, None, 0),
        reset=params.get("reset", "") in ("1", "true", "yes"),
        chunk=_number(params, "chunk", int, 1024, 1),
        delay=_number(params, "delay", float, 0.2, 0.0),
        seconds=_number(params, "seconds", float, 60.0, 0.0),
        hops=_number(params, "hops", int, 3, 1),
        target=params.get("target", ""),
        extra=_number(params, "bytes", int, 0, 0),
        unframed=params.get("nolength", "") in ("1", "true", "yes"),
        remaining=_number(params, "count", int, None, 1),
    )
    if fault.code > 999:
        raise ValueError("code must have three digits")
    return fault
