# A greeting, after a look into every folder it can reach for another
# learner's files: the folders above its own, the class's and a sibling's
# by their absolute paths (@CLASS@, @SIBLING@, filled in by the test), the
# folder the check runs in, and every link in its own folder, followed.  A
# file that holds a secret is printed first, so that the check shows it.
import os

SEARCHED = ["..", "../..", "@CLASS@", "@SIBLING@", "/proc/self/cwd/..",
            os.environ.get("OLDPWD", "/nonexistent"), os.environ.get("PWD", "/nonexistent")]


def files_under(folder, depth):
    try:
        names = os.listdir(folder)
    except OSError:
        return
    for name in names:
        path = os.path.join(folder, name)
        if os.path.isdir(path) and depth > 0:
            yield from files_under(path, depth - 1)
        elif os.path.isfile(path):
            yield path


found = set()
for folder in SEARCHED + ["."]:
    for path in files_under(folder, 2):
        try:
            with open(path, "rb") as file:
                text = file.read(4096)
        except OSError:
            continue
        if b"SECRET" in text and b"SEARCHED" not in text:
            found.add(text.strip().replace(b"\n", b" "))
for text in sorted(found):
    print("found:", text.decode("ascii", "replace"))
print("Hello World!")
