#!/bin/sh
# Runs a test program in a Wine prefix of its own, with a wineserver of its own: the proxy
# settings its tests write are prefix-wide and must not reach tests running beside them.
# Usage: own_prefix.sh WINE64 PREFIX PROGRAM [ARGUMENTS...]
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
"$wine64" "$@"
code=$?
# Whatever the tests left running ends with this prefix's server, and only that.
"$wineserver" -k >/dev/null 2>&1
exit $code
