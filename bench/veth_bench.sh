#!/usr/bin/env bash
# Runs a bus benchmark over a veth pair in a network namespace of its own, with zentrio-sim
# serving 1, 8 and 20 drives on the far end. Needs root (or CAP_SYS_ADMIN) for the namespace.
# usage: bench/veth_bench.sh <build dir> [bus_bench|cycle_bench] [extra benchmark arguments]
#   bench/veth_bench.sh build                      bring-up, round trip, SDO, FoE
#   bench/veth_bench.sh build cycle_bench --seconds 60
set -euo pipefail
build=${1:-build}
bench=${2:-bus_bench}
shift $(($# < 2 ? $# : 2))
ns="zentrio-bench-$$"
trap 'ip netns pids "$ns" 2>/dev/null | xargs -r kill -KILL; ip netns del "$ns" 2>/dev/null;
      rm -f "/tmp/$ns.cmd"' EXIT

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
    ip netns exec "$ns" "$build/bench/$bench" --interface zt-master --drives "$n" "$@"
    echo quit >&3
    exec 3>&-
    kill "$sim" 2>/dev/null || true
    wait "$sim" 2>/dev/null || true
    rm -f "/tmp/$ns.cmd"
done
