#!/usr/bin/python3
"""Runs a command and measures it as a user feels it: wall time, time until its first
line starting with a given prefix (the first converted file), and the peak of the summed
resident memory of the command and every process below it (offices and finishing steps
included, which /usr/bin/time -v does not add up).

usage: run_measured.py FIRST_LINE_PREFIX -- COMMAND...
prints: wall=S first=S peak_mib=M exit=N
"""
import os
import subprocess
import sys
import threading
import time


def tree_rss_kib(root):
    children = {}
    rss = {}
    for name in os.listdir("/proc"):
        if not name.isdigit():
            continue
        try:
            with open(f"/proc/{name}/stat") as stat:
                fields = stat.read().rsplit(")", 1)[1].split()
            with open(f"/proc/{name}/status") as status:
                for line in status:
                    if line.startswith("VmRSS:"):
                        rss[int(name)] = int(line.split()[1])
        except (OSError, IndexError, ValueError):
            continue
        children.setdefault(int(fields[1]), []).append(int(name))
    total, todo = 0, [root]
    while todo:
        pid = todo.pop()
        total += rss.get(pid, 0)
        todo.extend(children.get(pid, []))
    return total


def main():
    split = sys.argv.index("--")
    prefix, command = sys.argv[1], sys.argv[split + 1:]
    started = time.monotonic()
    process = subprocess.Popen(command, stdout=subprocess.PIPE, text=True, errors="replace")
    peak = [0]
    first = [None]

    def sample():
        while process.poll() is None:
            peak[0] = max(peak[0], tree_rss_kib(process.pid))
            time.sleep(0.2)

    sampler = threading.Thread(target=sample)
    sampler.start()
    for line in process.stdout:
        if first[0] is None and line.startswith(prefix):
            first[0] = time.monotonic() - started
    process.wait()
    wall = time.monotonic() - started
    sampler.join()
    first_text = f"{first[0]:.2f}" if first[0] is not None else "none"
    print(f"wall={wall:.2f} first={first_text} peak_mib={peak[0] / 1024:.0f} "
          f"exit={process.returncode}")


main()
