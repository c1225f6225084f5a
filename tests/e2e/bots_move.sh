#!/usr/bin/env bash
# The bots move: the real game under its own Xvfb display with KORVALIS_BOT_POSITIONS set
# prints both bots' positions once a second. With the F4 panel on, both bots must move more
# than 100 units within 15 printed positions (20 seconds on an idle machine; a busy one only
# takes longer), the panel must show in a screenshot, and Escape must still end the game with
# status 0.
# Arguments: game executable, game data directory, output directory.
set -uo pipefail
name=bots_move
source "$(dirname "${BASH_SOURCE[0]}")/xvfb_game.bash"

start_windowed_game KORVALIS_BOT_POSITIONS=1

# The information panel (F4) about bot 0.
xdotool mousemove --window "$win" 512 384 2>/dev/null
xdotool windowfocus --sync "$win" 2>/dev/null
xdotool key --window "$win" F4

# The panel's lines run down the left edge from y 25 to 250: white text there.
white=0
panel_shown() {
  import -window root "$shot" 2>/dev/null || return 1
  white="$(white_pixels "$name" 600x240+0+40)"
  [ "$white" -ge 500 ]
}
wait_until 60 panel_shown
echo "bots_move: $white white pixels in the panel"
[ "$white" -ge 500 ] || fail "no information panel on the screen"

position_lines() { grep -c '^bots ' "$log"; }
enough_lines() { [ "$(position_lines)" -ge 16 ]; }
wait_until 240 enough_lines || fail "only $(position_lines) position lines"
first="$(grep '^bots ' "$log" | head -n 2 | tail -n 1)"
last="$(grep '^bots ' "$log" | tail -n 1)"
echo "bots_move: $first"
echo "bots_move: $last"
moved() {  # bot $1 got more than 100 units from where it stood at the first line
  local d
  d="$(bot_farthest $((6 + 7 * $1)) "$(field "$first" 25)" "$(field "$last" 25)")"
  awk -v d="$d" 'BEGIN {exit !(d > 100)}'
}
moved 0 || fail "bot 0 did not move: $first / $last"
moved 1 || fail "bot 1 did not move: $first / $last"

quit_with_escape
echo "bots_move: ok"
