i = 0.0
while True:
    i = i + 1
    if i == 50000000:
        break
print(int(i))
