#!/usr/bin/env bash
# Runs every benchmark of a build: bench/run.sh BUILD_DIR [NAME...]
# Benchmarks that open the protocol engine broadcast, so each runs in a lab of
# its own (tests/lab/lab.sh); they print their figures and never fail on them.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:?usage: bench/run.sh BUILD_DIR [NAME...]}
shift
lab="$here/../tests/lab/lab.sh"
if [ $# -gt 0 ]; then names=("$@"); else
    mapfile -t names < <(find "$build/bench" -maxdepth 1 -type f -name 'bench_*' -perm -u+x -printf '%f\n' | sort)
fi
[ ${#names[@]} -gt 0 ] || { echo "bench/run.sh: no benchmarks in $build/bench" >&2; exit 1; }
# Device hosts a benchmark's lab needs, when more than one.
device_hosts() {
    case "$1" in
        bench_underload) echo 2 ;;
        *) echo 1 ;;
    esac
}
# The runs of a benchmark, one line of arguments each.
cases() {
    case "$1" in
        bench_discovery) printf '%s\n' "--case quiet" "--case stock" "--case busy" ;;
        *) echo "" ;;
    esac
}

# The stock case runs under a stock laptop's limit on socket receive buffers.
# The limit is the whole machine's, so it is put back as soon as that run ends,
# and on any way out of this script.
rmem=/proc/sys/net/core/rmem_max
saved_rmem=""
restore_rmem() {
    [ -n "$saved_rmem" ] && echo "$saved_rmem" > "$rmem"
    saved_rmem=""
}
trap restore_rmem EXIT
trap 'restore_rmem; exit 130' INT TERM HUP

status=0
for name in "${names[@]}"; do
    while read -r arguments; do
        echo "== $name $arguments"
        if [ "$arguments" = "--case stock" ]; then
            saved_rmem=$(cat "$rmem")
            echo 212992 > "$rmem" || { echo "bench/run.sh: cannot lower $rmem" >&2; status=1; continue; }
        fi
        # shellcheck disable=SC2086 # the case's arguments, split on purpose
        QT_QPA_PLATFORM=offscreen "$lab" run --device-hosts "$(device_hosts "$name")" -- "$build/bench/$name" $arguments \
            < /dev/null || status=1
        restore_rmem
    done < <(cases "$name")
done
exit $status
