#!/usr/bin/env bash
# Static analysis of the plug-in, the stand-in and the host program: clang-tidy
# with the checks in .clang-tidy, and cppcheck, both on the native build's
# compile commands. Prints nothing but findings; exits with 1 when there are any.
# Each finding left standing is explained where it is excluded: .clang-tidy,
# tools/.clang-tidy, NOLINT comments with a reason, scripts/cppcheck-suppressions.txt.
# The Windows-only sources are not in the native build and are not checked.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset native >/dev/null
commands=build/native/compile_commands.json
root=$PWD

# The checkout's own sources, matched as plain text: its path may hold spaces
# or characters that a pattern would read.
ours() {
    while IFS= read -r file; do
        case "$file" in "$root"/src/* | "$root"/standin/* | "$root"/tools/*) printf '%s\n' "$file" ;; esac
    done
}
mapfile -t sources < <(sed -n 's/^ *"file": "\(.*\)",\?$/\1/p' "$commands" | ours | sort -u)
[ ${#sources[@]} -gt 0 ] || { echo "lint: no sources found in $commands"; exit 1; }

status=0
echo "=== clang-tidy: ${#sources[@]} files"
printf '%s\n' "${sources[@]}" |
    xargs -d '\n' -P 2 -n 4 clang-tidy -p build/native --quiet 2>/dev/null || status=1

echo "=== cppcheck"
cppcheck --project="$commands" --file-filter='src/*' --file-filter='standin/*' --file-filter='tools/*' \
         --enable=warning,style,performance,portability --std=c++17 --inline-suppr \
         --suppressions-list=scripts/cppcheck-suppressions.txt --error-exitcode=1 --quiet -j 2 || status=1

[ $status -eq 0 ] && echo "lint: no findings"
exit $status
