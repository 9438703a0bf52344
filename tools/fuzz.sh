#!/usr/bin/env bash
# Builds the fuzz targets (build-fuzz, clang + libFuzzer + ASan/UBSan) and runs each of them for a
# bounded time on a copy of its seed corpus, two at a time.
#
#   tools/fuzz.sh [--merge] [seconds-per-target]     (default 60 s)
#
# --merge adds the inputs that found new coverage to tests/fuzz/corpus/<target> afterwards.
# Exits non-zero when a target crashed, leaked, timed out or a sanitizer reported; the reproducer
# is printed (run it with: build-fuzz/tests/fuzz/<target> <file>).
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=60
merge=0
for arg in "$@"; do
    case $arg in
        --merge) merge=1 ;;
        -h | --help)
            sed -n '2,9p' "$0"
            exit 0
            ;;
        *[!0-9]* | '')
            echo "usage: tools/fuzz.sh [--merge] [seconds-per-target]" >&2
            exit 2
            ;;
        *) seconds=$arg ;;
    esac
done

build="build-fuzz"
targets=(fuzz_frame_receive fuzz_mailbox_reply fuzz_sii fuzz_sdoinfo_reply fuzz_stateconfig
         fuzz_scope_recording)

echo "== Building $build with clang =="
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DZENTRIO_FUZZ=ON -DZENTRIO_WERROR=ON \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j 2

work=$(mktemp -d "${TMPDIR:-/tmp}/zentrio-fuzz.XXXXXX")
echo "== Fuzzing ${seconds}s per target, two at a time (work dir $work) =="

run_target() {  # run_target <name>: fuzzes a copy of the seed corpus; exit code in <dir>/rc
    local t=$1 dir=$work/$1
    mkdir -p "$dir/corpus" "$dir/artifacts"
    if [ -d "tests/fuzz/corpus/$t" ]; then
        cp -r "tests/fuzz/corpus/$t/." "$dir/corpus/"
    fi
    local start rc=0
    start=$(date +%s)
    # -timeout: one input running longer than this is a finding; -error_exitcode for the rest.
    ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 \
    "$build/tests/fuzz/$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$dir/artifacts/" "$dir/corpus" \
        >"$dir/log" 2>&1 || rc=$?
    echo "$rc" >"$dir/rc"
    echo $(($(date +%s) - start)) >"$dir/seconds"
}

for ((i = 0; i < ${#targets[@]}; i += 2)); do
    run_target "${targets[i]}" &
    if ((i + 1 < ${#targets[@]})); then
        run_target "${targets[i + 1]}" &
    fi
    wait
done

failed=0
printf '%-20s %12s %8s %8s  %s\n' target executions cov seconds result
for t in "${targets[@]}"; do
    dir=$work/$t
    rc=$(cat "$dir/rc")
    execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$dir/log" | tail -1)
    cov=$(grep -oE '(DONE|INITED|NEW|REDUCE|pulse) +cov: [0-9]+' "$dir/log" | tail -1 |
        grep -oE '[0-9]+$' || true)
    result=ok
    if [ "$rc" != 0 ]; then
        failed=1
        result="FAILED (exit $rc)"
    fi
    printf '%-20s %12s %8s %8s  %s\n' "$t" "${execs:-?}" "${cov:-?}" "$(cat "$dir/seconds")" \
        "$result"
    if [ "$rc" != 0 ]; then
        grep -E 'ERROR:|SUMMARY:|runtime error|fuzz_[a-z_]+: ' "$dir/log" | head -5 | sed 's/^/    /'
        for f in "$dir"/artifacts/*; do
            [ -e "$f" ] && echo "    reproducer: $f  (run: $build/tests/fuzz/$t $f)"
        done
        echo "    log: $dir/log"
    fi
done

if [ "$merge" = 1 ]; then
    echo "== Merging new finds into tests/fuzz/corpus =="
    for t in "${targets[@]}"; do
        mkdir -p "tests/fuzz/corpus/$t"
        "$build/tests/fuzz/$t" -merge=1 "tests/fuzz/corpus/$t" "$work/$t/corpus" \
            >"$work/$t/merge.log" 2>&1 || true
        echo "$t: $(find "tests/fuzz/corpus/$t" -type f | wc -l) files"
    done
fi

exit "$failed"
