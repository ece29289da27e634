#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test: once in a plain build,
# once in a build with AddressSanitizer and UBSan, where any report fails the run; then
# every fuzzer replays the inputs that once crashed it and fuzzes for a short while.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"

echo "== plain build"
"$root/scripts/build.sh" "$root/build"
(cd "$root/build" && ctest --output-on-failure --timeout 600 -j2)

echo "== build with AddressSanitizer and UBSan"
# -O1, as the sanitizers' authors advise: it halves this build's compile time.
"$root/scripts/build.sh" "$root/build-asan" -DTOLVAN_SANITIZE=ON -DTOLVAN_BUILD_BENCH=OFF \
    -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1"
export ASAN_OPTIONS=detect_leaks=1
export LSAN_OPTIONS=suppressions=$root/tests/sanitizer/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# The gigabyte-file test measures memory and time of the real program; under the
# sanitizers it would only measure the sanitizers, so it runs in the plain build alone.
(cd "$root/build-asan" && ctest --output-on-failure --timeout 900 -j2 -E 'hostile_huge')

echo "== fuzzing, 30 seconds per harness"
"$root/fuzz/run.sh" 30
