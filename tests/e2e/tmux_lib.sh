# Helpers for end-to-end tests that run a program in its own tmux server, 80 x 24, as a person
# would: type keys, read the screen. Source it, then call tmux_start.
set -euo pipefail

TMUX_WORK=$(mktemp -d)
TMUX_RUNS=0
TMUX_SOCKET=""

tmux_cleanup() {
    local i
    for i in $(seq 1 "$TMUX_RUNS"); do
        tmux -L "lw-e2e-$$-$i" kill-server 2>/dev/null || true
    done
    rm -rf "$TMUX_WORK"
}
trap tmux_cleanup EXIT
trap 'echo "FAIL: line $LINENO: $BASH_COMMAND"' ERR

if ! command -v tmux >/dev/null; then
    echo "tmux is not installed; skipping"
    exit 77
fi

# tmux_start <command...>: runs the command in a fresh pane, 80 x 24 unless TMUX_COLS and
# TMUX_LINES say otherwise. When it ends, its exit status goes to $TMUX_WORK/status, and the
# pane stays for inspection. A hang-up of the terminal does not stop the shell that records it.
tmux_start() {
    local cmd
    rm -f "$TMUX_WORK/status"
    # Each run has a server of its own: a server that was just killed may still hold its socket.
    TMUX_RUNS=$((TMUX_RUNS + 1))
    TMUX_SOCKET="lw-e2e-$$-$TMUX_RUNS"
    cmd=$(printf '%q ' "$@")
    tmux -L "$TMUX_SOCKET" -f /dev/null new-session -d -x "${TMUX_COLS:-80}" -y "${TMUX_LINES:-24}" \
        "trap '' HUP; env LANG=C.UTF-8 TERM=xterm-256color $cmd 2>$TMUX_WORK/stderr; echo \$? > $TMUX_WORK/status; sleep 600"
}

tmux_stop() {
    tmux -L "$TMUX_SOCKET" kill-server 2>/dev/null || true
}

tmux_screen() {
    tmux -L "$TMUX_SOCKET" capture-pane -p
}

tmux_keys() {
    tmux -L "$TMUX_SOCKET" send-keys "$@"
}

fail() {
    echo "FAIL: $*"
    echo "--- screen ---"
    tmux_screen || true
    exit 1
}

# wait_for <fixed text>: until the screen shows it (10 s at most).
wait_for() {
    for _ in $(seq 1 100); do
        tmux_screen | grep -qF -- "$1" && return 0
        sleep 0.1
    done
    fail "the screen never showed '$1'"
}

# wait_gone <fixed text>: until the screen no longer shows it.
wait_gone() {
    for _ in $(seq 1 100); do
        tmux_screen | grep -qF -- "$1" || return 0
        sleep 0.1
    done
    fail "the screen still shows '$1'"
}

# wait_exit: until the program has ended; prints its exit status.
wait_exit() {
    for _ in $(seq 1 100); do
        if [ -s "$TMUX_WORK/status" ]; then
            cat "$TMUX_WORK/status"
            return 0
        fi
        sleep 0.1
    done
    fail "the program did not end"
}
