#!/usr/bin/env bash
# The lab: a throwaway LAN of network namespaces on which the tool and devsim can
# broadcast without a single datagram leaving this machine.
#
#   switch namespace:  bridge br0, one veth port per host
#   tool host:         en0 = 192.168.147.100/24 then 192.168.147.101/24, default route
#                      with src .101 (limited broadcast needs a route; src picks .101)
#   device host k:     eth0 = 192.168.147.(10+k)/24, default route on eth0
#
# Other layouts (--layout), for a Linux laptop as installers have it:
#   eth0:  the tool host's card is eth0 with the one address 192.168.147.101.
#   two:   the tool host has two cards on two switches: eth0 = 192.168.147.101 with
#          device host 1, and eth1 = 192.168.148.101, the default route (as Wi-Fi
#          would be), with device host 2 at 192.168.148.12; needs 2 device hosts.
#
# The root namespace's network is never touched: every veth is created straight
# into its namespaces. IPv6 is off everywhere, so the lab is quiet and en0's
# address list holds only its two IPv4 entries.
#
# Usage:
#   lab.sh run [--device-hosts K] [--layout L] -- CMD ARGS...
#                                                  run CMD in the tool host of a new lab
#   lab.sh device K -- CMD ARGS...                 run CMD in device host K of the current lab
#   lab.sh shell [--device-hosts K] [--layout L]   interactive shell in the tool host
#   lab.sh clean                                   remove labs left by killed runs
#
# CMD sees LAB_TOOL_NS, LAB_DEVICE_NS and LAB_DEVICE_IPS (space-separated, in host
# order) and LAB_SCRIPT (this file). The lab is removed when CMD ends, when it
# fails, and on SIGINT/SIGTERM/SIGHUP; processes still running in it are ended.

set -uo pipefail

readonly SUBNET=192.168.147
readonly OTHER_SUBNET=192.168.148   # the second side of the "two" layout
readonly PREFIX=srchlab            # namespace names: srchlab<pid>x<random>-<role>
readonly MAX_DEVICE_HOSTS=80       # device hosts stay below the tool's .100
SCRIPT=$(readlink -f "${BASH_SOURCE[0]}")
readonly SCRIPT

CREATED=()      # namespaces this run made, removed in reverse order
CHILD=""        # pid of the command run in the tool host

die() {
    echo "lab.sh: $*" >&2
    exit 1
}

usage() {
    sed -n '/^# Usage:/,/^# CMD sees/p' "$SCRIPT" | sed '$d; s/^# \{0,1\}//' >&2
    exit 2
}

require_tools() {
    [ "$(id -u)" -eq 0 ] || die "must run as root: creating network namespaces needs CAP_NET_ADMIN"
    command -v ip >/dev/null 2>&1 || die "the 'ip' command is missing (Debian package iproute2)"
    ip netns list >/dev/null 2>&1 || die "'ip netns' does not work here: network namespaces unavailable?"
}

# ns_sysctl NS KEY VALUE: IPv6 may be compiled out, so a missing key is no error.
ns_sysctl() {
    local path="/proc/sys/${2//.//}"
    ip netns exec "$1" sh -c "[ ! -e '$path' ] || echo '$3' > '$path'"
}

disable_ipv6() {
    ns_sysctl "$1" "net.ipv6.conf.$2.disable_ipv6" 1
}

add_ns() {
    ip netns add "$1" || die "cannot create network namespace $1"
    CREATED+=("$1")
    disable_ipv6 "$1" all
    disable_ipv6 "$1" default
    ip -n "$1" link set lo up
}

