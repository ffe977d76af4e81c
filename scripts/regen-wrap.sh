#!/usr/bin/env bash
# Rewrites src/runtime/ConsoleFontTable.cpp, the console font's wrapping
# table, from Qt's layout on this machine. Run it when the console font or
# its layout changed (test_tablewrap says so), then review the diff. When the
# table's format changed, wrap-gen cannot build against the old table: first
# make it "const ConsoleFontTable ConsoleFontMetrics = {};" (in namespace tarko).
# Usage: scripts/regen-wrap.sh [BUILD_DIR]   (default: build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
cmake --build "$build" --target wrap-gen >/dev/null
"$build/src/runtime/wrap-gen" > "$root/src/runtime/ConsoleFontTable.cpp.new"
mv "$root/src/runtime/ConsoleFontTable.cpp.new" "$root/src/runtime/ConsoleFontTable.cpp"
echo "src/runtime/ConsoleFontTable.cpp rewritten"
