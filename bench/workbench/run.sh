#!/usr/bin/env bash
# Workbench figures: F9 instruction rate against tarko-run --no-pause on the
# same compute-bound program, the stop latency of Esc, 998 printed lines, and
# the time from process start to the first painted main window.
# Figures are reported, never asserted.
# Usage: bench/workbench/run.sh BUILD_DIR   (QT_QPA_PLATFORM defaults to offscreen;
#        run it under xvfb-run with QT_QPA_PLATFORM=xcb for a real X server)
set -euo pipefail

BUILD=$(cd "${1:-build}" && pwd)
HERE=$(cd "$(dirname "$0")" && pwd)
PROGRAM=$HERE/../programs/mandel.trk
BENCH=$BUILD/src/workbench/bench-workbench
TARKO=$BUILD/src/workbench/tarko
TARKO_RUN=$BUILD/src/cli/tarko-run
RUNS=${BENCH_RUNS:-3}
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}

for f in "$BENCH" "$TARKO" "$TARKO_RUN"; do
    [ -x "$f" ] || { echo "$f not found (build first)" >&2; exit 1; }
done

echo "== compute-bound program ($(basename "$PROGRAM")), platform $QT_QPA_PLATFORM"
best_ns=
for _ in $(seq "$RUNS"); do
    t0=$(date +%s%N)
    TARKO_RUN_COUNT=1 "$TARKO_RUN" --no-pause "$PROGRAM" >/dev/null 2>/tmp/tarko-run-count.$$
    t1=$(date +%s%N)
    d=$((t1 - t0))
    if [ -z "$best_ns" ] || [ "$d" -lt "$best_ns" ]; then best_ns=$d; fi
done
instr=$(sed -n 's/^Anweisungen: //p' /tmp/tarko-run-count.$$)
rm -f /tmp/tarko-run-count.$$
awk -v n="$instr" -v t="$best_ns" -v r="$RUNS" \
    'BEGIN { printf "tarko-run --no-pause: %d instructions, best of %d: %.3f s, %.3g instr/s\n", n, r, t / 1e9, n / (t / 1e9) }'
"$BENCH" mandel "$PROGRAM" "$RUNS" 2>/dev/null
"$BENCH" stop "$PROGRAM" 20 2>/dev/null

echo "== output"
"$BENCH" lines 5 2>/dev/null

echo "== start-up (process start to first paint of the main window)"
samples=()
for _ in 1 2 3 4 5; do
    t0=$(date +%s%N)
    painted=$("$TARKO" --startup-time 2>/dev/null | sed -n 's/^first-paint-epoch-ns //p')
    samples+=($(( (painted - t0) / 1000 )))
done
printf '%s\n' "${samples[@]}" | sort -n | awk '{ a[NR] = $1 } END {
    printf "first paint after %.1f ms median, %.1f ms best (5 starts)\n", a[int((NR + 1) / 2)] / 1000, a[1] / 1000 }'
