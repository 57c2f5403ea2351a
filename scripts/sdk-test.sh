#!/usr/bin/env bash
# Checks the package as host developers and deployers use it. Unpacks the zip
# and checks that it holds exactly the files it should, with good checksums;
# checks the version resources and that each binary's PDB resolves its code to
# functions and source lines; compiles the header alone at every C and C++
# level, and for a processor the DLL does not serve; builds hosts from the
# unpacked package only: Microsoft-ABI hosts without a C runtime (clang with
# the Microsoft compiler's macros, lld) in C++ loading the DLL, in C++ built
# with stdcall as default convention linking PelShx_PlaySDK.lib, and in C
# through lpVtbl, and a MinGW C host linking libPelShx_PlaySDK.dll.a; and the
# package's example hosts, for the Microsoft ABI the same way (over msvcrt.dll)
# and with MinGW through their CMakeLists.txt. Each host and the packaged
# pelshx_host.exe run under Wine against the packaged DLL, with the win32
# build's stand-in SHXStrm.dll beside it.
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
debug/PelShx_PlaySDK.pdb debug/pelshx_host.pdb examples/CMakeLists.txt examples/host.c examples/host.cpp
include/PelShx_PlaySDK.h lib/PelShx_PlaySDK.def lib/PelShx_PlaySDK.lib lib/libPelShx_PlaySDK.dll.a"
listed=$(unzip -Z1 "$zip" | sed "s|^$name/||" | LC_ALL=C sort | tr '\n' ' ')
[ "$listed" = "$(echo $expected) " ] || fail "the package holds [$listed]"
unzip -q "$zip" -d "$work"
sdk=$work/$name
summed=$(sed 's/^[0-9a-f]*  //' "$sdk/SHA256SUMS" | tr '\n' ' ')
[ "$summed" = "$(echo $expected | sed 's/ SHA256SUMS / /') " ] || fail "SHA256SUMS covers [$summed]"
(cd "$sdk" && sha256sum --quiet -c SHA256SUMS) || fail "checksums"

