#!/usr/bin/env bash
# Soak run: the real plug-in, as the 32-bit DLL under Wine and as the native
# sanitizer build, driven for SECONDS (default 60) each by a seeded random mix
# of all 26 slots over all 128 ports at debug level 2, with the stand-in vendor
# library in live mode. Checks that nothing crashed, that memory (and on
# Windows the handle count) stayed flat after a warm-up, that no log ever had
# more than its live file and one backup, that every record on disk is whole,
# and, for runs of 60 seconds or more, that each log rotated at least twice
# over the two runs.
# The last line is the summary; the exit status is non-zero when a check failed.
#
# Usage: scripts/soak.sh [SECONDS]   (SOAK_SEED picks another random series)
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD
seconds=${1:-60}
seed=${SOAK_SEED:-20261208}
need_rotations=$((seconds >= 60 ? 2 : 0))

for preset in native win32; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" --target pelshx_soak >/dev/null
done

work=$(mktemp -d "${TMPDIR:-/tmp}/pelshx-soak-XXXXXX")
trap 'rm -rf "$work"' EXIT
# A buffer of 1 GiB drained at 1 GiB/s: the vendor library never refuses for
# long, so no input stalls the run with its ten pauses.
export SHXSTRM_SIMULATE=1073741824,1073741824

# Prints how many records a log file holds; fails on anything but whole
# records, one after the other, as the plug-in writes them.
count_records() {
    local kind=$1 file=$2
    [ -f "$file" ] || { echo 0; return 0; }
    LC_ALL=C awk -v kind="$kind" -v file="$file" '
        function torn(what) { printf "torn record in %s, line %d: %s\n", file, NR, what > "/dev/stderr"; failed = 1; exit 1 }
        { sub(/\r$/, "") }
        state == 0 { if ($0 != "") torn("no empty line before a record"); state = 1; next }
        state == 1 {
            if ($0 !~ /^\[[0-9][0-9]-[0-9][0-9] [0-9][0-9]:[0-9][0-9]:[0-9][0-9]\.[0-9][0-9]\]$/) torn("no timestamp")
            records++; state = 2; pairs = 0; next
        }
        kind == "runtime" { if ($0 !~ /:\[.*\]$/) torn("no label:[value] line"); if (++pairs == 3) state = 0; next }
        state == 2 { if ($0 !~ /^ErrCode:\[-?[0-9]+\]$/) torn("no ErrCode"); state = 3; next }
        state == 3 { if ($0 !~ /^Context:\[Source File: \[[^]]*\], LINE: \[[0-9]+\]\]$/) torn("no Context"); state = 4; next }
        state == 4 { if ($0 !~ /^ErrString:\[/) torn("no ErrString"); state = ($0 ~ /\]$/) ? 0 : 5; next }
        state == 5 { if ($0 !~ /\]$/) torn("ErrString not closed"); state = 0; next }
        END { if (failed) exit 1; if (state != 0) torn("cut short at the end"); print records + 0 }
    ' "$file"
}

# Fills a log with copies of one whole record up to 1 MiB short of the rotation
# size, as the logs of a host that has run a while: rotations come sooner even
# where records are written slowly (Wine). EOL is the line end of the build.
prefill() {
    local file=$1 eol=$2 kind=$3 record
    if [ "$kind" = runtime ]; then
        record="${eol}[01-01 00:00:00.00]${eol}soak:[prefill]${eol}:[]${eol}:[]${eol}"
    else
        record="${eol}[01-01 00:00:00.00]${eol}ErrCode:[0]${eol}Context:[Source File: [soak], LINE: [1]]${eol}ErrString:[prefill]${eol}"
    fi
    printf '%s' "$record" >"$file"
    local length count
    length=$(stat -c %s "$file")
    count=$(((20971520 - 1048576) / length))
    while [ $(($(stat -c %s "$file") / length)) -lt $count ]; do
        cat "$file" "$file" >"$file.double"
        mv "$file.double" "$file"
    done
    head -c $((count * length)) "$file" >"$file.cut"
    mv "$file.cut" "$file"
}

summary=()
status=0
total_rotations=(0 0)

