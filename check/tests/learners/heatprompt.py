# A learner's heatprompt in Python: the float as C++ reads one, rounded
# to single precision, the largest float when it is too large for one.
import re, struct, sys

def read_float():
    """Reads a float as C++'s >> does: 100 when input ends, 0 for no number."""
    text = sys.stdin.readline()
    if text.strip() == "":
        return 100.0
    match = re.match(r"\s*[-+]?(\d+\.?\d*|\.\d+)([eE][-+]?\d+)?", text)
    if not match:
        return 0.0
    value = float(match.group(0))
    if abs(value) > 3.4028234663852886e38:
        return 3.4028234663852886e38 if value > 0 else -3.4028234663852886e38
    return struct.unpack("f", struct.pack("f", value))[0]

sys.stdout.write("Enter Machine Temperature: ")
sys.stdout.flush()
t = read_float()
if t <= 0:
    print("Machine State: Powered off?")
elif t >= 212:
    print("Machine State: Overheating")
else:
    print("Machine State: Operating Normally")
