#!/usr/bin/env bash
# hookprompt in a terminal, as a person uses it: the window shows the caption and the prompt,
# stays where it is when the terminal is resized, and OK (Enter), Escape or a hang-up of the
# terminal end it with exit status 0. Without a terminal, or in one too small, it says so and
# ends with status 1.
# Usage: hookprompt_test.sh <hookprompt binary>
source "$(dirname "$0")/tmux_lib.sh"
export LC_ALL=C.UTF-8  # count characters, not bytes
prog=$1

# Where a text stands on the screen: "line:column", both counted from 0, in characters.
position_of() {
    local n=0 line prefix
    while IFS= read -r line; do
        if [[ "$line" == *"$1"* ]]; then
            prefix=${line%%"$1"*}
            echo "$n:${#prefix}"
            return
        fi
        n=$((n + 1))
    done < <(tmux_screen)
}

tmux_start "$prog" ignored arguments
wait_for "PLC Configuration Utility - Connect Hardware"
wait_for "To complete the installation of your PLC Bridge,"
wait_for "plug it into an Ethernet port on your PC now."
wait_for "Press the OK button below when finished."
wait_for "[ OK ]"
before=$(position_of "To complete")
[ "$before" = "11:15" ] || fail "the prompt starts at $before, not centred"
tmux -L "$TMUX_SOCKET" resize-window -x 100 -y 30
for _ in $(seq 1 20); do  # the window is redrawn after the resize; it must not move
    sleep 0.1
    after=$(position_of "To complete")
    [ -n "$after" ] && [ "$after" != "$before" ] && fail "the prompt moved from $before to $after on resize"
done
[ "$after" = "$before" ] || fail "the prompt is gone after the resize"
tmux_keys Enter
status=$(wait_exit)
[ "$status" = 0 ] || fail "OK: exit status $status"
tmux_stop

tmux_start "$prog"
wait_for "[ OK ]"
tmux_keys Escape
status=$(wait_exit)
[ "$status" = 0 ] || fail "Escape: exit status $status"
tmux_stop

tmux_start "$prog"
wait_for "[ OK ]"
tmux -L "$TMUX_SOCKET" respawn-pane -k "sleep 600"  # the program's terminal hangs up
status=$(wait_exit)
[ "$status" = 0 ] || fail "hang-up: exit status $status"
tmux_stop

TMUX_COLS=50 TMUX_LINES=12 tmux_start "$prog"
status=$(wait_exit)
[ "$status" = 1 ] || fail "small terminal: exit status $status"
grep -q "needs at least 65 columns and 14 lines" "$TMUX_WORK/stderr" || fail "small terminal: $(cat "$TMUX_WORK/stderr")"
tmux_stop

status=0
message=$("$prog" </dev/null 2>&1 >/dev/null) || status=$?
[ "$status" = 1 ] || fail "no terminal: exit status $status"
[[ "$message" == *"must be a terminal"* ]] || fail "no terminal: $message"
echo "hookprompt: ok"
