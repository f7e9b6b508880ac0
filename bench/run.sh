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
status=0
for name in "${names[@]}"; do
    echo "== $name"
    QT_QPA_PLATFORM=offscreen "$lab" run --device-hosts "$(device_hosts "$name")" -- "$build/bench/$name" || status=1
done
exit $status
