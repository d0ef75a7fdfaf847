#!/usr/bin/env bash
# Builds the fuzz targets with clang in BUILD_DIR and runs each of them for a
# bounded time on its seed corpus, one after the other. Exits non-zero when a
# target reports anything (crash, sanitizer report, leak, timeout, a broken
# check); the input that did it is left in BUILD_DIR/artifacts/ and replayed
# once so that its report is shown.
#
#   fuzz/run-short.sh [BUILD_DIR [SECONDS_PER_TARGET]]   (default: build-fuzz 30)
#
# Inputs found on the way go to BUILD_DIR/corpus-<target>/, never into the
# seed corpora of the tree.
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="${1:-$here/../build-fuzz}"
seconds="${2:-30}"

compiler=""
for candidate in clang++-14 clang++; do
    if command -v "$candidate" >/dev/null 2>&1; then compiler="$candidate"; break; fi
done
if [ -z "$compiler" ]; then
    echo "run-short.sh: no clang++ found (apt-get install clang-14)" >&2
    exit 2
fi

cmake -S "$here" -B "$build" -DCMAKE_CXX_COMPILER="$compiler" >/dev/null || exit 2
cmake --build "$build" -j2 || exit 2
build="$(cd "$build" && pwd)"
mkdir -p "$build/artifacts"

# Every input makes and removes a few dozen small files: a memory file system
# makes that several times faster than a disk.
if [ -z "${TMPDIR:-}" ] && [ -d /dev/shm ] && [ -w /dev/shm ]; then export TMPDIR=/dev/shm; fi
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1}"

status=0
for target in cif cifread polygon pipeline export gdsread; do
    corpus="$build/corpus-$target"
    mkdir -p "$corpus"
    echo "== fuzz_$target: ${seconds}s on fuzz/corpus/$target"
    # The outer timeout only catches a target that stops answering altogether;
    # slow single inputs are caught by -timeout.
    log="$build/fuzz_$target.log"
    timeout --kill-after=10 "$((seconds + 60))" "$build/fuzz_$target" \
        -max_total_time="$seconds" -max_len=4096 -timeout=10 -rss_limit_mb=2048 \
        -close_fd_mask=3 -print_final_stats=1 \
        -artifact_prefix="$build/artifacts/$target-" \
        "$corpus" "$here/corpus/$target" >"$log" 2>&1
    result=$?
    grep -E '^stat::(number_of_executed_units|average_exec_per_sec|new_units_added|peak_rss_mb)' "$log"
    if [ "$result" -ne 0 ]; then
        echo "fuzz_$target: FAILED (status $result), log in $log"
        grep -v '^#[0-9]' "$log" | tail -n 40
        status=1
        for artifact in "$build/artifacts/$target-"*; do
            [ -e "$artifact" ] || continue
            echo "-- replaying $artifact"
            timeout 60 "$build/fuzz_$target" "$artifact" 2>&1 | tail -n 40
        done
    fi
done
exit "$status"