# Ends what still runs in the lab's namespaces, then removes them. Runs once.
teardown() {
    local ns pids i
    [ ${#CREATED[@]} -eq 0 ] && return 0
    for ns in "${CREATED[@]}"; do
        pids=$(ip netns pids "$ns" 2>/dev/null)
        # shellcheck disable=SC2086 # a list of pids
        [ -n "$pids" ] && kill -TERM $pids 2>/dev/null
    done
    for i in $(seq 20); do
        pids=""
        for ns in "${CREATED[@]}"; do pids+=$(ip netns pids "$ns" 2>/dev/null); done
        [ -z "$pids" ] && break
        sleep 0.1
    done
    for ns in "${CREATED[@]}"; do
        pids=$(ip netns pids "$ns" 2>/dev/null)
        # shellcheck disable=SC2086 # a list of pids
        [ -n "$pids" ] && kill -KILL $pids 2>/dev/null
    done
    for ((i = ${#CREATED[@]} - 1; i >= 0; i--)); do
        ip netns del "${CREATED[i]}" 2>/dev/null || echo "lab.sh: could not remove ${CREATED[i]}" >&2
    done
    CREATED=()
}

on_signal() {
    trap '' INT TERM HUP
    [ -n "$CHILD" ] && kill -TERM "$CHILD" 2>/dev/null
    teardown
    trap - EXIT
    exit $((128 + $1))
}

trap teardown EXIT
trap 'on_signal 2' INT
trap 'on_signal 15' TERM
trap 'on_signal 1' HUP

# Labs whose lab.sh died by SIGKILL (a test timeout, say) cannot clean up; the
# next run removes them. A lab whose lab.sh still runs is left alone.
clean_stale() {
    local ns pid
    for ns in $(ip netns list 2>/dev/null | awk '{print $1}' | grep -E "^${PREFIX}[0-9]+x[0-9]+-"); do
        pid=${ns#"$PREFIX"}
        pid=${pid%%x*}
        kill -0 "$pid" 2>/dev/null && continue
        local pids
        pids=$(ip netns pids "$ns" 2>/dev/null)
        # shellcheck disable=SC2086 # a list of pids
        [ -n "$pids" ] && kill -KILL $pids 2>/dev/null
        ip netns del "$ns" 2>/dev/null && echo "lab.sh: removed stale namespace $ns" >&2
    done
}

wait_link_up() {  # NS IFACE
    local i
    for i in $(seq 50); do
        ip -n "$1" link show "$2" 2>/dev/null | grep -q 'LOWER_UP' && return 0
        sleep 0.05
    done
    die "link $2 in $1 did not come up"
}

# add_switch NS: a namespace with a bridge br0 that hosts plug into.
add_switch() {
    add_ns "$1"
    ip -n "$1" link add br0 type bridge forward_delay 0 stp_state 0 || die "cannot create the bridge"
    disable_ipv6 "$1" br0
    ip -n "$1" link set br0 up
}

# plug SWITCH PORT NS IFACE: a veth from the switch's bridge to IFACE in NS.
plug() {
    ip -n "$1" link add "$2" type veth peer name "$4" netns "$3" || die "cannot create the veth $2 to $3"
    disable_ipv6 "$1" "$2"
    ip -n "$1" link set "$2" master br0 up
    disable_ipv6 "$3" "$4"
}

# build_lab K LAYOUT: creates the switch(es), the tool host and K device hosts.
build_lab() {
    local hosts=$1 layout=$2 tag k sw tool dev subnet side tool_if
    clean_stale
    tag="${PREFIX}$$x${RANDOM}"
    sw="$tag-sw"
    tool="$tag-tool"

    add_switch "$sw"
    add_ns "$tool"
    case "$layout" in
        en0)
            tool_if=en0
            plug "$sw" tool "$tool" en0
            # The tool presents the interface's second address, so the order matters.
            ip -n "$tool" addr add "$SUBNET.100/24" dev en0
            ip -n "$tool" addr add "$SUBNET.101/24" dev en0
            ip -n "$tool" link set en0 up
            ip -n "$tool" route add default dev en0 src "$SUBNET.101" || die "cannot add the tool host's default route"
            TOOL_ADDRESSES="en0 $SUBNET.100 + .101" ;;
        eth0|two)
            tool_if=eth0
            plug "$sw" tool "$tool" eth0
            ip -n "$tool" addr add "$SUBNET.101/24" dev eth0
            ip -n "$tool" link set eth0 up
            TOOL_ADDRESSES="eth0 $SUBNET.101"
            if [ "$layout" = eth0 ]; then
                ip -n "$tool" route add default dev eth0 || die "cannot add the tool host's default route"
            else
                add_switch "$tag-swb"
                plug "$tag-swb" tool "$tool" eth1
                ip -n "$tool" addr add "$OTHER_SUBNET.101/24" dev eth1
                ip -n "$tool" link set eth1 up
                ip -n "$tool" route add default dev eth1 || die "cannot add the tool host's default route"
                wait_link_up "$tool" eth1
                TOOL_ADDRESSES+=", eth1 $OTHER_SUBNET.101 (default route)"
            fi ;;
        *) die "--layout must be en0, eth0 or two" ;;
    esac

    LAB_DEVICE_NS=""
    LAB_DEVICE_IPS=""
    for ((k = 1; k <= hosts; k++)); do
        dev="$tag-dev$k"
        side=$sw
        subnet=$SUBNET
        if [ "$layout" = two ] && [ "$k" -eq 2 ]; then
            side="$tag-swb"
            subnet=$OTHER_SUBNET
        fi
        add_ns "$dev"
        plug "$side" "dev$k" "$dev" eth0
        ip -n "$dev" addr add "$subnet.$((10 + k))/24" dev eth0
        ip -n "$dev" link set eth0 up
        ip -n "$dev" route add default dev eth0 || die "cannot add device host $k's default route"
        LAB_DEVICE_NS+="${LAB_DEVICE_NS:+ }$dev"
        LAB_DEVICE_IPS+="${LAB_DEVICE_IPS:+ }$subnet.$((10 + k))"
    done

    wait_link_up "$tool" "$tool_if"
    for ((k = 1; k <= hosts; k++)); do wait_link_up "$tag-dev$k" eth0; done

    export LAB_TOOL_NS="$tool" LAB_DEVICE_NS LAB_DEVICE_IPS LAB_SCRIPT="$SCRIPT"
}

# parse_hosts ARGS...: reads [--device-hosts K] [--layout L] and the "--" before CMD.
HOSTS=1
LAYOUT=en0
REST=()
parse_hosts() {
    REST=()
    while [ $# -gt 0 ]; do
        case "$1" in
            --device-hosts|--layout)
                [ $# -ge 2 ] || usage
                if [ "$1" = --layout ]; then LAYOUT=$2; else HOSTS=$2; fi
                shift 2 ;;
            --)
                shift
                REST=("$@")
                break ;;
            *) usage ;;
        esac
    done
    [[ "$HOSTS" =~ ^[0-9]+$ ]] && [ "$HOSTS" -ge 1 ] && [ "$HOSTS" -le $MAX_DEVICE_HOSTS ] \
        || die "--device-hosts must be 1..$MAX_DEVICE_HOSTS"
    [ "$LAYOUT" != two ] || [ "$HOSTS" -ge 2 ] || die "--layout two needs --device-hosts 2"
}

cmd_run() {
    parse_hosts "$@"
    [ ${#REST[@]} -gt 0 ] || usage
    require_tools
    build_lab "$HOSTS" "$LAYOUT"
    # In the background with wait, so that a signal to lab.sh is handled at once;
    # stdin is passed on explicitly (a background job would get /dev/null).
    ip netns exec "$LAB_TOOL_NS" "${REST[@]}" <&0 &
    CHILD=$!
    wait "$CHILD"
    local status=$?
    CHILD=""
    teardown
    return $status
}

cmd_shell() {
    parse_hosts "$@" --
    require_tools
    build_lab "$HOSTS" "$LAYOUT"
    echo "lab: tool host $LAB_TOOL_NS ($TOOL_ADDRESSES), device hosts: $LAB_DEVICE_IPS" >&2
    echo "lab: start devsim with: \$LAB_SCRIPT device 1 -- build/tools/devsim/devsim ...; exit to remove the lab" >&2
    # Ctrl-C belongs to the shell; the lab goes when the shell exits.
    trap ':' INT
    ip netns exec "$LAB_TOOL_NS" "${SHELL:-/bin/bash}" -i
    local status=$?
    teardown
    return $status
}

cmd_device() {
    [ $# -ge 3 ] && [ "$2" = "--" ] || usage
    local k=$1
    shift 2
    [ -n "${LAB_DEVICE_NS:-}" ] || die "no lab: LAB_DEVICE_NS is not set (run inside 'lab.sh run' or 'lab.sh shell')"
    local hosts
    read -r -a hosts <<< "$LAB_DEVICE_NS"
    [[ "$k" =~ ^[0-9]+$ ]] && [ "$k" -ge 1 ] && [ "$k" -le ${#hosts[@]} ] \
        || die "device host $k does not exist (the lab has ${#hosts[@]})"
    trap - EXIT INT TERM HUP
    # Replaces this shell, so the caller's pid is the command's own and its
    # signals reach the command directly.
    exec ip netns exec "${hosts[k - 1]}" "$@"
}

[ $# -ge 1 ] || usage
command=$1
shift
case "$command" in
    run) cmd_run "$@" ;;
    shell) cmd_shell "$@" ;;
    device) cmd_device "$@" ;;
    clean) require_tools; clean_stale ;;
    -h|--help|help) usage ;;
    *) usage ;;
esac
