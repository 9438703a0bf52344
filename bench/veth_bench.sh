#!/usr/bin/env bash
# Runs bus_bench over a veth pair in a network namespace of its own, with zentrio-sim serving
# 1, 8 and 20 drives on the far end. Needs root (or CAP_SYS_ADMIN) for the namespace.
# usage: bench/veth_bench.sh <build dir>
set -euo pipefail
build=${1:-build}
ns="zentrio-bench-$$"
trap 'ip netns pids "$ns" 2>/dev/null | xargs -r kill -KILL; ip netns del "$ns" 2>/dev/null' EXIT

ip netns add "$ns"
ip -n "$ns" link add zt-master type veth peer name zt-drives
for dev in zt-master zt-drives; do
    ip netns exec "$ns" sysctl -qw "net.ipv6.conf.$dev.disable_ipv6=1" || true
    ip -n "$ns" link set "$dev" up
done

for n in 1 8 20; do
    mkfifo "/tmp/$ns.cmd"
    exec 3<>"/tmp/$ns.cmd"
    ip netns exec "$ns" "$build/sim/zentrio-sim" --interface zt-drives --drives "$n" \
        <"/tmp/$ns.cmd" >/dev/null 2>&1 &
    sim=$!
    sleep 0.3
    ip netns exec "$ns" "$build/bench/bus_bench" --interface zt-master --drives "$n" |
        { [ "$n" = 1 ] && cat || tail -n +2; }
    echo quit >&3
    exec 3>&-
    kill "$sim" 2>/dev/null || true
    wait "$sim" 2>/dev/null || true
    rm -f "/tmp/$ns.cmd"
done
