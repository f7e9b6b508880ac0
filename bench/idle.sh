#!/usr/bin/env bash
# What the tool costs a laptop while it waits: wake-ups per second (the
# voluntary context switches of all its threads, each one a sleep ended) and
# resident memory, at rest, after "Search once" with 12 devices listed, and
# with automatic search on. The tool runs on a private Xvfb at 96 dpi; its
# buttons are pressed through the accessibility interface, which is on in all
# three phases. It opens the protocol engine, so it runs only inside the lab:
#   tests/lab/lab.sh run --device-hosts 1 -- build/bench/bench_idle   (make bench does that)
set -uo pipefail
searcher=@SEARCHER@
devsim=@DEVSIM@
tools=@TOOLS@
. "$tools/background.sh"
seconds=${IDLE_SECONDS:-20}
[ -n "${LAB_SCRIPT:-}" ] || { echo "bench_idle: run me inside the lab (make bench)" >&2; exit 2; }

work=$(mktemp -d)
trap 'end_background; rm -rf "$work"' EXIT

"$LAB_SCRIPT" device 1 -- "$devsim" --count 12 --log "$work/devsim.log" </dev/null &
pids+=($!)
private_xvfb 70 1280x800 /dev/null -dpi 96 -noreset || { echo "bench_idle: Xvfb did not start" >&2; exit 1; }
export XDG_RUNTIME_DIR="$work/run"
mkdir -m 700 "$XDG_RUNTIME_DIR"
unset QT_QPA_PLATFORM
dbus-run-session -- sh -c '
    dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress >/dev/null || exit 1
    QT_ACCESSIBILITY=1 QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_QPA_PLATFORM=xcb "$1" >/dev/null 2>&1 &
    tool=$!
    /usr/bin/python3 "$2/idle-measure.py" $tool Searcher "$3"
    code=$?
    kill -TERM $tool
    wait $tool
    exit $code' sh "$searcher" "$tools" "$seconds" 2>/dev/null
