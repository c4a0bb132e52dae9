-- Builds a 50,000-character string one character at a time (s = s .. "x")
-- and prints its length.
local s = ""
for i = 1, 50000 do
  s = s .. "x"
end
print(#s)
