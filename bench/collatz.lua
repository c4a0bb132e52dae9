-- A function with local variables and a condition-tested loop: the number
-- of Collatz steps from n down to 1, summed for n = 1 to 30,000.
local function steps(n)
  local m = n
  local count = 0
  while m > 1 do
    if m % 2 ~= 0 then
      m = m * 3 + 1
    else
      m = m // 2
    end
    count = count + 1
  end
  return count
end
local total = 0
for n = 1, 30000 do
  total = total + steps(n)
end
print(total)
