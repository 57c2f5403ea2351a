#!/usr/bin/env bash
# Checks the package as host developers and deployers use it. Unpacks the zip
# and checks that it holds exactly the files it should, with good checksums;
# compiles the header alone at every C and C++ level; builds hosts from the
# unpacked package only: Microsoft-ABI hosts without a C runtime (clang with
# the Microsoft compiler's macros, lld) in C++ loading the DLL, in C++ built
# with stdcall as default convention linking PelShx_PlaySDK.lib, and in C
# through lpVtbl, and a MinGW C host linking libPelShx_PlaySDK.dll.a. Each
# host and the packaged pelshx_host.exe run under Wine against the packaged
# DLL, with the win32 build's stand-in SHXStrm.dll beside it.
#
# Usage: scripts/sdk-test.sh [ZIP]   (default: what scripts/package.sh writes)
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD

zip=${1:-$(scripts/package.sh | tail -n 1)}
zip=$(realpath "$zip")
name=$(basename "$zip" .zip)
work=$repo/build/sdk-test
rm -rf "$work"
mkdir -p "$work/run"
status=0
fail() {
    echo "FAILED: $*"
    status=1
}

echo "=== $name: contents and checksums"
expected="CHANGELOG.md README.md SHA256SUMS bin/PelShx_PlaySDK.dll bin/pelshx_host.exe
debug/PelShx_PlaySDK.dll.debug include/PelShx_PlaySDK.h lib/PelShx_PlaySDK.def lib/PelShx_PlaySDK.lib
lib/libPelShx_PlaySDK.dll.a"
listed=$(unzip -Z1 "$zip" | sed "s|^$name/||" | LC_ALL=C sort | tr '\n' ' ')
[ "$listed" = "$(echo $expected) " ] || fail "the package holds [$listed]"
unzip -q "$zip" -d "$work"
sdk=$work/$name
summed=$(sed 's/^[0-9a-f]*  //' "$sdk/SHA256SUMS" | tr '\n' ' ')
[ "$summed" = "$(echo $expected | sed 's/ SHA256SUMS / /') " ] || fail "SHA256SUMS covers [$summed]"
(cd "$sdk" && sha256sum --quiet -c SHA256SUMS) || fail "checksums"

version=${name#PelShx_PlaySDK-}
version=${version%-win32}
echo "=== version $version in the header and the DLL; the DLL stripped, naming its symbol file"
grep -qx "#define PELSHX_PLAYSDK_VERSION_STRING \"$version\"" "$sdk/include/PelShx_PlaySDK.h" || fail "the header's version"
resource=$(i686-w64-mingw32-windres -i "$sdk/bin/PelShx_PlaySDK.dll" -O rc | tr -d '\r' || true)
for entry in "FILEVERSION ${version//./, }, 0" "PRODUCTVERSION ${version//./, }, 0" "\"FileVersion\", \"$version\"" \
    "\"ProductVersion\", \"$version\"" '"ProductName", "PelShx_PlaySDK"' '"OriginalFilename", "PelShx_PlaySDK.dll"'; do
    grep -qF "$entry" <<<"$resource" || fail "the DLL's version resource lacks $entry"
done
i686-w64-mingw32-objdump -h "$sdk/bin/PelShx_PlaySDK.dll" | grep -q '\.debug_' && fail "the DLL holds symbols"
: >"$work/debuglink"
i686-w64-mingw32-objcopy --dump-section .gnu_debuglink="$work/debuglink" "$sdk/bin/PelShx_PlaySDK.dll" \
    "$work/discard.dll" || true
debuglink=$(tr '\0' '\n' <"$work/debuglink" | head -n 1)
[ "$debuglink" = PelShx_PlaySDK.dll.debug ] || fail "the DLL names [$debuglink] as its symbol file"

echo "=== the header alone, with -pedantic -Wall -Wextra -Werror"
compilers=("i686-w64-mingw32-gcc" "clang --target=i686-pc-windows-msvc -U__i386__ -U__clang__ -ffreestanding" "gcc")
for standard in c89 c99 c11 c++98 c++11 c++17 c++20; do
    language=c
    [ "${standard#c++}" = "$standard" ] || language=c++
    for compiler in "${compilers[@]}"; do
        echo '#include "PelShx_PlaySDK.h"' |
            $compiler -x $language -std=$standard -pedantic -Wall -Wextra -Werror -fsyntax-only -I "$sdk/include" - ||
            fail "$compiler -std=$standard"
    done
done

echo "=== building the hosts from the package"
host_source=$repo/tests/sdk/sdk_host.c
host_warnings=(-O2 -Wall -Wextra -Werror -I "$sdk/include")
llvm-dlltool -m i386 -k -d tests/sdk/kernel32.def -l "$work/kernel32.lib"
# A host as the Microsoft compiler builds it, without a C runtime.
msvc_host() {
    local host=$1 language=$2 libraries=$3
    shift 3
    clang --target=i686-pc-windows-msvc -U__i386__ -U__clang__ -ffreestanding -DHOST_FREESTANDING \
        "${host_warnings[@]}" -x "$language" "$@" -c "$host_source" -o "$work/$host.obj" &&
        lld-link /nologo /entry:HostEntry /subsystem:console /nodefaultlib /out:"$work/run/$host.exe" \
            "$work/$host.obj" "$work/kernel32.lib" ${libraries:+"$libraries"} ||
        fail "building $host"
}
msvc_host msvc_cpp_loadlibrary c++ "" -std=c++14 -fno-exceptions -fno-rtti
msvc_host msvc_cpp_gz_linked c++ "$sdk/lib/PelShx_PlaySDK.lib" -std=c++14 -fno-exceptions -fno-rtti \
    -DHOST_LINKED -Xclang -fdefault-calling-conv=stdcall
msvc_host msvc_c_loadlibrary c "" -std=c11
i686-w64-mingw32-gcc -std=c99 "${host_warnings[@]}" -DHOST_LINKED "$host_source" -L "$sdk/lib" -lPelShx_PlaySDK \
    -o "$work/run/mingw_c_linked.exe" || fail "building mingw_c_linked"

echo "=== running the hosts under Wine"
cp "$sdk/bin/PelShx_PlaySDK.dll" "$sdk/bin/pelshx_host.exe" "$work/run/"
cp build/win32/bin/SHXStrm.dll "$work/run/"  # the stand-in, for the test only
export WINEPREFIX=$repo/build/win32/wine-prefix
cd "$work/run"
for host in msvc_cpp_loadlibrary msvc_cpp_gz_linked msvc_c_loadlibrary mingw_c_linked; do
    [ -f "$host.exe" ] || continue
    echo "--- $host"
    "$repo/scripts/wine-run.sh" "./$host.exe" | tr -d '\r' || fail "$host exited with $?"
done

echo "--- pelshx_host.exe checking the installation"
head -c 20000 /dev/zero >stream.bin
"$repo/scripts/wine-run.sh" ./pelshx_host.exe --rate=0 --read-back stream.bin >pelshx_host.out 2>&1 ||
    { tr -d '\r' <pelshx_host.out; fail "pelshx_host.exe"; }

[ $status -eq 0 ] && echo "=== the package passed"
exit $status