version=${name#PelShx_PlaySDK-}
version=${version%-win32}
echo "=== version $version in the header and both binaries"
grep -qx "#define PELSHX_PLAYSDK_VERSION_STRING \"$version\"" "$sdk/include/PelShx_PlaySDK.h" || fail "the header's version"
for binary in PelShx_PlaySDK.dll pelshx_host.exe; do
    resource=$(i686-w64-mingw32-windres -i "$sdk/bin/$binary" -O rc | tr -d '\r' || true)
    for entry in "FILEVERSION ${version//./, }, 0" "PRODUCTVERSION ${version//./, }, 0" "\"FileVersion\", \"$version\"" \
        "\"ProductVersion\", \"$version\"" '"ProductName", "PelShx_PlaySDK"' "\"OriginalFilename\", \"$binary\""; do
        grep -qF "$entry" <<<"$resource" || fail "the version resource of $binary lacks $entry"
    done
done

echo "=== symbols: each binary names its PDB by file name and was linked with it"
for binary in PelShx_PlaySDK.dll pelshx_host.exe; do
    pdb=debug/${binary%.*}.pdb
    record=$(llvm-readobj --coff-debug-directory "$sdk/bin/$binary")
    named=$(sed -n 's/^ *PDBFileName: //p' <<<"$record")
    [ "$named" = "${pdb#debug/}" ] || fail "$binary names [$named] as its PDB"
    # The GUID in the binary, bytes in file order, as the PDB spells it.
    read -r -a b <<<"$(sed -n 's/^ *PDBGUID: (\(.*\))$/\1/p' <<<"$record")"
    guid="${b[3]}${b[2]}${b[1]}${b[0]}-${b[5]}${b[4]}-${b[7]}${b[6]}-${b[8]}${b[9]}-${b[10]}${b[11]}${b[12]}${b[13]}${b[14]}${b[15]}"
    llvm-pdbutil dump -summary "$sdk/$pdb" | grep -qx " *GUID: {$guid}" || fail "$pdb is not the PDB $binary was linked with"
done
# A debugger's view: an address inside CreateSinglePlayerDll, with the PDB
# beside the DLL, gives the function and a line of its body.
mkdir -p "$work/symbols"
cp "$sdk/bin/PelShx_PlaySDK.dll" "$sdk/debug/PelShx_PlaySDK.pdb" "$work/symbols/"
entry=$(llvm-readobj --coff-exports "$sdk/bin/PelShx_PlaySDK.dll" | grep -A1 'Name: CreateSinglePlayerDll$' |
    sed -n 's/^ *RVA: //p')
symbol=$(llvm-symbolizer --obj="$work/symbols/PelShx_PlaySDK.dll" --relative-address "$(printf '0x%x' $((entry + 4)))" | tr '\\' /)
body=$(awk '/CreateSinglePlayerDll\(void\)$/ { first = NR } first && /^}$/ { print first, NR; exit }' src/plugin/exports.cpp)
read -r function location <<<"$(echo $symbol)"
line=${location#src/plugin/exports.cpp:}
line=${line%%:*}
[ "$function" = CreateSinglePlayerDll ] && [ "$line" != "$location" ] && [ "$line" -ge "${body% *}" ] &&
    [ "$line" -le "${body#* }" ] ||
    fail "an address inside CreateSinglePlayerDll (lines $body of src/plugin/exports.cpp) resolves to [$symbol]"

echo "=== the header alone, with -pedantic -Wall -Wextra -Werror"
compilers=("i686-w64-mingw32-gcc" "clang --target=i686-pc-windows-msvc -U__i386__ -U__clang__ -ffreestanding"
    "clang --target=x86_64-pc-windows-msvc -U__x86_64__ -U__clang__ -ffreestanding" "gcc")
for standard in c89 c99 c11 c++98 c++11 c++17 c++20; do
    language=c
    [ "${standard#c++}" = "$standard" ] || language=c++
    for compiler in "${compilers[@]}"; do
        echo '#include "PelShx_PlaySDK.h"' |
            $compiler -x $language -std=$standard -pedantic -Wall -Wextra -Werror -fsyntax-only -I "$sdk/include" - ||
            fail "$compiler -std=$standard"
    done
done

refused=$(echo '#include "PelShx_PlaySDK.h"' | clang --target=aarch64-pc-windows-msvc -ffreestanding -fsyntax-only \
    -I "$sdk/include" -x c - 2>&1 || true)
grep -qF 'error: "PelShx_PlaySDK.dll serves x86 and x86-64 Windows programs only' <<<"$refused" ||
    fail "the header for ARM64 Windows gives [$refused]"

echo "=== building the hosts from the package"
host_warnings=(-O2 -Wall -Wextra -Werror -I "$sdk/include")
llvm-dlltool -m i386 -k -d tests/sdk/kernel32.def -l "$work/kernel32.lib"
# A host as the Microsoft compiler builds it: msvc_host NAME SOURCE LANGUAGE
# ARGUMENTS..., where arguments ending in .obj or .lib go to the link and the
# rest to the compiler. Its entry point is HostEntry.
msvc_host() {
    local host=$1 source=$2 language=$3 argument options=() inputs=()
    shift 3
    for argument; do
        case $argument in *.obj | *.lib) inputs+=("$argument") ;; *) options+=("$argument") ;; esac
    done
    clang --target=i686-pc-windows-msvc -U__i386__ -U__clang__ -ffreestanding "${host_warnings[@]}" \
        -x "$language" "${options[@]}" -c "$source" -o "$work/$host.obj" &&
        lld-link /nologo /entry:HostEntry /subsystem:console /nodefaultlib /out:"$work/run/$host.exe" \
            "$work/$host.obj" "$work/kernel32.lib" "${inputs[@]}" ||
        fail "building $host"
}
# tests/sdk/sdk_host.c, without a C runtime.
sdk_host=$repo/tests/sdk/sdk_host.c
msvc_host msvc_cpp_loadlibrary "$sdk_host" c++ -std=c++14 -fno-exceptions -fno-rtti -DHOST_FREESTANDING
msvc_host msvc_cpp_gz_linked "$sdk_host" c++ -std=c++14 -fno-exceptions -fno-rtti -DHOST_FREESTANDING \
    -DHOST_LINKED -Xclang -fdefault-calling-conv=stdcall "$sdk/lib/PelShx_PlaySDK.lib"
