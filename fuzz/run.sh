#!/usr/bin/env bash
# Runs every libFuzzer target of a fuzz build for the given seconds, starting
# from the seed corpus in fuzz/corpus (read only: new inputs go to the build
# folder). A finding is kept in BUILD/fuzz-findings; copy it to
# fuzz/regressions/NAME/ so that the normal tests replay it from then on.
# Usage: fuzz/run.sh FUZZ_BUILD SECONDS
set -uo pipefail
build=$1 seconds=$2
source_dir=$(cd "$(dirname "$0")" && pwd)
findings="$build/fuzz-findings"
mkdir -p "$findings"
failed=()
for seeds in "$source_dir"/corpus/*/; do
    name=$(basename "$seeds")
    work="$build/fuzz-corpus/$name"
    mkdir -p "$work"
    echo "== $name: $seconds s"
    extra=()
    [ -d "$source_dir/regressions/$name" ] && extra+=("$source_dir/regressions/$name")
    if ! "$build/fuzz/fuzz-$name" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
            -artifact_prefix="$findings/$name-" "$work" "$seeds" "${extra[@]}" 2>"$build/fuzz-$name.log"; then
        failed+=("$name")
        tail -n 40 "$build/fuzz-$name.log"
    else
        grep -E '^stat::(number_of_executed_units|new_units_added)' "$build/fuzz-$name.log" || true
    fi
done
if [ ${#failed[@]} -gt 0 ]; then
    echo "Fuzzing found faults in: ${failed[*]} (inputs in $findings)"
    exit 1
fi
echo "Fuzzing: no findings"
