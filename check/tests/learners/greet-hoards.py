# A greeting, then memory without end, a mebibyte at a time: slowly enough
# for the checker, which looks every millisecond, to see it pass its cap.
import time

print("Hello World!", flush=True)
hoard = []
while True:
    hoard.append(bytearray(1 << 20))
    time.sleep(0.001)
