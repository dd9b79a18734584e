# A learner's statusask in Python: input() with the prompt, reading on
# past blank lines as C++'s >> does.
def code_of(word):
    sign = -1 if word[:1] == "-" else 1
    digits = word.lstrip("+-")[:len(word)]
    number = ""
    for c in digits:
        if not c.isdigit():
            break
        number += c
    if number == "" or word[:2] in ("+-", "-+", "--", "++"):
        return 0
    return max(-2**31, min(2**31 - 1, sign * int(number)))

try:
    line = input("Input Machine State (1-5):")
    while line.strip() == "":
        line = input()
    state = code_of(line.split()[0])
except EOFError:
    state = 1
print()
names = {1: "Job Running", 2: "Waiting for next Job", 3: "Job Timeout - Malfunctioning",
         4: "Malfunctioning", 5: "Malfunctioning"}
print("Machine State: " + names.get(state, "Unknown State"))
