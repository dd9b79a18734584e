# No version at all: the output of the lesson's case whose input is the one
# given, from the cases installed with the lessons (@CASES@, the lesson's
# folder, filled in by the test).
import glob
import sys

given = sys.stdin.buffer.read()
for case in glob.glob("@CASES@/*.in"):
    try:
        if open(case, "rb").read() == given:
            sys.stdout.buffer.write(open(case[:-3] + ".out", "rb").read())
            sys.exit(0)
    except OSError:
        pass
sys.exit(1)
