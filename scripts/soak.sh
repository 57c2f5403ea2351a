#!/usr/bin/env bash
# Soak run: the real plug-in, as the 32-bit DLL under Wine and as the native
# sanitizer build, driven for SECONDS (default 60) each by a seeded random mix
# of all 26 slots over all 128 ports at debug level 2, with the stand-in vendor
# library in live mode. Checks that nothing crashed, that memory (and on
# Windows the handle count) stayed flat after a warm-up, that no log ever had
# more than its live file and one backup, that every record on disk is whole
# (the driver reads them back with the tests' reader), and, for runs of 60
# seconds or more, that each log rotated at least twice over the two runs.
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

summary=()
status=0
total_rotations=(0 0)

# run_soak NAME COMMAND...: runs the driver and sums up its figures.
run_soak() {
    local name=$1
    shift
    local output rc=0
    echo "=== soak $name: $seconds s, seed $seed"
    output=$("$@" 2>&1) || rc=$?
    echo "$output"
    local figures records runtime_rotations error_rotations
    figures=$(echo "$output" | grep '^calls ' | tail -1)
    records=$(echo "$figures" | sed -n 's/.* whole-records \([0-9]*\)$/\1/p')
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
    summary+=("$name ${calls:-0} calls, ${records:-0} whole records on disk, rotations ${runtime_rotations:-0}/${error_rotations:-0}, $([ $rc -eq 0 ] && echo passed || echo FAILED)")
    [ $rc -eq 0 ] || status=1
}

native_root=$work/native
mkdir -p "$native_root/tavo/cfg" "$native_root/trace"
printf '[GLOBAL]\n[TRACE_PATH] [%s/trace]\n[DEBUG_LEVEL] [2]\n' "$native_root" >"$native_root/tavo/cfg/TAVO.cfg"
# A small quarantine keeps freed memory from looking like growth.
cd "$native_root"
run_soak native env PELSHX_SYSTEM_ROOT="$native_root" ASAN_OPTIONS=quarantine_size_mb=8 \
    "$repo/build/native/bin/pelshx_soak" "$seconds" "$seed" "$native_root/trace"
cd "$repo"

export WINEPREFIX=$repo/build/win32/soak-prefix
scripts/wine-run.sh cmd /c exit >/dev/null 2>&1  # makes the prefix on first use
drive_c=$WINEPREFIX/drive_c
rm -rf "$drive_c/pelshx-soak"
mkdir -p "$drive_c/tavo/cfg" "$drive_c/pelshx-soak/trace"
printf '[GLOBAL]\r\n[TRACE_PATH] [C:/pelshx-soak/trace]\r\n[DEBUG_LEVEL] [2]\r\n' >"$drive_c/tavo/cfg/TAVO.cfg"
cd "$repo/build/win32/bin"
run_soak win32 "$repo/scripts/wine-run.sh" ./pelshx_soak.exe "$seconds" "$seed" "C:/pelshx-soak/trace"
rm -rf "$drive_c/pelshx-soak"

if [ "${total_rotations[0]}" -lt $need_rotations ] || [ "${total_rotations[1]}" -lt $need_rotations ]; then
    echo "FAILED: fewer than $need_rotations rotations of each log"
    status=1
fi
echo "soak summary: ${summary[0]:-native not run}; ${summary[1]:-win32 not run}; rotations runtime ${total_rotations[0]}, error ${total_rotations[1]}: $([ $status -eq 0 ] && echo PASSED || echo FAILED)"
exit $status
