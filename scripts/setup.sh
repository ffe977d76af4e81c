#!/usr/bin/env bash
# Installs the Debian packages the project needs, once: a second call installs nothing.
#   scripts/setup.sh          what building, running, testing and packaging need
#   scripts/setup.sh --fuzz   in addition clang 14 and its libFuzzer for `make fuzz`
set -euo pipefail
packages=(cmake ninja-build g++ make qt6-base-dev qt6-translations-l10n
          fonts-liberation fonts-dejavu-core xvfb xauth xdotool imagemagick openbox x11-utils
          dbus-daemon dbus-x11 at-spi2-core python3-pyatspi
          desktop-file-utils appstream shared-mime-info libglib2.0-bin groff-base dpkg-dev
          lintian)
# The browser edition's WebAssembly module (web/build-wasm.sh, its tests).
packages+=(emscripten)
# The browser edition's front end and its tests: Chromium, node and npm (a
# node from another source, with its own npm, is kept).
packages+=(chromium)
# A second engine for the browser edition's tests (driven over WebDriver BiDi).
packages+=(firefox-esr)
command -v node >/dev/null || packages+=(nodejs)
command -v npm >/dev/null || packages+=(npm)
if [ "${1:-}" = --fuzz ]; then
    # Debian has no unversioned libFuzzer package: the compiler follows its version.
    packages+=(clang-14 libfuzzer-14-dev)
fi
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    SUDO=""
    if [ "$(id -u)" -ne 0 ]; then
        # A fresh minimal Debian has no sudo: say what root has to install.
        if ! command -v sudo >/dev/null; then
            echo "Es fehlen Pakete, und sudo ist nicht installiert. Bitte als root installieren:" >&2
            echo "    apt-get update && apt-get install ${missing[*]}" >&2
            exit 1
        fi
        SUDO="sudo"
    fi
    echo "Installiere fehlende Pakete: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    $SUDO apt-get update -qq
    $SUDO apt-get install -y -qq "${missing[@]}"
fi
# The web front end's npm packages, exactly as pinned in package-lock.json
# (again only when the lock file changed).
web="$(dirname "$0")/../web"
if [ -f "$web/package-lock.json" ] && ! cmp -s "$web/package-lock.json" "$web/node_modules/.tarko-lock" 2>/dev/null; then
    echo "Installiere die npm-Pakete der Web-Ausgabe (npm ci)"
    (cd "$web" && npm ci --no-audit --no-fund --loglevel=error && cp package-lock.json node_modules/.tarko-lock)
fi
