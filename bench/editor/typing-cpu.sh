#!/usr/bin/env bash
# CPU time of the workbench per typed letter in a real window: a program
# whose second line is LENGTH characters long ("Ausgabe "abc" 1 " repeated),
# the caret on that line about 400 characters in, 300 letters typed by
# xdotool. Reported, never asserted; the short line is the yardstick.
# Usage: bench/editor/typing-cpu.sh BUILD_DIR [LENGTH...]
set -uo pipefail
BUILD=$(cd "${1:-build}" && pwd)
shift
LENGTHS=("$@")
[ ${#LENGTHS[@]} -eq 0 ] && LENGTHS=(60 50000 200000 1000000)
TARKO=$BUILD/src/workbench/tarko
for tool in Xvfb xdotool python3; do
    command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 0; }
done
[ -x "$TARKO" ] || { echo "$TARKO not found (build first)" >&2; exit 1; }
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
HZ=$(getconf CLK_TCK)

echo "| line length | CPU ms per typed letter |"
echo "|---:|---:|"
for LEN in "${LENGTHS[@]}"; do
    python3 - "$LEN" "$WORK/p.trk" <<'EOF'
import sys
n, path = int(sys.argv[1]), sys.argv[2]
line = ''
while len(line) < n:
    line += 'Ausgabe "abc" 1 '
open(path, 'wb').write(('Pause 1\r\n' + line[:n] + '\r\nPause 2\r\n').encode('cp1252'))
EOF
    # Xvfb picks a free display itself; each length gets its own server.
    exec 3>"$WORK/display"
    Xvfb -displayfd 3 -noreset -screen 0 1280x1024x24 -nolisten tcp 2>/dev/null &
    XVFB=$!
    for _ in $(seq 50); do [ -s "$WORK/display" ] && break; sleep 0.1; done
    export DISPLAY=:$(cat "$WORK/display")
    XDG_CONFIG_HOME=$WORK/config-$LEN "$TARKO" "$WORK/p.trk" 2>/dev/null &
    PID=$!
    WID=
    for _ in $(seq 100); do
        WID=$(xdotool search --all --onlyvisible --pid $PID --name '^Tarko - ' 2>/dev/null | head -1)
        [ -n "$WID" ] && break
        sleep 0.1
    done
    sleep 1
    xdotool windowfocus --sync "$WID"
    xdotool mousemove --window "$WID" 200 105 click 1
    for _ in $(seq 50); do xdotool key --delay 0 ctrl+Right; done
    sleep 1
    ticks() { awk '{print $14 + $15}' /proc/$PID/stat; }
    BEFORE=$(ticks)
    xdotool type --delay 8 "$(python3 -c "print('abcdefghij' * 30)")"
    sleep 1
    AFTER=$(ticks)
    python3 -c "print('| %d | %.2f |' % ($LEN, ($AFTER - $BEFORE) * 1000 / $HZ / 300))"
    kill $PID 2>/dev/null
    wait $PID 2>/dev/null
    kill $XVFB 2>/dev/null
    wait $XVFB 2>/dev/null
    rm -f "$WORK/display"
done
