# Holds an array of ten million doubles (80 MB of data): every element is
# written once, then the last one is printed.
from array import array


def main():
    n = 10000000
    a = array("d", [0.0]) * n
    for i in range(n):
        a[i] = float(i)
    print(int(a[n - 1]))


main()
