#!/usr/bin/env bash
# Front-end figures: compiling a 2,402-line program. Reported, never asserted.
# Usage: bench/frontend/run.sh BUILD_DIR
set -euo pipefail
BUILD=$(cd "${1:-build}" && pwd)
BENCH=$BUILD/bench/frontend/bench-frontend
[ -x "$BENCH" ] || { echo "$BENCH not found (build first)" >&2; exit 1; }
"$BENCH" "${BENCH_RUNS_FRONTEND:-300}"
