# Sourced by the veth tests: a network namespace of our own ("$ns", gone on exit with "$work")
# holding the veth pair zt-master/zt-drives, up and without IPv6 chatter; 77: skipped.
ns="zentrio-$1-$$" work=$(mktemp -d)
cleanup() {
    ip netns pids "$ns" 2>/dev/null | xargs -r kill -KILL 2>/dev/null
    ip netns del "$ns" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
ip netns add "$ns" 2>/dev/null || { echo "SKIP: cannot create a network namespace"; exit 77; }
in_ns() { ip netns exec "$ns" "$@"; }
in_ns ip link add zt-master type veth peer name zt-drives || exit 1
for dev in zt-master zt-drives; do
    in_ns sysctl -qw "net.ipv6.conf.$dev.disable_ipv6=1" && in_ns ip link set "$dev" up || exit 1
done
# The simulator reads fault commands from standard input: a pipe that stays open.
mkfifo "$work/commands" && exec 3<>"$work/commands"
# wait_serving <log>: until the simulator says it serves (a sanitizer build starts slowly), 20 s
wait_serving() {
    for _ in $(seq 200); do grep -q "serving" "$1" 2>/dev/null && return 0; sleep 0.1; done
    echo "FAIL: the simulator did not start"; cat "$1"; exit 1
}
