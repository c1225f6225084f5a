#!/usr/bin/env bash
# The real game under its own Xvfb display: answer the full-screen question No, wait for the
# game window and its frame counter, take a screenshot of the level from the start point and
# check it holds a real picture (not blank, many colours), then quit with Escape: status 0.
# Arguments: game executable, game data directory, output directory.
set -uo pipefail
name=level_view
source "$(dirname "${BASH_SOURCE[0]}")/xvfb_game.bash"

start_windowed_game
sleep 2  # let the first frames settle

import -window root "$shot" 2>/dev/null || fail "screenshot failed"
colours="$(convert "$shot" -format '%k' info:)"
mean="$(convert "$shot" -colorspace Gray -format '%[fx:int(mean*255)]' info:)"
echo "level_view: screenshot $shot: $colours colours, mean grey $mean"
[ "$colours" -ge 64 ] || fail "the picture has only $colours colours"
[ "$mean" -ge 4 ] || fail "the picture is almost black (mean $mean)"
# The FPS line: white text in the top-left corner, not darkened by anything drawn after it.
white="$(convert "$shot" -crop 120x30+0+0 +repage -fill black +opaque white -fill white -opaque white \
  -format '%[fx:int(mean*w*h+0.5)]' info:)"
echo "level_view: $white white pixels in the FPS corner"
[ "$white" -ge 30 ] || fail "no white FPS line in the top-left corner"

# Escape on the game window quits with status 0.
xdotool mousemove --window "$win" 512 384 2>/dev/null
xdotool key --window "$win" Escape
for _ in $(seq 100); do
  kill -0 "$gamepid" 2>/dev/null || break
  sleep 0.1
done
if kill -0 "$gamepid" 2>/dev/null; then
  # The key may go to the focused window only.
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
echo "level_view: ok"
