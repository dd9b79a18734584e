# A greeting, then memory without end.
print("Hello World!", flush=True)
hoard = []
while True:
    hoard.append(bytearray(1 << 20))
