#!/usr/bin/env bash
# zentrio-bus against zentrio-sim on a veth pair in a namespace of our own (outputs: bustool_test);
# the captures must read in tshark. usage: veth_bustool.sh <zentrio-bus> <zentrio-sim>; 77: skipped.
set -uo pipefail
tool=$1 simulator=$2
source "$(dirname "$0")/../veth/veth_pair.sh" bus
in_ns "$simulator" --interface zt-drives --drives 3 --power-up-fault 3:0x10 \
    --capture "$work/sim.pcapng" <"$work/commands" >"$work/sim.log" 2>&1 &
fails=0
bus() { in_ns "$tool" "$@" --interface zt-master; }
wait_serving "$work/sim.log"
# A sanitizer build answers its first frames late; a scan that only looks leaves the drives as found.
for _ in $(seq 20); do bus slaves >/dev/null 2>&1 && break; sleep 0.2; done
expect() {  # expect <description> <pattern> <command...>: the output must match the pattern
    local what=$1 pattern=$2 out
    shift 2
    out=$("$@" 2>&1)
    if [ $? -ne 0 ] || ! grep -qE -- "$pattern" <<<"$out"; then
        echo "FAIL: $what: $out"
        fails=$((fails + 1))
    fi
}
head -c 3000 /dev/urandom >"$work/fw.bin"
expect "slaves" '"position": 3, "address": 4099, "state": "INIT"' bus slaves --json  # as found
expect "sdo download" 'written 00 00 48 41' bus sdo-download 2 0x6101 8 12.5 --type f32
expect "power-up fault" 'value 16$' bus sdo-upload 3 0x2002 0 --type u32
expect "sii" '"bytes": [0-9]+, "data": "' bus sii-read 1 --json
expect "state" 'position 3  state OP ' bus state OP
expect "foe" '"bytes": 3000' bus foe-write 3 "$work/fw.bin" --json
expect "capture" '"frames": [1-9]' bus capture "$work/bus.pcapng" --seconds 0.5 --json
echo "corrupt 2" >&3
sleep 0.2
expect "diag" 'position 2  address 0x1002 .*port0_invalid_frames 1 ' bus diag
expect "exit code of an abort" 'aborted: 0x06020000' \
    sh -c "$(printf '%q ' ip netns exec "$ns" "$tool" sdo-upload 1 0x2fff 0 --interface zt-master); [ \$? -eq 4 ]"
echo quit >&3
sleep 0.5
for file in sim.pcapng bus.pcapng; do
    total=$(tshark -r "$work/$file" -Y ecat 2>/dev/null | wc -l)
    bad=$(tshark -r "$work/$file" -Y "_ws.malformed" 2>/dev/null) || bad="unreadable"
    if [ "$total" -eq 0 ] || [ -n "$bad" ]; then
        echo "FAIL: $file: $total EtherCAT frames, malformed: $bad"
        fails=$((fails + 1))
    fi
done
[ $fails -eq 0 ] || cat "$work/sim.log"
exit $((fails > 0))
