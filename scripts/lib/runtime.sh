# Shared by scripts/test and scripts/demo: a private display, a private Wine prefix with a
# persistent wineserver, and the reference maker server. Everything started here is
# recorded and stopped by stop_started (by process id), also when the caller fails.
# Expects: KESTROVA_ROOT (the repository) and KESTROVA_RUN (a folder for this run's state).

WINE64=/usr/lib/wine/wine64
STARTED_PIDS=()

stop_started() {
    local pid
    if [ -n "${WINEPREFIX:-}" ] && [ -d "${WINEPREFIX:-}" ]; then
        WINEPREFIX="$WINEPREFIX" wineserver -k >/dev/null 2>&1 || true
    fi
    for pid in "${STARTED_PIDS[@]}"; do
        kill "$pid" >/dev/null 2>&1 || true
    done
    for pid in "${STARTED_PIDS[@]}"; do
        wait "$pid" >/dev/null 2>&1 || true
    done
    STARTED_PIDS=()
}

# A display of our own, unless one is already there and KESTROVA_USE_DISPLAY is set.
start_display() {
    if [ -n "${KESTROVA_USE_DISPLAY:-}" ] && [ -n "${DISPLAY:-}" ]; then return 0; fi
    local fdfile="$KESTROVA_RUN/display"
    rm -f "$fdfile"
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fdfile" >/dev/null 2>&1 &
    STARTED_PIDS+=($!)
    local i
    for i in $(seq 1 100); do
        [ -s "$fdfile" ] && break
        sleep 0.1
    done
    [ -s "$fdfile" ] || { echo "Xvfb did not start" >&2; return 1; }
    export DISPLAY=":$(tr -d '\n' <"$fdfile")"
}

# Code page 936 needs the zh_CN locale; the HTML engine and .NET layer of Wine cannot be
# downloaded here, so their install prompts are switched off for good.
start_wine() {
    export WINEPREFIX="$KESTROVA_RUN/wineprefix"
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml="
    export LC_ALL=zh_CN.UTF-8
    export WINEARCH=win64
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        echo "creating the Wine prefix (once)" >&2
        "$WINE64" wineboot --init >/dev/null 2>&1 || true
        WINEPREFIX="$WINEPREFIX" wineserver -w >/dev/null 2>&1 || true
    fi
    wineserver -p </dev/null >/dev/null 2>&1 &
    STARTED_PIDS+=($!)
    # wineserver -p detaches; wait until its socket answers so later starts are quick.
    "$WINE64" cmd /c exit >/dev/null 2>&1 || true
}

# The reference server on loopback; sets KESTROVA_TEST_SERVER.
# The server listens on KESTROVA_TEST_PORT when set (the programs built for end-to-end
# tests have its address compiled in), else on a free port.
start_server() {
    local content=$1
    local portfile="$KESTROVA_RUN/server.port"
    rm -f "$portfile"
    python3 "$KESTROVA_ROOT/tools/maker_server.py" --content "$content" --port "${KESTROVA_TEST_PORT:-0}" \
        --port-file "$portfile" --log "$KESTROVA_RUN/server.log" >/dev/null 2>&1 &
    STARTED_PIDS+=($!)
    local i
    for i in $(seq 1 100); do
        [ -s "$portfile" ] && break
        sleep 0.1
    done
    [ -s "$portfile" ] || { echo "the reference server did not start" >&2; return 1; }
    export KESTROVA_TEST_SERVER="http://127.0.0.1:$(cat "$portfile")"
}
