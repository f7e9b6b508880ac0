#!/usr/bin/env bash
# Runs each fuzz target for a fixed time: tools/fuzz-run.sh BUILD_DIR SECONDS [TARGET...]
# The corpora in tests/fuzz/corpus are read and left as they are; what a run
# finds goes to a scratch directory. The target that opens the protocol engine
# runs in a lab of its own. Prints each target's executions; fails on a crash,
# a leak or a sanitizer report.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:?usage: tools/fuzz-run.sh BUILD_DIR SECONDS [TARGET...]}
seconds=${2:?usage: tools/fuzz-run.sh BUILD_DIR SECONDS [TARGET...]}
shift 2
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(fuzz_datagram fuzz_tcp)
lab="$here/../tests/lab/lab.sh"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
status=0
summary=()
for target in "${targets[@]}"; do
    name=${target#fuzz_}
    binary="$build/tests/fuzz/$target"
    [ -x "$binary" ] || { echo "fuzz: $binary is not built" >&2; exit 1; }
    mkdir -p "$scratch/$name" "$scratch/$name-artifacts"
    command=("$binary" -max_total_time="$seconds" -print_final_stats=1 -timeout=10 -rss_limit_mb=4096
             -artifact_prefix="$scratch/$name-artifacts/" "$scratch/$name" "$here/../tests/fuzz/corpus/$name")
    case "$target" in
        fuzz_datagram) command=("$lab" run -- "${command[@]}") ;;
    esac
    echo "== $target for ${seconds}s"
    ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        "${command[@]}" > "$scratch/$name.log" 2>&1
    result=$?
    grep -E '^(stat::|#[0-9]+ +DONE|==[0-9]+==ERROR|SUMMARY)' "$scratch/$name.log" | tail -8
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$scratch/$name.log" | tail -1)
    if [ $result -ne 0 ]; then
        status=1
        tail -40 "$scratch/$name.log"
        mkdir -p "$build/fuzz-artifacts" && cp -r "$scratch/$name-artifacts/." "$build/fuzz-artifacts/" 2>/dev/null
        summary+=("$target: FAILED after ${runs:-?} executions (inputs kept in $build/fuzz-artifacts)")
    else
        summary+=("$target: ${runs:-?} executions, no crash, no leak, no sanitizer report")
    fi
done
printf '%s\n' "${summary[@]}"
exit $status
