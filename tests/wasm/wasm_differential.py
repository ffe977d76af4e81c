#!/usr/bin/env python3
"""The WebAssembly module against the native tarko-run on the program corpus.

Every program (resources/examples, bench/programs, the colouring test's
special cases, every program of the README with its input, and the cases
below) runs in tarko-run and in the module under node (tarko_node.mjs): the
transcripts, the messages on stderr, the exit status and the final image must
be the same, pixel for pixel.

Usage: wasm_differential.py TARKO_RUN BUILD_WEB SOURCE_DIR
"""
import glob
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
DEFAULT_INPUT = "175\n70\n1,5\nzwei\n-3\n,5\n9\n19\n1990\n"

# Cases the corpus lacks: faults, the line limit, the end of input, refused
# entries, compile errors, far coordinates.
CASES = {
    "division_by_zero": ("i <= 2\r\nWiederhole\r\n  Ausgabe 1 : i\r\n  i <= i - 1\r\nbis i < -2\r\n", ""),
    "overflow": ("x <= 10\r\nWiederhole\r\n  x <= x * x\r\nbis x < 0\r\n", ""),
    "line_limit": ("i <= 0\r\nWiederhole\r\n  Ausgabe i\r\n  Ausgabe \"\r\n\"\r\n  i <= i + 1\r\nbis i < 0\r\n", ""),
    "long_lines": ("i <= 0\r\nWiederhole\r\n  Ausgabe \"Schifffahrt, Koffein und AV-To: \xc4rger \xfcber Gr\xf6\xdfe \x80 3,14\tTab   \"\r\n"
                   "  Ausgabe i * 7,5\r\n  Ausgabe \"Stofflager-Verwaltungsoberinspektorin   und   so   weiter\"\r\n"
                   "  i <= i + 1\r\nBis i < 0\r\n", ""),
    "end_of_input": ("Wiederhole\r\n  Eingabe \"Zahl:\" x\r\n  Ausgabe x * 2\r\nbis x = 12345\r\n", "1\n2,5\n-,5\nabc\n1.5\n7\n"),
    "compile_error": ("Ausgabe \"a\"\r\nFalls x = 1\r\n  Ausgabe (\r\n", ""),
    "open_block": ("Wiederhole\r\n  x <= 1\r\n", ""),
    "far_shapes": ("Rot\r\nLinie (-1e15; -1e15) (1e15; 1e15)\r\nLinie (8000000000000; 4000000000000) (-30; -10)\r\n"
                   "Gelb\r\nKreis (100000000000; 0; 99999999999,5)\r\nRechteck (-1e17; 3) (1e17; 4)\r\n"
                   "Blau\r\nKreis (0; 0; -2,5)\r\nPunkt (-10; -9,9)\r\n", ""),
    "console_and_graphics": ("Ausgabe \"vorher\"\r\nGr\xfcn\r\nPunkt (1; 1)\r\nAusgabe \"Text\"\r\nL\xf6schen\r\n"
                             "Grau\r\nRechteck (-3; -3) (3; 3)\r\nPause 0,5\r\nAusgabe \"nachher\"\r\n", ""),
    "texts": ("Gelb\r\nGrafiktext (-9; 9) \"Tarko: \xc4\xd6\xdc \xe4\xf6\xfc \xdf \x80 AVATar\tTab\"\r\n"
              "Rot\r\nGrafiktext (8; 0) \"am Rand\"\r\nGrafiktext (-10,5; -9,5) \"links unten\"\r\n"
              "Blau\r\nGrafiktext (0; 10,9) \"oben\"\r\n", ""),
    "random": ("i <= 0\r\nWiederhole\r\n  Zufallseingabe (1; 1000) w\r\n  Ausgabe w\r\n  i <= i + 1\r\nbis i = 20\r\n", ""),
}


