#!/usr/bin/env bash
# End-to-end run over a real kernel link: a network namespace of our own holding a veth pair, the
# standalone simulator serving one end, the master on the other, and a capture of the session
# that Wireshark's EtherCAT dissector must read without a single malformed packet.
#
# Nothing here touches an interface outside the namespace, and the namespace is always deleted.
# Exit 77 (skipped) where namespaces cannot be created; CI runs as root and must not skip.
#
# usage: veth_e2e.sh <veth_probe> <zentrio-sim> [drives]
set -uo pipefail

probe=$1
simulator=$2
drives=${3:-3}
ns="zentrio-e2e-$$"
work=$(mktemp -d)
capture="$work/session.pcapng"

# Stops a background process and waits for it, for at most two seconds.
stop() {
    local pid=$1
    kill -TERM "$pid" 2>/dev/null || return 0
    for _ in $(seq 20); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    kill -KILL "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
}

cleanup() {
    [ -n "${sim_pid:-}" ] && stop "$sim_pid"
    [ -n "${cap_pid:-}" ] && stop "$cap_pid"
    # Anything still running in the namespace goes with it.
    ip netns pids "$ns" 2>/dev/null | xargs -r kill -KILL 2>/dev/null
    ip netns del "$ns" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

if ! ip netns add "$ns" 2>"$work/err"; then
    echo "SKIP: cannot create a network namespace: $(cat "$work/err")"
    exit 77
fi
in_ns() { ip netns exec "$ns" "$@"; }

in_ns ip link add zt-master type veth peer name zt-drives || exit 1
for dev in zt-master zt-drives; do
    # No IPv6 on these ends: the kernel would otherwise chatter on them.
    in_ns sysctl -qw "net.ipv6.conf.$dev.disable_ipv6=1" 2>/dev/null
    in_ns ip link set "$dev" up || exit 1
done

have_tshark=0
if command -v tshark >/dev/null; then
    have_tshark=1
    ip netns exec "$ns" tshark -q -i zt-master -f "ether proto 0x88a4" -w "$capture" \
        2>"$work/tshark.err" &
    cap_pid=$!
    for _ in $(seq 50); do
        grep -q "Capturing on" "$work/tshark.err" && break
        sleep 0.1
    done
fi

# The simulator reads fault commands from standard input: give it a pipe that stays open.
mkfifo "$work/commands"
exec 3<>"$work/commands"
ip netns exec "$ns" "$simulator" --interface zt-drives --drives "$drives" \
    <"$work/commands" >"$work/sim.log" 2>&1 &
sim_pid=$!
sleep 0.3

in_ns env ZENTRIO_VETH_IF=zt-master ZENTRIO_VETH_DRIVES="$drives" "$probe"
status=$?

if [ $have_tshark -eq 1 ]; then
    sleep 0.5
    stop "$cap_pid"
    cap_pid=
    total=$(tshark -r "$capture" -Y ecat 2>/dev/null | wc -l)
    if ! malformed=$(tshark -r "$capture" -Y "_ws.malformed || _ws.expert.severity == error" \
        2>"$work/read.err"); then
        echo "FAIL: tshark could not read the capture: $(cat "$work/read.err")"
        status=1
    fi
    echo "capture: $total EtherCAT frames"
    if [ "$total" -eq 0 ]; then
        echo "FAIL: the capture holds no EtherCAT frame"
        status=1
    fi
    if [ -n "$malformed" ]; then
        echo "FAIL: the EtherCAT dissector reports malformed packets:"
        echo "$malformed" | head -20
        status=1
    fi
else
    echo "FAIL: tshark is not installed (tools/install-deps.sh installs it)"
    status=1
fi

if [ $status -ne 0 ]; then
    echo "--- simulator output ---"
    cat "$work/sim.log"
fi
exit $status
