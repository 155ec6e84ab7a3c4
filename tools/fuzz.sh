#!/usr/bin/env bash
# Fuzzing of the WAVE reader and the melody file builder (libFuzzer, ASan, UBSan).
#   tools/fuzz.sh ci               build, run 60 s from the seed corpus, fail on any finding
#   tools/fuzz.sh long [seconds]   longer run (default 3600 s) that keeps its corpus in fuzz-out/
#   tools/fuzz.sh coverage         line coverage of audio/ and mld/ over the seeds and fuzz-out/corpus
#   tools/fuzz.sh repro FILE...    run the target once on the given inputs
# Needs clang and its runtime libraries (Debian 12: clang libclang-rt-14-dev llvm-14).
# Extra libFuzzer flags may be passed in FUZZ_FLAGS.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
cxx=${FUZZ_CXX:-clang++}
build_dir=$root/build-fuzz
out_dir=$root/fuzz-out
seeds=$root/fuzz/corpus
long_seeds=$root/fuzz/corpus-long   # replayed once per run: too big to mutate quickly
jobs=$(( $(nproc 2>/dev/null || echo 2) < 2 ? 1 : 2 ))
read -r -a extra_flags <<< "${FUZZ_FLAGS:-}"

die() { echo "fuzz.sh: $*" >&2; exit 2; }

check_toolchain() {
    command -v "$cxx" >/dev/null || die "$cxx not found (install clang)"
    command -v cmake >/dev/null || die "cmake not found"
    local probe
    probe=$(mktemp -d)
    printf 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long) { return 0; }\n' > "$probe/p.cpp"
    if ! "$cxx" -fsanitize=fuzzer,address,undefined "$probe/p.cpp" -o "$probe/p" 2>"$probe/err"; then
        cat "$probe/err" >&2
        rm -rf "$probe"
        die "$cxx cannot link a libFuzzer target (install libclang-rt-14-dev)"
    fi
    rm -rf "$probe"
}

build() { # build DIR [cmake options...]
    local dir=$1; shift
    cmake -S "$root/fuzz" -B "$dir" -DCMAKE_CXX_COMPILER="$cxx" "$@" >/dev/null
    cmake --build "$dir" -j"$jobs" >/dev/null
}

# run_fuzzer SECONDS WORK_CORPUS: new inputs go to WORK_CORPUS, findings to fuzz-out/.
run_fuzzer() {
    local seconds=$1 work=$2
    mkdir -p "$work" "$out_dir"
    export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
    export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
    "$build_dir/fuzz_parse_build" -artifact_prefix="$out_dir/" "$long_seeds"/* || return
    "$build_dir/fuzz_parse_build" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$out_dir/" "${extra_flags[@]}" "$work" "$seeds" || return
    # The melody file reader alone, from the same seeds (their .mld files).
    mkdir -p "$work-mld"
    "$build_dir/fuzz_mld_reader" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$out_dir/" "${extra_flags[@]}" "$work-mld" "$seeds"
}

ci() {
    check_toolchain
    build "$build_dir"
    local scratch status=0
    scratch=$(mktemp -d)
    run_fuzzer 60 "$scratch/corpus" || status=$?
    rm -rf "$scratch"
    if [ "$status" -ne 0 ]; then
        echo "fuzz.sh: finding (exit $status): the input is named above (fuzz-out/crash-* when found by mutation); replay it with tools/fuzz.sh repro FILE" >&2
        exit 1
    fi
}

long() {
    check_toolchain
    build "$build_dir"
    run_fuzzer "${1:-3600}" "$out_dir/corpus"
}

coverage() {
    command -v llvm-profdata-14 >/dev/null || die "llvm-profdata-14 not found (install llvm-14)"
    build "$root/build-fuzz-coverage" -DQUORBIN_FUZZ_COVERAGE=ON
    local target=$root/build-fuzz-coverage/fuzz_parse_build profiles
    profiles=$(mktemp -d)
    local inputs=("$seeds" "$long_seeds")
    [ -d "$out_dir/corpus" ] && inputs+=("$out_dir/corpus")
    LLVM_PROFILE_FILE="$profiles/run.profraw" "$target" -runs=0 "${inputs[@]}" >/dev/null 2>&1
    llvm-profdata-14 merge -sparse "$profiles/run.profraw" -o "$profiles/run.profdata"
    llvm-cov-14 report "$target" -instr-profile="$profiles/run.profdata" "$root/audio" "$root/mld"
    rm -rf "$profiles"
}

repro() {
    [ $# -gt 0 ] || die "repro needs input files"
    check_toolchain
    build "$build_dir"
    "$build_dir/fuzz_parse_build" "$@"
}

case "${1:-}" in
    ci) ci ;;
    long) shift; long "$@" ;;
    coverage) coverage ;;
    repro) shift; repro "$@" ;;
    *) echo "usage: tools/fuzz.sh ci | long [seconds] | coverage | repro FILE..." >&2; exit 64 ;;
esac
