#!/usr/bin/env bash
# Checks a package as host developers and deployers use it. Unpacks the zip
# and checks that it holds exactly the files it should, with good checksums;
# checks the version resources and that each binary's PDB resolves its code to
# functions and source lines; compiles the header alone at every C and C++
# level, and for a processor the DLL does not serve; builds hosts from the
# unpacked package only, for the Microsoft ABI (clang with the Microsoft
# compiler's macros, lld) and with MinGW, and the package's example hosts
# through their CMakeLists.txt and the package's CMake package with both
# (the Microsoft ABI over msvcrt.dll), each deploying what it loads beside
# it. Each host and the packaged pelshx_host.exe run under Wine against the
# packaged DLL, with the win32 build's stand-in SHXStrm.dll beside the 32-bit
# plug-in.
#
# win32, under 32-bit Wine: hosts without a C runtime in C++ loading the DLL,
# in C++ built with stdcall as default convention linking PelShx_PlaySDK.lib,
# and in C through lpVtbl, and a MinGW C host linking libPelShx_PlaySDK.dll.a.
# win64, under 64-bit Wine: a Microsoft-ABI C++ host linking
# PelShx_PlaySDK.lib and a MinGW C host, each giving the same results, out
# values, vendor calls (the stand-in's journal file) and log records as the
# same host run in process through the 32-bit DLL under 32-bit Wine.
#
# Last, the package's binaries must carry no signature, and the current tree
# is packaged again, signed with a throwaway certificate made by openssl:
# every binary's signature must verify with osslsigncode against it.
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

binaries="PelShx_PlaySDK.dll pelshx_host.exe"
if [ "$arch" = win64 ]; then
    tools=x86_64-w64-mingw32
    other_width_tools=i686-w64-mingw32
    msvc_arch=x86_64
    msvc_clang=(clang --target=x86_64-pc-windows-msvc -U__x86_64__ -U__clang__ -ffreestanding)
    dlltool_machine=i386:x86-64
    wine_run=$repo/scripts/wine64-run.sh
    binaries="$binaries x86/PelShx_PlaySDK.dll x86/pelshx_bridge32.exe"
    exports_source=src/bridge/bridge_exports.cpp
    vendor_folder=x86/
else
    tools=i686-w64-mingw32
    other_width_tools=x86_64-w64-mingw32
    msvc_arch=i686
    msvc_clang=(clang --target=i686-pc-windows-msvc -U__i386__ -U__clang__ -ffreestanding)
    dlltool_machine=i386
    wine_run=$repo/scripts/wine-run.sh
    exports_source=src/plugin/exports.cpp
    vendor_folder=
fi
standin=$repo/build/win32/bin/SHXStrm.dll  # for the tests only, never in a package
# Each binary in bin/, its PDB in debug/.
expected="CHANGELOG.md README.md SHA256SUMS examples/CMakeLists.txt examples/host.c examples/host.cpp
include/PelShx_PlaySDK.h lib/PelShx_PlaySDK.def lib/PelShx_PlaySDK.lib lib/libPelShx_PlaySDK.dll.a
lib/cmake/PelShx_PlaySDK/PelShx_PlaySDKConfig.cmake lib/cmake/PelShx_PlaySDK/PelShx_PlaySDKConfigVersion.cmake"
for binary in $binaries; do
    expected="$expected bin/$binary debug/${binary%.*}.pdb"
done
expected=$(tr ' ' '\n' <<<"$expected" | LC_ALL=C sort | tr '\n' ' ')

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
echo "=== version $version in the header and every binary"
grep -qx "#define PELSHX_PLAYSDK_VERSION_STRING \"$version\"" "$sdk/include/PelShx_PlaySDK.h" || fail "the header's version"
for binary in $binaries; do
    windres=$tools-windres
    [ "${binary#x86/}" = "$binary" ] || windres=i686-w64-mingw32-windres
    resource=$($windres -i "$sdk/bin/$binary" -O rc | tr -d '\r' || true)
    for entry in "FILEVERSION ${version//./, }, 0" "PRODUCTVERSION ${version//./, }, 0" "\"FileVersion\", \"$version\"" \
        "\"ProductVersion\", \"$version\"" '"ProductName", "PelShx_PlaySDK"' "\"OriginalFilename\", \"${binary#x86/}\""; do
        grep -qF "$entry" <<<"$resource" || fail "the version resource of $binary lacks $entry"
    done
done

