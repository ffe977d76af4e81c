#!/usr/bin/env bash
# Builds the Debian package in a build folder of its own, with Debian's
# build flags (dpkg-buildflags, all hardening: fortified functions, stack
# protector, full RELRO with immediate binding) on top of the Release
# optimisation, so the everyday build keeps its flags and the package runs
# as fast as the measured programs. Only the programs are built, no tests.
# Usage: packaging/build-deb.sh BUILD_DIR   prints the path of the .deb
set -euo pipefail
source=$(cd "$(dirname "$0")/.." && pwd)
build=$1
# -ffile-prefix-map is relative to the folder dpkg-buildflags runs in.
flags() { (cd "$source" && DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get "$1"); }
# quietly: prints the command's output only when it fails.
quietly() {
    local out
    out=$("$@" 2>&1) || { echo "$out" >&2; echo "build-deb.sh: failed: $*" >&2; exit 1; }
}
quietly cmake -S "$source" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTARKO_TESTS=OFF \
        -DCMAKE_INSTALL_PREFIX=/usr \
        -DCMAKE_CXX_FLAGS="$(flags CPPFLAGS) $(flags CXXFLAGS)" \
        -DCMAKE_EXE_LINKER_FLAGS="$(flags LDFLAGS)"
rm -f "$build"/tarko_*.deb
quietly cmake --build "$build" --target package
ls "$build"/tarko_*.deb
