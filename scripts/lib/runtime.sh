# Shared by scripts/test, scripts/demo and the bench scripts: a private display, a private
# Wine prefix with a persistent wineserver, and the reference maker server. Everything
# started here is recorded and stopped by stop_started (by process id), also when the
# caller fails. Each start checks that what it started runs, and stops the caller with a
# message naming what is missing when it does not.
# Expects: KESTROVA_ROOT (the repository) and KESTROVA_RUN (a folder for this run's state).

# Debian's wine64 package puts neither of these on PATH: call them by their real paths.
WINE64=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver
STARTED_PIDS=()
WINESERVER_PID=

runtime_fail() {
    echo "error: $*" >&2
    return 1
}

# require_executable PATH PACKAGE: stops with a message naming the package that brings PATH.
require_executable() {
    [ -x "$1" ] || runtime_fail "$1 is missing (Debian package $2; scripts/bootstrap installs it)"
}

# show_log FILE: the tail of a log that explains a failed start.
show_log() {
    [ -s "$1" ] || return 0
    echo "--- last lines of $1:" >&2
    tail -n 20 "$1" >&2
}

stop_started() {
    local pid
    # The persistent server ends the prefix's processes with it; a failure here cannot
    # change the run's result, but it is reported.
    if [ -n "$WINESERVER_PID" ]; then
        "$WINESERVER" -k >/dev/null 2>&1 ||
            { kill -0 "$WINESERVER_PID" 2>/dev/null && echo "warning: $WINESERVER -k failed" >&2; }
    fi
    for pid in "${STARTED_PIDS[@]}"; do
        kill "$pid" >/dev/null 2>&1 || true
    done
    for pid in "${STARTED_PIDS[@]}"; do
        wait "$pid" >/dev/null 2>&1 || true
    done
    STARTED_PIDS=()
    WINESERVER_PID=
}

# wait_until SECONDS COMMAND...: true as soon as COMMAND succeeds, false after SECONDS.
wait_until() {
    local seconds=$1 i; shift
    for i in $(seq 1 $((seconds * 10))); do
        "$@" && return 0
        sleep 0.1
    done
    "$@"
}

ready_or_gone() { [ -s "$2" ] || ! kill -0 "$1" 2>/dev/null; }

# expect_started PID FILE LOG WHAT: true once the process PID has written FILE (how it says
# it is ready) and still runs; else shows LOG and fails naming WHAT.
expect_started() {
    local pid=$1 ready=$2 log=$3 what=$4
    wait_until 10 ready_or_gone "$pid" "$ready" || true
    if [ -s "$ready" ] && kill -0 "$pid" 2>/dev/null; then return 0; fi
    show_log "$log"
    runtime_fail "$what did not start"
}

# A display of our own, unless one is already there and KESTROVA_USE_DISPLAY is set.
start_display() {
    if [ -n "${KESTROVA_USE_DISPLAY:-}" ] && [ -n "${DISPLAY:-}" ]; then return 0; fi
    local xvfb
    xvfb=$(command -v Xvfb) || runtime_fail "Xvfb is not on PATH (Debian package xvfb)" || return 1
    local fdfile="$KESTROVA_RUN/display" log="$KESTROVA_RUN/xvfb.log"
    rm -f "$fdfile"
    "$xvfb" -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fdfile" </dev/null >"$log" 2>&1 &
    STARTED_PIDS+=($!)
    expect_started $! "$fdfile" "$log" Xvfb || return 1
    export DISPLAY=":$(tr -d '\n' <"$fdfile")"
}

# Whether a wineserver listens for the prefix: its socket sits in a folder keyed by the
# device and inode of the prefix, under /tmp/.wine-UID upstream and under a folder
# /tmp/wine-XXXXXX of its own in Debian's build.
wineserver_listening() {
    local key candidate
    key=$(printf 'server-%x-%x' "$(stat -c %d "$WINEPREFIX")" "$(stat -c %i "$WINEPREFIX")") || return 1
    for candidate in "/tmp/.wine-$(id -u)/$key/socket" /tmp/wine-*/"$key/socket"; do
        [ -S "$candidate" ] && return 0
    done
    return 1
}