echo "=== symbols: each binary names its PDB by file name and was linked with it"
for binary in $binaries; do
    pdb=debug/${binary%.*}.pdb
    record=$(llvm-readobj --coff-debug-directory "$sdk/bin/$binary")
    named=$(sed -n 's/^ *PDBFileName: //p' <<<"$record")
    [ "$named" = "$(basename "$pdb")" ] || fail "$binary names [$named] as its PDB"
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
body=$(awk '/CreateSinglePlayerDll\(void\)$/ { first = NR } first && /^}$/ { print first, NR; exit }' $exports_source)
read -r function location <<<"$(echo $symbol)"
line=${location#$exports_source:}
line=${line%%:*}
[ "$function" = CreateSinglePlayerDll ] && [ "$line" != "$location" ] && [ "$line" -ge "${body% *}" ] &&
    [ "$line" -le "${body#* }" ] ||
    fail "an address inside CreateSinglePlayerDll (lines $body of $exports_source) resolves to [$symbol]"

echo "=== the header alone, with -pedantic -Wall -Wextra -Werror"
compilers=("i686-w64-mingw32-gcc" "x86_64-w64-mingw32-gcc"
    "clang --target=i686-pc-windows-msvc -U__i386__ -U__clang__ -ffreestanding"
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
# x86-64 names carry no argument sizes.
sed "$([ "$arch" = win64 ] && echo 's/@[0-9]*$//')" tests/sdk/kernel32.def >"$work/kernel32.def"
llvm-dlltool -m $dlltool_machine -k -d "$work/kernel32.def" -l "$work/kernel32.lib"
# A host as the Microsoft compiler builds it: msvc_host NAME SOURCE LANGUAGE
# ARGUMENTS..., where arguments ending in .obj or .lib go to the link and the
# rest to the compiler. Its entry point is HostEntry.
msvc_host() {
    local host=$1 source=$2 language=$3 argument options=() inputs=()
    shift 3
    for argument; do
        case $argument in *.obj | *.lib) inputs+=("$argument") ;; *) options+=("$argument") ;; esac
    done
    "${msvc_clang[@]}" "${host_warnings[@]}" -x "$language" "${options[@]}" -c "$source" -o "$work/$host.obj" &&
        lld-link /nologo /entry:HostEntry /subsystem:console /nodefaultlib /out:"$work/run/$host.exe" \
            "$work/$host.obj" "$work/kernel32.lib" "${inputs[@]}" ||
        fail "building $host"
}
# tests/sdk/sdk_host.c, without a C runtime.
sdk_host=$repo/tests/sdk/sdk_host.c
if [ "$arch" = win64 ]; then
    sdk_hosts="msvc_cpp_linked mingw_c_linked"
    msvc_host msvc_cpp_linked "$sdk_host" c++ -std=c++14 -fno-exceptions -fno-rtti -DHOST_FREESTANDING -DHOST_LINKED \
        "$sdk/lib/PelShx_PlaySDK.lib"
else
    sdk_hosts="msvc_cpp_loadlibrary msvc_cpp_gz_linked msvc_c_loadlibrary mingw_c_linked"
    msvc_host msvc_cpp_loadlibrary "$sdk_host" c++ -std=c++14 -fno-exceptions -fno-rtti -DHOST_FREESTANDING
    msvc_host msvc_cpp_gz_linked "$sdk_host" c++ -std=c++14 -fno-exceptions -fno-rtti -DHOST_FREESTANDING \
        -DHOST_LINKED -Xclang -fdefault-calling-conv=stdcall "$sdk/lib/PelShx_PlaySDK.lib"
    msvc_host msvc_c_loadlibrary "$sdk_host" c -std=c11 -DHOST_FREESTANDING
fi
$tools-gcc -std=c99 "${host_warnings[@]}" -DHOST_LINKED "$sdk_host" -L "$sdk/lib" -lPelShx_PlaySDK \
    -o "$work/run/mingw_c_linked.exe" || fail "building mingw_c_linked"
# The package's examples, through their CMakeLists.txt and the package's
# CMake package, as a host developer builds them: build_examples TOOLCHAIN
# CMAKE_ARGUMENTS... into $work/examples-TOOLCHAIN, with the stand-in as the
# vendor library that pelshx_deploy puts in its place.
build_examples() {
    local build=$work/examples-$1
    shift
    { CFLAGS="-Wall -Wextra -Werror" CXXFLAGS="-Wall -Wextra -Werror" cmake -S "$sdk/examples" -B "$build" \
        -DCMAKE_BUILD_TYPE=Release "-DPELSHX_VENDOR_LIBRARY=$standin" "$@" && cmake --build "$build"; } \
        >"$build.log" 2>&1 || { cat "$build.log"; fail "building the examples in $build"; }
}
build_examples mingw -DCMAKE_SYSTEM_NAME=Windows -DCMAKE_C_COMPILER=$tools-gcc -DCMAKE_CXX_COMPILER=$tools-g++
# For the Microsoft ABI over msvcrt.dll: the declarations that the Windows SDK
# and the C runtime would give them, and the runtime's start-up, come from
# tests/sdk/msvc.
llvm-dlltool -m $dlltool_machine -d tests/sdk/msvcrt.def -l "$work/msvcrt.lib"
"${msvc_clang[@]}" "${host_warnings[@]}" -isystem tests/sdk/msvc -c tests/sdk/msvc/startup.c -o "$work/startup.obj"
build_examples msvc --toolchain "$repo/tests/sdk/msvc-toolchain.cmake" -DPELSHX_MSVC_ARCH=$msvc_arch \
    "-DPELSHX_MSVC_RUNTIME=$work"

