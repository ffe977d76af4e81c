#!/bin/bash
# Rewrites the golden references of the colouring from the current engine.
# Run it only after a wanted change, then review `git diff tests/editor/golden`.
# Usage: tests/editor/regen_golden.sh [BUILD_DIR]   (default: build)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build}
cmake --build "$build" --target editor-golden >/dev/null
tool=$build/tests/editor/editor-golden
for name in Grafikdesign Idealgewicht Koordinatensystem Memory; do
    "$tool" "$root/resources/examples/$name.trk" > "$root/tests/editor/golden/$name.spans"
done
"$tool" "$root/tests/editor/golden/Sonderfaelle.trk" > "$root/tests/editor/golden/Sonderfaelle.spans"
echo "golden references rewritten in tests/editor/golden"
