#!/usr/bin/env bash
# make run: the tool in a lab with one device host simulating 12 devices.
#   run-demo.sh BUILD_DIR
# Shows the tool on $DISPLAY when that display is reachable from the lab (a
# local X server's unix socket is), otherwise on a private Xvfb; presses "Search
# once", leaves a screenshot in BUILD_DIR/demo/searcher.png, and on a private
# Xvfb then stops everything (on a real display, when the window is closed).
set -uo pipefail

here=$(dirname "$(readlink -f "$0")")
lab="$here/../tests/lab/lab.sh"

if [ "${1:-}" != "--inside" ]; then
    [ $# -eq 1 ] || { echo "usage: $0 BUILD_DIR" >&2; exit 2; }
    build=$(readlink -f "$1")
    for exe in "$build/app/Searcher" "$build/tools/devsim/devsim"; do
        [ -x "$exe" ] || { echo "run-demo: $exe is missing: build first (make build)" >&2; exit 1; }
    done
    mkdir -p "$build/demo"
    exec "$lab" run --device-hosts 1 -- "$here/run-demo.sh" --inside "$build"
fi

# From here on we are in the tool host of the lab.
build=$2
demo="$build/demo"
pids=()
stop_all() {
    local pid
    for pid in "${pids[@]}"; do kill -TERM "$pid" 2>/dev/null; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null; done
    pids=()
}
trap stop_all EXIT

# Every device also serves its main and sub stream, so "Main Stream" shows a live picture.
"$LAB_SCRIPT" device 1 -- "$build/tools/devsim/devsim" --count 12 --streams --log "$demo/devsim.log" </dev/null &
pids+=($!)
for _ in $(seq 50); do
    grep -q '"event":"ready"' "$demo/devsim.log" 2>/dev/null && break
    sleep 0.1
done
grep -q '"event":"ready"' "$demo/devsim.log" 2>/dev/null || { echo "run-demo: devsim did not start, see $demo/devsim.log" >&2; exit 1; }

# A display is reachable from the lab only through its unix socket: TCP displays
# (ssh forwarding) are on the root namespace's network.
display_reachable() {
    [[ "${DISPLAY:-}" =~ ^(unix)?:([0-9]+)(\.[0-9]+)?$ ]] || return 1
    [ -S "/tmp/.X11-unix/X${BASH_REMATCH[2]}" ] || return 1
    if command -v xdpyinfo >/dev/null 2>&1; then
        xdpyinfo >/dev/null 2>&1 || return 1
    fi
    return 0
}

own_display=1
if display_reachable; then
    own_display=0
    echo "run-demo: showing the tool on $DISPLAY"
else
    command -v Xvfb >/dev/null 2>&1 || { echo "run-demo: no reachable display and no Xvfb (Debian package xvfb)" >&2; exit 1; }
    n=90
    while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
    Xvfb ":$n" -screen 0 1280x800x24 -nolisten tcp >"$demo/xvfb.log" 2>&1 &
    pids+=($!)
    for _ in $(seq 50); do [ -S "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
    [ -S "/tmp/.X11-unix/X$n" ] || { echo "run-demo: Xvfb :$n did not start, see $demo/xvfb.log" >&2; exit 1; }
    export DISPLAY=":$n"
    unset XAUTHORITY
    echo "run-demo: showing the tool on a private Xvfb $DISPLAY"
fi

unset QT_QPA_PLATFORM
"$build/app/Searcher" >"$demo/searcher.log" 2>&1 &
searcher=$!
pids=("$searcher" "${pids[@]}")   # the tool stops first, then devsim and Xvfb
# Press "Search once" as a user would, so that the list fills with the devices.
window=""
for _ in $(seq 50); do
    window=$(xdotool search --name '^Searcher$' 2>/dev/null | head -n 1)
    [ -n "$window" ] && break
    sleep 0.1
done
if [ -n "$window" ]; then
    sleep 1
    xdotool mousemove --window "$window" 70 562 click 1
else
    echo "run-demo: the window did not appear, see $demo/searcher.log" >&2
fi
sleep 3
kill -0 "$searcher" 2>/dev/null || echo "run-demo: the tool exited early, see $demo/searcher.log" >&2

shot="$demo/searcher.png"
rm -f "$shot"
if command -v xwd >/dev/null 2>&1 && convert -version 2>/dev/null | grep -q ImageMagick; then
    xwd -root -display "$DISPLAY" | convert xwd:- "png:$shot"
elif command -v import >/dev/null 2>&1; then
    import -window root -display "$DISPLAY" "$shot"
else
    echo "run-demo: no screenshot: needs xwd (x11-apps) and ImageMagick's convert (imagemagick)" >&2
fi
[ -s "$shot" ] && echo "run-demo: screenshot: $shot"
echo "run-demo: devsim log: $demo/devsim.log"
if [ "$own_display" -eq 0 ]; then
    # On the user's display the tool stays until its window is closed.
    echo "run-demo: close the window to end the demo"
    wait "$searcher"
fi
exit 0
