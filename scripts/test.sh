#!/usr/bin/env bash
# Installs what is missing, builds both builds (the 32-bit Windows DLL and the
# native sanitizer build) and runs every test on each, then makes the package
# and checks it with hosts built from it.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

status=0
for preset in native win32; do
    echo "=== $preset: configure and build"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
    echo "=== $preset: tests"
    ctest --preset "$preset" || status=1
done
echo "=== package and hosts built from it"
scripts/sdk-test.sh || status=1
exit $status
