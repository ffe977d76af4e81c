# The same grid into a list of 200 x 200 colour numbers (no canvas); the
# point's coordinates are mapped to a pixel as the interpreter maps them.
img = [0] * 40000
n = c = r = 0.0
colour = 0
while True:
    j = 0.0
    while True:
        i = 0.0
        while True:
            c = c + 1
            if c > 2:
                c = 0.0
            if c == 0:
                colour = 17
            elif c == 1:
                colour = 18
            else:
                colour = 20
            x, y = (i - 100) / 10, (99 - j) / 10
            col = int(10 * x) + 100
            row = 99 - int(10 * y)
            if 0 <= col < 200 and 0 <= row < 200:
                img[row * 200 + col] = colour
            n = n + 1
            i = i + 1
            if i == 200:
                break
        j = j + 1
        if j == 200:
            break
    r = r + 1
    if r == 25:
        break
print(int(n))
