#!/usr/bin/env bash
# The packages as a user gets them: unpacks searcher and searcher-devsim into a
# scratch root, checks the desktop entry and the AppStream data, and runs the
# installed tool against the installed simulator with 12 devices, through its
# accessibility tree (tools/atspi-search.py). Runs in the tool host of a lab.
#   package-test.sh PACKAGE_DIR
set -euo pipefail
here=$(dirname "$(readlink -f "$0")")
debs=$1
root=$(mktemp -d)
sim=""
cleanup() {
    [ -n "$sim" ] && kill -TERM "$sim" 2>/dev/null && wait "$sim" 2>/dev/null
    rm -rf "$root"
}
trap cleanup EXIT

for name in searcher searcher-devsim; do
    deb=$(ls "$debs"/${name}_*_amd64.deb)
    dpkg -x "$deb" "$root"
done
desktop-file-validate "$root"/usr/share/applications/*.desktop
appstreamcli validate --no-net --pedantic "$root"/usr/share/metainfo/*.metainfo.xml

"$LAB_SCRIPT" device 1 -- "$root/usr/bin/searcher-devsim" --count 12 --log "$root/devsim.log" </dev/null &
sim=$!
for _ in $(seq 100); do
    grep -q '"event":"ready"' "$root/devsim.log" 2>/dev/null && break
    kill -0 "$sim" 2>/dev/null || { echo "package-test: the installed devsim exited" >&2; exit 1; }
    sleep 0.1
done

export XDG_RUNTIME_DIR="$root/run"
mkdir -m 700 "$XDG_RUNTIME_DIR"
# Qt finds the accessibility bus through the AT_SPI_BUS property of the X root
# window, which the bus launcher sets when it starts. Without it Qt asks the
# session bus instead, but registers the tool before that answer comes and never
# again: so the launcher is started before the tool, and Xvfb must not reset
# (and drop the property) when the launcher, its only client, disconnects.
xvfb-run -a --server-args="-screen 0 1280x1024x24 -noreset" dbus-run-session -- sh -c '
    dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress >/dev/null || exit 1
    QT_ACCESSIBILITY=1 QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_QPA_PLATFORM=xcb "$2/usr/bin/Searcher" &
    tool=$!
    /usr/bin/python3 "$1/../../tools/atspi-search.py" Searcher 12
    code=$?
    kill -TERM $tool
    wait $tool
    exit $code' sh "$here" "$root"
