"""What every test server of tools/ does around its request loop: say its port to the
script that started it, and stop cleanly on SIGTERM or SIGINT."""

import os
import signal
import tempfile
import threading


def write_port_file(path, port):
    # Written beside the target and renamed, so a reader never sees half a number.
    folder = os.path.dirname(os.path.abspath(path))
    handle, temporary = tempfile.mkstemp(prefix=".port-", dir=folder)
    with os.fdopen(handle, "w") as port_file:
        port_file.write(f"{port}\n")
    os.replace(temporary, path)


def serve_until_signalled(server, request_stop, port_file=None, ready_line=None):
    """Serves until a signal asks for the end; request_stop makes serve_forever return."""

    def stop(signum, frame):
        # serve_forever runs on this very thread, so the stop must come from another.
        threading.Thread(target=request_stop, daemon=True).start()

    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGINT, stop)
    if port_file:
        write_port_file(port_file, server.server_port)
    if ready_line:
        print(ready_line, flush=True)
    try:
        server.serve_forever()
    finally:
        server.server_close()
