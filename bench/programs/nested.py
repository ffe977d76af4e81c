s = 0.0
k = 0.0
i = 0.0
while True:
    j = 0.0
    while True:
        s = s + i * j / 7 - j
        k = k + 1
        j = j + 1
        if j == 1000:
            break
    i = i + 1
    if i == 5000:
        break
print(repr(s))
print(int(k))
