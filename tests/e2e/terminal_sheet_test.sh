#!/usr/bin/env bash
# The terminal frontend on the test sheet: the caption and the tabs share the top line in page
# order, the sheet has OK and Cancel only, Tab reaches every control in tab order on every
# page, a modal dialog ended by a timer closes by itself, and Cancel resets every created page.
# A larger terminal centres it.
# Usage: terminal_sheet_test.sh <window_test_sheet binary>
source "$(dirname "$0")/tmux_lib.sh"
log="$TMUX_WORK/log"
tmux_start "$1" "$log"
wait_for "Test Sheet"

top=$(tmux_screen | grep -F "Test Sheet")
[[ "$top" == *"Test Sheet ┤Alpha│Beta│Gamma├"* ]] || fail "top line: $top"
bottom=$(tmux_screen | grep -F "[ OK ]")
[[ "$bottom" == *"[ OK ]─[ Cancel ]─┘"* ]] || fail "bottom line: $bottom"
tmux_screen | grep -qF "Apply" && fail "the sheet shows Apply"

last_focus() {
    grep '^focus ' "$log" | tail -1 | cut -d' ' -f2
}

# press <key> <expected focus id>: the key moves the focus there.
press() {
    local before
    before=$(grep -c '^focus ' "$log" || true)
    tmux_keys "$1"
    for _ in $(seq 1 50); do
        [ "$(grep -c '^focus ' "$log" || true)" -gt "$before" ] && break
        sleep 0.1
    done
    [ "$(last_focus)" = "$2" ] || fail "after $1 the focus is on $(last_focus), not $2"
}

for _ in $(seq 1 50); do [ -n "$(last_focus)" ] && break; sleep 0.1; done
[ "$(last_focus)" = 100 ] || fail "the sheet opens with the focus on $(last_focus)"
# Alpha: list, Go, the read-only state box, OK, Cancel, the tab row, and round again.
for id in 101 104 1 2 0 100; do press Tab "$id"; done
press BTab 0
tmux_keys Right
wait_for "Rows sort high to low."
for id in 200 201 1 2 0; do press Tab "$id"; done
tmux_keys Right
wait_for "[ Add ]"
for id in 303 300 301 302 1 2 0; do press Tab "$id"; done

# Back to Beta with Ctrl-PageUp: Scan opens the dialog that the timer ends after 2 s.
tmux_keys C-PageUp
wait_for "[ Scan ]"
press Tab 200
press Tab 201
tmux_keys Enter
wait_for "Scanning, please wait..."
wait_gone "Scanning, please wait..."

# A larger terminal centres the sheet again.
export LC_ALL=C.UTF-8
tmux -L "$TMUX_SOCKET" resize-window -x 100 -y 30
for _ in $(seq 1 50); do
    line=$(tmux_screen | grep -n -F "Test Sheet" | head -1) || true
    [ "${line%%:*}" = 5 ] && break
    sleep 0.1
done
text=${line#*:}
prefix=${text%%┌*}
[ "${line%%:*}" = 5 ] && [ "${#prefix}" = 12 ] || fail "after the resize the sheet starts at line ${line%%:*}, column ${#prefix}"

tmux_keys Escape
status=$(wait_exit)
[ "$status" = 0 ] || fail "exit status $status"
grep -qx "Alpha reset" "$log" || fail "Alpha was not reset"
grep -qx "Beta reset" "$log" || fail "Beta was not reset"
grep -qx "Gamma reset" "$log" || fail "Gamma was not reset"
grep -qx "result 0" "$log" || fail "the sheet did not end with Cancel"
echo "terminal sheet: ok"
