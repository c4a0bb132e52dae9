-- Numeric loop: ten million turns of x = x + (i * 2) mod 7 on integers.
local x = 0
for i = 1, 10000000 do
  x = x + (i * 2) % 7
end
print(x)
