# A function with local variables and a condition-tested loop: the number
# of Collatz steps from n down to 1, summed for n = 1 to 30,000.
def steps(n):
    m = n
    count = 0
    while m > 1:
        if m % 2 != 0:
            m = m * 3 + 1
        else:
            m = m // 2
        count = count + 1
    return count


def main():
    total = 0
    for n in range(1, 30001):
        total = total + steps(n)
    print(total)


main()
