#!/usr/bin/env bash
# Times Play_InputData at debug level 0, call by call, at 1 KiB and 64 KiB: in
# process through the 32-bit DLL under 32-bit Wine, then through the 64-bit
# DLL and its helper under 64-bit Wine, in one run, and prints the median and
# 90th percentile of each beside the time the bridge adds.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
for preset in win32 win64; do
    cmake --preset $preset >/dev/null
    cmake --build --preset $preset --target input_latency PelShx_PlaySDK SHXStrm pelshx_bridge32 >/dev/null 2>&1 ||
        cmake --build --preset $preset --target input_latency >/dev/null
done
measure() {
    (cd "build/$1/bin" && WINEPREFIX=$PWD/../wine-prefix "../../../scripts/$2" ./input_latency.exe | tr -d '\r')
}
in_process=$(measure win32 wine-run.sh)
bridged=$(measure win64 wine64-run.sh)
echo "Play_InputData, debug level 0, microseconds per call (median / 90th percentile)"
printf '%-8s %-20s %-20s %s\n' size "in process (32-bit)" "bridged (64-bit)" "added by the bridge"
join <(echo "$in_process" | awk '{print $2, $3, $4}') <(echo "$bridged" | awk '{print $2, $3, $4}') |
    awk '{printf "%-8s %8.1f / %-9.1f %8.1f / %-9.1f %8.1f / %.1f\n", ($1/1024) " KiB", $2, $3, $4, $5, $4-$2, $5-$3}'
