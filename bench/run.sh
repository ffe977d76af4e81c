#!/usr/bin/env bash
# Interpreter throughput: tarko-run on compute-bound programs, side by side
# with the same loops in python3 and lua5.4. Figures are reported, never asserted.
# Usage: bench/run.sh BUILD_DIR   (called by `make bench`)
set -euo pipefail

BUILD=${1:-build}
HERE=$(cd "$(dirname "$0")" && pwd)
TARKO_RUN=$(cd "$BUILD" && pwd)/src/cli/tarko-run
PROGRAMS=$HERE/programs
RUNS=${BENCH_RUNS:-3}

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

# Best wall time in seconds of $RUNS runs of the command; its stdout/stderr
# of the last run go to $OUT / $ERR.
OUT=$(mktemp) ERR=$(mktemp)
trap 'rm -f "$OUT" "$ERR"' EXIT
best() {
    local best_ns=
    for _ in $(seq "$RUNS"); do
        local t0 t1
        t0=$(date +%s%N)
        "$@" >"$OUT" 2>"$ERR"
        t1=$(date +%s%N)
        local d=$((t1 - t0))
        if [ -z "$best_ns" ] || [ "$d" -lt "$best_ns" ]; then best_ns=$d; fi
    done
    awk -v n="$best_ns" 'BEGIN { printf "%.3f", n / 1e9 }'
}

# The last number in the output: the loop's iteration count.
iterations() { tr -d ' \r' <"$OUT" | grep -E '^[0-9]+$' | tail -1; }

printf '%-8s %12s %10s %14s %12s %10s %10s %10s %10s\n' \
    program iterations "tarko s" "instr/s" "ns/iter" "python s" "lua s" "vs python" "vs lua"
for name in count nested mandel; do
    t_tarko=$(best env TARKO_RUN_COUNT=1 "$TARKO_RUN" --no-pause "$PROGRAMS/$name.trk")
    instructions=$(sed -n 's/^Anweisungen: //p' "$ERR")
    iters=$(iterations)
    t_py=$(best python3 "$PROGRAMS/$name.py")
    iters_py=$(iterations)
    t_lua=$(best lua5.4 "$PROGRAMS/$name.lua")
    awk -v n="$name" -v it="$iters" -v ins="$instructions" -v tt="$t_tarko" -v tp="$t_py" -v tl="$t_lua" 'BEGIN {
        printf "%-8s %12d %10.3f %14.3g %12.2f %10.3f %10.3f %9.2fx %9.2fx\n",
               n, it, tt, ins / tt, tt * 1e9 / it, tp, tl, tp / tt, tl / tt
    }'
    if [ "$iters" != "$iters_py" ]; then
        echo "  note: python counted $iters_py iterations" >&2
    fi
done
echo
echo "instr/s: p-code instructions executed (counted by the interpreter) per second of"
echo "wall time, start-up included; vs python/lua: their time divided by tarko-run's"
echo "(above 1 = tarko-run is faster). Best of $RUNS runs."

# The other parts' benchmarks (bench/<part>/run.sh), each reported on its own.
for script in "$HERE"/*/run.sh; do
    [ -f "$script" ] || continue
    echo
    echo "== $(basename "$(dirname "$script")")"
    bash "$script" "$BUILD" || echo "($(basename "$(dirname "$script")") benchmark failed)"
done
