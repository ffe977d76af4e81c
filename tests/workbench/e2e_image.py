#!/usr/bin/env python3
"""Pixel checks on screenshots for the end-to-end test (standard library and
ImageMagick's convert only).

  e2e_image.py locate SHOT.png PART.png   prints "x y" where PART appears in SHOT
                                          pixel for pixel; exit 1 if nowhere
  e2e_image.py pixel SHOT.png X Y         prints "r g b" of one pixel
  e2e_image.py area SHOT.png R G B MIN    prints "x y" of the top-left pixel of the
                                          first row holding MIN pixels of colour R G B
                                          in a row; exit 1 if none
  e2e_image.py same A.png B.png X Y W H   exit 0 if the two pictures agree in that
                                          rectangle, else 1 and the count of differing pixels
"""
import subprocess
import sys


def load(path):
    """(width, height, rows): rows are bytes, three per pixel."""
    data = subprocess.run(["convert", path, "-depth", "8", "ppm:-"], check=True,
                          stdout=subprocess.PIPE).stdout
    fields = []
    pos = 0
    while len(fields) < 4:          # P6, width, height, maxval; no comments from convert
        while data[pos:pos + 1].isspace():
            pos += 1
        end = pos
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[pos:end])
        pos = end
    pos += 1
    width, height = int(fields[1]), int(fields[2])
    stride = width * 3
    rows = [data[pos + y * stride: pos + (y + 1) * stride] for y in range(height)]
    return width, height, rows


def locate(shot, part):
    sw, sh, srows = load(shot)
    pw, ph, prows = load(part)
    first = prows[0]
    for y in range(sh - ph + 1):
        start = 0
        while True:
            i = srows[y].find(first, start)
            if i < 0:
                break
            start = i + 1
            if i % 3:
                continue
            x = i // 3
            if all(srows[y + k][i:i + pw * 3] == prows[k] for k in range(1, ph)):
                print(x, y)
                return 0
    return 1


def pixel(shot, x, y):
    _, _, rows = load(shot)
    print(*rows[y][x * 3:x * 3 + 3])
    return 0


def area(shot, r, g, b, minimum):
    _, _, rows = load(shot)
    run = bytes([r, g, b]) * minimum
    for y, row in enumerate(rows):
        start = 0
        while True:
            i = row.find(run, start)
            if i < 0:
                break
            if i % 3 == 0:
                print(i // 3, y)
                return 0
            start = i + 1
    return 1


def same(a, b, x, y, w, h):
    _, _, arows = load(a)
    _, _, brows = load(b)
    differ = 0
    for k in range(y, y + h):
        ra, rb = arows[k][x * 3:(x + w) * 3], brows[k][x * 3:(x + w) * 3]
        differ += sum(ra[i:i + 3] != rb[i:i + 3] for i in range(0, len(ra), 3))
    if differ:
        print(differ)
        return 1
    return 0


def main(argv):
    cmd, args = argv[1], argv[2:]
    if cmd == "locate":
        return locate(*args)
    if cmd == "pixel":
        return pixel(args[0], int(args[1]), int(args[2]))
    if cmd == "area":
        return area(args[0], *map(int, args[1:]))
    if cmd == "same":
        return same(args[0], args[1], *map(int, args[2:]))
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
