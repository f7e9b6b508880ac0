# Sourced by the scripts that run the tool and its helpers in the background
# (the demo, the idle benchmark, the Wayland test). Each background process
# goes into pids; end_background, run on the script's way out, ends them all.
pids=()
end_background() {
    local pid
    for pid in "${pids[@]}"; do kill -TERM "$pid" 2>/dev/null; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null; done
    pids=()
}

# private_xvfb FIRST GEOMETRY LOG [XVFB OPTIONS...] starts Xvfb on the first
# free display from :FIRST on, adds its pid to pids and exports DISPLAY; it
# returns 1 when the server did not come up.
private_xvfb() {
    local n=$1 geometry=$2 log=$3
    shift 3
    while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
    Xvfb ":$n" -screen 0 "${geometry}x24" -nolisten tcp "$@" >"$log" 2>&1 &
    pids+=($!)
    for _ in $(seq 50); do [ -S "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
    [ -S "/tmp/.X11-unix/X$n" ] || return 1
    export DISPLAY=":$n"
}
