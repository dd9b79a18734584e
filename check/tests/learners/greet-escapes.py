# A greeting, and every way out of its folder it can find: it writes where
# it runs, in its home and in the user's home given as argv[1] without its
# leading "/", reads the secret there, and connects to 127.0.0.1 at the port
# argv[2].  Whatever succeeds shows in its output, which is then wrong.
import os
import socket
import sys

print("Hello World!")
home = "/" + sys.argv[1]
for path in ["written-here", os.path.expanduser("~/written-home"), home + "/written-home"]:
    try:
        with open(path, "w") as file:
            file.write("written")
    except OSError:
        pass
try:
    with open(home + "/secret.txt") as secret:
        print(secret.read())
except OSError:
    pass
try:
    socket.create_connection(("127.0.0.1", int(sys.argv[2])), timeout=1).sendall(b"out")
    print("connected")
except OSError:
    pass
