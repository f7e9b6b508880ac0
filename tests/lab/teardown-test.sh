#!/usr/bin/env bash
# lab.sh leaves nothing behind: its namespaces and the processes in them are gone
# after the command succeeds, fails, or lab.sh is interrupted. Also checks that
# the command's exit status comes back and that device hosts get their addresses.
# Sends nothing: the commands run in the lab only print and sleep.
set -uo pipefail
# Job control, so that background lab.sh runs get SIGINT like a terminal's Ctrl-C.
set -m

lab=${1:-$(dirname "$(readlink -f "$0")")/lab.sh}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passed=0
failed=0

check() {  # NAME CONDITION...
    local name=$1
    shift
    if "$@"; then
        passed=$((passed + 1))
        echo "PASS: $name"
    else
        failed=$((failed + 1))
        echo "FAIL: $name"
    fi
}

# The lab's namespaces, as its command saw them.
record='echo "$LAB_TOOL_NS $LAB_DEVICE_NS" > "$0"; echo "$LAB_DEVICE_IPS" > "$0.ips"'

gone() {  # FILE: none of the namespaces named in FILE exists
    [ -s "$1" ] || return 1
    local ns
    for ns in $(cat "$1"); do
        [ -e "/var/run/netns/$ns" ] && return 1
        ip netns list | awk '{print $1}' | grep -qx "$ns" && return 1
    done
    return 0
}

"$lab" run -- sh -c "$record" "$work/ok"
check "successful command exits 0" [ $? -eq 0 ]
check "namespaces removed after success" gone "$work/ok"
check "one device host by default" [ "$(cat "$work/ok.ips")" = "192.168.147.11" ]

"$lab" run --device-hosts 3 -- sh -c "$record; exit 7" "$work/fail"
check "failing command's status is returned" [ $? -eq 7 ]
check "namespaces removed after failure" gone "$work/fail"
check "three device hosts in order" [ "$(cat "$work/fail.ips")" = "192.168.147.11 192.168.147.12 192.168.147.13" ]
check "three device namespaces" [ "$(wc -w < "$work/fail")" -eq 4 ]

for sig in INT TERM; do
    # A command that leaves a process behind on a device host, then blocks.
    "$lab" run -- sh -c "$record; \"\$LAB_SCRIPT\" device 1 -- sleep 300 & sleep 300" "$work/$sig" &
    pid=$!
    for _ in $(seq 100); do [ -s "$work/$sig" ] && break; sleep 0.1; done
    sleep 0.3
    kill -"$sig" "$pid"
    wait "$pid"
    status=$?
    check "SIG$sig: lab.sh exits with 128+signal" [ "$status" -eq $((128 + $(kill -l "$sig"))) ]
    check "SIG$sig: namespaces removed" gone "$work/$sig"
done

"$lab" run -- true 2>/dev/null
"$lab" device 1 -- true 2>/dev/null
check "device outside a lab is refused" [ $? -ne 0 ]

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
