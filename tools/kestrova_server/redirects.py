"""Redirect chains. Each hop's Location carries the chain's state in its query, so a chain
runs to its end even when its fault has expired meanwhile, and the original query survives."""

from urllib.parse import urlencode

HOP, HOPS, TARGET = "_hop", "_hops", "_target"


def is_hop(pairs):
    return any(name == HOP for name, _ in pairs)


def first_location(prefix, raw_path, pairs, fault):
    return _location(prefix, raw_path, pairs, 0, fault.hops, fault.target)


def next_location(prefix, raw_path, pairs):
    """The Location after the hop named in pairs, or None when the chain is complete."""
    state = dict(pairs)
    try:
        hop, hops = int(state[HOP]), int(state.get(HOPS, "0"))
    except ValueError:
        return None
    return _location(prefix, raw_path, pairs, hop, hops, state.get(TARGET, ""))


def _location(prefix, raw_path, pairs, hop, hops, target):
    if hop >= hops:
        return None
    if hop + 1 == hops and target:
        return prefix + target if target.startswith("/") else target
    plain = [(name, value) for name, value in pairs if name not in (HOP, HOPS, TARGET)]
    chain = [(HOP, str(hop + 1)), (HOPS, str(hops))] + ([(TARGET, target)] if target else [])
    return f"{prefix}{raw_path}?{urlencode(plain + chain)}"
