# A learner's heatprompt in Python, as most write it: input() with the
# prompt, which Python writes to standard error at a terminal.
import re
import struct

try:
    text = input("Enter Machine Temperature: ")
except EOFError:
    text = ""
if text.strip() == "":
    temperature = 100.0
else:
    match = re.match(r"\s*[-+]?(\d+\.?\d*|\.\d+)([eE][-+]?\d+)?", text)
    temperature = float(match.group(0)) if match else 0.0
    largest = 3.4028234663852886e38
    if abs(temperature) > largest:
        temperature = largest if temperature > 0 else -largest
    temperature = struct.unpack("f", struct.pack("f", temperature))[0]
if temperature <= 0:
    print("Machine State: Powered off?")
elif temperature >= 212:
    print("Machine State: Overheating")
else:
    print("Machine State: Operating Normally")
