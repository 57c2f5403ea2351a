#!/usr/bin/env bash
# Builds the 32-bit Windows plug-in and writes the package that host
# developers and deployers receive, build/package/PelShx_PlaySDK-<version>-win32.zip,
# printing its path as the last line. The same commit gives the same bytes in
# any clone: the only time stamp is the commit's, the binaries and their PDBs
# hold no build paths, and the files go in in a fixed order with fixed modes.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

cmake --preset win32 >/dev/null
mkdir -p build/package
build_log=build/package/build.log
if ! cmake --build --preset win32 --target PelShx_PlaySDK pelshx_host >"$build_log" 2>&1; then
    cat "$build_log" >&2
    exit 1
fi

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/win32/CMakeCache.txt)
name=PelShx_PlaySDK-$version-win32
top=build/package/$name
zip=build/package/$name.zip
rm -rf "$top" "$zip"
mkdir -p "$top/bin" "$top/debug" "$top/examples" "$top/include" "$top/lib"

# The binaries as linked: stripped, each naming its PDB by file name.
for binary in PelShx_PlaySDK.dll pelshx_host.exe; do
    cp "build/win32/bin/$binary" "$top/bin/"
    cp "build/win32/bin/${binary%.*}.pdb" "$top/debug/"
done
cp build/win32/include/PelShx_PlaySDK.h "$top/include/"
cp build/win32/lib/PelShx_PlaySDK.lib build/win32/lib/libPelShx_PlaySDK.dll.a src/plugin/PelShx_PlaySDK.def "$top/lib/"
cp examples/CMakeLists.txt examples/host.c examples/host.cpp "$top/examples/"
cp packaging/README.md CHANGELOG.md "$top/"
(cd "$top" && find . -type f ! -name SHA256SUMS | sed 's|^\./||' | LC_ALL=C sort | xargs sha256sum >SHA256SUMS)

find "$top" -type d -exec chmod 755 {} +
find "$top" -type f -exec chmod 644 {} +
commit_time=$(git log -1 --format=%ct)
find "$top" -exec touch --no-dereference --date="@$commit_time" {} +
(cd build/package && find "$name" -type f | LC_ALL=C sort | TZ=UTC zip -q -X -D -@ "$name.zip")

echo "$PWD/$zip"
