#!/usr/bin/env python3
"""Checks the number text through tarko-run, by hand:
    tests/cli/numbertext_model.py build/src/cli/tarko-run [COUNT]
Runs COUNT quotients a : b (30000 by default) and compares every printed
number with an exact model: the double quotient, taken exactly, rounded half
away from zero to 15 significant digits."""
import random, subprocess, sys, tempfile, os
from decimal import Decimal, getcontext, ROUND_HALF_UP

getcontext().prec = 1200

def model(x):
    if x == 0:
        return "0"
    d = Decimal(x)                      # exact value of the double
    sign = "-" if d < 0 else ""
    d = abs(d)
    e = d.adjusted() + 1                # value = 0,d1d2... * 10^e
    q = d.scaleb(-e).quantize(Decimal(1).scaleb(-15), rounding=ROUND_HALF_UP)
    if q >= 1:                          # 0,999...95 became 1
        e += 1
        q = q.scaleb(-1)
    digits = str(q)[2:].rstrip("0") or "0"
    n = len(digits)
    if e > 15 or e < -3:
        return sign + digits[0] + ("," + digits[1:] if n > 1 else "") + "E" + str(e - 1)
    if e <= 0:
        return sign + "0," + "0" * (-e) + digits
    if n <= e:
        return sign + digits + "0" * (e - n)
    return sign + digits[:e] + "," + digits[e:]

def main():
    run = sys.argv[1]
    count = int(sys.argv[2]) if len(sys.argv) > 2 else 30000
    rnd = random.Random(1234)
    ranges = [(10**15, 9 * 10**15, 1, 20), (10**15, 9 * 10**15, 1, 1000), (10**14, 10**15, 1, 1000), (1, 10**6, 1, 1000),
              (1, 1000, 1000, 10**7), (1, 2**53, 1, 10**6)]
    pairs = [(7546009073262688, 11)]
    while len(pairs) < count:
        lo, hi, blo, bhi = ranges[len(pairs) % len(ranges)]
        pairs.append((rnd.randrange(lo, hi), rnd.randrange(blo, bhi)))
    bad = ties = 0
    for start in range(0, len(pairs), 990):
        chunk = pairs[start:start + 990]
        with tempfile.NamedTemporaryFile("w", suffix=".trk", delete=False, encoding="cp1252") as f:
            for a, b in chunk:
                f.write("Ausgabe %d : %d\r\n" % (a, b))
            name = f.name
        out = subprocess.run([run, name], capture_output=True, text=True).stdout.split("\n")
        os.unlink(name)
        for (a, b), line in zip(chunk, out):
            x = a / b
            want = model(x)
            got = line.rstrip(" ")
            exact = Decimal(x)
            sig = str(abs(exact)).replace(".", "").strip("0")
            ties += len(sig) == 16 and sig.endswith("5")
            if got != want:
                bad += 1
                if bad <= 10:
                    print("%d : %d = %r: tarko-run %s, Modell %s" % (a, b, x, got, want))
    print("%d Quotienten, davon %d exakt halbe Werte, %d Abweichungen" % (len(pairs), ties, bad))
    return 1 if bad else 0

sys.exit(main())
