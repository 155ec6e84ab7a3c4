#!/usr/bin/env bash
# Developer entry point: installs what the build needs (Debian 12), builds and
#   tools/dev.sh run    starts Quorbin
#   tools/dev.sh test   runs every test (normal build, then the core under ASan/UBSan,
#                       then the encoder tests on the portable encoder)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
jobs=$(nproc 2>/dev/null || echo 2)

packages=(build-essential cmake pkg-config clang libclang-rt-14-dev libgtest-dev libgmock-dev libbenchmark-dev
          qt6-base-dev qt6-base-dev-tools qt6-multimedia-dev libgl-dev fonts-ipafont-gothic fonts-liberation gettext qt6-translations-l10n
          libsndfile1-dev libsoxr-dev libavformat-dev libavcodec-dev libswresample-dev libavutil-dev
          libavcodec-extra libseccomp-dev nlohmann-json3-dev xvfb xauth strace
          dpkg-dev lintian appstream openbox xdotool fusefat dosfstools eatmydata ffmpeg pulseaudio pulseaudio-utils
          dbus-daemon at-spi2-core python3-pyatspi)

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

# ctest DIR [ctest options]: runs the tests of DIR and adds their counts to the totals.
passed=0
failed=0
run_ctest() {
    local log
    log=$(mktemp)
    local status=0
    ctest --test-dir "$1" --output-on-failure -j"$jobs" "${@:2}" 2>&1 | tee "$log" || status=$?
    local summary
    summary=$(grep -Eo '[0-9]+ tests failed out of [0-9]+' "$log" | tail -n 1)
    rm -f "$log"
    if [ -n "$summary" ]; then
        local f total
        f=$(echo "$summary" | awk '{print $1}')
        total=$(echo "$summary" | awk '{print $NF}')
        passed=$((passed + total - f))
        failed=$((failed + f))
    fi
    return "$status"
}

# lacks DEB PATH...: says which of the paths the package DEB does not hold.
lacks() {
    local deb=$1 contents path
    contents=$(dpkg-deb -c "$deb")
    shift
    for path in "$@"; do
        grep -q " ./$path$" <<<"$contents" || echo "$(basename "$deb") lacks /$path"
    done
}

# Builds the Debian packages from the finished build and inspects them: their
# files, their dependencies (the decoders' libraries only in quorbin-decoders,
# which quorbin recommends), lintian without errors, valid AppStream data, and
# that apt can install them here.
check_package() {
    rm -rf build/package
    (cd build && cpack -G DEB -B package >/dev/null) || return 1
    local main decoders
    main=$(echo build/package/quorbin_*.deb)
    decoders=$(echo build/package/quorbin-decoders_*.deb)
    local problems
    problems=$(lacks "$main" usr/bin/quorbin usr/bin/quorbin-cli usr/share/man/man1/quorbin.1.gz \
                   usr/share/man/man1/quorbin-cli.1.gz usr/share/bash-completion/completions/quorbin-cli \
                   usr/share/metainfo/org.quorbin.Quorbin.metainfo.xml usr/share/mime/packages/quorbin.xml \
                   usr/share/applications/quorbin.desktop usr/share/applications/quorbin-editor.desktop \
                   usr/share/doc/quorbin/copyright usr/share/doc/quorbin/ringtone-editor.png \
                   usr/share/locale/ja/LC_MESSAGES/quorbin.mo
               lacks "$decoders" usr/lib/quorbin/quorbin-decoder usr/lib/quorbin/quorbin-decoders.so \
                   usr/share/doc/quorbin-decoders/copyright)
    dpkg-deb -c "$main" | grep -q "usr/lib/quorbin" && problems+=$'\nquorbin holds the decoders'
    dpkg-deb -f "$main" Depends | grep -q "libqt6widgets6" || problems+=$'\nquorbin does not depend on Qt'
    dpkg-deb -f "$main" Depends | grep -q "libav" && problems+=$'\nquorbin depends on FFmpeg'
    dpkg-deb -f "$main" Recommends | grep -q "quorbin-decoders" || problems+=$'\nquorbin does not recommend quorbin-decoders'
    dpkg-deb -f "$decoders" Depends | grep -q "libavformat" || problems+=$'\nquorbin-decoders does not depend on FFmpeg'
    local status=0
    [ -z "$problems" ] || { echo "$problems"; status=1; }
    lintian --fail-on error "$main" "$decoders" || status=1
    appstreamcli validate --no-net build/packaging/org.quorbin.Quorbin.metainfo.xml >/dev/null || status=1
    apt-get install --simulate "./$main" "./$decoders" >/dev/null || { echo "apt cannot install them"; status=1; }
    [ "$status" -eq 0 ] && echo "packages: $main and $decoders built and inspected"
    return "$status"
}

run_tests() {
    local status=0
    build build
    run_ctest build || status=1
    check_package || status=1
    build build-sanitize -DQUORBIN_CORE_ONLY=ON -DQUORBIN_SANITIZE=ON -DQUORBIN_BENCHMARKS=OFF
    ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 run_ctest build-sanitize || status=1
    # The encoder's fast path once more in plain C++ (no inline assembly, no SSE2): same bytes.
    cmake -S "$root" -B build-portable -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORBIN_CORE_ONLY=ON \
          -DQUORBIN_PORTABLE_ENCODER=ON -DQUORBIN_BENCHMARKS=OFF >/dev/null
    cmake --build build-portable -j"$jobs" --target test_adpcm
    run_ctest build-portable -R '^Adpcm' || status=1
    if [ -x tools/fuzz.sh ]; then tools/fuzz.sh ci || status=1; fi
    echo "tests: $passed passed, $failed failed"
    return "$status"
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
