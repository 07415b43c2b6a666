#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The resident memory of a process and all its descendants together (Mirel and its preview
processes), sampled every 50 ms.

    process-memory.py PID --until FILE [--over MB] [--distinct]
    process-memory.py PID --once      prints "rss-mb X distinct-mb Y" for this moment

Samples until FILE exists or PID has gone, then prints
"peak-mb X processes N distinct-peak-mb Y": X is the peak of the plain sum of each process's
resident memory, N the most processes seen at once, and Y the peak of the memory they hold
together, where a page of a shared library or file that several of them have mapped counts once
(as it is once in RAM) and every private page counts; Y is measured only with --distinct,
which reads every mapping of every process. With --over, stops early and exits 1 as
soon as the plain sum passes MB."""
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


def distinct_mb(pids):
    """Private pages of every process, and the shared pages of each mapped file once."""
    private_kb, shared_kb = 0, {}
    for pid in pids:
        per_file = {}
        try:
            with open("/proc/%d/smaps" % pid) as smaps:
                name = None
                for line in smaps:
                    fields = line.split()
                    if not fields[0].endswith(":") or "-" in fields[0]:
                        # A mapping's header: "start-end perms offset dev inode [path]".
                        name = fields[5] if len(fields) > 5 and fields[4] != "0" else None
                    elif fields[0] in ("Private_Clean:", "Private_Dirty:"):
                        private_kb += int(fields[1])
                    elif fields[0] in ("Shared_Clean:", "Shared_Dirty:"):
                        key = name or ("anonymous", pid)
                        per_file[key] = per_file.get(key, 0) + int(fields[1])
        except OSError:
            continue
        for key, kb in per_file.items():
            shared_kb[key] = max(shared_kb.get(key, 0), kb)
    return (private_kb + sum(shared_kb.values())) / 1024


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
    if "--once" in argv:
        members = family(pid)
        print("rss-mb %.1f distinct-mb %.1f" % (sum(resident_mb(m) for m in members),
                                                distinct_mb(members)))
        return
    until = argv[argv.index("--until") + 1]
    over = float(argv[argv.index("--over") + 1]) if "--over" in argv else None
    peak, most, distinct = 0.0, 0, 0.0
    report = lambda: print("peak-mb %.1f processes %d distinct-peak-mb %.1f"  # noqa: E731
                           % (peak, most, distinct))
    while not os.path.exists(until) and os.path.exists("/proc/%d" % pid):
        members = family(pid)
        total = sum(resident_mb(member) for member in members)
        peak, most = max(peak, total), max(most, len(members))
        if over is not None and total > over:
            report()
            sys.exit(1)
        if "--distinct" in argv:
            distinct = max(distinct, distinct_mb(members))
        time.sleep(0.05)
    report()


if __name__ == "__main__":
    main(sys.argv)
