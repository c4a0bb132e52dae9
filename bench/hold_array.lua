-- Holds an array of ten million numbers: every element is written once,
-- then the last one is printed.
local n = 10000000
local a = {}
for i = 1, n do
  a[i] = (i - 1) * 1.0
end
print(string.format("%d", a[n]))
