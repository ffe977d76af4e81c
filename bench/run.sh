#!/usr/bin/env bash
# Interpreter throughput: tarko-run on compute-bound programs, side by side
# with the same loops in python3 and lua5.4. Figures are reported, never asserted.
# Usage: bench/run.sh BUILD_DIR   (called by `make bench`)
set -euo pipefail

BUILD=${1:-build}
HERE=$(cd "$(dirname "$0")" && pwd)
TARKO_RUN=$(cd "$BUILD" && pwd)/src/cli/tarko-run
PROGRAMS=$HERE/programs
RUNS=${BENCH_RUNS:-5}

if [ ! -x "$TARKO_RUN" ]; then
    echo "tarko-run not found in $BUILD (build first)" >&2
    exit 1
fi

if ! command -v lua5.4 >/dev/null 2>&1; then
    echo "installing lua5.4 ..." >&2
    SUDO=""
    [ "$(id -u)" -ne 0 ] && SUDO=sudo
    $SUDO apt-get install -y lua5.4 >/dev/null || { $SUDO apt-get update >/dev/null && $SUDO apt-get install -y lua5.4 >/dev/null; }
fi

# Every command runs $RUNS times, the programs' runs interleaved (tarko-run,
# the plain interpreter, python3, lua5.4, then again), so a machine loaded by
# other work slows all of them alike; the figures are medians. Each run is
# timed as wall time and as user CPU time (the latter is less disturbed by
# other processes on the machine).
OUT=$(mktemp) ERR=$(mktemp)

# One run: appends "wall user" (seconds) to the file $1; output to $OUT, $ERR.
timed() {
    local file=$1
    shift
    local TIMEFORMAT='%R %U'
    { time "$@" >"$OUT" 2>"$ERR"; } 2>>"$file"
}

# Median of column $2 of file $1.
median() { awk -v c="$2" '{ print $c }' "$1" | sort -g | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'; }

# The last number in the output: the loop's iteration count.
iterations() { tr -d ' \r' <"$OUT" | grep -E '^[0-9]+$' | tail -1; }

TIMES=$(mktemp -d)
trap 'rm -f "$OUT" "$ERR"; rm -rf "$TIMES"' EXIT

printf '%-7s %10s %9s %9s %9s %9s %9s %9s %9s %9s\n' \
    program iterations "instr/s" "tarko s" "plain s" "python s" "lua s" "vs python" "vs lua" "vs lua cpu"
for name in count nested mandel grid; do
    rm -f "$TIMES"/*
    for _ in $(seq "$RUNS"); do
        timed "$TIMES/tarko" env TARKO_RUN_COUNT=1 "$TARKO_RUN" --no-pause "$PROGRAMS/$name.trk"
        instructions=$(sed -n 's/^Anweisungen: //p' "$ERR")
        iters=$(iterations)
        timed "$TIMES/plain" env TARKO_RUN_PLAIN=1 "$TARKO_RUN" --no-pause "$PROGRAMS/$name.trk"
        timed "$TIMES/python" python3 "$PROGRAMS/$name.py"
        iters_py=$(iterations)
        timed "$TIMES/lua" lua5.4 "$PROGRAMS/$name.lua"
        iters_lua=$(iterations)
    done
    awk -v n="$name" -v it="$iters" -v ins="$instructions" \
        -v tt="$(median "$TIMES/tarko" 1)" -v tp="$(median "$TIMES/plain" 1)" \
        -v ty="$(median "$TIMES/python" 1)" -v tl="$(median "$TIMES/lua" 1)" \
        -v ut="$(median "$TIMES/tarko" 2)" -v ul="$(median "$TIMES/lua" 2)" 'BEGIN {
        printf "%-7s %10d %9.3g %9.3f %9.3f %9.3f %9.3f %8.2fx %8.2fx %8.2fx\n",
               n, it, ins / tt, tt, tp, ty, tl, ty / tt, tl / tt, ul / ut
    }'
    if [ "$iters" != "$iters_py" ] || [ "$iters" != "$iters_lua" ]; then
        echo "  note: python counted $iters_py, lua $iters_lua iterations" >&2
    fi
done
echo
echo "instr/s: p-code instructions executed (counted by the interpreter) per second of"
echo "wall time, start-up included. plain s: tarko-run with the plain interpreter loop"
echo "(TARKO_RUN_PLAIN=1). vs python/lua: their wall time divided by tarko-run's;"
echo "vs lua cpu: the same for user CPU time (above 1 = tarko-run is faster)."
echo "Medians of $RUNS interleaved runs."

# The other parts' benchmarks (bench/<part>/run.sh), each reported on its own.
for script in "$HERE"/*/run.sh; do
    [ -f "$script" ] || continue
    echo
    echo "== $(basename "$(dirname "$script")")"
    bash "$script" "$BUILD" || echo "($(basename "$(dirname "$script")") benchmark failed)"
done
