#!/usr/bin/env bash
# Static analysis of the plug-in, the stand-in and the host program: clang-tidy
# (through run-clang-tidy) with the checks in .clang-tidy, and cppcheck, both on
# the native build's compile commands. Prints nothing but findings; exits with 1
# when there are any.
# Each finding left standing is explained where it is excluded: .clang-tidy,
# tools/.clang-tidy, NOLINT comments with a reason, scripts/cppcheck-suppressions.txt.
# The Windows-only sources are not in the native build and are not checked.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset native >/dev/null

# The checkout's own sources, with its path written as a pattern: it may hold
# characters that a pattern would read.
root=$(printf '%s' "$PWD" | sed 's/[][\.^$*+?(){}|]/\\&/g')
status=0
echo "=== clang-tidy"
# run-clang-tidy prints each command before what it found; only the findings are shown.
tidy=$(run-clang-tidy -p build/native -quiet -j 2 "^$root/(src|standin|tools)/" 2>/dev/null) || status=1
grep -v '^clang-tidy[-.0-9]* ' <<<"$tidy" || true

echo "=== cppcheck"
cppcheck --project=build/native/compile_commands.json --file-filter='src/*' --file-filter='standin/*' \
         --file-filter='tools/*' --enable=warning,style,performance,portability --std=c++17 --inline-suppr \
         --suppressions-list=scripts/cppcheck-suppressions.txt --error-exitcode=1 --quiet -j 2 || status=1

[ $status -eq 0 ] && echo "lint: no findings"
exit $status
