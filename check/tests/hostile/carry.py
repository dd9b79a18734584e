# Leaves a mark wherever a run may write, then tells how many marks earlier
# runs left there: "left: N".  Every run must start clean, so N is 0.
import glob
import os

places = ["/run/build", ".", "/tmp", "/dev/shm", os.path.expanduser("~")]
left = sum(len(glob.glob(os.path.join(place, ".carried-*"))) for place in places)
for place in places:
    try:
        with open(os.path.join(place, f".carried-{os.getpid()}"), "w") as mark:
            mark.write("from an earlier run\n")
    except OSError:
        pass
print(f"left: {left}")
