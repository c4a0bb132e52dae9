# A string comparison loop: two million byte-wise comparisons of words from a
# string array, counting how often the first word orders before the second.
def main():
    words = ["apple", "apricot", "banana", "band",
             "bandana", "can", "candle", "cane"]
    count = 0
    for i in range(1, 2000001):
        if words[i % 8] < words[(i * 3 + 1) % 8]:
            count = count + 1
    print(count)


main()
