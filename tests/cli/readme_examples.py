#!/usr/bin/env python3
"""Every program in the README runs exactly as written.

Program blocks are fenced with the info string `tarko`; `tarko eingabe=12|3`
gives the numbers typed at the program's Eingabe statements. An `ausgabe`
block right after a program is what the program writes (compared line by line,
trailing blanks ignored). Each program is compiled with tarko-run --check and
run with --no-pause; together the programs must use every keyword of the
language, so the language reference cannot lose one.

Usage: readme_examples.py TARKO_RUN README.md
"""
import os
import re
import subprocess
import sys
import tempfile

KEYWORDS = ("SOLANGE SOLANGEENDE WIEDERHOLE BIS FALLS ANSONSTEN FALLSENDE UND ODER EINGABE "
            "ZUFALLSEINGABE AUSGABE LÖSCHEN PAUSE SCHWARZ GRAU WEIß ROT GELB GRÜN BLAU PUNKT "
            "LINIE RECHTECK KREIS GRAFIKTEXT").split()
FENCE = re.compile(r"^(\s*)```(.*)$")


def blocks(lines):
    """(line number, info string, text lines) of every fenced block."""
    found = []
    i = 0
    while i < len(lines):
        m = FENCE.match(lines[i])
        if not m:
            i += 1
            continue
        indent, info, start = m.group(1), m.group(2).strip(), i + 1
        body = []
        i += 1
        while i < len(lines) and lines[i].strip() != "```":
            line = lines[i]
            body.append(line[len(indent):] if line.startswith(indent) else line.lstrip())
            i += 1
        found.append((start, info, body, i))
        i += 1
    return found


def words(program):
    """The upper-case words of a program outside texts and comments."""
    result = set()
    for line in program:
        line = re.sub(r'"[^"]*("|$)', " ", line).split("/")[0]
        for w in re.findall(r"[A-Za-zÄÖÜäöüß][A-Za-zÄÖÜäöüß0-9]*", line):
            result.add("".join(c if c == "ß" else c.upper() for c in w))  # "ß".upper() is "SS"
    return result


def main(tarko_run, readme):
    with open(readme, encoding="utf-8") as f:
        lines = f.read().split("\n")
    found = blocks(lines)
    failures, used, programs = [], set(), 0
    with tempfile.TemporaryDirectory() as tmp:
        for k, (line, info, body, end) in enumerate(found):
            kind, _, attrs = info.partition(" ")
            if kind == "ausgabe":
                prev = found[k - 1] if k else None
                if not prev or not prev[1].startswith("tarko") or any(
                        lines[j].strip() for j in range(prev[3] + 1, line - 1)):
                    failures.append("README.md:%d: an ausgabe block must follow a program" % line)
                continue
            if kind != "tarko":
                continue
            programs += 1
            used |= words(body)
            where = "README.md:%d" % line
            inputs = ""
            m = re.search(r"eingabe=(\S+)", attrs)
            if m:
                inputs = "".join(v + "\n" for v in m.group(1).split("|"))
            path = os.path.join(tmp, "beispiel%d.trk" % line)
            with open(path, "wb") as f:
                f.write("\r\n".join(body).encode("cp1252"))
            check = subprocess.run([tarko_run, "--check", path], capture_output=True, text=True)
            if check.returncode != 0:
                failures.append("%s: --check: %s" % (where, check.stderr.strip() or check.returncode))
                continue
            run = subprocess.run([tarko_run, "--no-pause", "--seed", "1", "--png",
                                  os.path.join(tmp, "bild.png"), path],
                                 input=inputs, capture_output=True, text=True, timeout=60)
            if run.returncode != 0:
                failures.append("%s: run ended with status %d: %s" % (where, run.returncode, run.stderr.strip()))
                continue
            nxt = found[k + 1] if k + 1 < len(found) else None
            if nxt and nxt[1] == "ausgabe" and not any(lines[j].strip() for j in range(end + 1, nxt[0] - 1)):
                expected = [l.rstrip() for l in nxt[2]]
                actual = [l.rstrip() for l in run.stdout.rstrip("\n").split("\n")]
                if actual != expected:
                    failures.append("%s: writes %r, the README shows %r" % (where, actual, expected))
    missing = [w for w in KEYWORDS if w not in used]
    if missing:
        failures.append("README.md: no program uses " + ", ".join(missing))
    if programs == 0:
        failures.append("README.md: no program blocks found")
    for f in failures:
        print(f)
    print("%d programs in the README, %d failures" % (programs, len(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
