#!/usr/bin/python3
"""The workbench's window as a screen reader sees it through AT-SPI: waits for
the application (started with a program that has a compile error), presses
F9 with xdotool, waits until the message line reads the error, writes the
tree (role, name, description) to the file given, and checks that the
keypad, the tool bar, the console, the graphics screen, the editor and the
message line carry their German names, that no push button is nameless, no
name is padded with blanks and no frame lies inside the window, and that
the error was announced with its place by a notification after the last focus event, as
an event listener (a screen reader) hears it.
Run inside the D-Bus session of the accessibility bus (see e2e.sh).

Usage: e2e_atspi.py TREE_FILE TARKO_PID"""
import subprocess
import sys
import time

import pyatspi
from gi.repository import GLib

KEYS = ["Taste %d" % d for d in range(10)] + ["Taste C", "Taste OK", "Taste Minus", "Taste Komma"]
TOOLS = ["Neue Datei", "Datei öffnen", "Datei speichern", "Datei drucken", "Ausschneiden", "Kopieren",
         "Einfügen", "Suchen", "Ersetzen", "Programm starten", "Stop", "Hilfe zum Programm"]
ERROR = "Meldungszeile: Variable, Zahl oder ( erwartet"
TOLD = "Zeile 2, Spalte 6: Variable, Zahl oder ( erwartet"   # the announcement adds the place
OTHERS = [("text", "Ausgabe des Programms"), ("image", "Grafikbildschirm"), ("label", ERROR),
          ("text", "Programmtext: fehler")]


def find_app(limit=60):
    end = time.time() + limit
    while time.time() < end:
        desktop = pyatspi.Registry.getDesktop(0)
        for i in range(desktop.childCount):
            app = desktop.getChildAtIndex(i)
            if app is None or app.name != "Tarko":
                continue
            for k in range(app.childCount):
                frame = app.getChildAtIndex(k)
                if frame is not None and frame.name.startswith("Tarko - "):
                    return app
        time.sleep(0.3)
    return None


def walk(node, depth, lines, found):
    role, name = node.getRoleName(), node.name
    lines.append("%s[%s] %r %r" % ("  " * depth, role, name, node.description))
    found.append((role, name, depth))
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        if child is not None:
            walk(child, depth + 1, lines, found)


def press_f9(pid):
    windows = subprocess.run(["xdotool", "search", "--all", "--onlyvisible", "--pid", pid, "--name", "^Tarko - "],
                             capture_output=True, text=True).stdout.split()
    if not windows:
        return False
    subprocess.run(["xdotool", "windowfocus", "--sync", windows[0]])
    subprocess.run(["xdotool", "key", "F9"])
    return True


def message_line(node):
    if node.getRoleName() == "label" and node.name.startswith("Meldungszeile"):
        return node.name
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        name = message_line(child) if child is not None else None
        if name:
            return name
    return None


def listen(seconds):
    """Lets the event listeners run for a while."""
    end = time.time() + seconds
    context = GLib.MainContext.default()
    while time.time() < end:
        while context.iteration(False):
            pass
        time.sleep(0.05)


def on_event(event, heard):
    try:
        heard.append((event.type, event.source.getRoleName(), event.source.name, event.detail1))
    except Exception:   # the source may be gone already
        pass


def announced_last(heard):
    """Problems with what a screen reader hears after F9."""
    told = [i for i, (kind, role, name, shown) in enumerate(heard)
            if role == "notification" and kind.startswith("object:state-changed:showing") and shown]
    if not told or heard[told[-1]][2] != TOLD:
        return ["no notification telling %r (heard: %r)" % (TOLD, [e for e in heard if e[1] == "notification"])]
    later = [e for e in heard[told[-1] + 1:] if e[0].startswith("focus")]
    return ["focus moved after the notification: %r" % later] if later else []


def main(out, pid):
    app = find_app()
    if app is None:
        print("the workbench never appeared on the accessibility bus")
        return 1
    heard = []
    listener = lambda event: on_event(event, heard)
    pyatspi.Registry.registerEventListener(listener, "focus:", "object:state-changed:showing")
    listen(0.5)
    if not press_f9(pid):
        print("the main window was not found for F9")
        return 1
    end = time.time() + 30
    heard_line = message_line(app)
    while heard_line != ERROR and time.time() < end:
        listen(0.3)
        heard_line = message_line(app)
    listen(1.0)
    print("after F9 the message line reads: %r" % heard_line)
    lines, found = [], []
    walk(app, 0, lines, found)
    with open(out, "w", encoding="utf-8") as f:
        f.write("\n".join(lines) + "\n")
    buttons = [name for role, name, _ in found if role == "push button"]
    missing = [n for n in KEYS + TOOLS if n not in buttons]
    missing += ["%s %s" % rn for rn in OTHERS if not any(r == rn[0] and n.startswith(rn[1]) for r, n, _ in found)]
    nameless = sum(1 for n in buttons if not n.strip())
    print("screen reader sees %d push buttons: %s" % (len(buttons), ", ".join(buttons)))
    problems = ["padded name %r" % n for _, n, _ in found if n != n.strip()]
    problems += ["a %s %r inside the window" % (r, n) for r, n, depth in found if r == "frame" and depth > 1]
    problems += announced_last(heard)
    for p in problems:
        print(p)
    if missing or nameless:
        print("missing: %s; nameless push buttons: %d" % (", ".join(missing) or "none", nameless))
    return 1 if missing or nameless or problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
