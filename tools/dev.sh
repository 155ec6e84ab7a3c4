#!/usr/bin/env bash
# Developer entry point on Debian 12: installs the packages that are missing,
# builds with the presets of CMakePresets.json and
#   tools/dev.sh run    starts Quorbin
#   tools/dev.sh test   runs every test (preset default, then sanitizers: the Qt-free
#                       programs under ASan/UBSan, then portable: the encoder tests on
#                       the portable encoder), the package checks and the fuzz targets
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc 2>/dev/null || echo 2)

# What building and running needs.
build_packages=(build-essential cmake pkg-config libgtest-dev libgmock-dev libbenchmark-dev
                qt6-base-dev qt6-base-dev-tools qt6-multimedia-dev libgl-dev fonts-ipafont-gothic fonts-liberation
                gettext qt6-translations-l10n libsndfile1-dev libsoxr-dev libavformat-dev libavcodec-dev
                libswresample-dev libavutil-dev libavcodec-extra libseccomp-dev nlohmann-json3-dev python3)
# What the tests need besides: the fuzz targets' compiler, a display, the
# package checks (with the shells whose completions are checked), file systems
# and sound for the session tests.
test_packages=(clang libclang-rt-14-dev xvfb xauth strace dpkg-dev lintian appstream openbox xdotool fusefat
               dosfstools eatmydata ffmpeg sox pulseaudio pulseaudio-utils dbus-daemon at-spi2-core python3-pyatspi
               zsh fish)

# install_packages PACKAGE...: apt-get runs only when one of them is missing.
install_packages() {
    local missing=()
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    echo "Installing: ${missing[*]}"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

build() { # build PRESET: configures and builds the preset's tree
    cmake --preset "$1" >/dev/null
    cmake --build --preset "$1" -j"$jobs"
}

# run_ctest PRESET: runs the preset's tests and adds the counts of their JUnit
# report to the totals; the status is ctest's own.
passed=0
failed=0
skipped=0
run_ctest() {
    local report status=0
    report=$(mktemp --suffix=.xml)
    ctest --preset "$1" -j"$jobs" --output-junit "$report" || status=$?
    local counts
    counts=$(python3 - "$report" <<'PYTHON'
import sys, xml.etree.ElementTree as tree
suite = tree.parse(sys.argv[1]).getroot()
total, failures, skipped = (int(suite.get(key, 0)) for key in ("tests", "failures", "skipped"))
print(total - failures - skipped, failures, skipped)
PYTHON
) || counts="0 1 0"
    rm -f "$report"
    local p f s
    read -r p f s <<< "$counts"
    passed=$((passed + p))
    failed=$((failed + f))
    skipped=$((skipped + s))
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
                   usr/share/zsh/vendor-completions/_quorbin-cli usr/share/fish/vendor_completions.d/quorbin-cli.fish \
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
    install_packages "${build_packages[@]}" "${test_packages[@]}"
    local status=0
    build default
    run_ctest default || status=1
    check_package || status=1
    build sanitizers
    run_ctest sanitizers || status=1
    # The encoder's fast path once more in plain C++ (no inline assembly, no SSE2): same bytes.
    build portable
    run_ctest portable || status=1
    tools/fuzz.sh ci || status=1
    echo "tests: $passed passed, $failed failed, $skipped skipped"
    return "$status"
}

run_program() {
    install_packages "${build_packages[@]}"
    build default
    if [ -x build/app/quorbin ]; then
        exec build/app/quorbin
    fi
    build/cli/quorbin-cli convert --date 20030601 -o build/sample.mld samples/voice.wav
}

case "${1:-}" in
    run) run_program ;;
    test) run_tests ;;
    *) echo "usage: tools/dev.sh run|test" >&2; exit 64 ;;
esac
