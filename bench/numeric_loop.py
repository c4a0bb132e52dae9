# Numeric loop: ten million turns of x = x + (i * 2) mod 7 on integers.
def main():
    x = 0
    for i in range(1, 10000001):
        x = x + (i * 2) % 7
    print(x)


main()
