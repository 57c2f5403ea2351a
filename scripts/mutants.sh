#!/usr/bin/env bash
# Mutation check of the test suites: applies each small fault listed in
# scripts/mutants.txt, one at a time, to a copy of the sources in a git
# worktree of its own (build/mutants/source: HEAD with the uncommitted changes
# to tracked files), rebuilds and runs the tests that judge it, and reports
# the mutant as killed (some test failed) or survived. A fault in the bridge
# (src/bridge/) is built as it ships, the win32 build's helper in the x86
# folder of the win64 build (the worktree's own build/win32 and build/win64,
# kept between runs), and judged by the win64 tests; any other fault by the
# native sanitizer build's tests (build/mutants/build). What each build and
# test run printed is kept in build/mutants/logs/. The checkout itself is
# never changed, whenever the run stops.
# Usage: scripts/mutants.sh [ENTRY_NUMBER...]   (default: every entry)
# Exits with 1 when the unmutated tree fails, an entry cannot be applied or a
# mutant does not build; survivors are reported, not failed.
set -euo pipefail
cd "$(dirname "$0")/.."
list=scripts/mutants.txt
source=$PWD/build/mutants/source
build=$PWD/build/mutants/build
win32=$source/build/win32
win64=$source/build/win64
# Each build and test run's output: unmutated-PART.log, then NUMBER.log for each entry.
logs=$PWD/build/mutants/logs
timeout=${MUTANT_TEST_TIMEOUT:-120}

files=() froms=() tos=() notes=()
file="" from="" to="" note="" have_to=0
finish_entry() {
    if [ -n "$file" ]; then
        if [ -z "$from" ] || [ $have_to -eq 0 ]; then
            echo "$list: entry ${#files[@]} for $file lacks from: or to:" >&2
            exit 1
        fi
        files+=("$file") froms+=("$from") tos+=("$to") notes+=("$note")
    fi
    file="" from="" to="" note="" have_to=0
}
while IFS= read -r line || [ -n "$line" ]; do
    case "$line" in
    "#"*) ;;
    "") finish_entry ;;
    "file: "*) file=${line#file: } ;;
    "from: "*) from=${line#from: } ;;
    "to:") to="" have_to=1 ;;
    "to: "*) to=${line#to: } have_to=1 ;;
    "note: "*) note+="${note:+ }${line#note: }" ;;
    *) echo "$list: cannot read line: $line" >&2; exit 1 ;;
    esac
done < "$list"
finish_entry

