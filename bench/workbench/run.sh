#!/usr/bin/env bash
# Workbench figures: F9 instruction rate against tarko-run --no-pause on the
# same compute-bound program, the stop latency of Esc, 998 printed lines, the
# start of a single step of long programs, and the time from process start to the first painted main window.
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

# F9 in the workbench against tarko-run --no-pause on the same program, the
# two interleaved $RUNS times (medians). tarko-run's time is that of the whole
# process, start-up included; the workbench's that of the run alone.
for program in "$PROGRAM" "$HERE/../programs/grid.trk"; do
    echo "== $(basename "$program"), platform $QT_QPA_PLATFORM"
    run_ns=() f9_s=()
    for _ in $(seq "$RUNS"); do
        t0=$(date +%s%N)
        TARKO_RUN_COUNT=1 "$TARKO_RUN" --no-pause "$program" >/dev/null 2>/tmp/tarko-run-count.$$
        t1=$(date +%s%N)
        run_ns+=($((t1 - t0)))
        f9_s+=($("$BENCH" mandel "$program" 1 2>/dev/null | sed -n 's/.*best of 1: \([0-9.]*\) s.*/\1/p'))
    done
    instr=$(sed -n 's/^Anweisungen: //p' /tmp/tarko-run-count.$$)
    rm -f /tmp/tarko-run-count.$$
    t_run=$(printf '%s\n' "${run_ns[@]}" | sort -g | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] / 1e9 }')
    t_f9=$(printf '%s\n' "${f9_s[@]}" | sort -g | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }')
    awk -v n="$instr" -v r="$RUNS" -v tr="$t_run" -v tf="$t_f9" 'BEGIN {
        printf "tarko-run --no-pause: %d instructions, median of %d: %.3f s, %.3g instr/s\n", n, r, tr, n / tr
        printf "workbench F9:         median of %d: %.3f s, %.3g instr/s (%.0f %% of tarko-run)\n", r, tf, n / tf, 100 * tr / tf
    }'
done
# An endless loop, so that every run really ends by Esc however fast the interpreter is.
"$BENCH" stop "$HERE/endless.trk" 20 2>/dev/null

echo "== zoom: F9 with the device at 300 % against 100 % (a screen that holds it)"
if [ "${QT_QPA_PLATFORM%%:*}" = offscreen ]; then
    QT_QPA_PLATFORM="offscreen:configfile=$HERE/large-screen.json" "$BENCH" zoom "$PROGRAM" "$RUNS" 300 2>&1 || true
else
    "$BENCH" zoom "$PROGRAM" "$RUNS" 300 2>&1 || true
fi

echo "== output"
"$BENCH" lines 5 2>/dev/null

echo "== single step of a long program (Ctrl+F9 to the first step)"
for lines in 100 500 1000; do
    "$BENCH" step "$lines" "$RUNS" 2>/dev/null
done

echo "== start-up (process start to first paint of the main window)"
samples=()
for _ in 1 2 3 4 5; do
    t0=$(date +%s%N)
    painted=$("$TARKO" --startup-time 2>/dev/null | sed -n 's/^first-paint-epoch-ns //p')
    samples+=($(( (painted - t0) / 1000 )))
done
printf '%s\n' "${samples[@]}" | sort -n | awk '{ a[NR] = $1 } END {
    printf "first paint after %.1f ms median, %.1f ms best (5 starts)\n", a[int((NR + 1) / 2)] / 1000, a[1] / 1000 }'
