print("Hello")
