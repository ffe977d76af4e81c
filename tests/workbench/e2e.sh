#!/usr/bin/env bash
# The workbench in real windows, driven like a user with xdotool under Xvfb:
#   example    open Koordinatensystem from the menu, F9; the device's screen
#              shows exactly the picture tarko-run --png draws
#   input      type a program with Eingabe, answer it on the keypad by mouse
#   error      a compile error: red message line, the caret right after the
#              bad character (Backspace removes it and the program runs)
#   pause      Esc during Pause 10 ends the run at once
#   close      closing with an unsaved change: Abbrechen keeps the window,
#              Nein closes it and the settings are written
#   atspi      the window as a screen reader sees it through AT-SPI
#   burst      30 lines printed at once: few console events, the last ten
#              lines announced (AT-SPI)
#   scroll     Ctrl+End in a long program, then a new line typed at the
#              bottom: the window shows what a full repaint shows (no line
#              left in the plain colour by the scroll)
#   find       Ctrl+F, a search text, Enter: the keyboard is back in the
#              editor, a typed letter replaces the found word (no window
#              manager; find_openbox: the same under openbox)
# Each scenario has an X server of its own (Xvfb picks a free display) and
# a fresh settings folder. Waits poll for what the screen shows.
# Usage: tests/workbench/e2e.sh BUILD_DIR [OUT_DIR] [SCENARIO...]
# Exit status 0: all passed; 1: a scenario failed (its screenshots stay in
# OUT_DIR); 77: skipped because a tool is missing.
set -uo pipefail

