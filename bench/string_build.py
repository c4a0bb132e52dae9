# Builds a 50,000-character string one character at a time (s = s + "x")
# and prints its length.
def main():
    s = ""
    for i in range(1, 50001):
        s = s + "x"
    print(len(s))


main()
