#!/usr/bin/env bash
# The real game under its own Xvfb display: answer the full-screen question No, wait for the
# game window and its frame counter, take a screenshot of the level from the start point and
# check it holds a real picture (not blank, many colours), then quit with Escape: status 0.
# Arguments: game executable, game data directory, output directory.
set -uo pipefail
name=level_view
source "$(dirname "${BASH_SOURCE[0]}")/xvfb_game.bash"

start_windowed_game

# The first frames may still be on their way to the screen: screenshots until the picture
# is a real one (many colours, not black, the white FPS line in the top-left corner).
colours=0
mean=0
white=0
real_picture() {
  import -window root "$shot" 2>/dev/null || return 1
  colours="$(convert "$shot" -format '%k' info:)"
  mean="$(convert "$shot" -colorspace Gray -format '%[fx:int(mean*255)]' info:)"
  white="$(white_pixels "$name" 120x30+0+0)"
  [ "$colours" -ge 64 ] && [ "$mean" -ge 4 ] && [ "$white" -ge 30 ]
}
wait_until 60 real_picture
echo "level_view: screenshot $shot: $colours colours, mean grey $mean, $white white pixels in the FPS corner"
[ "$colours" -ge 64 ] || fail "the picture has only $colours colours"
[ "$mean" -ge 4 ] || fail "the picture is almost black (mean $mean)"
# The FPS line: white text in the top-left corner, not darkened by anything drawn after it.
[ "$white" -ge 30 ] || fail "no white FPS line in the top-left corner"

xdotool mousemove --window "$win" 512 384 2>/dev/null
quit_with_escape
echo "level_view: ok"
