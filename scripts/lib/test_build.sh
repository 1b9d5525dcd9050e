# What a 64-bit test configuration needs besides the sources, for scripts/test and the
# benches that build test programs.

# A throw-away code-signing certificate of a CA that nothing else trusts: a test build's
# package is Authenticode-signed with it and checked against that CA, and configuring a
# test build asks for it whether or not the package is built.
#   ensure_test_signer DIR     makes DIR/signer.pfx, DIR/password and DIR/ca.pem unless fresh
ensure_test_signer() {
    local signer=$1
    if [ -z "$(find "$signer/signer.pfx" -mtime -300 2>/dev/null)" ]; then
        rm -rf "$signer"
        mkdir -p "$signer"
        head -c 18 /dev/urandom | base64 >"$signer/password"
        KESTROVA_SIGN_PASSWORD=$(cat "$signer/password") "$KESTROVA_ROOT/tests/release/make-code-signer" "$signer"
    fi
}

# A Release test configuration for a bench, in BUILD, with the dependencies under DEPS
# (scripts/bootstrap's prefix). The benches build no updater, so two throw-away keys made
# here once (BUILD/keys, current and next, .pem, .blob and .pub) stand for the keyed
# updater's, and a throw-away signer for the package's.
#   configure_bench_build BUILD DEPS
configure_bench_build() {
    local build=$1 deps=$2
    local keys="$build/keys"
    mkdir -p "$keys"
    for name in current next; do
        [ -s "$keys/$name.pub" ] || /usr/bin/python3 "$KESTROVA_ROOT/tools/publish_update.py" keygen \
            --out "$keys/$name.pem" --cng-out "$keys/$name.blob" >"$keys/$name.pub"
    done
    ensure_test_signer "$build/signer"
    cmake -S "$KESTROVA_ROOT" -B "$build" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$KESTROVA_ROOT/cmake/toolchain-x86_64.cmake" \
        -DKESTROVA_DEPS_PREFIX="$deps/x86_64" -DCMAKE_BUILD_TYPE=Release \
        -DKESTROVA_BUILD_TESTS=ON -DKESTROVA_TEST_UPDATE_KEY="$(cat "$keys/current.pub"),$(cat "$keys/next.pub")" \
        -DKESTROVA_TEST_SIGNER="$build/signer" >"$build.configure.log" 2>&1 ||
        { cat "$build.configure.log" >&2; return 1; }
}
