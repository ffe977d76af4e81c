#!/usr/bin/env bash
# Rewrites src/runtime/Glyphs.cpp, the canvas font's glyph table, from the
# desktop's rendering on this machine. Run it when the canvas font or its
# rendering changed (test_glyphs says so), then review the diff.
# Usage: scripts/regen-glyphs.sh [BUILD_DIR]   (default: build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
cmake --build "$build" --target glyph-gen >/dev/null
"$build/src/runtime/glyph-gen" > "$root/src/runtime/Glyphs.cpp.new" 2>/dev/null
mv "$root/src/runtime/Glyphs.cpp.new" "$root/src/runtime/Glyphs.cpp"
echo "src/runtime/Glyphs.cpp rewritten"
