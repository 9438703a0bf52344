#!/usr/bin/env bash
# The master against zentrio-sim on a veth pair in a namespace of our own; the capture must read
# in tshark, nothing malformed. usage: veth_e2e.sh <veth_probe> <zentrio-sim> [drives]; 77: skipped
set -uo pipefail
probe=$1 simulator=$2 drives=${3:-3}
command -v tshark >/dev/null || { echo "FAIL: tshark is not installed"; exit 1; }
source "$(dirname "$0")/veth_pair.sh" e2e
in_ns "$simulator" --frobnicate >/dev/null 2>&1  # a usage error, told apart by its exit code
[ $? -eq 2 ] || { echo "FAIL: zentrio-sim's usage error does not exit with 2"; exit 1; }
out=$(in_ns "$simulator" --interface zt-drives --capture /nonexistent/sim.pcapng 2>&1)
[ $? -eq 1 ] && [[ $out == *"cannot write '/nonexistent/sim.pcapng'"* ]] ||
    { echo "FAIL: an unwritable capture: $out"; exit 1; }
in_ns tshark -q -i zt-master -f "ether proto 0x88a4" -w "$work/s.pcapng" 2>"$work/tshark.err" &
for _ in $(seq 50); do grep -q "Capturing on" "$work/tshark.err" && break; sleep 0.1; done
in_ns "$simulator" --interface zt-drives --drives "$drives" <"$work/commands" >"$work/sim.log" 2>&1 &
wait_serving "$work/sim.log"
in_ns env ZENTRIO_VETH_IF=zt-master ZENTRIO_VETH_DRIVES="$drives" "$probe"
status=$?
sleep 0.5
ip netns pids "$ns" | xargs -r kill -TERM
sleep 0.5
total=$(tshark -r "$work/s.pcapng" -Y ecat 2>/dev/null | wc -l)
bad=$(tshark -r "$work/s.pcapng" -Y "_ws.malformed || _ws.expert.severity == error" \
    2>/dev/null) || bad="tshark could not read the capture"
echo "capture: $total EtherCAT frames"
[ "$total" -gt 0 ] && [ -z "$bad" ] || { echo "FAIL: capture empty or malformed: $bad"; status=1; }
src=$(tshark -r "$work/s.pcapng" -Y ecat -T fields -e eth.src 2>/dev/null | sort -u)  # one, ours
[ "$src" = "$(in_ns cat /sys/class/net/zt-master/address)" ] || { echo "FAIL: sent as $src"; status=1; }
[ $status -eq 0 ] || cat "$work/sim.log"
exit $status
