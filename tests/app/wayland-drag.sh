#!/usr/bin/env bash
# The main window on Wayland, where a window cannot place itself: a drag of
# its title bar by (+200, +100) moves it by that much, through the
# compositor's own move. Weston runs on a private Xvfb (its X11 backend gives
# it a pointer that xdotool drives), the tool on Weston. Runs in the lab.
#   wayland-drag.sh SEARCHER_BINARY
set -uo pipefail
tool=$1
if [ -z "${WAYLAND_DRAG_XVFB:-}" ]; then   # this script again, on a private Xvfb
    export WAYLAND_DRAG_XVFB=1
    exec xvfb-run -a -s "-screen 0 1400x900x24 -nolisten tcp" "$0" "$@"
fi
. "$(dirname "$(readlink -f "$0")")/../../tools/background.sh"
work=$(mktemp -d)
trap 'end_background; rm -rf "$work"' EXIT

export XDG_RUNTIME_DIR="$work/run"
mkdir -m 700 "$XDG_RUNTIME_DIR"
weston --backend=x11-backend.so --use-pixman --width=1300 --height=850 --socket=wayland-test --idle-time=0 \
    >"$work/weston.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -S "$XDG_RUNTIME_DIR/wayland-test" ] && break; sleep 0.1; done
[ -S "$XDG_RUNTIME_DIR/wayland-test" ] || { echo "wayland-drag: weston did not start" >&2; cat "$work/weston.log" >&2; exit 1; }
WAYLAND_DISPLAY=wayland-test QT_QPA_PLATFORM=wayland "$tool" >"$work/tool.log" 2>&1 &
pids=($! "${pids[@]}")

# Where the title bar's top-left corner is drawn: the first pixel of its
# gradient's top colour below Weston's panel.
corner() {
    xwd -root | convert xwd:- -depth 8 rgb:- | /usr/bin/python3 -c '
import sys
width = 1400   # the Xvfb screen
pixels = sys.stdin.buffer.read()
top = bytes((0x3f, 0x3f, 0x3f))
for y in range(40, len(pixels) // (3 * width)):
    row = pixels[3 * width * y:3 * width * (y + 1)]
    x = row.find(top)
    while x >= 0 and x % 3:
        x = row.find(top, x + 1)
    if x >= 0 and row[x:x + 3 * 600] == top * 600:   # a bar, not a stray pixel
        print(x // 3, y)
        break'
}
# Drawn once it stays put between two looks.
before=""
for _ in $(seq 100); do
    seen=$(corner)
    [ -n "$seen" ] && [ "$seen" = "$before" ] && break
    before=$seen
    sleep 0.2
done
[ -n "$before" ] || { echo "wayland-drag: the window did not appear" >&2; cat "$work/tool.log" >&2; exit 1; }
read -r x y <<<"$before"
xdotool mousemove $((x + 250)) $((y + 14)) mousedown 1
for _ in $(seq 20); do xdotool mousemove_relative 10 5; sleep 0.02; done
xdotool mouseup 1
expected="$((x + 200)) $((y + 100))"
after=""
for _ in $(seq 50); do after=$(corner); [ "$after" = "$expected" ] && break; sleep 0.1; done
echo "wayland-drag: title bar at ($before), after the drag at ($after)"
[ "$after" = "$expected" ] || { echo "wayland-drag: expected ($expected)" >&2; exit 1; }
