#!/usr/bin/env bash
# The window program in a real X session (run under xvfb-run), driven by real
# key and mouse events: "quorbin FILE.wav" converts FILE, a later start hands
# its file to the running copy, Ctrl+O leads by keyboard alone to a saved file,
# the main window comes back where a dragged dialog was left, two files opened
# together are both converted by one copy, and a start right after the Power
# button shows its window.
# Usage: test_desktop_session.sh QUORBIN SAMPLE.wav [none|openbox]
set -euo pipefail
program=$(realpath "$1")
sample=$2
manager=${3:-none}

work=$(mktemp -d)
cleanup() {
    kill $(jobs -p) 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
export XDG_RUNTIME_DIR=$work/run LANG=C.UTF-8 LC_ALL=C.UTF-8
unset QT_QPA_PLATFORM XDG_SESSION_TYPE
mkdir -m 700 "$XDG_RUNTIME_DIR"
for name in a b c d e; do cp "$sample" "$work/$name.wav"; done

. "$(dirname "$0")/desktop_helpers.sh"

if [ "$manager" = openbox ]; then
    openbox --sm-disable &
    sleep 1
fi

# Open with: the file named on the command line is converted; the dialog is
# dragged by its strip on the way, and the main window comes back there.
"$program" "$work/a.wav" &
main_pid=$!
info=$(window "Quorbin - Melody file information")
read -r x y < <(place "$info")
xdotool mousemove $((x + 100)) $((y + 8)) mousedown 1 mousemove $((x + 130)) $((y + 30)) \
    mousemove $((x + 160)) $((y + 48)) mouseup 1
sleep 0.3
focus "Quorbin - Melody file information"
xdotool key Return
focus "Quorbin - Saved"
xdotool key Return
gone "Quorbin - Saved"
[ -s "$work/a.mld" ] || fail "open with: no a.mld"
sleep 0.5
read -r mx my < <(place "$(window Quorbin)")
[ "$mx $my" = "$((x + 60)) $((y + 40))" ] || fail "main window at $mx,$my, not where the dialog was left ($((x + 60)),$((y + 40)))"

# A later start hands its file to the running copy and ends.
(cd "$work" && timeout 20 "$program" b.wav) || fail "the later start failed"
answer
[ -s "$work/b.mld" ] || fail "hand-over: no b.mld"
sleep 0.5
read -r bx by < <(place "$(window Quorbin)")
[ "$bx $by" = "$mx $my" ] || fail "main window at $bx,$by after the hand-over, not at $mx,$my"

# Keyboard only: Ctrl+O, the file's name, Enter, Enter, Enter.
focus Quorbin
xdotool key ctrl+o
focus "Open a WAVE file"
sleep 0.5
xdotool type --delay 5 "$work/c.wav"
xdotool key Return
answer
[ -s "$work/c.mld" ] || fail "keyboard: no c.mld"

# Esc ends the program.
xdotool windowactivate --sync "$(window Quorbin)" 2>/dev/null || true
xdotool key Escape
ended "$main_pid" || fail "Esc did not end the program"

# Two files opened together start two copies at once: one converts both.
"$program" "$work/d.wav" &
"$program" "$work/e.wav" &
answer
answer
[ -s "$work/d.mld" ] && [ -s "$work/e.mld" ] || fail "two starts at once: not both converted"

# The Power button ends the copy; a start made at once, while it is still
# ending, runs itself and shows its window (within 15 s: the fault this guards
# against was a 20 s hang, and a busy machine needs the room).
read -r px py < <(place "$(window Quorbin)")
xdotool mousemove $((px + 200)) $((py + 90)) click 1
"$program" &
next_pid=$!
for _ in $(seq 150); do
    xdotool search --onlyvisible --pid "$next_pid" --name '^Quorbin$' >/dev/null 2>&1 && break
    sleep 0.1
done
xdotool search --onlyvisible --pid "$next_pid" --name '^Quorbin$' >/dev/null 2>&1 ||
    fail "a start right after the Power button showed no window"
echo "desktop session (window manager: $manager): passed"
