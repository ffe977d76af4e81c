-- The same grid into a table of 200 x 200 colour numbers (Lua has no canvas);
-- the point's coordinates are mapped to a pixel as the interpreter maps them.
local img = {}
local n, c, r, colour = 0.0, 0.0, 0.0, 0
repeat
  local j = 0.0
  repeat
    local i = 0.0
    repeat
      c = c + 1
      if c > 2 then c = 0.0 end
      if c == 0 then colour = 17 elseif c == 1 then colour = 18 else colour = 20 end
      local x, y = (i - 100) / 10, (99 - j) / 10
      local col = math.tointeger(math.modf(10 * x)) + 100
      local row = 99 - math.tointeger(math.modf(10 * y))
      if col >= 0 and col < 200 and row >= 0 and row < 200 then
        img[row * 200 + col + 1] = colour
      end
      n = n + 1
      i = i + 1
    until i == 200
    j = j + 1
  until j == 200
  r = r + 1
until r == 25
print(math.floor(n))
