-- A million substring-and-length calls: the length of up to i mod 7 bytes
-- from position i mod 43 + 1 of a 43-byte text, summed.
local s = "the quick brown fox jumps over the lazy dog"
local total = 0
for i = 1, 1000000 do
  local start = i % 43 + 1
  total = total + #string.sub(s, start, start + i % 7 - 1)
end
print(total)
