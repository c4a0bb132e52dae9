# A million substring-and-length calls: the length of up to i mod 7 bytes
# from position i mod 43 + 1 of a 43-byte text, summed.
def main():
    s = "the quick brown fox jumps over the lazy dog"
    total = 0
    for i in range(1, 1000001):
        start = i % 43
        total = total + len(s[start:start + i % 7])
    print(total)


main()
