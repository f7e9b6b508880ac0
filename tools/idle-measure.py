#!/usr/bin/python3
# The measuring half of bench_idle: wake-ups per second and resident memory
# of a running tool, at rest, after "Search once" and with automatic search on.
#   idle-measure.py PID APPLICATION SECONDS
import os
import sys
import time

import pyatspi


def switches(pid):
    total = 0
    for task in os.listdir("/proc/%d/task" % pid):
        with open("/proc/%d/task/%s/status" % (pid, task)) as status:
            for line in status:
                if line.startswith("voluntary_ctxt_switches:"):
                    total += int(line.split()[1])
    return total


def resident_mib(pid):
    with open("/proc/%d/status" % pid) as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return int(line.split()[1]) / 1024.0
    return 0.0


def find(node, name, role):
    for child in node:
        if child is None:
            continue
        if child.name == name and child.getRoleName() == role:
            return child
        if child.getRoleName() != "tree":
            found = find(child, name, role)
            if found:
                return found
    return None


def press(app, name):
    action = find(app, name, "push button").queryAction()
    action.doAction([action.getName(i) for i in range(action.nActions)].index("Press"))


def measure(pid, phase, seconds):
    before = switches(pid)
    time.sleep(seconds)
    rate = (switches(pid) - before) / seconds
    print("%-28s %6.1f wake-ups/s  %6.1f MiB resident" % (phase, rate, resident_mib(pid)))


def main():
    pid, name, seconds = int(sys.argv[1]), sys.argv[2], float(sys.argv[3])
    app = None
    for _ in range(300):
        app = next((a for a in pyatspi.Registry.getDesktop(0) if a is not None and a.name == name), None)
        if app and find(app, "Search once", "push button"):
            break
        time.sleep(0.1)
    if not app:
        sys.exit("idle-measure: %s did not appear on the accessibility bus" % name)
    time.sleep(2)   # the window drawn and settled
    measure(pid, "at rest", seconds)
    press(app, "Search once")
    time.sleep(2)   # the answers taken and the list drawn
    measure(pid, "after a search (12 devices)", seconds)
    press(app, "Auto search")
    measure(pid, "automatic search on", seconds)


main()
