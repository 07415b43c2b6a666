#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The resident memory of a process and all its descendants together (Mirel and its preview
processes), sampled every 50 ms.

    process-memory.py PID --until FILE [--over MB]

Samples until FILE exists or PID has gone, then prints "peak-mb X processes N" (N: the most
processes seen at once). With --over, stops early and exits 1 as soon as the sum passes MB."""
import os
import sys
import time


def children_of():
    parents = {}
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open("/proc/%s/stat" % entry) as stat:
                # The name may hold spaces and parentheses: the fields after the last ")".
                fields = stat.read().rsplit(")", 1)[1].split()
        except OSError:
            continue
        parents.setdefault(int(fields[1]), []).append(int(entry))
    return parents


def resident_mb(pid):
    try:
        with open("/proc/%d/status" % pid) as status:
            for line in status:
                if line.startswith("VmRSS:"):
                    return int(line.split()[1]) / 1024
    except OSError:
        pass
    return 0.0


def family(pid):
    parents = children_of()
    found, todo = [], [pid]
    while todo:
        current = todo.pop()
        found.append(current)
        todo.extend(parents.get(current, []))
    return found


def main(argv):
    pid = int(argv[1])
    until = argv[argv.index("--until") + 1]
    over = float(argv[argv.index("--over") + 1]) if "--over" in argv else None
    peak, most = 0.0, 0
    while not os.path.exists(until) and os.path.exists("/proc/%d" % pid):
        members = family(pid)
        total = sum(resident_mb(member) for member in members)
        peak, most = max(peak, total), max(most, len(members))
        if over is not None and total > over:
            print("peak-mb %.1f processes %d" % (peak, most))
            sys.exit(1)
        time.sleep(0.05)
    print("peak-mb %.1f processes %d" % (peak, most))


if __name__ == "__main__":
    main(sys.argv)
