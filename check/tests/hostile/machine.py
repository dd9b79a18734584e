# No greeting: it takes what it can of the machine, one way each, as MODE
# (argv[1]) says: processes without end (forks), 2000 threads (threads), a
# 512 MiB shared mapping (shared), 320 MiB written to the tmpfs folders it
# can write, one after the other (tmpfs), eight processes of 210 MiB
# (processes), 20,000 open files (files), twenty memory files of 60 MiB,
# written and never mapped (memfds).  When it is not stopped first, its first
# line tells how much it held: "MODE N".  argv[2] marks its processes for the test.
import mmap
import os
import sys
import threading
import time

MIB = 1 << 20
mode = sys.argv[1]


def forks():
    while True:
        try:
            os.fork()
        except OSError:
            time.sleep(0.01)


def threads():
    started = 0
    try:
        for _ in range(2000):
            threading.Thread(target=time.sleep, args=(30,), daemon=True).start()
            started += 1
    except RuntimeError:
        pass
    return started


def shared():
    try:
        mapping = mmap.mmap(-1, 512 * MIB, flags=mmap.MAP_SHARED)
    except OSError:
        return 0
    touched = 0
    for offset in range(0, 512 * MIB, MIB):
        mapping[offset:offset + MIB] = b"x" * MIB
        touched += 1
    return touched


def tmpfs():
    """The MiB written in all, then in each folder."""
    written = {}
    chunk = b"x" * (16 * MIB)
    for folder in ["/dev/shm", "/dev", "/", "/tmp", "."]:
        written[folder] = 0
        while sum(written.values()) < 320:
            try:
                with open(os.path.join(folder, f"hoard-{written[folder]}"), "wb") as file:
                    file.write(chunk)
                written[folder] += 16
            except OSError:
                break
    return f"{sum(written.values())} " + " ".join(f"{k}:{v}" for k, v in written.items())


def processes():
    reader, writer = os.pipe()
    for _ in range(8):
        if os.fork() == 0:
            held = []
            try:
                for _ in range(21):
                    held.append(b"x" * (10 * MIB))
            except MemoryError:
                pass
            os.write(writer, len(held).to_bytes(2, "big"))
            time.sleep(30)
            os._exit(0)
    total = 0
    for _ in range(8):
        total += int.from_bytes(os.read(reader, 2), "big") * 10
    time.sleep(0.5)
    return total


def memfds():
    held = []
    try:
        for i in range(20):
            fd = os.memfd_create(f"hoard-{i}")
            for _ in range(60):
                os.write(fd, b"x" * MIB)
            held.append(fd)
            time.sleep(0.02)
    except OSError:
        pass
    time.sleep(0.5)
    return len(held) * 60


def files():
    opened = []
    try:
        for _ in range(20000):
            opened.append(os.open("/dev/null", os.O_RDONLY))
    except OSError:
        pass
    return len(opened)


held = {"forks": forks, "threads": threads, "shared": shared, "tmpfs": tmpfs,
        "processes": processes, "files": files, "memfds": memfds}[mode]()
print(mode, held, flush=True)
os._exit(0)