# start_wine [PREFIX [LOG_PIXELS]]: a persistent wineserver for PREFIX ($KESTROVA_RUN/wineprefix
# unless given), whose screen has LOG_PIXELS pixels per inch when given (the setting holds
# for the whole prefix). Code page 936 needs the zh_CN locale; the HTML engine and .NET
# layer of Wine cannot be downloaded here, so their install prompts are switched off for good.
start_wine() {
    local prefix=${1:-$KESTROVA_RUN/wineprefix} log_pixels=${2:-}
    require_executable "$WINE64" wine64 || return 1
    require_executable "$WINESERVER" wine64 || return 1
    export WINEPREFIX="$prefix"
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml="
    export LC_ALL=zh_CN.UTF-8
    export WINEARCH=win64
    local log="$KESTROVA_RUN/wine.log"
    : >"$log"
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        echo "creating the Wine prefix (once)" >&2
        if ! "$WINE64" wineboot --init >>"$log" 2>&1 || ! "$WINESERVER" -w >>"$log" 2>&1 ||
            [ ! -f "$WINEPREFIX/system.reg" ]; then
            show_log "$log"
            runtime_fail "could not create the Wine prefix $WINEPREFIX"
            return 1
        fi
    fi
    # Set before the persistent server starts, so that every process of the prefix sees it.
    if [ -n "$log_pixels" ] && { ! "$WINE64" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD \
        /d "$log_pixels" /f >>"$log" 2>&1 || ! "$WINESERVER" -w >>"$log" 2>&1; }; then
        show_log "$log"
        runtime_fail "could not set LogPixels $log_pixels in $WINEPREFIX"
        return 1
    fi
    # In the foreground, so that the recorded process id is the server itself (-p alone
    # detaches, leaving the id of a launcher that is already gone). Its standard streams
    # must not keep the caller's pipes open.
    "$WINESERVER" -f -p </dev/null >>"$log" 2>&1 &
    WINESERVER_PID=$!
    STARTED_PIDS+=("$WINESERVER_PID")
    if ! wait_until 10 wineserver_listening || ! kill -0 "$WINESERVER_PID" 2>/dev/null; then
        show_log "$log"
        runtime_fail "the persistent $WINESERVER did not start (is another one running for $WINEPREFIX?)"
        return 1
    fi
    if ! "$WINE64" cmd /c exit >>"$log" 2>&1; then
        show_log "$log"
        runtime_fail "a Wine process could not start in $WINEPREFIX"
        return 1
    fi
    kill -0 "$WINESERVER_PID" 2>/dev/null || { runtime_fail "the persistent $WINESERVER ended"; return 1; }
}

# Stops the persistent wineserver of start_wine, and with it the processes of its prefix.
stop_wine() {
    [ -n "$WINESERVER_PID" ] || return 0
    "$WINESERVER" -k >/dev/null 2>&1 ||
        { kill -0 "$WINESERVER_PID" 2>/dev/null && echo "warning: $WINESERVER -k failed" >&2; }
    wait "$WINESERVER_PID" >/dev/null 2>&1 || true
    local pid kept=()
    for pid in "${STARTED_PIDS[@]}"; do [ "$pid" = "$WINESERVER_PID" ] || kept+=("$pid"); done
    STARTED_PIDS=("${kept[@]}")
    WINESERVER_PID=
}

# The reference server on loopback; sets KESTROVA_TEST_SERVER.
# The server listens on KESTROVA_TEST_PORT when set (the programs built for end-to-end
# tests have its address compiled in), else on a free port.
start_server() {
    local content=$1
    local portfile="$KESTROVA_RUN/server.port" log="$KESTROVA_RUN/server.stderr"
    rm -f "$portfile"
    # With KESTROVA_TEST_CERTS (tools/test_certificates.py's folder) it serves TLS too,
    # on KESTROVA_TLS_PORT, starting with the good certificate.
    local tls=() tls_portfile="$KESTROVA_RUN/server-tls.port"
    rm -f "$tls_portfile"
    if [ -n "${KESTROVA_TEST_CERTS:-}" ]; then
        tls=(--tls-port "${KESTROVA_TLS_PORT:-0}" --tls-port-file "$tls_portfile"
            --tls-cert "$KESTROVA_TEST_CERTS/good.pem" --tls-key "$KESTROVA_TEST_CERTS/good.key")
    fi
    python3 "$KESTROVA_ROOT/tools/maker_server.py" --content "$content" --port "${KESTROVA_TEST_PORT:-0}" \
        --port-file "$portfile" --log "$KESTROVA_RUN/server.log" "${tls[@]}" </dev/null >"$log" 2>&1 &
    STARTED_PIDS+=($!)
    expect_started $! "$portfile" "$log" "the reference server (port ${KESTROVA_TEST_PORT:-any})" || return 1
    export KESTROVA_TEST_SERVER="http://127.0.0.1:$(cat "$portfile")"
    if [ -n "${KESTROVA_TEST_CERTS:-}" ]; then
        [ -s "$tls_portfile" ] || { echo "the reference server wrote no TLS port" >&2; cat "$log" >&2; return 1; }
        export KESTROVA_TEST_TLS_SERVER="https://localhost:$(cat "$tls_portfile")"
    fi
}

# The forward proxy of the proxy tests on loopback; sets KESTROVA_TEST_PROXY (host:port)
# and KESTROVA_TEST_CLOSED_PROXY, a port beside it where nothing listens.
start_test_proxy() {
    local port=$1
    local portfile="$KESTROVA_RUN/proxy.port" log="$KESTROVA_RUN/proxy.stderr"
    rm -f "$portfile"
    python3 "$KESTROVA_ROOT/tools/test_proxy.py" --port "$port" --port-file "$portfile" \
        --log "$KESTROVA_RUN/proxy.log" </dev/null >"$log" 2>&1 &
    STARTED_PIDS+=($!)
    expect_started $! "$portfile" "$log" "the test proxy (port $port)" || return 1
    export KESTROVA_TEST_PROXY="127.0.0.1:$(cat "$portfile")"
    export KESTROVA_TEST_CLOSED_PROXY="127.0.0.1:$((port + 1))"
}
