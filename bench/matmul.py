# Array element access: the product of two 120 x 120 matrices of doubles,
# a(i, j) = i + j and b(i, j) = i - j. Prints the sum of the product's
# elements.
def main():
    n = 120
    a = [[float(i + j) for j in range(n)] for i in range(n)]
    b = [[float(i - j) for j in range(n)] for i in range(n)]
    c = [[0.0] * n for i in range(n)]
    for i in range(n):
        for j in range(n):
            sum = 0.0
            for k in range(n):
                sum = sum + a[i][k] * b[k][j]
            c[i][j] = sum
    total = 0.0
    for i in range(n):
        for j in range(n):
            total = total + c[i][j]
    print(int(total))


main()