def readme_programs(readme):
    """(name, program bytes, input) of every `tarko` block of the README."""
    sys.path.insert(0, os.path.join(os.path.dirname(HERE), "cli"))
    import readme_examples  # the README's own block reader
    with open(readme, encoding="utf-8") as f:
        lines = f.read().split("\n")
    for line, info, body, _ in readme_examples.blocks(lines):
        kind, _, attrs = info.partition(" ")
        if kind != "tarko":
            continue
        m = re.search(r"eingabe=(\S+)", attrs)
        given = "".join(v + "\n" for v in m.group(1).split("|")) if m else ""
        yield "README.md_%d" % line, "\r\n".join(body).encode("cp1252"), given


def png_pixels(path):
    """The RGB bytes of an 8-bit RGB or RGBA PNG."""
    with open(path, "rb") as f:
        data = f.read()
    pos, idat, width, height, ctype = 8, b"", 0, 0, 0
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            width, height, depth, ctype = struct.unpack(">IIBB", body[:10])
            assert depth == 8 and ctype in (2, 6), "unexpected PNG format"
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    raw = zlib.decompress(idat)
    bpp = 3 if ctype == 2 else 4
    stride = width * bpp
    rows, prev = [], bytearray(stride)
    for y in range(height):
        f = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - bpp] if i >= bpp else 0
            b = prev[i]
            c = prev[i - bpp] if i >= bpp else 0
            if f == 1:
                line[i] = (line[i] + a) & 255
            elif f == 2:
                line[i] = (line[i] + b) & 255
            elif f == 3:
                line[i] = (line[i] + (a + b) // 2) & 255
            elif f == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append(bytes(line))
        prev = line
    out = bytearray()
    for row in rows:
        for x in range(width):
            out += row[x * bpp:x * bpp + 3]
    return bytes(out)


def rgba_pixels(path):
    with open(path, "rb") as f:
        data = f.read()
    return b"".join(data[i:i + 3] for i in range(0, len(data), 4))


def main(tarko_run, build_web, source):
    node = shutil.which("node")
    if not node or not os.path.exists(os.path.join(build_web, "tarko.wasm")):
        print("FAIL: node or the module %s/tarko.wasm is missing (web/build-wasm.sh builds it)" % build_web)
        return 1
    programs = []
    for pattern in ("resources/examples/*.trk", "bench/programs/*.trk", "tests/editor/golden/*.trk"):
        for p in sorted(glob.glob(os.path.join(source, pattern))):
            with open(p, "rb") as f:
                programs.append((os.path.relpath(p, source), f.read(), DEFAULT_INPUT))
    programs += list(readme_programs(os.path.join(source, "README.md")))
    programs += [(name, text.encode("latin1"), given) for name, (text, given) in CASES.items()]

    failures, images = [], 0
    with tempfile.TemporaryDirectory() as tmp:
        for name, text, given in programs:
            path = os.path.join(tmp, re.sub(r"[^A-Za-z0-9_.]", "_", name))
            with open(path, "wb") as f:
                f.write(text)
            png, rgba = path + ".png", path + ".rgba"
            native = subprocess.run([tarko_run, "--no-pause", "--seed", "1", "--png", png, path],
                                    input=given.encode("latin1"), capture_output=True, timeout=300)
            wasm = subprocess.run([node, os.path.join(HERE, "tarko_node.mjs"), build_web, path,
                                   "--no-pause", "--seed", "1", "--rgba", rgba],
                                  input=given.encode("latin1"), capture_output=True, timeout=300)
            for what, a, b in (("exit status", native.returncode, wasm.returncode),
                               ("transcript", native.stdout, wasm.stdout),
                               ("stderr", native.stderr, wasm.stderr)):
                if a != b:
                    failures.append("%s: %s differs: native %r, wasm %r" % (name, what, a[:300] if isinstance(a, bytes) else a,
                                                                          b[:300] if isinstance(b, bytes) else b))
            if native.returncode == 1 or not os.path.exists(png):
                continue
            images += 1
            want, got = png_pixels(png), rgba_pixels(rgba)
            if want != got:
                diff = sum(1 for i in range(0, len(want), 3) if want[i:i + 3] != got[i:i + 3])
                failures.append("%s: %d pixels of the image differ" % (name, diff))
    for f in failures:
        print("FAIL:", f)
    print("%d programs, %d images compared, %d failures" % (len(programs), images, len(failures)))
    return 1 if failures or not programs else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:4]))
