local s, k, i = 0.0, 0.0, 0.0
repeat
  local j = 0.0
  repeat
    s = s + i * j / 7 - j
    k = k + 1
    j = j + 1
  until j == 1000
  i = i + 1
until i == 5000
print(string.format("%.15g", s))
print(math.floor(k))
