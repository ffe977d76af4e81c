local i = 0.0
repeat
  i = i + 1
until i == 50000000
print(math.floor(i))
