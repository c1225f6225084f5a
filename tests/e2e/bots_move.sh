#!/usr/bin/env bash
# The bots move: the real game under its own Xvfb display with KORVALIS_BOT_POSITIONS set
# prints both bots' positions once a second. Left running for 20 seconds with the F4 panel
# on, both bots must have moved, the panel must show in the screenshot, and Escape must
# still end the game with status 0.
# Arguments: game executable, game data directory, output directory.
set -uo pipefail
name=bots_move
source "$(dirname "${BASH_SOURCE[0]}")/xvfb_game.bash"

start_windowed_game KORVALIS_BOT_POSITIONS=1

# The information panel (F4) about bot 0.
xdotool mousemove --window "$win" 512 384 2>/dev/null
xdotool windowfocus --sync "$win" 2>/dev/null
xdotool key --window "$win" F4
sleep 20

import -window root "$shot" 2>/dev/null || fail "screenshot failed"
# The panel's lines run down the left edge from y 25 to 250: white text there.
white="$(convert "$shot" -crop 600x240+0+40 +repage -fill black +opaque white -fill white -opaque white \
  -format '%[fx:int(mean*w*h+0.5)]' info:)"
echo "bots_move: $white white pixels in the panel"
[ "$white" -ge 500 ] || fail "no information panel on the screen"

lines="$(grep -c '^bots ' "$log")"
[ "$lines" -ge 15 ] || fail "only $lines position lines in 20 seconds"
first="$(grep '^bots ' "$log" | head -n 2 | tail -n 1)"
last="$(grep '^bots ' "$log" | tail -n 1)"
echo "bots_move: $first"
echo "bots_move: $last"
# Fields: bots T ms: 0 at X Y Z state S, 1 at X Y Z state S (bot 0 X is field 6, bot 1 X field 13)
moved() {
  awk -v a="$first" -v b="$last" -v i="$1" 'BEGIN {
    split(a, p, /[ ,]+/); split(b, q, /[ ,]+/)
    o = (i == 0) ? 6 : 13  # the X after "at"
    d = (p[o] - q[o]) ^ 2 + (p[o + 1] - q[o + 1]) ^ 2 + (p[o + 2] - q[o + 2]) ^ 2
    exit !(d > 100 * 100)
  }'
}
moved 0 || fail "bot 0 did not move: $first / $last"
moved 1 || fail "bot 1 did not move: $first / $last"

# Escape on the game window quits with status 0.
xdotool key --window "$win" Escape
for _ in $(seq 100); do
  kill -0 "$gamepid" 2>/dev/null || break
  sleep 0.1
done
if kill -0 "$gamepid" 2>/dev/null; then
  xdotool windowfocus --sync "$win" 2>/dev/null
  xdotool key Escape
  for _ in $(seq 100); do
    kill -0 "$gamepid" 2>/dev/null || break
    sleep 0.1
  done
fi
kill -0 "$gamepid" 2>/dev/null && fail "Escape did not end the game"
wait "$gamepid"
status=$?
gamepid=""
[ "$status" -eq 0 ] || fail "the game exited with status $status"
echo "bots_move: ok"
