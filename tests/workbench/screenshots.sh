#!/usr/bin/env bash
# Real-window pictures of the workbench under Xvfb, to compare by eye with
# what the workbench should look like: idle, running (green message line,
# console output), a compile error (red line), single stepping (fuchsia line,
# debug view). Not part of ctest.
# Usage: tests/workbench/screenshots.sh BUILD_DIR OUT_DIR
set -euo pipefail
if [ "${1:-}" = "--inner" ]; then
    INNER=1
    shift
fi
BUILD=$(cd "${1:-build}" && pwd)
OUT=${2:-/tmp/tarko-shots}
mkdir -p "$OUT"
PROGRAM=${TARKO_SHOT_PROGRAM:-$(mktemp --suffix=.trk)}
printf 'Ausgabe "Hallo, Welt!"\r\nAusgabe 2 + 3\r\nx <= 7\r\nFalls x > 5\r\n\tAusgabe "gro\xdf"\r\nFallsende\r\nPause 5\r\n' >"$PROGRAM"
export XDG_CONFIG_HOME=$(mktemp -d)   # a fresh settings store

inner() {
    "$BUILD/src/workbench/tarko" "$PROGRAM" &
    local pid=$!
    sleep 2
    local wid
    wid=$(xdotool search --onlyvisible --name "Tarko" | head -1)
    xdotool windowfocus --sync "$wid"
    import -window root "$OUT/idle.png"
    xdotool key --window "$wid" F9; sleep 1
    import -window root "$OUT/running.png"
    xdotool key --window "$wid" Escape; sleep 0.5
    xdotool key --window "$wid" ctrl+Home Down Down End
    xdotool type --window "$wid" --delay 30 ' $'
    xdotool key --window "$wid" F9; sleep 0.5
    import -window root "$OUT/error.png"
    xdotool key --window "$wid" BackSpace BackSpace; sleep 0.2
    xdotool key --window "$wid" ctrl+F9; sleep 1
    xdotool key --window "$wid" ctrl+F9; sleep 0.3
    import -window root "$OUT/step.png"
    xdotool key --window "$wid" Escape; sleep 0.3
    kill "$pid"
}
if [ -n "${INNER:-}" ]; then
    inner
    exit 0
fi
TARKO_SHOT_PROGRAM=$PROGRAM xvfb-run -a -s "-screen 0 1280x1024x24" "$0" --inner "$BUILD" "$OUT"
rm -f "$PROGRAM"
echo "pictures in $OUT: idle.png running.png error.png step.png"