BUILD=$(cd "${1:-build}" && pwd)
OUT=${2:-$BUILD/e2e}
shift $(($# < 2 ? $# : 2))
SCENARIOS=("$@")
[ ${#SCENARIOS[@]} -eq 0 ] && SCENARIOS=(example input error pause close atspi burst scroll find find_openbox)
HERE=$(cd "$(dirname "$0")" && pwd)
# Real windows, even when the caller runs everything else offscreen.
unset QT_QPA_PLATFORM
TARKO=$BUILD/src/workbench/tarko
TARKO_RUN=$BUILD/src/cli/tarko-run
IMG="python3 $HERE/e2e_image.py"

for tool in Xvfb xdotool import convert identify python3; do
    if ! command -v "$tool" >/dev/null; then
        echo "SKIP: $tool is not installed (scripts/setup.sh installs it); no real-window test ran"
        exit 77
    fi
done
for f in "$TARKO" "$TARKO_RUN"; do
    [ -x "$f" ] || { echo "FAIL: $f is missing; build first"; exit 1; }
done
mkdir -p "$OUT"
WORK=$(mktemp -d)
PIDS=()
cleanup() {
    for p in "${PIDS[@]}"; do kill "$p" 2>/dev/null; done
    rm -rf "$WORK"
}
trap cleanup EXIT

log() { echo "[$SCENARIO] $*"; }

# wait_until SECONDS COMMAND...: polls COMMAND every 0.2 s.
wait_until() {
    local limit=$1
    shift
    local end=$((SECONDS + limit))
    until "$@"; do
        [ $SECONDS -ge $end ] && return 1
        sleep 0.2
    done
}

start_x() {
    local dispfile=$WORK/$SCENARIO.display
    : >"$dispfile"
    Xvfb -displayfd 3 -noreset -screen 0 1280x1024x24 -nolisten tcp 3>"$dispfile" 2>"$WORK/$SCENARIO.xvfb.log" &
    XVFB=$!
    PIDS+=("$XVFB")
    wait_until 20 test -s "$dispfile" || { log "Xvfb did not start"; return 1; }
    export DISPLAY=:$(head -1 "$dispfile")
}

stop_x() {
    [ -n "${TARKO_PID:-}" ] && kill "$TARKO_PID" 2>/dev/null
    kill "$XVFB" 2>/dev/null
    wait "$XVFB" 2>/dev/null
    TARKO_PID=
}

find_main_window() {
    WID=$(xdotool search --all --onlyvisible --pid "$TARKO_PID" --name '^Tarko - ' 2>/dev/null | head -1)
    [ -n "$WID" ]
}

# Starts the workbench with a fresh settings folder and gives it the keyboard.
start_tarko() {
    export XDG_CONFIG_HOME=$WORK/$SCENARIO.config
    mkdir -p "$XDG_CONFIG_HOME"
    "$TARKO" "$@" >"$WORK/$SCENARIO.tarko.log" 2>&1 &
    TARKO_PID=$!
    PIDS+=("$TARKO_PID")
    wait_until 30 find_main_window || { log "the main window did not appear"; return 1; }
    focus_main
}

focus_main() { xdotool windowfocus --sync "$WID" 2>/dev/null; }

key() { xdotool key --window "$WID" --delay 40 "$@"; }

# Types program lines into the current editor, one key Return after each.
type_lines() {
    local line
    for line in "$@"; do
        xdotool type --window "$WID" --delay 15 -- "$line"
        xdotool key --window "$WID" Return
    done
}

# At least N windows of the workbench are shown (main window, open menus).
windows_shown() {
    [ "$(xdotool search --all --onlyvisible --pid "$TARKO_PID" --name '' 2>/dev/null | wc -l)" -ge "$1" ]
}

shot() { import -window "$WID" "$1" 2>/dev/null; }

# The window's title, "Tarko - Name".
title_is() { [ "$(xdotool getwindowname "$WID" 2>/dev/null)" = "$1" ]; }

# The reference picture appears on the window exactly, pixel for pixel.
canvas_shows() {
    shot "$WORK/now.png" && $IMG locate "$WORK/now.png" "$1" >"$WORK/where" 2>/dev/null
}

# Colour of the message line (left part, middle of its height).
message_line_colour() {
    shot "$WORK/now.png" || return 1
    local h
    h=$(identify -format '%h' "$WORK/now.png")
    $IMG pixel "$WORK/now.png" 4 $((h - 31))
}
message_line_is() { [ "$(message_line_colour)" = "$1" ]; }
message_line_is_not() { local c; c=$(message_line_colour) && [ "$c" != "$1" ]; }

# The device's screen: the idle console (created disabled) is the first
# long run of its colour; the panel's keys are placed relative to it.
locate_device() {
    shot "$WORK/idle.png" || return 1
    local xy
    xy=$($IMG area "$WORK/idle.png" 0 223 223 150) || return 1
    read -r SCREEN_X SCREEN_Y <<<"$xy"
    # the console's viewport lies one pixel inside the screen at (62, 76)
    PANEL_X=$((SCREEN_X - 1 - 62))
    PANEL_Y=$((SCREEN_Y - 1 - 76))
}

# Key places on the device (left top width height), as the panel lays them out.
declare -A KEYS=([1]="52 295 16 19" [2]="74 300 16 20" [4]="118 306 16 20" [OK]="142 340 33 18")
key_rect() { local r; read -r -a r <<<"${KEYS[$1]}"; echo $((PANEL_X + r[0])) $((PANEL_Y + r[1])) "${r[2]}" "${r[3]}"; }
click_key() {
    local x y w h
    read -r x y w h <<<"$(key_rect "$1")"
    xdotool mousemove --window "$WID" $((x + w / 2)) $((y + h / 2)) click 1
}
# A key looks different from its picture in idle.png (enabled vs disabled).
key_changed() {
    shot "$WORK/now.png" || return 1
    ! $IMG same "$WORK/idle.png" "$WORK/now.png" $(key_rect "$1") >/dev/null
}

# ---- scenarios ---------------------------------------------------------------

scenario_example() {
    "$TARKO_RUN" --png "$WORK/koordinaten.png" "$HERE/../../resources/examples/Koordinatensystem.trk" >/dev/null ||
        { log "tarko-run could not draw the example"; return 1; }
    start_tarko || return 1
    key alt+d
    wait_until 10 windows_shown 2 || { log "the Datei menu did not open"; return 1; }
    key b
    wait_until 10 windows_shown 3 || { log "the examples menu did not open"; return 1; }
    key Down Down Return
    wait_until 10 title_is "Tarko - Koordinatensystem" || { log "the example did not open from the menu"; return 1; }
    key F9
    wait_until 30 canvas_shows "$WORK/koordinaten.png" ||
        { log "the device's screen never showed the picture of tarko-run --png"; return 1; }
    log "canvas equals tarko-run --png at $(cat "$WORK/where") in the window"
    cp "$WORK/now.png" "$OUT/koordinatensystem.png"
}

scenario_input() {
    printf 'Eingabe "Zahl?" x\r\nFalls x = 42\r\nBlau\r\nRechteck (-5;-5) (5;5)\r\nFallsende\r\n' >"$WORK/input.trk"
    echo 42 | "$TARKO_RUN" --png "$WORK/input.png" "$WORK/input.trk" >/dev/null || return 1
    start_tarko || return 1
    locate_device || { log "the device's screen was not found"; return 1; }
    key ctrl+n
    wait_until 10 title_is "Tarko - Programm" || return 1
    type_lines 'Eingabe "Zahl?" x' 'Falls x = 42' 'Blau' 'Rechteck (-5;-5) (5;5)' 'Fallsende'
    key F9
    wait_until 20 key_changed 4 || { log "the keypad never became ready for the input"; return 1; }
    click_key 4
    click_key 2
    wait_until 10 key_changed OK || { log "OK never became available after 4 2"; return 1; }
    click_key OK
    wait_until 20 canvas_shows "$WORK/input.png" ||
        { log "after 4 2 OK on the keypad the program did not draw what it draws for 42"; return 1; }
    log "42 typed on the keypad by mouse reached the program"
}

scenario_error() {
    printf 'Rot\r\nRechteck (-5;-5)  (5;5)\r\n' >"$WORK/fixed.trk"
    "$TARKO_RUN" --png "$WORK/fixed.png" "$WORK/fixed.trk" >/dev/null || return 1
    start_tarko || return 1
    key ctrl+n
    wait_until 10 title_is "Tarko - Programm" || return 1
    type_lines 'Rot' 'Rechteck (-5;-5) $ (5;5)'
    key ctrl+Home F9
    wait_until 15 message_line_is "255 0 0" || { log "the message line did not turn red"; return 1; }
    shot "$WORK/error.png"
    # The caret stands right after the "$": Backspace removes exactly it.
    key BackSpace F9
    wait_until 20 canvas_shows "$WORK/fixed.png" ||
        { log "after Backspace at the caret the program did not run as corrected"; return 1; }
    message_line_is_not "255 0 0" || { log "the message line stayed red"; return 1; }
    log "red message line; the caret stood right after the bad character"
}

scenario_pause() {
    printf 'Ausgabe "Warte"\r\nPause 10\r\nRot\r\nRechteck (-5;-5) (5;5)\r\n' >"$WORK/pause.trk"
    "$TARKO_RUN" --no-pause --png "$WORK/pause.png" "$WORK/pause.trk" >/dev/null || return 1
    start_tarko "$WORK/pause.trk" || return 1
    wait_until 10 title_is "Tarko - pause" || return 1
    local idle_colour
    idle_colour=$(message_line_colour)
    key F9
    wait_until 15 message_line_is "0 128 0" || { log "the message line did not turn green"; return 1; }
    local started=$SECONDS
    key Escape
    wait_until 15 message_line_is "$idle_colour" || { log "Esc did not end the run"; return 1; }
    local took=$((SECONDS - started))
    [ $took -lt 8 ] || { log "the run ended only after $took s, not at Esc"; return 1; }
    canvas_shows "$WORK/pause.png" && { log "the statements after the pause ran"; return 1; }
    log "Esc ended Pause 10 after about $took s"
}

confirm_box() {
    BOX=$(xdotool search --all --onlyvisible --pid "$TARKO_PID" --name '^Bestätigung$' 2>/dev/null | head -1)
    [ -n "$BOX" ]
}
no_confirm_box() { ! confirm_box; }
tarko_ended() { ! kill -0 "$TARKO_PID" 2>/dev/null; }

# Without a window manager Qt hands a key to the window it last counted as
# active; a key sent in the moment a modal box opens or closes can land on
# the wrong window and is dropped. Such keys are sent again (and logged):
# the checks are about what the prompt does, not about that moment.

# Alt+F4 until the unsaved-changes prompt shows.
close_until_prompt() {
    local attempt
    for attempt in 1 2 3; do
        focus_main
        xdotool key alt+F4   # a real key press (XTEST), like the answers below
        wait_until 5 confirm_box && return 0
        log "no prompt after Alt+F4 (attempt $attempt)"
    done
    return 1
}

# Answers the prompt with KEY until it closes.
answer_prompt() {
    local attempt
    for attempt in 1 2 3 4 5; do
        # A real key press (XTEST) to the box that holds the X input focus.
        xdotool windowfocus --sync "$BOX" 2>/dev/null
        xdotool key "$1" 2>/dev/null
        wait_until 3 no_confirm_box && return 0
        log "the prompt is still open after $1 (attempt $attempt; box $BOX \"$(xdotool getwindowname "$BOX" 2>&1)\", focus $(xdotool getwindowfocus 2>&1))"; import -window root "$OUT/prompt-$attempt.png"
    done
    return 1
}

scenario_close() {
    start_tarko || return 1
    key ctrl+n
    wait_until 10 title_is "Tarko - Programm" || return 1
    type_lines 'Ausgabe 1'
    close_until_prompt || { log "no unsaved-changes prompt"; return 1; }
    answer_prompt Escape || { log "Abbrechen did not close the prompt"; return 1; }
    sleep 0.5
    tarko_ended && { log "Abbrechen closed the workbench"; return 1; }
    find_main_window || { log "the main window is gone after Abbrechen"; return 1; }
    close_until_prompt || { log "no prompt on the second close"; return 1; }
    answer_prompt n || { log "Nein did not close the prompt"; return 1; }
    wait_until 20 tarko_ended || { log "Nein did not close the workbench"; return 1; }
    wait "$TARKO_PID"
    local status=$?
    [ $status -eq 0 ] || { log "the workbench ended with status $status"; return 1; }
    [ -s "$XDG_CONFIG_HOME/Brimwold/Tarko.conf" ] || { log "no settings written at the close"; return 1; }
    TARKO_PID=
    log "Abbrechen kept the window, Nein closed it; settings written"
}

# The window as shown equals the window after a full recolouring (Shift
# released recolours the whole view), but for the caret's blinking.
shows_full_repaint() {
    local w h
    shot "$WORK/before.png" || return 1
    xdotool key shift
    sleep 0.3
    shot "$WORK/after.png" || return 1
    read -r w h <<<"$(identify -format '%w %h' "$WORK/after.png")"
    local differ
    differ=$($IMG same "$WORK/before.png" "$WORK/after.png" 0 0 "$w" "$h") && return 0
    [ "$differ" -le 40 ] || { log "$differ pixels changed at a full recolouring"; return 1; }
}

scenario_scroll() {
    local i
    for i in $(seq 1 40); do printf 'Ausgabe "Zeile %d" / Kommentar' "$i"; [ "$i" -lt 40 ] && printf '\r\n'; done \
        >"$WORK/zeilen.trk"
    start_tarko "$WORK/zeilen.trk" || return 1
    wait_until 10 title_is "Tarko - zeilen" || return 1
    xdotool key ctrl+End
    sleep 0.5
    shows_full_repaint || { log "after Strg+Ende"; cp "$WORK/before.png" "$OUT/scroll-before.png"; return 1; }
    xdotool key Return
    xdotool type --delay 30 'Ausgabe "Hallo" / neu'
    sleep 0.5
    shows_full_repaint || { log "after a line typed at the bottom"; cp "$WORK/before.png" "$OUT/scroll-before.png"; return 1; }
    log "after Strg+Ende and a new last line the window showed its full recolouring"
}

find_dialog() {
    DLG=$(xdotool search --all --onlyvisible --pid "$TARKO_PID" --name '^Suchen$' 2>/dev/null | head -1)
    [ -n "$DLG" ]
}
# The X input focus is on the main window (openbox may report a child of it).
main_has_focus() {
    local f
    f=$(xdotool getwindowfocus 2>/dev/null) || return 1
    [ "$f" = "$WID" ] || [ "$(xdotool getwindowname "$f" 2>/dev/null)" = "$(xdotool getwindowname "$WID")" ]
}
has_focus() { [ "$(xdotool getwindowfocus 2>/dev/null)" = "$1" ]; }
file_is() { [ "$(cat "$1" 2>/dev/null)" = "$(printf "$2")" ]; }

# The keys go where the X server sends them (XTEST, no target window): to
# the window that holds the input focus, as a user's keys do.
scenario_find() {
    printf 'Eins Zwei Drei\r\n' >"$WORK/suche.trk"
    start_tarko "$WORK/suche.trk" || return 1
    wait_until 10 title_is "Tarko - suche" || return 1
    xdotool key ctrl+f
    wait_until 10 find_dialog || { log "Strg+F showed no Suchen dialog"; return 1; }
    wait_until 5 has_focus "$DLG" ||
        { log "the Suchen dialog did not get the keyboard: \"$(xdotool getwindowfocus getwindowname 2>&1)\""; return 1; }
    xdotool type --delay 40 Zwei
    xdotool key Return
    wait_until 5 main_has_focus ||
        { log "after Weitersuchen the keyboard stayed with \"$(xdotool getwindowfocus getwindowname 2>&1)\""; return 1; }
    xdotool type --delay 40 X
    xdotool key ctrl+s
    wait_until 10 file_is "$WORK/suche.trk" 'Eins X Drei\r\n' ||
        { log "the typed X did not replace the found word: $(od -c "$WORK/suche.trk" | head -2)"; return 1; }
    find_dialog || { log "the Suchen dialog closed"; return 1; }
    log "after Weitersuchen a typed X replaced the found word; the dialog stayed open"
}

scenario_find_openbox() {
    if ! command -v openbox >/dev/null || ! command -v xprop >/dev/null; then
        log "SKIP: openbox or xprop is missing (scripts/setup.sh installs them)"
        return 0
    fi
    openbox --sm-disable >"$WORK/openbox.log" 2>&1 &
    PIDS+=("$!")
    wait_until 10 eval 'xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"' ||
        { log "openbox did not start"; return 1; }
    scenario_find
}

# Runs the workbench on PROGRAM in one D-Bus session with the accessibility
# bus and a reader: python3 SCRIPT ARGS... and the workbench's pid last. The
# reader's status; 77 (said as SKIP) where the tools are missing.
with_reader() {
    local name=$1 program=$2
    shift 2
    if ! /usr/bin/python3 -c 'import pyatspi' 2>/dev/null || ! command -v dbus-run-session >/dev/null ||
        [ ! -x /usr/libexec/at-spi-bus-launcher ]; then
        log "SKIP: at-spi2-core, python3-pyatspi or dbus is missing (scripts/setup.sh installs them)"
        return 77
    fi
    export XDG_CONFIG_HOME=$WORK/$name.config
    mkdir -p "$XDG_CONFIG_HOME"
    timeout 120 dbus-run-session -- bash -c '
        /usr/libexec/at-spi-bus-launcher --launch-immediately &
        QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 "$1" "$2" &
        tarko=$!
        shift 2
        /usr/bin/python3 "$@" $tarko
        status=$?
        kill $tarko
        exit $status' "$name" "$TARKO" "$program" "$@" >"$WORK/$name.log" 2>&1
    local status=$?
    grep -v '^dbus-daemon\|^SpiRegistry\|XDG_RUNTIME_DIR' "$WORK/$name.log" | sed "s/^/[$SCENARIO] /"
    return $status
}

scenario_atspi() {
    # A program with a compile error: the reader presses F9 and listens to
    # the message line.
    printf 'Ausgabe 1\r\nPause\r\n' >"$WORK/fehler.trk"
    with_reader atspi "$WORK/fehler.trk" "$HERE/e2e_atspi.py" "$OUT/atspi-tree.txt"
    case $? in
    0 | 77) ;;
    *) log "a screen reader would miss names or the error (tree in $OUT/atspi-tree.txt)"; return 1 ;;
    esac
}

scenario_burst() {
    printf 'i <= 0\r\nWiederhole\r\n  i <= i + 1\r\n  Ausgabe "Zeile " i\r\nBis i = 30\r\n' >"$WORK/zeilen.trk"
    with_reader burst "$WORK/zeilen.trk" "$HERE/e2e_atspi_burst.py"
    case $? in
    0 | 77) ;;
    *) log "a screen reader would be flooded by the output or miss its announcement"; return 1 ;;
    esac
}

failed=()
for SCENARIO in "${SCENARIOS[@]}"; do
    start=$SECONDS
    start_x || { failed+=("$SCENARIO"); continue; }
    if "scenario_$SCENARIO"; then
        log "passed in $((SECONDS - start)) s"
    else
        import -window root "$OUT/$SCENARIO-failed.png" 2>/dev/null
        [ -f "$WORK/now.png" ] && cp "$WORK/now.png" "$OUT/$SCENARIO-last-window.png"
        cp "$WORK/$SCENARIO.tarko.log" "$OUT/$SCENARIO-tarko.log" 2>/dev/null
        log "FAILED after $((SECONDS - start)) s; screenshots in $OUT"
        failed+=("$SCENARIO")
    fi
    rm -f "$WORK/now.png"
    stop_x
done
if [ ${#failed[@]} -gt 0 ]; then
    echo "FAIL: ${failed[*]}"
    exit 1
fi
echo "PASS: ${SCENARIOS[*]}"
