# A user function with a string result: wrap(s) = "<" + s + ">", called
# a million times on words from a list; counts the results that order
# at or after "<b".
def wrap(s):
    return "<" + s + ">"


def main():
    words = ["apple", "apricot", "banana", "band",
             "bandana", "can", "candle", "cane"]
    count = 0
    for i in range(1, 1000001):
        if wrap(words[i % 8]) >= "<b":
            count = count + 1
    print(count)


main()
