#!/usr/bin/env bash
# The bots on a level other than the default one: levelc compiles the navigation test level
# (rooms at three heights, stairs, a ramp, a narrow door, a pillar, a pit) and the real game
# plays it through --level with KORVALIS_BOT_POSITIONS set. The game must build a waypoint
# graph for it; within 60 seconds of game time both bots must keep moving (every 20 seconds)
# and each reach at least 10 different waypoints; then, sent to the player with Delete, they
# must fire at the player standing in their sight. The player starts in a sealed booth beside
# room A, out of the bots' sight, and later walks into room A with collision off (the middle
# button) and on again. Escape ends the game with status 0.
# Arguments: game executable, game data directory, output directory.
set -uo pipefail
name=bots_level
source "$(dirname "${BASH_SOURCE[0]}")/xvfb_game.bash"

levelc="$(dirname "$game")/../tools/levelc/levelc"
[ -x "$levelc" ] || fail "no level compiler at $levelc"
bsp="$out/nav_rooms.bsp"
"$levelc" --quiet "$(dirname "${BASH_SOURCE[0]}")/nav_rooms.map" "$bsp" || fail "levelc could not compile the test level"

# A small window keeps the frames (and so the game ticks, at most one a frame) coming fast.
(cd "$data" && exec env KORVALIS_BOT_POSITIONS=1 KORVALIS_WINDOW=320x240 "$game" --windowed --level "$bsp") \
  >"$log" 2>&1 &
gamepid=$!
wait_for_frames

graph_line="$(grep -m1 '^Waypoint graph: ' "$log")"
echo "bots_level: $graph_line"
echo "$graph_line" | grep -q 'waypoints' || fail "no waypoint graph was built"
echo "$graph_line" | grep -q 'none could be built' && fail "no waypoint graph was built"

check_bots_roam 20000 3 10

# Out of the booth into room A, then Delete sends both bots to the player's waypoint: in
# sight of the player they must fire.
xdotool mousemove --window "$win" 512 384 2>/dev/null
xdotool windowfocus --sync "$win" 2>/dev/null
xdotool click --window "$win" 2
xdotool keydown --window "$win" w
sleep 1.2
xdotool keyup --window "$win" w
xdotool click --window "$win" 2
xdotool key --window "$win" Delete
grenades_fired() {
  local last
  last="$(grep '^bots ' "$log" | tail -n 1)"
  [ "$(field "$last" 22)" -gt 0 ] && [ "$(field "$last" 23)" -gt 0 ]
}
wait_until 240 grenades_fired || fail "the bots never fired at the player: $(grep '^bots ' "$log" | tail -n 1)"
echo "bots_level: $(grep '^bots ' "$log" | tail -n 1)"

quit_with_escape
echo "bots_level: ok"
