#!/usr/bin/env bash
# Checks a package as host developers and deployers use it. Unpacks the zip
# and checks that it holds exactly the files it should, with good checksums;
# compiles the header alone at every C and C++ level; builds hosts from the
# unpacked package only and runs them, and the packaged pelshx_host.exe,
# under Wine against the packaged DLL, with the win32 build's stand-in
# SHXStrm.dll beside the 32-bit plug-in.
#
# win32: Microsoft-ABI hosts without a C runtime (clang with the Microsoft
# compiler's macros, lld) in C++ loading the DLL, in C++ built with stdcall as
# default convention linking PelShx_PlaySDK.lib, and in C through lpVtbl, and
# a MinGW C host linking libPelShx_PlaySDK.dll.a, under 32-bit Wine.
# win64: a Microsoft-ABI C++ host linking PelShx_PlaySDK.lib and a MinGW C
# host, under 64-bit Wine; each gives the same results, out values, vendor
# calls (the stand-in's journal file) and log records as the same host run
# in process through the 32-bit DLL.
#
# Usage: scripts/sdk-test.sh [ZIP]   (default: what scripts/package.sh writes)
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD

zip=${1:-$(scripts/package.sh | tail -n 1)}
zip=$(realpath "$zip")
name=$(basename "$zip" .zip)
arch=${name##*-}
work=$repo/build/sdk-test-$arch
rm -rf "$work"
mkdir -p "$work/run"
status=0
fail() {
    echo "FAILED: $*"
    status=1
}

if [ "$arch" = win64 ]; then
    tools=x86_64-w64-mingw32
    msvc_target=(--target=x86_64-pc-windows-msvc -U__x86_64__)
    dlltool_machine=i386:x86-64
    wine_run=$repo/scripts/wine64-run.sh
    expected="CHANGELOG.md README.md SHA256SUMS bin/PelShx_PlaySDK.dll bin/pelshx_host.exe bin/x86/PelShx_PlaySDK.dll
bin/x86/pelshx_bridge32.exe debug/PelShx_PlaySDK.dll.debug debug/x86/PelShx_PlaySDK.dll.debug
debug/x86/pelshx_bridge32.exe.debug include/PelShx_PlaySDK.h lib/PelShx_PlaySDK.def lib/PelShx_PlaySDK.lib
lib/libPelShx_PlaySDK.dll.a"
else
    tools=i686-w64-mingw32
    msvc_target=(--target=i686-pc-windows-msvc -U__i386__)
    dlltool_machine=i386
    wine_run=$repo/scripts/wine-run.sh
    expected="CHANGELOG.md README.md SHA256SUMS bin/PelShx_PlaySDK.dll bin/pelshx_host.exe
debug/PelShx_PlaySDK.dll.debug include/PelShx_PlaySDK.h lib/PelShx_PlaySDK.def lib/PelShx_PlaySDK.lib
lib/libPelShx_PlaySDK.dll.a"
fi
msvc_clang=(clang "${msvc_target[@]}" -U__clang__ -ffreestanding)

echo "=== $name: contents and checksums"
listed=$(unzip -Z1 "$zip" | sed "s|^$name/||" | LC_ALL=C sort | tr '\n' ' ')
[ "$listed" = "$(echo $expected) " ] || fail "the package holds [$listed]"
unzip -q "$zip" -d "$work"
sdk=$work/$name
summed=$(sed 's/^[0-9a-f]*  //' "$sdk/SHA256SUMS" | tr '\n' ' ')
[ "$summed" = "$(echo $expected | sed 's/ SHA256SUMS / /') " ] || fail "SHA256SUMS covers [$summed]"
(cd "$sdk" && sha256sum --quiet -c SHA256SUMS) || fail "checksums"

version=${name#PelShx_PlaySDK-}
version=${version%-$arch}
echo "=== version $version in the header and the DLL; the DLL stripped, naming its symbol file"
grep -qx "#define PELSHX_PLAYSDK_VERSION_STRING \"$version\"" "$sdk/include/PelShx_PlaySDK.h" || fail "the header's version"
resource=$($tools-windres -i "$sdk/bin/PelShx_PlaySDK.dll" -O rc | tr -d '\r' || true)
for entry in "FILEVERSION ${version//./, }, 0" "PRODUCTVERSION ${version//./, }, 0" "\"FileVersion\", \"$version\"" \
    "\"ProductVersion\", \"$version\"" '"ProductName", "PelShx_PlaySDK"' '"OriginalFilename", "PelShx_PlaySDK.dll"'; do
    grep -qF "$entry" <<<"$resource" || fail "the DLL's version resource lacks $entry"
done
$tools-objdump -h "$sdk/bin/PelShx_PlaySDK.dll" | grep -q '\.debug_' && fail "the DLL holds symbols"
: >"$work/debuglink"
$tools-objcopy --dump-section .gnu_debuglink="$work/debuglink" "$sdk/bin/PelShx_PlaySDK.dll" \
    "$work/discard.dll" || true
debuglink=$(tr '\0' '\n' <"$work/debuglink" | head -n 1)
[ "$debuglink" = PelShx_PlaySDK.dll.debug ] || fail "the DLL names [$debuglink] as its symbol file"

echo "=== the header alone, with -pedantic -Wall -Wextra -Werror"
compilers=("$tools-gcc" "${msvc_clang[*]}" "gcc")
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
# x86-64 names carry no argument sizes.
sed "$([ "$arch" = win64 ] && echo 's/@[0-9]*$//')" tests/sdk/kernel32.def >"$work/kernel32.def"
llvm-dlltool -m $dlltool_machine -k -d "$work/kernel32.def" -l "$work/kernel32.lib"
# A host as the Microsoft compiler builds it, without a C runtime.
msvc_host() {
    local host=$1 language=$2 libraries=$3
    shift 3
    "${msvc_clang[@]}" -DHOST_FREESTANDING "${host_warnings[@]}" -x "$language" "$@" -c "$host_source" \
        -o "$work/$host.obj" &&
        lld-link /nologo /entry:HostEntry /subsystem:console /nodefaultlib /out:"$work/run/$host.exe" \
            "$work/$host.obj" "$work/kernel32.lib" ${libraries:+"$libraries"} ||
        fail "building $host"
}
mingw_host() {
    $tools-gcc -std=c99 "${host_warnings[@]}" -DHOST_LINKED "$host_source" -L "$sdk/lib" -lPelShx_PlaySDK \
        -o "$work/run/$1.exe" || fail "building $1"
}
if [ "$arch" = win64 ]; then
    hosts="msvc_cpp_linked mingw_c_linked"
    msvc_host msvc_cpp_linked c++ "$sdk/lib/PelShx_PlaySDK.lib" -std=c++14 -fno-exceptions -fno-rtti -DHOST_LINKED
else
    hosts="msvc_cpp_loadlibrary msvc_cpp_gz_linked msvc_c_loadlibrary mingw_c_linked"
    msvc_host msvc_cpp_loadlibrary c++ "" -std=c++14 -fno-exceptions -fno-rtti
    msvc_host msvc_cpp_gz_linked c++ "$sdk/lib/PelShx_PlaySDK.lib" -std=c++14 -fno-exceptions -fno-rtti \
        -DHOST_LINKED -Xclang -fdefault-calling-conv=stdcall
    msvc_host msvc_c_loadlibrary c "" -std=c11
fi
mingw_host mingw_c_linked

# Runs a host with the stand-in's journal going to a file and the plug-in's
# logs (debug level 1) going to a directory of their own inside the prefix,
# and keeps what it printed, the journal and the logs, without time stamps,
# in $work/$2.
run_host() {
    local host=$1 record=$2
    local drive_c=$WINEPREFIX/drive_c trace=pelshx-sdk-trace/$record
    rm -rf "$drive_c/$trace" "$work/$record"
    mkdir -p "$drive_c/tavo/cfg" "$work/$record"
    printf '[GLOBAL]\n[TRACE_PATH] [C:/%s]\n[DEBUG_LEVEL] [1]\n' "$trace" >"$drive_c/tavo/cfg/TAVO.cfg"
    SHXSTRM_JOURNAL=$(winepath_of "$work/$record/journal") "$run" "./$host.exe" | tr -d '\r' >"$work/$record/output" ||
        fail "$host exited with $?"
    cat "$work/$record/output"
    for log in Runtime Error; do
        local file=$drive_c/$trace/PelShx_Player_$log.log
        if [ -f "$file" ]; then tr -d '\r' <"$file" | sed 's/^\[[0-9 :.-]*\]$/[time]/'; fi >"$work/$record/$log.log"
    done
    rm -rf "$drive_c/$trace" "$drive_c/tavo/cfg/TAVO.cfg"
}
# A Unix path as Wine's Z: drive shows it.
winepath_of() {
    echo "Z:${1//\//\\}"
}

echo "=== running the hosts under Wine"
cp -r "$sdk/bin/." "$work/run/"
vendor_folder=$work/run
[ "$arch" = win64 ] && vendor_folder=$work/run/x86
cp build/win32/bin/SHXStrm.dll "$vendor_folder/"  # the stand-in, for the test only
export WINEPREFIX=$repo/build/$arch/wine-prefix
run=$wine_run
cd "$work/run"
for host in $hosts; do
    echo "--- $host"
    run_host "$host" "$host"
done

if [ "$arch" = win64 ]; then
    echo "--- the same host in process, through the 32-bit DLL under 32-bit Wine"
    mkdir -p "$work/run32"
    cp "$sdk/bin/x86/PelShx_PlaySDK.dll" "$repo/build/win32/bin/SHXStrm.dll" "$work/run32/"
    i686-w64-mingw32-gcc -std=c99 "${host_warnings[@]}" "$host_source" -o "$work/run32/mingw_c_32.exe" ||
        fail "building mingw_c_32"
    cd "$work/run32"
    WINEPREFIX=$repo/build/win32/wine-prefix run=$repo/scripts/wine-run.sh run_host mingw_c_32 in-process
    cd "$work/run"
    for host in $hosts; do
        for part in output journal Runtime.log Error.log; do
            cmp -s "$work/in-process/$part" "$work/$host/$part" ||
                fail "$host: $part differs from the in-process run: $(diff "$work/in-process/$part" "$work/$host/$part" | head -n 5)"
        done
    done
    [ -s "$work/in-process/journal" ] && [ -s "$work/in-process/Runtime.log" ] && [ -s "$work/in-process/Error.log" ] ||
        fail "the in-process run left no journal or logs to compare"
fi

echo "--- pelshx_host.exe checking the installation"
head -c 20000 /dev/zero >stream.bin
"$wine_run" ./pelshx_host.exe --rate=0 --read-back stream.bin >pelshx_host.out 2>&1 ||
    { tr -d '\r' <pelshx_host.out; fail "pelshx_host.exe"; }

[ $status -eq 0 ] && echo "=== the package passed"
exit $status
