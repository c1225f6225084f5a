#!/usr/bin/env bash
# The movers level (maps/movers.bsp) played for real: the player walks backwards (north) from
# the start onto the jump pad, is thrown onto the ledge (its eye 50 above the ledge's top at 256, near
# the pad's target), then steps east (to the left) into the teleporter and arrives in the closed room E.
# Positions come from KORVALIS_PLAYER_POSITIONS; screenshots of the start, the ledge and
# room E are kept in the output folder. Escape ends the game with status 0.
# Arguments: game executable, game data directory, output directory.
set -uo pipefail
name=movers_level
source "$(dirname "${BASH_SOURCE[0]}")/xvfb_game.bash"
[ -f "$data/maps/movers.bsp" ] || fail "no maps/movers.bsp in the game data"

(cd "$data" && exec env KORVALIS_PLAYER_POSITIONS=1 "$game" --windowed --level movers) >"$log" 2>&1 &
gamepid=$!
wait_for_frames

last_player() { grep '^player ' "$log" | tail -n 1; }
player_is() {  # awk condition on x, y, z of the last position line
  local p
  p="$(last_player)"
  [ -n "$p" ] && awk -v x="$(field "$p" 2)" -v y="$(field "$p" 3)" -v z="$(field "$p" 4)" "BEGIN {exit !($1)}"
}
wait_until 60 player_is 'y > 0' || fail "no player position printed"
echo "movers_level: start $(last_player)"
sleep 2  # the first frames on their way to the screen
screenshot movers_start

xdotool mousemove --window "$win" 512 384 2>/dev/null
xdotool windowfocus --sync "$win" 2>/dev/null
# North onto the pad: its volume begins where the box reaches z 200.
xdotool keydown --window "$win" s
wait_until 30 player_is 'z < 212 || y > 80'
xdotool keyup --window "$win" s
wait_until 30 player_is 'y > 120' || fail "the jump pad threw nobody: $(last_player)"
echo "movers_level: thrown $(last_player)"
# Landed on the ledge: within 32 units of the target's foot (896, 256, 160) across, eye 50 above.
on_ledge() { player_is 'y > 300 && y < 312 && (x - 896) ^ 2 + (z - 160) ^ 2 < 32 ^ 2'; }
wait_until 30 on_ledge || fail "the player did not land on the ledge by the pad's target: $(last_player)"
echo "movers_level: on the ledge $(last_player)"
screenshot movers_ledge

# East into the teleporter; room E lies at x 1536..1792.
xdotool keydown --window "$win" a
wait_until 30 player_is 'x > 1536'
xdotool keyup --window "$win" a
player_is 'x > 1536 && x < 1792 && z > 0 && z < 256 && y < 80' ||
  fail "the teleporter did not put the player in room E: $(last_player)"
echo "movers_level: in room E $(last_player)"
screenshot movers_room_e

quit_with_escape
echo "movers_level: ok"
