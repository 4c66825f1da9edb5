#!/usr/bin/env python3
"""Runs a command and prints its wall time in seconds and its peak resident
set size in KiB: "SECONDS KIB". The command's output is discarded."""
import os
import subprocess
import sys
import time

start = time.perf_counter()
proc = subprocess.Popen(sys.argv[1:], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
_, status, usage = os.wait4(proc.pid, 0)
elapsed = time.perf_counter() - start
if os.waitstatus_to_exitcode(status) != 0:
    sys.exit("failed: " + " ".join(sys.argv[1:]))
print("{:.6f} {}".format(elapsed, usage.ru_maxrss))
