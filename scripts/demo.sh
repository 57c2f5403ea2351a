#!/usr/bin/env bash
# Watch the plug-in at work: installs what is missing, builds the 32-bit
# PelShx_PlaySDK.dll with the host program and the stand-in SHXStrm.dll,
# checks the installation and plays a stream through it under Wine. Shows every
# call and what it returned, what the vendor library received (the stand-in's
# journal), both logs, and where the picture landed.
#
# Usage: scripts/demo.sh [STREAM_FILE] [HOST_OPTION...]
#   Without STREAM_FILE a sample stream is made. HOST_OPTIONs go to the host
#   program after the demo's own and so win over them (see pelshx_host --help).
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD

stream=""
if [ $# -gt 0 ] && [ "${1#-}" = "$1" ]; then
    stream=$(realpath "$1")
    shift
fi

scripts/install-deps.sh

echo "=== Building the plug-in, the stand-in vendor library and the host program (win32)"
cmake --preset win32 >/dev/null
build_log=$repo/build/win32/demo-build.log
if ! cmake --build --preset win32 --target pelshx_host >"$build_log" 2>&1; then
    cat "$build_log"
    exit 1
fi
bin=$repo/build/win32/bin

export WINEPREFIX=$repo/build/demo/wine-prefix
echo "=== Preparing the Wine prefix $WINEPREFIX"
scripts/wine-run.sh cmd /c exit >/dev/null 2>&1  # makes the prefix on first use
drive_c=$WINEPREFIX/drive_c
demo=$drive_c/pelshx-demo
mkdir -p "$drive_c/tavo/cfg" "$demo/trace"
printf '[GLOBAL]\r\n[TRACE_PATH] [C:/pelshx-demo/trace]\r\n[DEBUG_LEVEL] [2]\r\n' >"$drive_c/tavo/cfg/TAVO.cfg"
echo "configuration C:/tavo/cfg/TAVO.cfg:"
sed 's/^/    /; s/\r$//' "$drive_c/tavo/cfg/TAVO.cfg"
rm -f "$demo"/trace/*.log "$demo"/trace/*.bak "$demo/picture.bmp" "$demo/journal.txt"

if [ -z "$stream" ]; then
    stream=$demo/sample.bin
    head -c $((128 * 1024)) /dev/urandom >"$stream"
    echo "sample stream $stream: 128 KiB"
fi
windows_stream=$(winepath -w "$stream" 2>/dev/null)

echo
echo "=== pelshx_host --check: the installation as a host finds it"
check_status=0
(cd "$bin" && "$repo/scripts/wine-run.sh" ./pelshx_host.exe --check) || check_status=$?

echo
echo "=== pelshx_host: 4 KiB chunks, 50 a second; the stand-in takes 32 a second into a 16 KiB buffer"
status=0
(cd "$bin" && SHXSTRM_SIMULATE=16384,131072 SHXSTRM_JOURNAL=C:/pelshx-demo/journal.txt \
    "$repo/scripts/wine-run.sh" ./pelshx_host.exe \
    --port=5 --rate=50 --pause=8:500 --step=16:3 --volume=80 \
    --capture=C:/pelshx-demo/picture.bmp --read-back "$@" "$windows_stream") || status=$?

echo
echo "=== What the vendor library received (the stand-in's journal): $demo/journal.txt"
if [ -f "$demo/journal.txt" ]; then tr -d '\r' <"$demo/journal.txt"; else echo "(no such file)"; fi

show_log() {
    echo
    echo "=== $1 (GBK, shown as UTF-8): $2"
    if [ -f "$2" ]; then iconv -f GBK -t UTF-8 "$2" | tr -d '\r'; else echo "(no such file)"; fi
}
show_log "Runtime log" "$demo/trace/PelShx_Player_Runtime.log"
show_log "Error log" "$demo/trace/PelShx_Player_Error.log"

echo
if [ -f "$demo/picture.bmp" ]; then
    echo "=== The captured picture (C:/pelshx-demo/picture.bmp) is $demo/picture.bmp"
else
    echo "=== No picture was captured."
fi
echo "=== pelshx_host --check exited with $check_status, the replay with $status"
[ "$status" -ne 0 ] || status=$check_status
exit $status
