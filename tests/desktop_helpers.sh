# Helpers of the tests that drive the real program in an X session with
# xdotool; sourced by test_desktop_session.sh and test_editor_session.sh.

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# window NAME: the id of the visible window titled NAME, waiting up to 20 s.
# (A search fails now and then when a window vanishes during it: try again.)
window() {
    local id
    for _ in $(seq 200); do
        id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1) || true
        [ -n "$id" ] && echo "$id" && return 0
        sleep 0.1
    done
    fail "no window \"$1\""
}

# focus NAME: waits (up to 10 s, for a busy machine) until the window titled
# NAME has the keyboard.
focus() {
    local id
    id=$(window "$1")
    for _ in $(seq 100); do
        [ "$(xdotool getwindowfocus 2>/dev/null)" = "$id" ] && return 0
        sleep 0.1
    done
}

# place ID: the window's top-left corner as "X Y".
place() {
    eval "$(xdotool getwindowgeometry --shell "$1")"
    echo "$X $Y"
}

# gone NAME: waits until no visible window is titled NAME.
gone() {
    for _ in $(seq 100); do
        xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1 || return 0
        sleep 0.1
    done
    fail "window \"$1\" stayed open"
}

# answer: OK in the information dialog, then OK in the size report.
answer() {
    focus "Quorbin - Melody file information"
    xdotool key Return
    focus "Quorbin - Saved"
    xdotool key Return
    gone "Quorbin - Saved"
}

# ended PID: waits (up to 10 s) until the process PID has ended.
ended() {
    for _ in $(seq 100); do
        kill -0 "$1" 2>/dev/null || return 0
        sleep 0.1
    done
    return 1
}
