# Sieve of Eratosthenes to 2,000,000 on a byte array: an element stays 0
# while its index may be prime. Prints the count of primes.
def main():
    n = 2000000
    composite = bytearray(n + 1)
    for i in range(2, 1415):
        if composite[i] == 0:
            for j in range(i * i, n + 1, i):
                composite[j] = 1
    count = 0
    for i in range(2, n + 1):
        if composite[i] == 0:
            count = count + 1
    print(count)


main()
