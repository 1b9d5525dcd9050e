"""The port a test server listens on, for the scripts that started it."""

import os
import tempfile


def write_port_file(path, port):
    # Written beside the target and renamed, so a reader never sees half a number.
    folder = os.path.dirname(os.path.abspath(path))
    handle, temporary = tempfile.mkstemp(prefix=".port-", dir=folder)
    with os.fdopen(handle, "w") as port_file:
        port_file.write(f"{port}\n")
    os.replace(temporary, path)
