#!/usr/bin/env bash
# Runs the libFuzzer programs of a fuzz build, each on a copy of its corpus.
#
#     fuzz/run_fuzzers.sh BUILD_FOLDER [TARGET...]
#
# FUZZ_SECONDS (60) per target, FUZZ_JOBS (1) targets at a time. FUZZ_MERGE=1 adds
# the inputs that reached new code to fuzz/corpus/<name>/ (minimised by libFuzzer's
# merge, so only inputs that add coverage are kept). A fault leaves the input in
# BUILD_FOLDER/fuzz-work/<name>/ and the exit code is not 0.
set -uo pipefail
cd "$(dirname "$0")/.."
build=${1:?usage: fuzz/run_fuzzers.sh BUILD_FOLDER [TARGET...]}
shift
# Absolute paths: a target may change its current folder (the help viewer reads from it).
build=$(realpath "$build")
root=$PWD
seconds=${FUZZ_SECONDS:-60}
jobs=${FUZZ_JOBS:-1}
merge=${FUZZ_MERGE:-0}
# The targets write their inputs to files; a memory file system makes that ten times faster.
if [ -z "${TMPDIR:-}" ] && [ -d /dev/shm ] && [ -w /dev/shm ]; then
    export TMPDIR=/dev/shm
fi

run_one() {
    local name=$1
    local program="$build/bin/${name}_fuzz"
    local work="$build/fuzz-work/$name"
    if [ ! -x "$program" ]; then
        echo "$name: no program $program" >&2
        return 1
    fi
    rm -rf "$work"
    mkdir -p "$work/corpus"
    cp "$root"/fuzz/corpus/"$name"/* "$work/corpus/" 2>/dev/null
    "$program" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$work/" "$work/corpus" >"$work/log" 2>&1
    local status=$?
    local runs
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/log" | tail -1)
    if [ $status -ne 0 ]; then
        echo "$name: FAULT after ${runs:-?} runs (exit $status); input and log in $work/"
        grep -m1 -E "ERROR: |runtime error:|check failed" "$work/log"
        return 1
    fi
    echo "$name: ${seconds}s, ${runs:-?} runs, $(ls "$work/corpus" | wc -l) inputs in the working corpus"
    if [ "$merge" = 1 ]; then
        local before
        before=$(ls "$root"/fuzz/corpus/"$name" | wc -l)
        "$program" -merge=1 "$root"/fuzz/corpus/"$name" "$work/corpus" >"$work/merge.log" 2>&1 || {
            echo "$name: merge failed, see $work/merge.log"
            return 1
        }
        echo "$name: corpus $before -> $(ls "$root"/fuzz/corpus/"$name" | wc -l) inputs"
    fi
}
export -f run_one
export build root seconds merge

if [ $# -gt 0 ]; then
    names=("$@")
else
    names=()
    for p in "$build"/bin/*_fuzz; do
        [ -x "$p" ] && names+=("$(basename "$p" _fuzz)")
    done
fi
[ ${#names[@]} -gt 0 ] || { echo "no fuzz programs in $build/bin" >&2; exit 1; }
printf '%s\n' "${names[@]}" | xargs -P "$jobs" -I{} bash -c 'run_one {}'
