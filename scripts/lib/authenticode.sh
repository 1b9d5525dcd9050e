# Authenticode signing of the shipped programs with Debian's osslsigncode, for scripts/package,
# and for the NSIS uninstaller, which makensis hands to this file run as a command:
#
#   bash scripts/lib/authenticode.sh sign FILE
#
# Taken from the environment, which scripts/package exports:
#   KESTROVA_SIGN_PFX        the certificate with its private key (PKCS#12)
#   KESTROVA_SIGN_PASSWORD   its password (empty when unset); handed to osslsigncode through a
#                            pipe, so that it shows on no command line
#   KESTROVA_TIMESTAMP_URL   an RFC 3161 time-stamp server, or empty for none
#   KESTROVA_VERIFY_CA       the CA file signatures are checked against (empty: the system's)

# sign_program FILE: FILE signed in place (SHA-256, time-stamped when a server is given),
# then checked; FILE is left as it was on any failure.
sign_program() {
    local file=$1 signed=$1.signing timestamp=()
    [ -z "${KESTROVA_TIMESTAMP_URL:-}" ] || timestamp=(-ts "$KESTROVA_TIMESTAMP_URL")
    rm -f "$signed"
    if ! osslsigncode sign -pkcs12 "$KESTROVA_SIGN_PFX" -readpass <(printf '%s' "${KESTROVA_SIGN_PASSWORD:-}") \
        -h sha256 "${timestamp[@]}" -in "$file" -out "$signed" >/dev/null; then
        rm -f "$signed"
        echo "$(basename "$file"): signing failed" >&2
        return 1
    fi
    verify_signature "$signed" "$(basename "$file")" || { rm -f "$signed"; return 1; }
    mv -f "$signed" "$file"
}

# verify_signature FILE [NAME]: FILE carries a valid signature from a certificate the CA file
# (or the system's certificates) trusts; osslsigncode's report is shown only when it does not.
verify_signature() {
    local file=$1 name=${2:-$(basename "$1")} report ca=()
    [ -z "${KESTROVA_VERIFY_CA:-}" ] || ca=(-CAfile "$KESTROVA_VERIFY_CA")
    if ! report=$(osslsigncode verify "${ca[@]}" -in "$file" 2>&1); then
        printf '%s\n' "$report" >&2
        echo "$name: its signature does not verify" >&2
        return 1
    fi
}

# unsigned_form FILE OUT: FILE without its signature, as osslsigncode leaves it (padded to eight
# bytes, its PE checksum recomputed), so that two signed files compare by what they sign.
unsigned_form() {
    osslsigncode remove-signature -in "$1" -out "$2" >/dev/null 2>&1
}

# sign_or_reuse FILE PREVIOUS: FILE signed; when PREVIOUS (that program as the previous release
# shipped it) signs the same bytes and its signature still verifies, FILE becomes PREVIOUS,
# so that an unchanged program keeps its digest and installations do not fetch it again.
# Prints which it did.
sign_or_reuse() {
    local file=$1 previous=$2 name work reason=
    name=$(basename "$file")
    sign_program "$file" || return 1
    if [ -z "$previous" ]; then
        echo "$name: signed"
        return 0
    fi
    work=$(mktemp -d)
    if ! [ -f "$previous" ]; then
        reason="not in the previous release"
    elif ! unsigned_form "$previous" "$work/previous"; then
        reason="the previous release's copy is not signed"
    elif ! unsigned_form "$file" "$work/new" || ! cmp -s "$work/previous" "$work/new"; then
        reason="changed since the previous release"
    elif ! verify_signature "$previous" 2>/dev/null; then
        reason="the previous release's signature no longer verifies"
    fi
    rm -rf "$work"
    if [ -n "$reason" ]; then
        echo "$name: signed ($reason)"
    else
        cp -f "$previous" "$file"
        echo "$name: the previous release's signed file (unchanged)"
    fi
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
    set -euo pipefail
    case ${1:-} in
        sign)
            [ $# = 2 ] || { echo "usage: $0 sign FILE" >&2; exit 2; }
            : "${KESTROVA_SIGN_PFX:?names no certificate to sign with}"
            sign_program "$2" ;;
        *) echo "usage: $0 sign FILE" >&2; exit 2 ;;
    esac
fi
