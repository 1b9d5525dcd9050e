# Shared by scripts/package and scripts/demo: building the programs for one architecture,
# laying out an installation folder, and checking that folder before it ships.
# Expects: KESTROVA_ROOT (the repository).

# What an installation folder holds besides its "sys.ini".
KESTROVA_DELIVERABLES=(Veltrin.exe Morvane.exe KestrovaSkin.dll skin.zip upload.zip)
# What the installer runs from its temporary folder and never installs: the writer of the
# updater's logon task definition, and the installation folder's protection.
KESTROVA_INSTALLER_HELPERS=(KestrovaTaskXml.exe KestrovaFolderProtection.exe)
# The installation folder's programs, which a signed release signs.
KESTROVA_SIGNED_PROGRAMS=(Veltrin.exe Morvane.exe KestrovaSkin.dll)

# DLLs that every supported Windows brings along. A shipped program may import these and our
# skin library; anything else (a compiler runtime, zlib, libcurl) would be missing on the
# user's machine.
WINDOWS_SYSTEM_DLLS=(
    advapi32.dll bcrypt.dll comctl32.dll comdlg32.dll crypt32.dll gdi32.dll gdiplus.dll
    imm32.dll iphlpapi.dll kernel32.dll msimg32.dll msvcrt.dll normaliz.dll ole32.dll oleacc.dll
    oleaut32.dll psapi.dll rpcrt4.dll secur32.dll shell32.dll shlwapi.dll urlmon.dll
    user32.dll userenv.dll uxtheme.dll version.dll winhttp.dll wininet.dll winmm.dll wldap32.dll
    ws2_32.dll wsock32.dll
)
SKIN_LIBRARY=KestrovaSkin.dll

mingw_triple() {
    case $1 in
        i686) echo i686-w64-mingw32 ;;
        x86_64) echo x86_64-w64-mingw32 ;;
        *) echo "unknown architecture $1 (i686 or x86_64)" >&2; return 1 ;;
    esac
}

# build_programs ARCH BUILD_DIR SERVER_URL [UPDATE_KEY]: a Release build of the programs,
# without tests, talking to SERVER_URL; its updater installs only updates signed by
# UPDATE_KEY (one public key, or current,next), or unsigned ones when it is empty.
build_programs() {
    local arch=$1 dir=$2 url=$3 key=${4:-} deps
    deps=$("$KESTROVA_ROOT/scripts/bootstrap" | tail -n 1)
    mkdir -p "$dir"
    cmake -S "$KESTROVA_ROOT" -B "$dir" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$KESTROVA_ROOT/cmake/toolchain-$arch.cmake" \
        -DKESTROVA_DEPS_PREFIX="$deps/$arch" -DCMAKE_BUILD_TYPE=Release \
        -DKESTROVA_BUILD_TESTS=OFF -DKESTROVA_INSTALL_FAULTS=OFF -DKESTROVA_TEST_CA_FILE= \
        -DKESTROVA_SERVER_URL="$url" -DKESTROVA_UPDATE_KEY="$key" \
        >"$dir.configure.log" 2>&1 ||
        { cat "$dir.configure.log" >&2; return 1; }
    cmake --build "$dir"
}

# cache_value BUILD_DIR NAME: a value from a configured build's CMake cache.
cache_value() {
    sed -n "s/^$2:[A-Z]*=//p" "$1/CMakeCache.txt" | head -n 1
}

# lay_out_installation BIN_DIR FOLDER VERSION: a fresh installation folder with the built
# deliverables and a "sys.ini" that records VERSION.
lay_out_installation() {
    local bin=$1 folder=$2 version=$3 name
    rm -rf "$folder"
    mkdir -p "$folder"
    for name in "${KESTROVA_DELIVERABLES[@]}"; do
        [ -f "$bin/$name" ] || { echo "missing from the build: $bin/$name" >&2; return 1; }
        cp "$bin/$name" "$folder/$name"
    done
    write_sys_ini "$folder/sys.ini" "$version"
}

# write_sys_ini FILE VERSION: the updater's settings file as the updater itself writes it.
write_sys_ini() {
    printf '[Soft]\r\nVer=%s\r\n' "$2" >"$1"
}

# check_installation ARCH FOLDER: every program is of the architecture's PE kind, imports
# nothing beyond Windows and the skin library, and carries its manifest, version
# information and icon. Prints what it found; returns non-zero on the first problem.
check_installation() {
    local arch=$1 folder=$2 triple name
    triple=$(mingw_triple "$arch") || return 1
    for name in Veltrin.exe Morvane.exe "$SKIN_LIBRARY"; do
        check_pe_kind "$arch" "$folder/$name" || return 1
        check_imports "$triple" "$folder/$name" || return 1
    done
    python3 "$KESTROVA_ROOT/scripts/lib/pe_check.py" "$folder/Veltrin.exe" --icon 208 --dpi-aware || return 1
    python3 "$KESTROVA_ROOT/scripts/lib/pe_check.py" "$folder/Morvane.exe" --dpi-aware || return 1
}

# check_installer_helpers ARCH BIN_DIR: the installer's helpers in the build are of the
# architecture's PE kind and import nothing beyond Windows (the installer runs them from its
# temporary folder, where no skin library is).
check_installer_helpers() {
    local arch=$1 bin=$2 triple name
    triple=$(mingw_triple "$arch") || return 1
    for name in "${KESTROVA_INSTALLER_HELPERS[@]}"; do
        [ -f "$bin/$name" ] || { echo "missing from the build: $bin/$name" >&2; return 1; }
        check_pe_kind "$arch" "$bin/$name" || return 1
        check_imports "$triple" "$bin/$name" || return 1
        if "$triple-objdump" -p "$bin/$name" | grep -qi "DLL Name: $SKIN_LIBRARY"; then
            echo "$name must not need $SKIN_LIBRARY" >&2; return 1
        fi
    done
}

# check_pe_kind ARCH FILE: FILE is a program of the architecture's PE kind.
check_pe_kind() {
    local kind description
    case $1 in i686) kind="PE32 " ;; x86_64) kind="PE32+ " ;; esac
    description=$(file -b "$2")
    echo "$(basename "$2"): $description"
    case $description in
        "$kind"*) ;;
        *) echo "$(basename "$2") is not a ${kind% } file" >&2; return 1 ;;
    esac
}

# check_imports TRIPLE FILE: the DLLs FILE imports, each one a Windows DLL or the skin library.
check_imports() {
    local triple=$1 file=$2 dll allowed bad=() imports
    imports=$("$triple-objdump" -p "$file" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
    [ -n "$imports" ] || { echo "$(basename "$file"): objdump found no imports" >&2; return 1; }
    allowed=" ${WINDOWS_SYSTEM_DLLS[*]} "
    [ "$(basename "$file")" = "$SKIN_LIBRARY" ] || allowed+="$(echo "$SKIN_LIBRARY" | tr 'A-Z' 'a-z') "
    for dll in $imports; do
        case $allowed in *" $dll "*) ;; *) bad+=("$dll") ;; esac
    done
    echo "  imports: $(echo $imports)"
    if [ "${#bad[@]}" -gt 0 ]; then
        echo "$(basename "$file") needs DLLs that Windows does not have: ${bad[*]}" >&2
        return 1
    fi
}
