-- Sieve of Eratosthenes to 2,000,000: an entry stays 0 while its index may
-- be prime. Prints the count of primes.
local n = 2000000
local composite = {}
for i = 0, n do
  composite[i] = 0
end
for i = 2, 1414 do
  if composite[i] == 0 then
    for j = i * i, n, i do
      composite[j] = 1
    end
  end
end
local count = 0
for i = 2, n do
  if composite[i] == 0 then
    count = count + 1
  end
end
print(count)
