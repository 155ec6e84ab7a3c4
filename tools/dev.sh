#!/usr/bin/env bash
# Developer entry point: installs what the build needs (Debian 12), builds and
#   tools/dev.sh run    starts Quorbin
#   tools/dev.sh test   runs every test (normal build, then the core under ASan/UBSan)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
jobs=$(nproc 2>/dev/null || echo 2)

packages=(build-essential cmake pkg-config clang libclang-rt-14-dev libgtest-dev libgmock-dev libbenchmark-dev
          qt6-base-dev qt6-base-dev-tools libgl-dev fonts-ipafont-gothic fonts-liberation
          libsndfile1-dev libsoxr-dev xvfb xauth)

install_packages() {
    local missing=()
    for p in "${packages[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    echo "Installing: ${missing[*]}"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

build() { # build DIR [cmake options...]
    local dir=$1; shift
    cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
    cmake --build "$dir" -j"$jobs"
}

run_tests() {
    build build
    ctest --test-dir build --output-on-failure -j"$jobs"
    build build-sanitize -DQUORBIN_CORE_ONLY=ON -DQUORBIN_SANITIZE=ON -DQUORBIN_BENCHMARKS=OFF
    ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
        ctest --test-dir build-sanitize --output-on-failure -j"$jobs"
    if [ -x tools/fuzz.sh ]; then tools/fuzz.sh ci; fi
}

run_program() {
    build build
    if [ -x build/app/quorbin ]; then
        exec build/app/quorbin
    fi
    build/cli/quorbin-cli convert --date 20030601 -o build/sample.mld samples/voice.wav
}

install_packages
case "${1:-}" in
    run) run_program ;;
    test) run_tests ;;
    *) echo "usage: tools/dev.sh run|test" >&2; exit 64 ;;
esac
