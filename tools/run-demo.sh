#!/usr/bin/env bash
# make run: the tool in a lab with one device host simulating 12 devices.
#   run-demo.sh BUILD_DIR
# Shows the tool on $DISPLAY when that display is reachable from the lab (a
# local X server's unix socket is) until its window is closed. Otherwise it
# starts a private Xvfb, presses "Search once", checks that the 12 devices are
# listed, leaves a screenshot in BUILD_DIR/demo/searcher.png and stops
# everything; it fails, saying why, when the devices were not listed.
set -uo pipefail

here=$(dirname "$(readlink -f "$0")")
lab="$here/../tests/lab/lab.sh"
. "$here/background.sh"

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
trap end_background EXIT

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

if display_reachable; then
    # The user's own display: the window stays until it is closed. Its
    # accessibility bus belongs to the user's session, which this lab's root
    # process must not take over, so the user presses "Search once".
    echo "run-demo: showing the tool on $DISPLAY: press \"Search once\" to list the 12 devices; close the window to end the demo"
    unset QT_QPA_PLATFORM
    "$build/app/Searcher" >"$demo/searcher.log" 2>&1 &
    searcher=$!
    pids=("$searcher" "${pids[@]}")
    wait "$searcher"
    exit 0
fi

# A private Xvfb at 96 dpi, where the window is drawn at its own size.
command -v Xvfb >/dev/null 2>&1 || { echo "run-demo: no reachable display and no Xvfb (Debian package xvfb)" >&2; exit 1; }
# -noreset: the accessibility bus's property on the root window outlives its launcher's connection.
private_xvfb 90 1280x800 "$demo/xvfb.log" -dpi 96 -noreset \
    || { echo "run-demo: Xvfb did not start, see $demo/xvfb.log" >&2; exit 1; }
unset XAUTHORITY
echo "run-demo: showing the tool on a private Xvfb $DISPLAY"

# "Search once" is pressed through the accessibility interface, as a screen
# reader would, wherever the button is drawn; that needs a session bus of its
# own with the accessibility bus started before the tool (tools/atspi-search.py).
export XDG_RUNTIME_DIR="$demo/run"
rm -rf "$XDG_RUNTIME_DIR"
mkdir -m 700 "$XDG_RUNTIME_DIR"
dbus-run-session -- sh -c '
    dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress >/dev/null || exit 3
    QT_ACCESSIBILITY=1 QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_QPA_PLATFORM=xcb "$1/app/Searcher" >"$1/demo/searcher.log" 2>&1 &
    tool=$!
    /usr/bin/python3 "$2/atspi-search.py" Searcher 12 10
    code=$?
    sleep 0.5   # the rows drawn before the picture is taken
    if command -v xwd >/dev/null 2>&1 && convert -version 2>/dev/null | grep -q ImageMagick; then
        xwd -name Searcher -display "$DISPLAY" | convert xwd:- "png:$1/demo/searcher.png"
    fi
    kill -TERM $tool
    wait $tool
    exit $code' sh "$build" "$here" >"$demo/press.log" 2>&1
code=$?
grep '^atspi-search' "$demo/press.log"
shot="$demo/searcher.png"
if [ "$code" -eq 3 ]; then
    echo "run-demo: the accessibility bus did not start (Debian packages at-spi2-core, dbus)" >&2
    exit 1
elif [ "$code" -ne 0 ]; then
    echo "run-demo: the 12 simulated devices were not listed; see $demo/searcher.log and $demo/devsim.log" >&2
    exit 1
fi
[ -s "$shot" ] || { echo "run-demo: no screenshot: needs xwd (x11-apps) and ImageMagick's convert (imagemagick)" >&2; exit 1; }
echo "run-demo: the 12 simulated devices are listed; screenshot: $shot"
echo "run-demo: devsim log: $demo/devsim.log"
exit 0
