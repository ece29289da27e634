#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test: once in a plain build,
# once in a build with AddressSanitizer and UBSan, where any report fails the run; then the
# tests of the threaded load and drawing under ThreadSanitizer; last, every fuzzer replays
# the inputs that once crashed it and fuzzes for a short while.
#
# The window tests spend most of their time waiting for Xvfb and the program, so the next
# build runs beside each test run, at the lowest priority, where it takes only idle time.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"

# background_build LOG COMMAND...: runs COMMAND (a function too) at the lowest priority in
# the background, its output to LOG.
background_build() {
    local log=$1
    shift
    (renice -n 19 -p "$BASHPID" >/dev/null && "$@") >"$log" 2>&1 &
    background_pid=$!
}
trap 'kill $(jobs -p) 2>/dev/null || true' EXIT # a failed test run leaves no build behind
# finish_build LOG WHAT: waits for the background build; on failure shows its log and stops.
finish_build() {
    if ! wait "$background_pid"; then
        echo "$2 failed:"
        cat "$1"
        exit 1
    fi
}
mkdir -p "$root/build-logs"

echo "== plain build"
"$root/scripts/build.sh" "$root/build"

# -O1, as the sanitizers' authors advise: it halves these builds' compile time.
background_build "$root/build-logs/asan.log" "$root/scripts/build.sh" "$root/build-asan" \
    -DTOLVAN_SANITIZE=ON -DTOLVAN_BUILD_BENCH=OFF -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1"
(cd "$root/build" && ctest --output-on-failure --timeout 600 -j2)

echo "== build with AddressSanitizer and UBSan"
finish_build "$root/build-logs/asan.log" "the AddressSanitizer build"
# The threaded load and the bands are what ThreadSanitizer is for: only their tests are built.
tsan_build() {
    cmake -S "$root" -B "$root/build-tsan" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1" -DTOLVAN_TSAN=ON -DTOLVAN_BUILD_BENCH=OFF &&
        cmake --build "$root/build-tsan" --target model_tests view_pixels_test
}
background_build "$root/build-logs/tsan.log" tsan_build
(
    export ASAN_OPTIONS=detect_leaks=1
    export LSAN_OPTIONS=suppressions=$root/tests/sanitizer/lsan.supp:print_suppressions=0
    export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
    # The gigabyte-file test measures memory and time of the real program; under the
    # sanitizers it would only measure the sanitizers, so it runs in the plain build alone.
    cd "$root/build-asan" && ctest --output-on-failure --timeout 900 -j2 -E 'hostile_huge'
)

echo "== ThreadSanitizer: the threaded load, the bands and the replay's kept frames"
finish_build "$root/build-logs/tsan.log" "the ThreadSanitizer build"
export TSAN_OPTIONS="halt_on_error=1 suppressions=$root/tests/sanitizer/tsan.supp"
# Death tests fork, which ThreadSanitizer does not follow once threads have run.
"$root/build-tsan/tests/model/model_tests" --gtest_brief=1 \
    --gtest_filter='Corpus.*:*TwoThreads*:-*DeathTest*'
QT_QPA_PLATFORM=offscreen "$root/build-tsan/tests/view/view_pixels_test" --gtest_brief=1 \
    --gtest_filter='Equivalence.*Band*:ReplayFrames.*'

echo "== fuzzing, 30 seconds per harness"
"$root/fuzz/run.sh" 30
