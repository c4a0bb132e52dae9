-- A user function with a string result: wrap(s) = "<" .. s .. ">", called
-- a million times on words from an array; counts the results that
-- order at or after "<b".
local function wrap(s)
  return "<" .. s .. ">"
end
local words = {[0] = "apple", "apricot", "banana", "band",
               "bandana", "can", "candle", "cane"}
local count = 0
for i = 1, 1000000 do
  if wrap(words[i % 8]) >= "<b" then
    count = count + 1
  end
end
print(count)
