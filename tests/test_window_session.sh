#!/usr/bin/env bash
# The main window as a new user meets it, in a real X session driven by xdotool
# (run under xvfb-run and dbus-run-session). What the windows show is read
# through the accessibility tree, as a screen reader finds it.
# Usage: test_window_session.sh QUORBIN DRAG_SOURCE SAMPLE.wav A11Y_TREE AT_SPI_BUS_LAUNCHER [none|openbox]
set -euo pipefail
program=$(realpath "$1")
drag_source=$(realpath "$2")
sample=$(realpath "$3")
a11y_tree=$(realpath "$4")
bus_launcher=$5
manager=${6:-none}

work=$(mktemp -d)
cleanup() {
    kill $(jobs -p) 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
export HOME=$work/home XDG_RUNTIME_DIR=$work/run LANG=C.UTF-8 LC_ALL=C.UTF-8 QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
unset QT_QPA_PLATFORM XDG_SESSION_TYPE LANGUAGE
mkdir -p "$HOME" && mkdir -m 700 "$XDG_RUNTIME_DIR"

. "$(dirname "$0")/desktop_helpers.sh"

# centre NAME: the screen point at the middle of the window titled NAME, as "X Y".
centre() {
    eval "$(xdotool getwindowgeometry --shell "$(window "$1")")"
    echo "$((X + WIDTH / 2)) $((Y + HEIGHT / 2))"
}

# screen_reader_finds TEXT: waits (up to 10 s) until an object of the program
# reads "role<TAB>name<TAB>description" matching the extended regular expression TEXT.
screen_reader_finds() {
    for _ in $(seq 50); do
        /usr/bin/python3 "$a11y_tree" quorbin 2>/dev/null | grep -qE -- "$1" && return 0
        sleep 0.2
    done
    /usr/bin/python3 "$a11y_tree" quorbin >&2 || true
    fail "the accessibility tree has no \"$1\""
}

# start [ARGS...]: the program in the folder $shown, with ARGS.
start() {
    (cd "$shown" && exec "$program" "$@") &
    program_pid=$!
}

stop() {
    kill "$program_pid" 2>/dev/null || true
    wait "$program_pid" 2>/dev/null || true
}

# ---- the cases ----------------------------------------------------------------

click_opens_chooser() {
    start
    read -r x y < <(centre Quorbin)
    xdotool mousemove "$x" "$y" click 1
    focus "Open a WAVE file"
    xdotool key Escape
}

full_path_in_shown_folder_converts() {
    start
    focus Quorbin
    xdotool key ctrl+o
    focus "Open a WAVE file"
    sleep 0.5
    xdotool type --delay 5 "$shown/a.wav"
    xdotool key Return
    answer
    [ -s "$shown/a.mld" ] || fail "no a.mld"
}

two_file_drop_converts_both() {
    start
    "$drag_source" "$shown/b.wav" "$shown/c.wav" >/dev/null &
    local source_pid=$!
    window "drag source" >/dev/null
    read -r x y < <(centre Quorbin)
    # Slow enough for the drop target's answer to reach the source before the release.
    xdotool mousemove 60 40 mousedown 1 sleep 0.2 mousemove 200 150 sleep 0.2 mousemove "$x" "$y" sleep 0.5 \
        mousemove $((x + 4)) "$y" sleep 0.5 mouseup 1
    answer
    answer
    kill "$source_pid"
    [ -s "$shown/b.mld" ] && [ -s "$shown/c.mld" ] || fail "not both converted"
}

stereo_box_leads_to_the_editor() {
    start "$shown/stereo.wav"
    focus "Quorbin - Error"
    screen_reader_finds $'^label\tThis WAVE format not supported\\\\n44100 Hz, 2 channels, 16-bit PCM\\\\nopen it in the ringtone editor \\(Ctrl\\+E\\)\t'
    screen_reader_finds $'^image\tCaution! This WAVE format not supported\t44100 Hz'
    screen_reader_finds $'^push button\tClose\t'
    xdotool key ctrl+e
    focus "Quorbin Ringtone Editor"
    # The editor has the half-second recording.
    screen_reader_finds $'^filler\tWaveform\tSelection from 0:00\\.0 to 0:00\\.5;'
}

japanese_chooser() {
    LANGUAGE=ja start
    focus Quorbin
    xdotool key ctrl+o
    focus "WAVE ファイルを開く"
    screen_reader_finds $'^push button\t開く\\(O\\)\t'
    screen_reader_finds $'^push button\tキャンセル\t'
    screen_reader_finds $'^label\tファイル名\\(N\\):\t'
    xdotool key Escape
}

cases=(
    click_opens_chooser                  # a click on the drop space opens the file chooser
    full_path_in_shown_folder_converts   # a full path typed into the chooser, in the folder it shows
    two_file_drop_converts_both          # a real drop of two files converts both, in order
    stereo_box_leads_to_the_editor       # the reason and the way out under the message; Ctrl+E takes it
    japanese_chooser                     # the chooser in Japanese when the user's language is
)

# The folder the program starts in, which its file chooser shows. The folders
# above it each hold one entry, so the shown folder and its parent have the
# same row in their folders' listings: the case in which Qt's chooser once
# kept the folder selected beside a typed full path and went into it.
shown=$work/one/only/w
mkdir -p "$shown"
for name in a b c; do cp "$sample" "$shown/$name.wav"; done
/usr/bin/python3 - "$shown/stereo.wav" <<'EOF'
import sys, wave
with wave.open(sys.argv[1], "wb") as out:
    out.setnchannels(2)
    out.setsampwidth(2)
    out.setframerate(44100)
    out.writeframes(b"\x00\x10" * 2 * 22050)
EOF

"$bus_launcher" --launch-immediately >/dev/null 2>&1 &
if [ "$manager" = openbox ]; then
    openbox --sm-disable &
fi
sleep 1

for name in "${cases[@]}"; do
    echo "-- $name"
    "$name"
    stop
done
echo "main window session (window manager: $manager): passed"
