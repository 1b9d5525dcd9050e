# Shared by scripts/test: names the tools the scripts call, with their paths and versions,
# and fails when one is missing, so that a tool only a hand-installed package provides
# shows up before the tests, not as a silent failure in the middle of them.

# name|command or absolute path|arguments that print its version (pkg:NAME: the version of
# the Debian package NAME, for a tool that cannot print its own)
KESTROVA_TOOLS=(
    "wine64|/usr/lib/wine/wine64|--version"
    "wineserver|/usr/lib/wine/wineserver|--version"
    "Xvfb|Xvfb|pkg:xvfb"
    "cmake|cmake|--version"
    "ninja|ninja|--version"
    "i686 compiler|i686-w64-mingw32-g++-posix|--version"
    "x86_64 compiler|x86_64-w64-mingw32-g++-posix|--version"
    "python3|python3|--version"
    "import (screenshots)|import|-version"
    "xdotool|xdotool|--version"
    "curl (benchmarks)|curl|--version"
    "bc (benchmarks)|bc|--version"
    "nginx (e2e tests)|/usr/sbin/nginx|-v"
    "osslsigncode|osslsigncode|--version"
)

# report_tools: one line per tool; non-zero when any is missing.
report_tools() {
    local entry name command args path version missing=0
    for entry in "${KESTROVA_TOOLS[@]}"; do
        IFS='|' read -r name command args <<<"$entry"
        if [[ $command == /* ]]; then
            [ -x "$command" ] && path=$command || path=
        else
            path=$(command -v "$command" || true)
        fi
        if [ -z "$path" ]; then
            printf '  %-22s MISSING (%s)\n' "$name" "$command"
            missing=1
            continue
        fi
        if [[ $args == pkg:* ]]; then
            version=$(dpkg-query -W -f='${Version}' "${args#pkg:}" 2>/dev/null || true)
        else
            # Some print their version on standard error; the first non-empty line names it.
            # shellcheck disable=SC2086
            version=$("$path" $args 2>&1 </dev/null | sed -n '/[^[:space:]]/{p;q}' || true)
        fi
        printf '  %-22s %s: %s\n' "$name" "$path" "${version:-(no version printed)}"
    done
    # The publishing tool signs updates with Debian's python3-cryptography, for Debian's Python.
    if version=$(/usr/bin/python3 -c 'import cryptography; print(cryptography.__version__)' 2>/dev/null); then
        printf '  %-22s %s: cryptography %s\n' "python3-cryptography" /usr/bin/python3 "$version"
    else
        printf '  %-22s MISSING (/usr/bin/python3 cannot import cryptography)\n' "python3-cryptography"
        missing=1
    fi
    if [ "$missing" -ne 0 ]; then
        echo "error: a tool the scripts call is missing; scripts/bootstrap should have installed it" >&2
        return 1
    fi
}
