#!/usr/bin/env bash
# The bots on the movers level (maps/movers.bsp: a jump pad onto a ledge, teleporters into and
# out of a closed room, a lift to a balcony, doors) with KORVALIS_BOT_POSITIONS set. The waypoint
# graph's largest part must hold at least 90 % of its waypoints; within 120 seconds of game time
# each bot must reach at least 20 different waypoints on more than one floor; then, sent to the
# player with Delete, both must fire at the player standing in their sight. While they roam the
# player waits above the hall's roof out of their sight (collision off, lifted with Home), and
# comes back down for the last part. Escape ends the game with status 0.
# Arguments: game executable, game data directory, output directory.
set -uo pipefail
name=bots_movers
source "$(dirname "${BASH_SOURCE[0]}")/xvfb_game.bash"
[ -f "$data/maps/movers.bsp" ] || fail "no maps/movers.bsp in the game data"

# A small window keeps the frames (and so the game ticks, at most one a frame) coming fast.
(cd "$data" && exec env KORVALIS_BOT_POSITIONS=1 KORVALIS_PLAYER_POSITIONS=1 KORVALIS_WINDOW=320x240 "$game" \
  --windowed --level movers) >"$log" 2>&1 &
gamepid=$!
wait_for_frames

graph_line="$(grep -m1 '^Waypoint graph: ' "$log")"
echo "bots_movers: $graph_line"
read -r count largest < <(sed -n 's/^Waypoint graph: \([0-9]*\) waypoints.*largest \([0-9]*\),.*/\1 \2/p' <<<"$graph_line")
[ -n "${count:-}" ] || fail "no waypoint graph was built"
[ $((largest * 10)) -ge $((count * 9)) ] || fail "the largest part holds only $largest of $count waypoints"

# Out of the bots' sight: collision off, up through the roof (top 464).
last_player() { grep '^player ' "$log" | tail -n 1; }
player_above() { awk -v y="$(field "$(last_player)" 3)" -v h="$1" 'BEGIN {exit !(y > h)}'; }
player_below() { awk -v y="$(field "$(last_player)" 3)" -v h="$1" 'BEGIN {exit !(y < h)}'; }
xdotool mousemove --window "$win" 160 120 2>/dev/null
xdotool windowfocus --sync "$win" 2>/dev/null
xdotool click --window "$win" 2
xdotool keydown --window "$win" Home
wait_until 30 player_above 560
xdotool keyup --window "$win" Home
player_above 560 || fail "the player did not rise above the roof: $(last_player)"

check_bots_roam 40000 3 20
for n in 27 28; do
  floors="$(field "$previous" "$n")"
  [ "$floors" -ge 2 ] || fail "a bot stayed on $floors floor in 120 s"
done

# Back down into the hall, collision on: Delete sends both bots to the player, and in its
# sight they must fire.
xdotool keydown --window "$win" End
wait_until 30 player_below 200
xdotool keyup --window "$win" End
xdotool click --window "$win" 2
before="$(grep '^bots ' "$log" | tail -n 1)"
xdotool key --window "$win" Delete
grenades_fired() {  # both fired since Delete
  local last
  last="$(grep '^bots ' "$log" | tail -n 1)"
  [ "$(field "$last" 22)" -gt "$(field "$before" 22)" ] && [ "$(field "$last" 23)" -gt "$(field "$before" 23)" ]
}
wait_until 240 grenades_fired || fail "the bots never fired at the player: $(grep '^bots ' "$log" | tail -n 1)"
echo "bots_movers: $(grep '^bots ' "$log" | tail -n 1)"

quit_with_escape
echo "bots_movers: ok"
