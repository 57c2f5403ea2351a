#!/usr/bin/env bash
# Builds the Windows plug-in and writes the package that host developers and
# deployers receive, printing its path as the last line:
#   scripts/package.sh [win32]   build/package/PelShx_PlaySDK-<version>-win32.zip, for 32-bit hosts
#   scripts/package.sh win64     build/package/PelShx_PlaySDK-<version>-win64.zip, for 64-bit hosts:
#                                the 64-bit DLL, and in bin/x86 its helper and the 32-bit plug-in
# The same commit gives the same bytes in any clone: the only time stamp is
# the commit's (the binaries' own are hashes of their contents), the binaries
# and their PDBs hold no build paths, and the files go in in a fixed order
# with fixed modes.
#
# Given a code-signing certificate, every .dll and .exe of the package is
# signed with Authenticode (osslsigncode) before the checksums are made; a
# signature holds its signing time, so a signed package is not reproducible:
#   PELSHX_SIGN_PFX            the certificate with its private key, a PKCS#12 (.pfx) file
#   PELSHX_SIGN_PASSWORD_FILE  a file holding the .pfx file's password, if it has one
#   PELSHX_SIGN_TIMESTAMP_URL  an RFC 3161 time-stamp server, so that the
#                              signatures stay valid after the certificate expires
# PELSHX_PACKAGE_DIR names another folder for the package (default build/package).
set -euo pipefail
cd "$(dirname "$0")/.."
arch=${1:-win32}
case $arch in
win32 | win64) ;;
*) echo "usage: scripts/package.sh [win32|win64]" >&2; exit 2 ;;
esac

scripts/install-deps.sh

out=${PELSHX_PACKAGE_DIR:-build/package}
mkdir -p build/package "$out"
build_log=build/package/build-$arch.log
sign_log=build/package/sign-$arch.log
build() {
    cmake --preset "$1" >/dev/null
    if ! cmake --build --preset "$1" --target "${@:2}" >"$build_log" 2>&1; then
        cat "$build_log" >&2
        exit 1
    fi
}
# The 64-bit package carries the 32-bit build's plug-in and helper.
build win32 PelShx_PlaySDK pelshx_host pelshx_bridge32 SHXStrm
[ "$arch" = win64 ] && build win64 PelShx_PlaySDK pelshx_host

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/win32/CMakeCache.txt)
name=PelShx_PlaySDK-$version-$arch
top=$out/$name
zip=$out/$name.zip
rm -rf "$top" "$zip"
mkdir -p "$top/bin" "$top/debug" "$top/examples" "$top/include" "$top/lib"

# The binaries as linked: stripped, each naming its PDB by file name, which
# lies in debug/ (debug/x86/ for those of bin/x86/).
ship() {
    local build=$1 binary=$2 folder=${3:-}
    mkdir -p "$top/bin/$folder" "$top/debug/$folder"
    cp "build/$build/bin/$binary" "$top/bin/$folder/"
    cp "build/$build/bin/${binary%.*}.pdb" "$top/debug/$folder/"
}
ship "$arch" PelShx_PlaySDK.dll
ship "$arch" pelshx_host.exe
if [ "$arch" = win32 ]; then
    cp src/plugin/PelShx_PlaySDK.def "$top/lib/"
else
    ship win32 PelShx_PlaySDK.dll x86
    ship win32 pelshx_bridge32.exe x86
    cp src/bridge/PelShx_PlaySDK64.def "$top/lib/PelShx_PlaySDK.def"
fi
cp "build/$arch/include/PelShx_PlaySDK.h" "$top/include/"
mkdir -p "$top/lib/cmake/PelShx_PlaySDK"
cp "build/$arch/cmake/PelShx_PlaySDKConfig.cmake" "build/$arch/cmake/PelShx_PlaySDKConfigVersion.cmake" \
    "$top/lib/cmake/PelShx_PlaySDK/"
cp "build/$arch/lib/PelShx_PlaySDK.lib" "build/$arch/lib/libPelShx_PlaySDK.dll.a" "$top/lib/"
cp examples/CMakeLists.txt examples/host.c examples/host.cpp "$top/examples/"
cp packaging/README.md CHANGELOG.md "$top/"

# sign BINARY: an Authenticode signature with SHA-256 digests, in place.
sign() {
    local options=(-pkcs12 "$PELSHX_SIGN_PFX" -h sha256 -n PelShx_PlaySDK)
    [ -z "${PELSHX_SIGN_PASSWORD_FILE:-}" ] || options+=(-readpass "$PELSHX_SIGN_PASSWORD_FILE")
    [ -z "${PELSHX_SIGN_TIMESTAMP_URL:-}" ] || options+=(-ts "$PELSHX_SIGN_TIMESTAMP_URL")
    osslsigncode sign "${options[@]}" -in "$1" -out "$1.signed" >"$sign_log" 2>&1 ||
        { cat "$sign_log" >&2; echo "cannot sign $1" >&2; exit 1; }
    mv "$1.signed" "$1"
}
if [ -n "${PELSHX_SIGN_PFX:-}" ]; then
    while IFS= read -r binary; do
        sign "$binary"
    done < <(find "$top/bin" -type f \( -name '*.dll' -o -name '*.exe' \) | LC_ALL=C sort)
fi
(cd "$top" && find . -type f ! -name SHA256SUMS | sed 's|^\./||' | LC_ALL=C sort | xargs sha256sum >SHA256SUMS)

find "$top" -type d -exec chmod 755 {} +
find "$top" -type f -exec chmod 644 {} +
commit_time=$(git log -1 --format=%ct)
find "$top" -exec touch --no-dereference --date="@$commit_time" {} +
(cd "$out" && find "$name" -type f | LC_ALL=C sort | TZ=UTC zip -q -X -D -@ "$name.zip")

realpath "$zip"