selected=("$@")
[ ${#selected[@]} -gt 0 ] || selected=($(seq 1 ${#files[@]}))

# "bridge" for an entry of the 64-bit DLL or its helper, else "native".
part_of() {
    case ${files[$1 - 1]:-} in
    src/bridge/*) echo bridge ;;
    *) echo native ;;
    esac
}
parts=$(for number in "${selected[@]}"; do part_of "$number"; done | sort -u)

# The sources as they are now, tracked files only, in the worktree; one kept
# from an earlier run is brought to them, so that its build is reused.
scripts/install-deps.sh
revision=$(git stash create)
revision=${revision:-$(git rev-parse HEAD)}
git worktree prune
if [ -e "$source/.git" ]; then
    git -C "$source" checkout --quiet --force --detach "$revision"
    git -C "$source" clean --quiet -fdx -e /build/
else
    git worktree add --quiet --detach "$source" "$revision"
fi
trap 'echo; echo "interrupted"; exit 130' INT TERM
rm -rf "$logs"
mkdir -p "$logs"

build_and_test_native() {
    cmake --build "$build" -j 2 >"$log" 2>&1 || return 2
    ctest --test-dir "$build" -j 2 --timeout "$timeout" --stop-on-failure --output-on-failure >>"$log" 2>&1 || return 1
    return 0
}

# Only the win32 targets that the x86 folder and the bridge's tests take.
x86_targets=(pelshx_bridge32 PelShx_PlaySDK SHXStrm window_procedure_host pelshx_bridge32_allocation_faults)
build_and_test_bridge() {
    cmake --build "$win32" -j 2 --target "${x86_targets[@]}" >"$log" 2>&1 || return 2
    cmake --build "$win64" -j 2 >>"$log" 2>&1 || return 2
    ctest --test-dir "$win64" --timeout "$timeout" --stop-on-failure --output-on-failure >>"$log" 2>&1 || return 1
    return 0
}

# The tests ctest reported failed, with their failed cases, from the log of the last run.
failed_tests() {
    local programs cases
    programs=$(sed -n 's/^[[:space:]]*[0-9]* - \([^ ]*\) .*/\1/p' "$log" | sort -u | paste -sd, -)
    cases=$(sed -n 's/^.*\[  FAILED  \] \([A-Za-z0-9_\/]*\.[A-Za-z0-9_.\/]*\).*/\1/p' "$log" | sort -u | paste -sd' ' -)
    echo "$programs${cases:+: $cases}"
}

for part in $parts; do
    echo "=== unmutated sources, $part: build and test"
    log=$logs/unmutated-$part.log
    if [ "$part" = native ]; then
        cmake -S "$source" -B "$build" -DCMAKE_BUILD_TYPE=Debug -DPELSHX_SANITIZE=ON >/dev/null
    else
        (cd "$source" && cmake --preset win32 >/dev/null && cmake --preset win64 >/dev/null)
    fi
    if ! "build_and_test_$part"; then
        echo "FAILED: the unmutated sources do not pass their tests; see $log" >&2
        exit 1
    fi
done

declare -A killed=([native]=0 [bridge]=0) survived=([native]=0 [bridge]=0)
broken=0 unexplained=0
survivors=()
for number in "${selected[@]}"; do
    index=$((number - 1))
    file=${files[$index]:-}
    [ -n "$file" ] || { echo "no entry $number in $list" >&2; broken=$((broken + 1)); continue; }
    from=${froms[$index]} to=${tos[$index]}
    label="#$number $file: '$from' -> '$to'"

    content=$(cat "$source/$file"; printf x)
    content=${content%x}
    without=${content//"$from"/}
    occurrences=$(( (${#content} - ${#without}) / ${#from} ))
    if [ "$occurrences" -ne 1 ]; then
        echo "ERROR     $label: the text occurs $occurrences times, not once (update the list)"
        broken=$((broken + 1))
        continue
    fi

    part=$(part_of "$number")
    log=$logs/$number.log
    printf '%s' "${content/"$from"/"$to"}" > "$source/$file"
    set +e
    "build_and_test_$part"
    outcome=$?
    set -e
    git -C "$source" checkout --quiet -- "$file"

    case $outcome in
    0) echo "SURVIVED  $label${notes[$index]:+  (note: ${notes[$index]})}"
       survived[$part]=$((${survived[$part]} + 1)); survivors+=("$number")
       [ -n "${notes[$index]}" ] || unexplained=$((unexplained + 1)) ;;
    1) echo "killed    $label  (by $(failed_tests))"; killed[$part]=$((${killed[$part]} + 1)) ;;
    *) echo "ERROR     $label: does not build"; broken=$((broken + 1)) ;;
    esac
done

# Leave the mutants' builds matching the unmutated sources.
log=$logs/rebuild.log
for part in $parts; do
    if [ "$part" = native ]; then
        cmake --build "$build" -j 2 >>"$log" 2>&1 || true
    else
        cmake --build "$win32" -j 2 --target "${x86_targets[@]}" >>"$log" 2>&1 && cmake --build "$win64" -j 2 >>"$log" 2>&1 || true
    fi
done

rate() {
    local total=$(($1 + $2))
    echo "killed $1 of $total mutants ($(( total > 0 ? $1 * 100 / total : 0 ))%)"
}
for part in $parts; do echo "$part: $(rate "${killed[$part]}" "${survived[$part]}")"; done
echo "$(rate $((killed[native] + killed[bridge])) $((survived[native] + survived[bridge])));" \
     "survivors: ${survivors[*]:-none} ($unexplained without a note); entries in error: $broken"
[ $broken -eq 0 ]
