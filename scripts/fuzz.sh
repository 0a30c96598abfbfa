#!/usr/bin/env bash
# Builds the libFuzzer targets with clang into build-fuzz/ and runs each for
# the given seconds (default 60) from its seed corpus in tests/fuzz/corpus/.
# New inputs collect in build-fuzz/corpus/; a failing input is kept in
# build-fuzz/findings/. Exits non-zero when any target found a fault.
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${FUZZ_BUILD_DIR:-$root/build-fuzz}"
seconds="${1:-60}"
"$root/scripts/deps.sh"
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DAUDITLOG_FUZZ=ON -DAUDITLOG_BUILD_TESTS=OFF >/dev/null || exit 1
cmake --build "$build" -j"$(nproc)" --target fuzz_targets || exit 1

export ASAN_OPTIONS="detect_leaks=0:halt_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
mkdir -p "$build/findings"
failed=()
printf '%-18s %10s %8s  %s\n' target inputs corpus result
for exe in "$build"/fuzz/fuzz_*; do
    name="$(basename "$exe")"
    seeds="$root/tests/fuzz/corpus/${name#fuzz_}"
    corpus="$build/corpus/${name#fuzz_}"
    mkdir -p "$corpus" "$seeds"
    log="$build/findings/$name.log"
    "$exe" -max_total_time="$seconds" -print_final_stats=1 -max_len=4096 -timeout=10 \
        -artifact_prefix="$build/findings/$name-" "$corpus" "$seeds" >"$log" 2>&1
    status=$?
    runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)"
    if [ $status -eq 0 ]; then
        result=ok
    else
        result="FAILED: $(grep -m1 -E 'invariant failed|ERROR: |runtime error' "$log" | cut -c1-120)"
        failed+=("$name")
    fi
    printf '%-18s %10s %8s  %s\n' "${name#fuzz_}" "${runs:-?}" "$(ls "$corpus" | wc -l)" "$result"
done
if [ ${#failed[@]} -ne 0 ]; then
    echo "fuzz: ${#failed[@]} target(s) failed; logs and inputs in $build/findings/" >&2
    for name in "${failed[@]}"; do
        grep -m1 -A3 -E 'invariant failed|ERROR: |runtime error' "$build/findings/$name.log" >&2
    done
    exit 1
fi
