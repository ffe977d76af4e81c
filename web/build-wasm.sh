#!/usr/bin/env bash
# Builds the WebAssembly module of the C++ core: build-web/tarko.js and
# build-web/tarko.wasm (Debian's emscripten, no Qt). Usage: web/build-wasm.sh [BUILD_DIR]
set -euo pipefail
HERE=$(cd "$(dirname "$0")/.." && pwd)
OUT=${1:-$HERE/build-web}
if ! command -v emcmake >/dev/null 2>&1; then
    echo "build-wasm: emscripten is missing (scripts/setup.sh installs it)" >&2
    exit 1
fi
# Debian's emscripten runs its tools under node and finds their modules
# (acorn and others) here; the built module itself needs none.
export NODE_PATH=${NODE_PATH:-/usr/share/nodejs}
emcmake cmake -S "$HERE" -B "$OUT" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" -DCMAKE_EXE_LINKER_FLAGS_RELEASE="-O2" >/dev/null
cmake --build "$OUT" --target tarko
ls -l "$OUT/tarko.js" "$OUT/tarko.wasm" >/dev/null
