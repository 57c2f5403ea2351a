#!/usr/bin/env bash
# Watch the plug-in at work: installs what is missing, builds the 32-bit
# PelShx_PlaySDK.dll with the host program and the stand-in SHXStrm.dll,
# checks the installation and plays a stream through it under Wine, in the
# host program's window. Shows every call and what it returned, what the
# vendor library received (the stand-in's journal), both logs, and where the
# pictures landed. With --win64 the same through the 64-bit package, whose
# helper process draws the picture.
#
# The window opens on your X display (DISPLAY) and stays 5 s after the stream;
# without a display the demo runs on a private Xvfb and saves a screenshot of
# the window as a PNG beside the captured BMP. Every process it started, Wine's
# desktop among them, ends with it.
#
# Usage: scripts/demo.sh [--win64] [STREAM_FILE] [HOST_OPTION...]
#   Without STREAM_FILE a sample stream is made. HOST_OPTIONs go to the host
#   program after the demo's own and so win over them (see pelshx_host --help).
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD

if [ -z "${DISPLAY:-}" ] && [ -z "${PELSHX_DEMO_SCREENSHOT:-}" ]; then
    scripts/install-deps.sh
    echo "=== No X display: the demo runs on a private Xvfb and keeps a screenshot of the window"
    PELSHX_DEMO_SCREENSHOT=1 exec scripts/with-xvfb.sh "$0" "$@"
fi

preset=win32
if [ "${1:-}" = --win64 ]; then
    preset=win64
    shift
fi
stream=""
if [ $# -gt 0 ] && [ "${1#-}" = "$1" ]; then
    stream=$(realpath "$1")
    shift
fi

scripts/install-deps.sh

build_log=$repo/build/$preset-demo-build.log
for build in win32 $([ $preset = win64 ] && echo win64); do
    echo "=== Building the plug-in, the stand-in vendor library and the host program ($build)"
    cmake --preset $build >/dev/null
    if ! cmake --build --preset $build --target pelshx_host $([ $build = win32 ] && echo pelshx_bridge32) \
        >"$build_log" 2>&1; then
        cat "$build_log"
        exit 1
    fi
done
bin=$repo/build/$preset/bin

if [ $preset = win64 ]; then
    export WINEPREFIX=$repo/build/demo/wine-prefix64
    wine_run=$repo/scripts/wine64-run.sh
else
    export WINEPREFIX=$repo/build/demo/wine-prefix
    wine_run=$repo/scripts/wine-run.sh
fi
# Wine's desktop and server (and so every program in the prefix) end with the demo.
trap 'wineserver -k 2>/dev/null || true' EXIT
echo "=== Preparing the Wine prefix $WINEPREFIX"
"$wine_run" cmd /c exit >/dev/null 2>&1  # makes the prefix on first use
drive_c=$WINEPREFIX/drive_c
demo=$drive_c/pelshx-demo
mkdir -p "$drive_c/tavo/cfg" "$demo/trace"
printf '[GLOBAL]\r\n[TRACE_PATH] [C:/pelshx-demo/trace]\r\n[DEBUG_LEVEL] [2]\r\n' >"$drive_c/tavo/cfg/TAVO.cfg"
echo "configuration C:/tavo/cfg/TAVO.cfg:"
sed 's/^/    /; s/\r$//' "$drive_c/tavo/cfg/TAVO.cfg"
rm -f "$demo"/trace/*.log "$demo"/trace/*.bak "$demo/picture.bmp" "$demo/window.png" "$demo/journal.txt"

if [ -z "$stream" ]; then
    stream=$demo/sample.bin
    head -c $((128 * 1024)) /dev/urandom >"$stream"
    echo "sample stream $stream: 128 KiB"
fi
windows_stream=$(winepath -w "$stream" 2>/dev/null)

echo
echo "=== pelshx_host --check: the installation as a host finds it"
check_status=0
(cd "$bin" && "$wine_run" ./pelshx_host.exe --check) || check_status=$?

# Once the host holds its window after the stream, the window alone (not the
# screen) is saved as a PNG.
save_window() {
    local output=$1 png=$2 window
    until grep -q 'holding the window open' "$output" 2>/dev/null; do sleep 0.1; done
    window=$(xwininfo -root -children | awk '/"PelShx host - port/ { print $1; exit }')
    [ -n "$window" ] && xwd -silent -id "$window" | xwdtopnm 2>/dev/null | pnmtopng >"$png"
}

echo
echo "=== pelshx_host: 4 KiB chunks, 50 a second; the stand-in takes 32 a second into a 16 KiB buffer"
if [ -n "${PELSHX_DEMO_SCREENSHOT:-}" ]; then
    hold=1
    echo "(on a private X display, $DISPLAY)"
else
    hold=5
    echo "(in a window on $DISPLAY, held open $hold s after the stream)"
fi
host_output=$(mktemp)
saver=
if [ -n "${PELSHX_DEMO_SCREENSHOT:-}" ]; then
    save_window "$host_output" "$demo/window.png" &
    saver=$!
fi
status=0
(cd "$bin" && SHXSTRM_SIMULATE=16384,131072 SHXSTRM_JOURNAL=C:/pelshx-demo/journal.txt \
    "$wine_run" ./pelshx_host.exe \
    --port=5 --rate=50 --pause=8:500 --step=16:3 --volume=80 --hold=$hold \
    --capture=C:/pelshx-demo/picture.bmp --read-back "$@" "$windows_stream") | tee "$host_output" ||
    status=$?
if [ -n "$saver" ]; then
    kill "$saver" 2>/dev/null || true
    wait "$saver" 2>/dev/null || true
fi
rm -f "$host_output"

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
if [ -s "$demo/window.png" ]; then
    echo "=== The host's window after the stream, as a screenshot: $demo/window.png"
elif [ -n "${PELSHX_DEMO_SCREENSHOT:-}" ]; then
    echo "=== No screenshot of the window was taken."
fi
echo "=== pelshx_host --check exited with $check_status, the replay with $status"
[ "$status" -ne 0 ] || status=$check_status
exit $status