echo "=== pelshx_deploy: beside each example what it loads, from the package"
deployed="bin/PelShx_PlaySDK.dll debug/PelShx_PlaySDK.pdb"
[ "$arch" = win64 ] && deployed="$deployed bin/x86/PelShx_PlaySDK.dll debug/x86/PelShx_PlaySDK.pdb
    bin/x86/pelshx_bridge32.exe debug/x86/pelshx_bridge32.pdb"
for toolchain in mingw msvc; do
    build=$work/examples-$toolchain
    found=$(cd "$build" && find . -path ./CMakeFiles -prune -o -type f \( -name '*.dll' -o -name '*.pdb' -o -name '*.exe' \) \
        -print | sed 's|^\./||' | grep -v '^host_c\(pp\)\?\.exe$' | LC_ALL=C sort | tr '\n' ' ')
    wanted=$( (for file in $deployed; do echo "${file#*/}"; done; echo "${vendor_folder}SHXStrm.dll") | LC_ALL=C sort |
        tr '\n' ' ')
    [ "$found" = "$wanted" ] || fail "$toolchain: beside the examples lie [$found], not [$wanted]"
    for file in $deployed; do
        cmp -s "$sdk/$file" "$build/${file#*/}" || fail "$toolchain: ${file#*/} is not the package's $file"
    done
    cmp -s "$standin" "$build/${vendor_folder}SHXStrm.dll" || fail "$toolchain: the vendor library is not in its place"
done

echo "=== the CMake package refuses programs of the other width"
refused=$(cmake -S "$sdk/examples" -B "$work/examples-other-width" -DCMAKE_SYSTEM_NAME=Windows \
    -DCMAKE_C_COMPILER=$other_width_tools-gcc -DCMAKE_CXX_COMPILER=$other_width_tools-g++ 2>&1) &&
    fail "the examples were configured for the other width"
other_bits=32
[ "$arch" = win32 ] && other_bits=64
grep -qF "this is the $arch package" <<<"$(echo $refused)" && grep -qF "builds $other_bits-bit programs" <<<"$(echo $refused)" ||
    fail "for the other width CMake said [$refused]"

# A Unix path as Wine's Z: drive shows it.
winepath_of() {
    echo "Z:${1//\//\\}"
}
# run_host RECORD PROGRAM ARGUMENTS...: runs a host with the stand-in's journal
# going to a file and the plug-in's logs (debug level 1) going to a directory
# of their own inside the prefix, and keeps what it printed, the journal and
# the logs, without times and time stamps, in $work/RECORD.
run_host() {
    local record=$1 program=$2
    shift 2
    local drive_c=$WINEPREFIX/drive_c trace=pelshx-sdk-trace/$record
    rm -rf "$drive_c/$trace" "$work/$record"
    mkdir -p "$drive_c/tavo/cfg" "$work/$record"
    printf '[GLOBAL]\n[TRACE_PATH] [C:/%s]\n[DEBUG_LEVEL] [1]\n' "$trace" >"$drive_c/tavo/cfg/TAVO.cfg"
    SHXSTRM_JOURNAL=$(winepath_of "$work/$record/journal") "$run" "./$program.exe" "$@" | tr -d '\r' \
        >"$work/$record/output" || fail "$program exited with $?"
    cat "$work/$record/output"
    [ -f "$work/$record/journal" ] && sed -i 's/^ *[-+][0-9.]* ms  //; s/\r$//' "$work/$record/journal"
    for log in Runtime Error; do
        local file=$drive_c/$trace/PelShx_Player_$log.log
        if [ -f "$file" ]; then tr -d '\r' <"$file" | sed 's/^\[[0-9 :.-]*\]$/[time]/'; fi >"$work/$record/$log.log"
    done
    rm -rf "$drive_c/$trace" "$drive_c/tavo/cfg/TAVO.cfg"
}

