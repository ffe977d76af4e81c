#!/usr/bin/python3
"""The workbench's window as a screen reader sees it through AT-SPI: waits for
the application (started with a program that has a compile error), presses
F9 with xdotool, waits until the message line reads the error, writes the
tree (role, name, description) to the file given, and checks that the
keypad, the tool bar, the console, the graphics screen, the editor and the
message line carry their German names and that no push button is nameless.
Run inside the D-Bus session of the accessibility bus (see e2e.sh).

Usage: e2e_atspi.py TREE_FILE TARKO_PID"""
import subprocess
import sys
import time

import pyatspi

KEYS = ["Taste %d" % d for d in range(10)] + ["Taste C", "Taste OK", "Taste Minus", "Taste Komma"]
TOOLS = ["Neue Datei", "Datei öffnen", "Datei speichern", "Datei drucken", "Ausschneiden", "Kopieren",
         "Einfügen", "Suchen", "Ersetzen", "Programm starten", "Stop", "Hilfe zum Programm"]
ERROR = "Meldungszeile: Variable, Zahl oder ( erwartet"
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
    found.append((role, name))
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


def main(out, pid):
    app = find_app()
    if app is None:
        print("the workbench never appeared on the accessibility bus")
        return 1
    if not press_f9(pid):
        print("the main window was not found for F9")
        return 1
    end = time.time() + 30
    heard = message_line(app)
    while heard != ERROR and time.time() < end:
        time.sleep(0.3)
        heard = message_line(app)
    print("after F9 the message line reads: %r" % heard)
    lines, found = [], []
    walk(app, 0, lines, found)
    with open(out, "w", encoding="utf-8") as f:
        f.write("\n".join(lines) + "\n")
    buttons = [name for role, name in found if role == "push button"]
    missing = [n for n in KEYS + TOOLS if n not in buttons]
    missing += ["%s %s" % rn for rn in OTHERS if not any(r == rn[0] and n.startswith(rn[1]) for r, n in found)]
    nameless = sum(1 for n in buttons if not n.strip())
    print("screen reader sees %d push buttons: %s" % (len(buttons), ", ".join(buttons)))
    if missing or nameless:
        print("missing: %s; nameless push buttons: %d" % (", ".join(missing) or "none", nameless))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
