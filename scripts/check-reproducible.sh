#!/usr/bin/env bash
# Checks that the packages are byte for byte reproducible: clones the current
# commit twice, at paths of different lengths, runs scripts/package.sh for
# win32 and win64 in each clean clone and compares the zips. Uncommitted
# changes are not part of the check. Takes the time of two win32 and two
# win64 builds.
set -euo pipefail
cd "$(dirname "$0")/.."

work=$PWD/build/reproduce
rm -rf "$work"
commit=$(git rev-parse HEAD)
clones=(a/PelShx_PlaySDK b/longer/path/to/PelShx_PlaySDK)
for clone in "${clones[@]}"; do
    git clone -q --no-local --no-checkout . "$work/$clone"
    git -C "$work/$clone" checkout -q "$commit"
done
status=0
for arch in win32 win64; do
    zips=()
    for clone in "${clones[@]}"; do
        echo "=== packaging $commit for $arch in $work/$clone"
        zips+=("$("$work/$clone/scripts/package.sh" $arch | tail -n 1)")
    done
    sha256sum "${zips[@]}"
    if cmp "${zips[@]}"; then
        echo "=== the two $arch zips are identical"
    else
        echo "=== the two $arch zips differ"
        status=1
    fi
done
exit $status
