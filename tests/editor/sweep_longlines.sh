#!/bin/bash
# Runs the comparison of the long-line editor with Qt's own control
# (tst_longlines randomActionsAsQt) for a range of seeds: a long search by
# hand, not part of `make test`. Each seed runs in a process of its own,
# JOBS at a time at the priority NICE; the report of every failing seed
# (its shortest sequence) is kept in BUILD_DIR/longline-sweep/seed-N.txt.
# The test runs from a copy, so the build may go on meanwhile.
# Usage: tests/editor/sweep_longlines.sh FIRST LAST [RUNS] [BUILD_DIR]
#   (RUNS: runs per seed, 40 by default; JOBS=2 and NICE=10 by default)
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
first=$1 last=$2 runs=${3:-40}
build=$(cd "${4:-$root/build}" && pwd)
jobs=${JOBS:-2}
out=$build/longline-sweep
mkdir -p "$out"
cmake --build "$build" --target tst_longlines >/dev/null || exit 1
test=$out/tst_longlines-$first-$last
cp "$build/tests/editor/tst_longlines" "$test"
export TARKO_LONGLINE_RUNS=$runs QT_QPA_PLATFORM=offscreen TEST="$test" OUT="$out" NICE=${NICE:-10}
one() {
    if TARKO_LONGLINE_SEED=$1 nice -n "$NICE" "$TEST" randomActionsAsQt >"$OUT/seed-$1.txt" 2>&1; then
        rm -f "$OUT/seed-$1.txt"
        echo "seed $1: same as Qt"
    else
        echo "seed $1: DIFFERS ($OUT/seed-$1.txt)"
    fi
}
export -f one
seq "$first" "$last" | xargs -P "$jobs" -I{} bash -c 'one {}'
failed=$(for s in $(seq "$first" "$last"); do [ -f "$out/seed-$s.txt" ] && echo -n "$s "; done)
echo "seeds $first to $last, $runs runs each; differing: ${failed:-none}"
rm -f "$test"
[ -z "$failed" ]
