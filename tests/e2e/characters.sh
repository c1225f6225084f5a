#!/usr/bin/env bash
# End-to-end start-up with the characters under its own Xvfb: with the game data the game
# starts with both characters loaded (no error box, frames run); without
# fidget/fidget_head.md3 it shows message 9, then message 0, and ends with a failure status.
# Arguments: the game executable, the game data directory, an output directory.
set -uo pipefail
name=characters
source "$(dirname "${BASH_SOURCE[0]}")/xvfb_game.bash"

# --- The game data as built: both characters load ---
log="$out/complete.log"
start_game
answer_question Escape
wait_for_frames
# A second title from the counter: a whole second of frames ran after loading (at one
# frame a second the title stays the same, and the wait only runs out).
counter_title() { xwininfo -id "$win" 2>/dev/null | sed -n 's/.*"\(Current Frames Per Second: [0-9]*\)".*/\1/p'; }
first_title="$(counter_title)"
counter_moved() { error_box_shown || [ "$(counter_title)" != "$first_title" ]; }
wait_until 30 counter_moved
screenshot complete
error_box_shown && fail "an error box appeared after start-up"
# Ending with Escape is the window test's business: here the game only has to go away.
xdotool mousemove 512 384 key Escape
wait_exit 30
if [ "$status" = running ]; then
  kill "$gamepid"
  wait_exit 30
fi
echo "complete data: started, no error box"

# --- The same data without fidget/fidget_head.md3 ---
scratch="$out/data"
rm -rf "$scratch"
mkdir -p "$scratch"
cp -rs "$data/." "$scratch/" || fail "could not link the game data"
rm -f "$scratch/fidget/fidget_head.md3"
log="$out/missing_head.log"
start_game "$scratch"
answer_question Escape
# SDL shows each message in the same box window, so a message counts as shown once its line
# is in the log and a box is up; Return on the box moves on to the next message or the end.
errors_logged() { grep -c '^Error: ' "$log"; }
shown=0
for expected in "9 Unable to find the file: fidget/fidget_head.md3!" "0 Unable to load the HEAD model!"; do
  message_boxed() { grep -qF "Error: $expected" "$log" && box="$(window_named Error)" && [ -n "$box" ]; }
  wait_until 90 message_boxed || fail "no error box for \"$expected\""
  shown=$((shown + 1))
  screenshot "missing_head_box$shown"
  xdotool key --window "$box" Return
  answered() { [ "$(errors_logged)" -gt "$shown" ] || ! error_box_shown; }
  wait_until 60 answered || fail "Return did not close the box \"$expected\""
done
wait_exit 60
[ "$status" != running ] || fail "the game did not end after its start-up error"
[ "$status" != 0 ] || fail "a missing head model ended with status 0"
errors="$(grep -c '^Error: ' "$log")"
[ "$errors" = 2 ] || fail "expected 2 messages, got $errors"
rm -rf "$scratch"
echo "missing head: messages 9 then 0, exit status $status"
echo "characters: ok"
