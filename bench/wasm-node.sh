#!/usr/bin/env bash
# The WebAssembly module under node against the native tarko-run on the
# compute-bound benchmark programs: median run times of interleaved runs and
# their ratio (native / wasm, 1.0 = as fast as native). Figures, no verdict.
# Usage: bench/wasm-node.sh BUILD_DIR WASM_DIR [RUNS]
set -euo pipefail
BUILD=${1:-build} WASM=${2:-build-web} RUNS=${3:-5}
HERE=$(cd "$(dirname "$0")" && pwd)
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
for p in count mandel nested; do
    native=() wasm=()
    for ((i = 0; i < RUNS; i++)); do
        start=$(date +%s.%N)
        "$BUILD/src/cli/tarko-run" "$HERE/programs/$p.trk" </dev/null >/dev/null
        native+=("$(echo "$(date +%s.%N) - $start" | bc)")
        wasm+=("$(node "$HERE/../tests/wasm/tarko_node.mjs" "$WASM" "$HERE/programs/$p.trk" --time </dev/null 2>&1 >/dev/null | awk '/^time/ {print $2}')")
    done
    n=$(printf '%s\n' "${native[@]}" | median) w=$(printf '%s\n' "${wasm[@]}" | median)
    printf '%-7s native %6.3f s   wasm (node, slices of 10^6) %6.3f s   ratio %.2f\n' "$p" "$n" "$w" "$(echo "$n / $w" | bc -l)"
done
