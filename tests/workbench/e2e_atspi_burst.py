#!/usr/bin/python3
"""A loop printing 30 lines, as a screen reader hears it through AT-SPI:
presses F9 in the workbench (started with such a program), records every
event a screen reader listens to until the output's announcement, and
checks that the announcement tells the last ten lines and that the console
sent only a few events for the whole burst (a screen reader stops handling
events of unfocused objects once about a hundred are waiting, and would
drop the announcement). Prints the counts it saw.
Run inside the D-Bus session of the accessibility bus (see e2e.sh).

Usage: e2e_atspi_burst.py TARKO_PID"""
import collections
import sys
import time

import pyatspi
from e2e_atspi import find_app, listen, press_f9

TOLD = "Die letzten 10 von 30 Zeilen:\n" + "\n".join("Zeile %d" % i for i in range(21, 31))
CONSOLE = "Ausgabe des Programms"
# Events Orca 43 queues for its scripts (scripts/default.py), by prefix.
HEARD = ("focus:", "object:text-caret-moved", "object:text-changed", "object:state-changed",
         "object:property-change", "object:value-changed", "object:children-changed",
         "object:text-selection-changed", "object:selection-changed", "window:")
MOST_FROM_CONSOLE = 8


def main(pid):
    app = find_app()
    if app is None:
        print("the workbench never appeared on the accessibility bus")
        return 1
    heard = []

    def on_event(event):
        if not event.type.startswith(HEARD) or event.type.startswith("object:state-changed:enabled"):
            return
        try:
            heard.append((event.type, event.source.getRoleName(), event.source.name))
        except Exception:   # the source may be gone already
            heard.append((event.type, "", ""))

    pyatspi.Registry.registerEventListener(on_event, "object", "window", "focus")
    listen(0.5)
    heard.clear()
    if not press_f9(pid):
        print("the main window was not found for F9")
        return 1
    end = time.time() + 30
    told = None
    while told is None and time.time() < end:
        listen(0.2)
        told = next((i for i, (kind, role, name) in enumerate(heard)
                     if role == "notification" and kind.startswith("object:state-changed:showing")), None)
    if told is None:
        print("no announcement after F9")
        return 1
    before = heard[:told + 1]
    console = [e for e in before if e[2] == CONSOLE]
    print("events a screen reader queues from F9 to the announcement: %d, from the console: %d"
          % (len(before), len(console)))
    for (kind, role), n in collections.Counter((k, r) for k, r, _ in before).most_common(8):
        print("  %3d %s (%s)" % (n, kind, role))
    problems = []
    if heard[told][2] != TOLD:
        problems.append("announced %r instead of %r" % (heard[told][2], TOLD))
    if len(console) > MOST_FROM_CONSOLE:
        problems.append("the console sent %d events for the burst (at most %d)" % (len(console), MOST_FROM_CONSOLE))
    for p in problems:
        print(p)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
