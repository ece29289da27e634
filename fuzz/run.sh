#!/usr/bin/env bash
# Builds the fuzzers and runs each for SECONDS: first the saved inputs that once crashed it,
# then fresh fuzzing from the seeds. Exits non-zero when any harness finds a fault.
#
#   fuzz/run.sh SECONDS [harness...]    default: every harness this checkout can build
#                                        (SECONDS 0: the saved inputs and the seeds once each)
#
# TOLVAN_FUZZ_BUILD     build folder (default: build-fuzz under the repository root)
# TOLVAN_FUZZ_PREBUILT  1: use the harnesses already in that folder (the CMake fuzz target)
# TOLVAN_FUZZ_JOBS      parallel compile jobs (default 2)
set -uo pipefail

if [ $# -lt 1 ] || ! [[ $1 =~ ^[0-9]+$ ]]; then
    echo "usage: $0 SECONDS [harness...]" >&2
    exit 2
fi
seconds=$1
shift

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
build=${TOLVAN_FUZZ_BUILD:-$root/build-fuzz}
jobs=${TOLVAN_FUZZ_JOBS:-2}

# Longest input per harness, in bytes: whole example files for the interpreter, small
# inputs elsewhere so that each execution stays fast.
max_len_of() {
    case $1 in
        fuzz_interpreter) echo 20480 ;;
        fuzz_numtext) echo 2048 ;;
        *) echo 4096 ;;
    esac
}

failed=()
harnesses=("$@")
if [ "${TOLVAN_FUZZ_PREBUILT:-0}" != 1 ]; then
    generator=()
    if command -v ninja >/dev/null 2>&1; then
        generator=(-G Ninja)
    fi
    if [ -f "$build/CMakeCache.txt" ]; then
        cmake "$build" >/dev/null || exit 1 # picks up harnesses whose sources appeared since
    else
        cmake -S "$here" -B "$build" "${generator[@]}" -DCMAKE_CXX_COMPILER=clang++ >/dev/null || exit 1
    fi
    if [ ${#harnesses[@]} -eq 0 ]; then
        # Every harness this checkout can build (some need parts of the program that may
        # not exist yet).
        mapfile -t harnesses < "$build/harnesses.txt"
    fi
    # One at a time, so that a harness that does not build still leaves the others running.
    built=()
    mkdir -p "$build/logs"
    for harness in "${harnesses[@]}"; do
        if cmake --build "$build" --parallel "$jobs" --target "$harness" >"$build/logs/build-$harness.log" 2>&1; then
            built+=("$harness")
        else
            echo "== $harness: does not build (log: $build/logs/build-$harness.log)" >&2
            grep -E 'error|FAILED' "$build/logs/build-$harness.log" | head -n 20 >&2
            failed+=("$harness")
        fi
    done
    harnesses=("${built[@]}")
elif [ ${#harnesses[@]} -eq 0 ]; then
    for binary in "$build"/fuzz_*; do
        [ -x "$binary" ] && [ -f "$binary" ] && harnesses+=("$(basename "$binary")")
    done
fi
if [ ${#harnesses[@]} -eq 0 ] && [ ${#failed[@]} -eq 0 ]; then
    echo "no fuzz harness was built in $build" >&2
    exit 1
fi

for harness in "${harnesses[@]}"; do
    binary=$build/$harness
    name=${harness#fuzz_}
    if [ ! -x "$binary" ]; then
        echo "== $harness: not built" >&2
        failed+=("$harness")
        continue
    fi
    corpus=$build/corpus/$name
    artifacts=$build/artifacts/$name
    log=$build/logs/$name.log
    mkdir -p "$corpus" "$artifacts" "$build/logs"

    # Inputs that once found a fault must stay harmless.
    regressions=()
    if [ -d "$here/regressions/$name" ]; then
        while IFS= read -r -d '' file; do
            regressions+=("$file")
        done < <(find "$here/regressions/$name" -type f -print0 | sort -z)
    fi
    if [ ${#regressions[@]} -gt 0 ]; then
        if ! "$binary" "${regressions[@]}" >"$log" 2>&1; then
            echo "== $harness: a saved regression input fails again" >&2
            tail -n 60 "$log" >&2
            failed+=("$harness")
            continue
        fi
        echo "== $harness: ${#regressions[@]} regression inputs pass"
    fi

    options=(-print_final_stats=1 -max_len="$(max_len_of "$harness")" -timeout=25
             -rss_limit_mb=2560 -artifact_prefix="$artifacts/")
    if [ "$seconds" -eq 0 ]; then
        options+=(-runs=0) # the seeds once each; libFuzzer reads a time of 0 as no limit
    else
        options+=(-max_total_time="$seconds")
    fi
    if [ -f "$here/$name.dict" ]; then
        options+=(-dict="$here/$name.dict")
    fi
    seeds=()
    if [ -d "$here/seeds/$name" ]; then
        seeds+=("$here/seeds/$name")
    fi
    # The bundled examples are G-code seeds too, read where they stand.
    if [ "$name" = interpreter ] || [ "$name" = render ]; then
        seeds+=("$root/examples")
    fi
    # New inputs go to the scratch corpus (first folder); the seed folder is only read.
    if "$binary" "${options[@]}" "$corpus" "${seeds[@]}" >"$log" 2>&1; then
        runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
        speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -n 1)
        echo "== $harness: ${runs:-?} executions in ${seconds} s, ${speed:-?} per second, no fault"
    else
        echo "== $harness: FAULT (full log: $log, input saved under $artifacts/)" >&2
        tail -n 60 "$log" >&2
        failed+=("$harness")
    fi
done

if [ ${#failed[@]} -gt 0 ]; then
    echo "fuzzing found faults in: ${failed[*]}" >&2
    exit 1
fi
