#!/usr/bin/env bash
# Mutation check of the native test suite: applies each small fault listed in
# scripts/mutants.txt, one at a time, to a copy of the sources in a git
# worktree of its own (build/mutants/source: HEAD with the uncommitted changes
# to tracked files), rebuilds its native sanitizer build (build/mutants/build),
# runs its tests and reports the mutant as killed (some test failed) or
# survived. The checkout itself is never changed, whenever the run stops.
# Usage: scripts/mutants.sh [ENTRY_NUMBER...]   (default: every entry)
# Exits with 1 when the unmutated tree fails, an entry cannot be applied or a
# mutant does not build; survivors are reported, not failed.
set -euo pipefail
cd "$(dirname "$0")/.."
list=scripts/mutants.txt
source=$PWD/build/mutants/source
build=$PWD/build/mutants/build
log=$PWD/build/mutants/mutant.log
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

# The sources as they are now, tracked files only, in the worktree; one kept
# from an earlier run is brought to them, so that its build is reused.
scripts/install-deps.sh
revision=$(git stash create)
revision=${revision:-$(git rev-parse HEAD)}
git worktree prune
if [ -e "$source/.git" ]; then
    git -C "$source" checkout --quiet --force --detach "$revision"
    git -C "$source" clean --quiet -fdx
else
    git worktree add --quiet --detach "$source" "$revision"
fi
trap 'echo; echo "interrupted"; exit 130' INT TERM

build_and_test() {
    cmake --build "$build" -j 2 >"$log" 2>&1 || return 2
    ctest --test-dir "$build" -j 2 --timeout "$timeout" --stop-on-failure >>"$log" 2>&1 || return 1
    return 0
}

# The tests ctest reported failed, from the log of the last run.
failed_tests() {
    sed -n 's/^[[:space:]]*[0-9]* - \([^ ]*\) .*/\1/p' "$log" | sort -u | paste -sd, -
}

cmake -S "$source" -B "$build" -DCMAKE_BUILD_TYPE=Debug -DPELSHX_SANITIZE=ON >/dev/null
echo "=== unmutated sources: build and test"
if ! build_and_test; then
    echo "FAILED: the unmutated sources do not pass their tests; see $log" >&2
    exit 1
fi

killed=0 survived=0 broken=0 unexplained=0
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

    printf '%s' "${content/"$from"/"$to"}" > "$source/$file"
    set +e
    build_and_test
    outcome=$?
    set -e
    git -C "$source" checkout --quiet -- "$file"

    case $outcome in
    0) echo "SURVIVED  $label${notes[$index]:+  (note: ${notes[$index]})}"
       survived=$((survived + 1)); survivors+=("$number")
       [ -n "${notes[$index]}" ] || unexplained=$((unexplained + 1)) ;;
    1) echo "killed    $label  (by $(failed_tests))"; killed=$((killed + 1)) ;;
    *) echo "ERROR     $label: does not build"; broken=$((broken + 1)) ;;
    esac
done

# Leave the mutants build matching the unmutated sources.
cmake --build "$build" -j 2 >"$log" 2>&1 || true

total=$((killed + survived))
rate=$(( total > 0 ? killed * 100 / total : 0 ))
echo "killed $killed of $total mutants (${rate}%); survivors: ${survivors[*]:-none}" \
     "($unexplained without a note); entries in error: $broken"
[ $broken -eq 0 ]
