# A right heatprompt (heatprompt.py, beside it) that sleeps a second before
# each answer: slow, never stopped by the timeout, so that only a budget
# bounds the whole check.
import time

time.sleep(1)
import heatprompt  # noqa: E402,F401
