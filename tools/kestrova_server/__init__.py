"""The maker's reference HTTP server: content routes, per-namespace faults, overlays and request log."""
