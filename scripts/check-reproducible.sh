#!/usr/bin/env bash
# Checks that the package is byte for byte reproducible: clones the current
# commit twice, at paths of different lengths, runs scripts/package.sh in each
# clean clone and compares the two zips. Uncommitted changes are not part of
# the check. Takes the time of two win32 builds.
set -euo pipefail
cd "$(dirname "$0")/.."

work=$PWD/build/reproduce
rm -rf "$work"
commit=$(git rev-parse HEAD)
zips=()
for clone in a/PelShx_PlaySDK b/longer/path/to/PelShx_PlaySDK; do
    git clone -q --no-local --no-checkout . "$work/$clone"
    git -C "$work/$clone" checkout -q "$commit"
    echo "=== packaging $commit in $work/$clone"
    zips+=("$("$work/$clone/scripts/package.sh" | tail -n 1)")
done
sha256sum "${zips[@]}"
if cmp "${zips[@]}"; then
    echo "=== the two zips are identical"
else
    echo "=== the two zips differ"
    exit 1
fi
