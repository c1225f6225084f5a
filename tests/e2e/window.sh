#!/usr/bin/env bash
# End-to-end run of the real game under its own Xvfb: the full-screen question, the window
# and its frames-per-second title, mouse look, and Escape ending the game with status 0.
# Arguments: the game executable, the game data directory, an output directory.
set -uo pipefail
name=window
source "$(dirname "${BASH_SOURCE[0]}")/xvfb_game.bash"

# The game's window (class Korvalis) and its title.
game_window() {
  xwininfo -root -tree 2>/dev/null | awk 'index($0, "(\"Korvalis\" \"Korvalis\")") {print $1; exit}'
}
window_title() { xwininfo -id "$1" 2>/dev/null | sed -n 's/^xwininfo: Window id: [^"]*"\(.*\)"$/\1/p'; }

# --- Escape answers No: a 1024x768 window titled by the frame counter ---
log="$out/game-windowed.log"
start_game
wait_until 90 question_shown || fail "no question box"
xwininfo -root -tree | grep -q 'Click Yes\|"Options"' || fail "question box has no caption"
answer_question Escape strict

# Until frames run (their counter renames the window); the title before that is noted.
title=""
seen_korvalis_title=no
fps_pattern='^Current Frames Per Second: [0-9]+$'
titled_by_counter() {
  error_box_shown && return 0
  win="$(game_window)"
  [ -n "$win" ] || return 1
  title="$(window_title "$win")"
  [ "$title" = Korvalis ] && seen_korvalis_title=yes
  [[ "$title" =~ $fps_pattern ]]
}
wait_until 120 titled_by_counter
error_box_shown && { screenshot error; fail "start-up showed an error box (see $out/error.png)"; }
[ -n "$win" ] || fail "no game window (class Korvalis)"
info="$(xwininfo -id "$win")"
echo "$info" | grep -q 'Width: 1024' || fail "window is not 1024 wide"
echo "$info" | grep -q 'Height: 768' || fail "window is not 768 high"
echo "first title seen as \"Korvalis\": $seen_korvalis_title"
[[ "$title" =~ $fps_pattern ]] || fail "title is \"$title\""
echo "title: $title"

# Mouse look: the view turns when the mouse moves. Two shots of a still view give the
# baseline of what changes by itself (animations); a turn must change much more. The turn
# shows once the game has drawn a frame after the move: screenshots until it does.
xdotool mousemove 512 384
still=0
turned=0
view_still() {
  screenshot still1 || return 1
  sleep 0.5
  screenshot still2 || return 1
  still="$(changed_pixels still1 still2 2%)"
  # Bots walking across the view can change a lot; wait for a calmer moment.
  [ "$still" -lt 10000 ]
}
wait_until 60 view_still
xdotool mousemove 812 384
view_turned() {
  screenshot turned || return 1
  turned="$(changed_pixels still2 turned 2%)"
  [ "$turned" -gt 20000 ] && [ "$turned" -gt $((still * 2)) ]
}
wait_until 60 view_turned
echo "changed pixels: still $still, turned $turned"
[ "$turned" -gt 20000 ] || fail "the view did not turn ($turned pixels changed)"
[ "$turned" -gt $((still * 2)) ] || fail "turning changed no more than standing still"

xdotool key Escape
wait_exit 60
[ "$status" = 0 ] || fail "Escape ended the windowed game with status $status"

# --- Return answers Yes: full screen at 1024x768 ---
log="$out/game-fullscreen.log"
start_game
answer_question Return strict
window_shown() { win="$(game_window)"; [ -n "$win" ]; }
wait_until 120 window_shown || fail "no full-screen game window"
info="$(xwininfo -id "$win")"
echo "$info" | grep -q 'Absolute upper-left X: *0$' || fail "full-screen window not at x 0"
echo "$info" | grep -q 'Absolute upper-left Y: *0$' || fail "full-screen window not at y 0"
echo "$info" | grep -q 'Width: 1024' || fail "full-screen window is not 1024 wide"
echo "$info" | grep -q 'Height: 768' || fail "full-screen window is not 768 high"
wait_for_frames
xdotool key Escape
wait_exit 60
[ "$status" = 0 ] || fail "Escape ended the full-screen game with status $status"

echo "window: ok"
