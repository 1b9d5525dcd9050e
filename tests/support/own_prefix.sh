#!/bin/sh
# Runs a program in a Wine prefix of its own, with a wineserver of its own: settings its
# tests write (proxy settings) or need (the screen's DPI) are prefix-wide and must not
# reach tests running beside them.
# Usage: own_prefix.sh WINE64 PREFIX PROGRAM [ARGUMENTS...]
# With KESTROVA_PREFIX_LOG_PIXELS set, the prefix's screen has that many pixels per inch.
wine64=$1 prefix=$2
shift 2
wineserver="$(dirname "$wine64")/wineserver"
export WINEPREFIX="$prefix" KESTROVA_OWN_PREFIX="$prefix"
if [ ! -f "$prefix/system.reg" ]; then
    echo "creating the Wine prefix $prefix (once)" >&2
    if ! "$wine64" wineboot --init >/dev/null 2>&1 || ! "$wineserver" -w || [ ! -f "$prefix/system.reg" ]; then
        echo "error: could not create the Wine prefix $prefix" >&2
        exit 1
    fi
fi
if [ -n "${KESTROVA_PREFIX_LOG_PIXELS:-}" ]; then
    if ! "$wine64" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD \
        /d "$KESTROVA_PREFIX_LOG_PIXELS" /f >/dev/null 2>&1; then
        echo "error: could not set LogPixels $KESTROVA_PREFIX_LOG_PIXELS in $prefix" >&2
        "$wineserver" -k >/dev/null 2>&1
        exit 1
    fi
fi
"$wine64" "$@"
code=$?
# Whatever the tests left running ends with this prefix's server, and only that.
"$wineserver" -k >/dev/null 2>&1
exit $code