# run_soak NAME TRACE_DIRECTORY COMMAND...: runs the driver and checks the logs it left.
run_soak() {
    local name=$1 trace=$2
    shift 2
    local output rc=0
    echo "=== soak $name: $seconds s, seed $seed"
    output=$("$@" 2>&1) || rc=$?
    echo "$output"
    local figures
    figures=$(echo "$output" | grep '^calls ' | tail -1)
    local records=0 runtime_rotations error_rotations
    for kind in runtime error; do
        local base=$trace/PelShx_Player_${kind^}.log count
        for file in "$base" "$base.bak"; do
            count=$(count_records "$kind" "$file") || { rc=1; count=0; }
            records=$((records + count))
        done
    done
    runtime_rotations=$(echo "$figures" | sed -n 's/.*rotations runtime \([0-9]*\) error.*/\1/p')
    error_rotations=$(echo "$figures" | sed -n 's/.*rotations runtime [0-9]* error \([0-9]*\) .*/\1/p')
    if [ -z "$figures" ]; then
        echo "FAILED: the driver gave no figures (exit status $rc)"
        rc=1
    fi
    total_rotations[0]=$((total_rotations[0] + ${runtime_rotations:-0}))
    total_rotations[1]=$((total_rotations[1] + ${error_rotations:-0}))
    local calls
    calls=$(echo "$figures" | sed -n 's/^calls \([0-9]*\) .*/\1/p')
    summary+=("$name ${calls:-0} calls, $records whole records on disk, rotations ${runtime_rotations:-0}/${error_rotations:-0}, $([ $rc -eq 0 ] && echo passed || echo FAILED)")
    [ $rc -eq 0 ] || status=1
}

native_root=$work/native
mkdir -p "$native_root/tavo/cfg" "$native_root/trace"
printf '[GLOBAL]\n[TRACE_PATH] [%s/trace]\n[DEBUG_LEVEL] [2]\n' "$native_root" >"$native_root/tavo/cfg/TAVO.cfg"
prefill "$native_root/trace/PelShx_Player_Runtime.log" $'\n' runtime
prefill "$native_root/trace/PelShx_Player_Error.log" $'\n' error
# A small quarantine keeps freed memory from looking like growth.
cd "$native_root"
run_soak native "$native_root/trace" env PELSHX_SYSTEM_ROOT="$native_root" ASAN_OPTIONS=quarantine_size_mb=8 \
    "$repo/build/native/bin/pelshx_soak" "$seconds" "$seed" "$native_root/trace"
cd "$repo"

export WINEPREFIX=$repo/build/win32/soak-prefix
scripts/wine-run.sh cmd /c exit >/dev/null 2>&1  # makes the prefix on first use
drive_c=$WINEPREFIX/drive_c
rm -rf "$drive_c/pelshx-soak"
mkdir -p "$drive_c/tavo/cfg" "$drive_c/pelshx-soak/trace"
printf '[GLOBAL]\r\n[TRACE_PATH] [C:/pelshx-soak/trace]\r\n[DEBUG_LEVEL] [2]\r\n' >"$drive_c/tavo/cfg/TAVO.cfg"
prefill "$drive_c/pelshx-soak/trace/PelShx_Player_Runtime.log" $'\r\n' runtime
prefill "$drive_c/pelshx-soak/trace/PelShx_Player_Error.log" $'\r\n' error
cd "$repo/build/win32/bin"
run_soak win32 "$drive_c/pelshx-soak/trace" \
    "$repo/scripts/wine-run.sh" ./pelshx_soak.exe "$seconds" "$seed" "C:/pelshx-soak/trace"
rm -rf "$drive_c/pelshx-soak"

if [ "${total_rotations[0]}" -lt $need_rotations ] || [ "${total_rotations[1]}" -lt $need_rotations ]; then
    echo "FAILED: fewer than $need_rotations rotations of each log"
    status=1
fi
echo "soak summary: ${summary[0]:-native not run}; ${summary[1]:-win32 not run}; rotations runtime ${total_rotations[0]}, error ${total_rotations[1]}: $([ $status -eq 0 ] && echo PASSED || echo FAILED)"
exit $status
