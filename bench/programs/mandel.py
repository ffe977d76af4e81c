p = 0.0
k = 0.0
y = -10.0
while True:
    x = -10.0
    while True:
        cr = x * 0.15 - 0.5
        ci = y * 0.12
        zr = 0.0
        zi = 0.0
        n = 0.0
        while True:
            t = zr * zr - zi * zi + cr
            zi = 2 * zr * zi + ci
            zr = t
            n = n + 1
            k = k + 1
            if (n == 200) + (zr * zr + zi * zi > 4):
                break
        if n == 200:
            p = p + 1   # the point itself is not drawn here
        x = x + 0.05
        if x > 10:
            break
    y = y + 0.05
    if y > 10:
        break
print(int(p))
print(int(k))
