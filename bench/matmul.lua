-- Array element access: the product of two 120 x 120 matrices of doubles,
-- a(i, j) = i + j and b(i, j) = i - j. Prints the sum of the product's
-- elements.
local n = 120
local a, b, c = {}, {}, {}
for i = 0, n - 1 do
  a[i], b[i], c[i] = {}, {}, {}
  for j = 0, n - 1 do
    a[i][j] = (i + j) * 1.0
    b[i][j] = (i - j) * 1.0
    c[i][j] = 0.0
  end
end
for i = 0, n - 1 do
  for j = 0, n - 1 do
    local sum = 0.0
    for k = 0, n - 1 do
      sum = sum + a[i][k] * b[k][j]
    end
    c[i][j] = sum
  end
end
local total = 0.0
for i = 0, n - 1 do
  for j = 0, n - 1 do
    total = total + c[i][j]
  end
end
print(string.format("%d", total))
