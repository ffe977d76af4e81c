local p, k, y = 0.0, 0.0, -10.0
repeat
  local x = -10.0
  repeat
    local cr = x * 0.15 - 0.5
    local ci = y * 0.12
    local zr, zi, n = 0.0, 0.0, 0.0
    repeat
      local t = zr * zr - zi * zi + cr
      zi = 2 * zr * zi + ci
      zr = t
      n = n + 1
      k = k + 1
    until n == 200 or zr * zr + zi * zi > 4
    if n == 200 then
      p = p + 1  -- the point itself is not drawn here
    end
    x = x + 0.05
  until x > 10
  y = y + 0.05
until y > 10
print(math.floor(p))
print(math.floor(k))
