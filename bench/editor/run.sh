#!/usr/bin/env bash
# Editor figures: one typed letter and a full repaint of the visible area on
# programs of 200, 2,000 and 20,000 lines. Reported, never asserted.
# Usage: bench/editor/run.sh BUILD_DIR
set -euo pipefail
BUILD=$(cd "${1:-build}" && pwd)
BENCH=$BUILD/bench/editor/bench-editor
[ -x "$BENCH" ] || { echo "$BENCH not found (build first)" >&2; exit 1; }
QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} "$BENCH"
OVERLAY=$BUILD/bench/editor/bench-overlay
if [ -x "$OVERLAY" ]; then "$OVERLAY"; fi
