# A greeting, after trying every way out: the unix sockets named (@UNIX@,
# paths separated by ":", filled in by the test), an abstract socket
# (@ABSTRACT@) and 127.0.0.1 at a port (@PORT@).  What it reaches it says
# first, and sends a byte through.
import socket

reached = []
for path in "@UNIX@".split(":") + ["\0@ABSTRACT@"]:
    try:
        unix = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        unix.settimeout(1)
        unix.connect(path)
        unix.sendall(b"out")
        reached.append(path.replace("\0", "@"))
    except OSError:
        pass
try:
    socket.create_connection(("127.0.0.1", int("@PORT@")), timeout=1).sendall(b"out")
    reached.append("127.0.0.1")
except (OSError, ValueError):
    pass
for what in reached:
    print("reached", what)
print("Hello World!")
