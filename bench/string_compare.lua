-- A string comparison loop: two million byte-wise comparisons of words from a
-- string array, counting how often the first word orders before the second.
local words = {[0] = "apple", "apricot", "banana", "band",
               "bandana", "can", "candle", "cane"}
local count = 0
for i = 1, 2000000 do
  if words[i % 8] < words[(i * 3 + 1) % 8] then
    count = count + 1
  end
end
print(count)
