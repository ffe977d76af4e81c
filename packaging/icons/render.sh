#!/usr/bin/env bash
# Renders the PNG icons in every hicolor size from the two SVGs beside this
# script (run by hand after changing an SVG; needs rsvg-convert from librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")"
for size in 16 22 24 32 48 64 128 256; do
    mkdir -p "${size}x${size}"
    for icon in tarko text-x-tarko; do
        rsvg-convert -w "$size" -h "$size" "$icon.svg" -o "${size}x${size}/$icon.png"
    done
done
