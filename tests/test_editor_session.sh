#!/usr/bin/env bash
# The ringtone editor in a real X session (run under xvfb-run) with the real
# decoders, driven by real key and mouse events and heard through a PulseAudio
# null sink that this test starts: an .m4a moved by keys and a long WAVE moved
# by the mouse and the value fields are saved exactly as the command line
# saves the same choices (apart from the date, which both take from today); a
# selection dragged past what a melody file holds stops at the limit; a
# 1-hour recording opens while the window goes on answering; Play sends the
# selection's sound to the sound system (a 1 kHz tone arrives as 1 kHz).
# Usage: test_editor_session.sh QUORBIN QUORBIN-CLI
set -euo pipefail
program=$(realpath "$1")
cli=$(realpath "$2")

work=$(mktemp -d)
export XDG_RUNTIME_DIR=$work/run HOME=$work LANG=C.UTF-8 LC_ALL=C.UTF-8
cleanup() {
    kill $(jobs -p) 2>/dev/null || true
    pulseaudio --kill 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
unset QT_QPA_PLATFORM XDG_SESSION_TYPE PULSE_SERVER SOURCE_DATE_EPOCH
mkdir -m 700 "$XDG_RUNTIME_DIR"

. "$(dirname "$0")/desktop_helpers.sh"

editor="Quorbin Ringtone Editor"
today=$(date +%Y%m%d)
quiet_ffmpeg() { ffmpeg -nostdin -loglevel error -y "$@"; }
quiet_ffmpeg -f lavfi -i "sine=frequency=1000:duration=40.8:sample_rate=44100" -af volume=4 -c:a aac "$work/tone.m4a"
quiet_ffmpeg -f lavfi -i "sine=frequency=440:duration=180:sample_rate=44100" -ac 2 -c:a pcm_s16le "$work/long.wav"
quiet_ffmpeg -f lavfi -i "sine=frequency=440:duration=3600:sample_rate=8000" -c:a libmp3lame -b:a 8k "$work/hour.mp3"

pulseaudio -n --daemonize=yes --exit-idle-time=-1 --system=false -L module-native-protocol-unix \
    -L "module-null-sink sink_name=nullsink" 2>/dev/null
pactl set-default-sink nullsink

# next: Enter until the information dialog shows (the editor waits for the
# decoding to end), then OK there and in the size report.
next() {
    for _ in $(seq 40); do
        xdotool key Return
        sleep 0.25
        xdotool search --onlyvisible --name "^Quorbin - Melody file information\$" >/dev/null 2>&1 && break
    done
    answer
}

# same_as_cli MELODY RECORDING OPTIONS...: the editor's melody file is the command line's.
same_as_cli() {
    local melody=$1 recording=$2
    shift 2
    "$cli" convert -q --date "$today" -o "$work/expected.mld" "$@" "$recording" 2>/dev/null
    cmp "$melody" "$work/expected.mld" || fail "$(basename "$melody") differs from convert $*"
    rm "$melody"
}

# The waveform's left end and middle on the screen: 400 pixels for the whole recording.
wave_at() {
    local x y
    read -r x y < <(place "$(window "$editor")")
    echo "$((x + 10)) $((y + 42 + 44))"
}

# Keys: twenty seconds on, then Next.
"$program" --edit "$work/tone.m4a" &
program_pid=$!
focus "$editor"
sleep 0.5
xdotool key --delay 20 $(printf 'Right %.0s' $(seq 20))
next
same_as_cli "$work/tone.mld" "$work/tone.m4a" --resample --rate 8000 --start 20

# Mouse: a later start hands the long WAVE over. A click puts the start at
# 200 px (90 s), the end edge dragged far right stops at the limit, the
# selection dragged by 20 px moves 9 s; then Tab to the fade-in field, five
# steps up (0.5 s), Tab twice to the rate, one step up (11025 Hz), Enter.
timeout 20 "$program" --edit "$work/long.wav" || fail "the hand-over to the editor failed"
sleep 1.5
read -r wx wy < <(wave_at)
xdotool mousemove $((wx + 200)) "$wy" click 1
sleep 0.2
xdotool mousemove $((wx + 236)) "$wy" mousedown 1 mousemove $((wx + 300)) "$wy" mousemove $((wx + 399)) "$wy" mouseup 1
xdotool mousemove $((wx + 210)) "$wy" mousedown 1 mousemove $((wx + 220)) "$wy" mousemove $((wx + 230)) "$wy" mouseup 1
xdotool key Tab Tab Tab Up Up Up Up Up Tab Tab Up Return
next
same_as_cli "$work/long.mld" "$work/long.wav" --resample --rate 11025 --start 99 --fade-in 500

# By ear: the 1 kHz tone again, played into the null sink and recorded from its monitor.
timeout 20 "$program" --edit "$work/tone.m4a" || fail "the hand-over to the editor failed"
sleep 1.5
parec -d nullsink.monitor --raw --format=s16le --rate=8000 --channels=1 >"$work/heard.raw" &
recorder=$!
sleep 0.3
xdotool key space
sleep 4
xdotool key space
kill "$recorder"
wait "$recorder" 2>/dev/null || true
# The sound's frequency from its zero crossings between its first and last loud sample.
read -r loud hertz < <(od -An -t d2 -v "$work/heard.raw" | awk '
    { for (i = 1; i <= NF; i++) { v[n++] = $i; if ($i > 1000 || $i < -1000) { loud++; if (!first) first = n; last = n } } }
    END {
        for (k = first; k < last; k++) { s = v[k] > 0 ? 1 : (v[k] < 0 ? -1 : 0)
            if (s != 0) { if (sign != 0 && s != sign) crossings++; sign = s } }
        printf "%d %.0f\n", loud, (last > first ? crossings / 2 / ((last - first) / 8000) : 0) }')
[ "$loud" -ge 8000 ] || fail "Play: only $loud loud samples reached the sound system"
[ "$hertz" -ge 990 ] && [ "$hertz" -le 1010 ] || fail "Play: a 1 kHz tone arrived as $hertz Hz"

# An hour: the window keeps answering (its strip drags it at once) while the
# recording is read, and a selection near its start saves as on the command line.
timeout 20 "$program" --edit "$work/hour.mp3" || fail "the hand-over to the editor failed"
read -r x y < <(place "$(window "$editor")")
xdotool mousemove $((x + 100)) $((y + 8)) mousedown 1 mousemove $((x + 120)) $((y + 20)) \
    mousemove $((x + 140)) $((y + 30)) mouseup 1
sleep 0.3
read -r mx my < <(place "$(window "$editor")")
[ "$mx $my" = "$((x + 40)) $((y + 22))" ] || fail "the editor did not follow its strip while reading an hour"
xdotool key --delay 20 Home Right Right Right Right Right
next
same_as_cli "$work/hour.mld" "$work/hour.mp3" --resample --rate 8000 --start 5

# Esc closes the editor, and with it the program.
xdotool key Escape
ended "$program_pid" || fail "Esc did not end the program"
echo "editor session: passed"