msvc_host msvc_c_loadlibrary "$sdk_host" c -std=c11 -DHOST_FREESTANDING
i686-w64-mingw32-gcc -std=c99 "${host_warnings[@]}" -DHOST_LINKED "$sdk_host" -L "$sdk/lib" -lPelShx_PlaySDK \
    -o "$work/run/mingw_c_linked.exe" || fail "building mingw_c_linked"
# The package's examples over msvcrt.dll: the declarations that the Windows SDK
# and the C runtime would give them, and the runtime's start-up, come from
# tests/sdk/msvc.
llvm-dlltool -m i386 -d tests/sdk/msvcrt.def -l "$work/msvcrt.lib"
msvc_runtime=(-isystem "$repo/tests/sdk/msvc" "$work/startup.obj" "$work/msvcrt.lib")
clang --target=i686-pc-windows-msvc -U__i386__ -U__clang__ -ffreestanding "${host_warnings[@]}" \
    -isystem tests/sdk/msvc -c tests/sdk/msvc/startup.c -o "$work/startup.obj"
msvc_host msvc_example_cpp "$sdk/examples/host.cpp" c++ -std=c++14 -fno-exceptions -fno-rtti "${msvc_runtime[@]}" \
    "$sdk/lib/PelShx_PlaySDK.lib"
msvc_host msvc_example_c "$sdk/examples/host.c" c -std=c11 "${msvc_runtime[@]}"
# With MinGW, through the examples' own CMakeLists.txt.
examples=$work/examples-mingw
{ cmake -S "$sdk/examples" -B "$examples" -DCMAKE_SYSTEM_NAME=Windows -DCMAKE_C_COMPILER=i686-w64-mingw32-gcc \
    -DCMAKE_CXX_COMPILER=i686-w64-mingw32-g++ "-DCMAKE_C_FLAGS=-Wall -Wextra -Werror" \
    "-DCMAKE_CXX_FLAGS=-Wall -Wextra -Werror" && cmake --build "$examples"; } >"$work/examples-mingw.log" 2>&1 ||
    { cat "$work/examples-mingw.log"; fail "building the examples with MinGW"; }
for example in host_cpp host_c; do
    cp "$examples/$example.exe" "$work/run/mingw_example_${example#host_}.exe" || fail "building $example with MinGW"
done

echo "=== running the hosts under Wine"
cp "$sdk/bin/PelShx_PlaySDK.dll" "$sdk/bin/pelshx_host.exe" "$work/run/"
cp build/win32/bin/SHXStrm.dll "$work/run/"  # the stand-in, for the test only
export WINEPREFIX=$repo/build/win32/wine-prefix
wine_run() {
    "$repo/scripts/wine-run.sh" "$@" | tr -d '\r'
}
cd "$work/run"
head -c 20000 /dev/zero >stream.bin
for host in msvc_cpp_loadlibrary msvc_cpp_gz_linked msvc_c_loadlibrary mingw_c_linked \
    msvc_example_c mingw_example_c "msvc_example_cpp stream.bin" "mingw_example_cpp stream.bin"; do
    read -r program arguments <<<"$host"
    [ -f "$program.exe" ] || continue
    echo "--- $host"
    wine_run "./$program.exe" $arguments || fail "$host exited with $?"
done

echo "--- the C example without SHXStrm.dll beside the plug-in"
missing=$(cd "$examples" && wine_run ./host_c.exe) && fail "host_c ran without SHXStrm.dll"
grep -q "SHXStrm.dll beside it, is missing" <<<"$missing" || fail "host_c without SHXStrm.dll said [$missing]"

echo "--- pelshx_host.exe checking the installation"
"$repo/scripts/wine-run.sh" ./pelshx_host.exe --rate=0 --read-back stream.bin >pelshx_host.out 2>&1 ||
    { tr -d '\r' <pelshx_host.out; fail "pelshx_host.exe"; }

[ $status -eq 0 ] && echo "=== the package passed"
exit $status