echo "=== running the hosts under Wine"
cp -r "$sdk/bin/." "$work/run/"
cp "$standin" "$work/run/$vendor_folder"
export WINEPREFIX=$repo/build/$arch/wine-prefix
run=$wine_run
cd "$work/run"
head -c 20000 /dev/zero >stream.bin
for host in $sdk_hosts; do
    echo "--- $host"
    run_host "$host" "$host"
done
# The examples where they were built, with what pelshx_deploy put beside them.
for toolchain in msvc mingw; do
    [ -f "$work/examples-$toolchain/host_cpp.exe" ] || continue
    cd "$work/examples-$toolchain"
    echo "--- $toolchain example hosts"
    run_host ${toolchain}_example_c host_c
    run_host ${toolchain}_example_cpp host_cpp ../run/stream.bin
done
cd "$work/run"

if [ "$arch" = win64 ]; then
    echo "--- the same host in process, through the 32-bit DLL under 32-bit Wine"
    mkdir -p "$work/run32"
    cp "$sdk/bin/x86/PelShx_PlaySDK.dll" "$standin" "$work/run32/"
    i686-w64-mingw32-gcc -std=c99 "${host_warnings[@]}" "$sdk_host" -o "$work/run32/mingw_c_32.exe" ||
        fail "building mingw_c_32"
    cd "$work/run32"
    WINEPREFIX=$repo/build/win32/wine-prefix run=$repo/scripts/wine-run.sh run_host in-process mingw_c_32
    cd "$work/run"
    for host in $sdk_hosts; do
        for part in output journal Runtime.log Error.log; do
            cmp -s "$work/in-process/$part" "$work/$host/$part" ||
                fail "$host: $part differs from the in-process run: $(diff "$work/in-process/$part" "$work/$host/$part" | head -n 5)"
        done
    done
    [ -s "$work/in-process/journal" ] && [ -s "$work/in-process/Runtime.log" ] && [ -s "$work/in-process/Error.log" ] ||
        fail "the in-process run left no journal or logs to compare"
fi

echo "--- the C example without SHXStrm.dll beside the plug-in"
rm -f "$work/examples-mingw/${vendor_folder}SHXStrm.dll"
missing=$(cd "$work/examples-mingw" && "$wine_run" ./host_c.exe | tr -d '\r') && fail "host_c ran without SHXStrm.dll"
if [ "$arch" = win64 ]; then
    # The 64-bit DLL loads; its helper cannot load the vendor library.
    said="PelShx_PlaySDK.dll gave no player (error 126): run pelshx_host.exe --check beside it"
else
    said="SHXStrm.dll beside it, is missing"
fi
grep -qF "$said" <<<"$missing" || fail "host_c without SHXStrm.dll said [$missing]"

echo "--- pelshx_host.exe checking the installation"
"$wine_run" ./pelshx_host.exe --rate=0 --read-back stream.bin >pelshx_host.out 2>&1 ||
    { tr -d '\r' <pelshx_host.out; fail "pelshx_host.exe"; }

cd "$repo"
echo "=== signing: this tree packaged with a throwaway certificate, every binary's signature verified"
for binary in $binaries; do
    osslsigncode verify -in "$sdk/bin/$binary" >/dev/null 2>&1 && fail "$binary of the package is signed"
done
signing=$work/signing
mkdir -p "$signing"
printf 'throwaway\n' >"$signing/password"
{ openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=PelShx_PlaySDK test signer" \
    -addext extendedKeyUsage=codeSigning -keyout "$signing/key.pem" -out "$signing/certificate.pem" &&
    openssl pkcs12 -export -inkey "$signing/key.pem" -in "$signing/certificate.pem" \
        -passout "file:$signing/password" -out "$signing/signer.pfx"; } >"$signing/openssl.log" 2>&1 ||
    { cat "$signing/openssl.log"; fail "making the certificate"; }
signed_zip=$(PELSHX_SIGN_PFX=$signing/signer.pfx PELSHX_SIGN_PASSWORD_FILE=$signing/password \
    PELSHX_PACKAGE_DIR=$signing scripts/package.sh "$arch" | tail -n 1) || fail "packaging with a signature"
unzip -q "$signed_zip" -d "$signing/unpacked"
signed=$signing/unpacked/$name
(cd "$signed" && sha256sum --quiet -c SHA256SUMS) || fail "the signed package's checksums"
for binary in $binaries; do
    osslsigncode verify -CAfile "$signing/certificate.pem" -in "$signed/bin/$binary" >"$signing/verify.log" 2>&1 ||
        { cat "$signing/verify.log"; fail "the signature of $binary"; }
done

[ $status -eq 0 ] && echo "=== the package passed"
exit $status
