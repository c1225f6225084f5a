#!/usr/bin/env bash
# The real game under its own Xvfb display: answer the full-screen question No, wait for the
# game window and its frame counter, take a screenshot of the level from the start point and
# check it holds a real picture (not blank, many colours), then quit with Escape: status 0.
# Arguments: game executable, game data directory, output directory.
set -uo pipefail
game="$(realpath "$1")"
data="$(realpath "$2")"
out="$3"
mkdir -p "$out"
out="$(realpath "$out")"
shot="$out/level_view.png"
log="$out/level_view.log"
rm -f "$shot" "$log"

fail() {
  echo "level_view: $*" >&2
  [ -f "$log" ] && sed 's/^/  game: /' "$log" >&2
  exit 1
}

for tool in Xvfb xdotool xwininfo import convert; do
  command -v "$tool" >/dev/null || fail "missing tool $tool"
done
[ -x "$game" ] || fail "no game executable at $game"
[ -f "$data/Config.ini" ] || fail "no game data in $data (Config.ini missing)"

# Xvfb picks a free display number itself and writes it to the descriptor.
displayfile="$(mktemp)"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$displayfile" 2>/dev/null &
xvfb=$!
gamepid=""
cleanup() {
  [ -n "$gamepid" ] && kill "$gamepid" 2>/dev/null
  kill "$xvfb" 2>/dev/null
  rm -f "$displayfile"
}
trap cleanup EXIT
for _ in $(seq 100); do
  [ -s "$displayfile" ] && break
  sleep 0.1
done
[ -s "$displayfile" ] || fail "Xvfb did not start"
export DISPLAY=":$(head -n1 "$displayfile")"

# Finds a top-level window by its exact title; prints its id.
window_named() {
  xwininfo -root -tree 2>/dev/null | awk -v t="\"$1\"" 'index($0, t) {print $1; exit}'
}
window_titled_like() {
  xwininfo -root -tree 2>/dev/null | awk -v t="$1" 'index($0, t) {print $1; exit}'
}

(cd "$data" && SDL_AUDIODRIVER=dummy exec "$game") >"$log" 2>&1 &
gamepid=$!

# The question box: Escape sent to the box's own window answers No (windowed).
box=""
for _ in $(seq 150); do
  box="$(window_named Options)"
  [ -n "$box" ] && break
  kill -0 "$gamepid" 2>/dev/null || fail "the game ended before asking about full screen"
  sleep 0.1
done
[ -n "$box" ] || fail "no full-screen question box"
xdotool key --window "$box" Escape

# The frame counter renames the window once the frames run.
win=""
for _ in $(seq 300); do
  win="$(window_titled_like "Current Frames Per Second:")"
  [ -n "$win" ] && break
  kill -0 "$gamepid" 2>/dev/null || fail "the game ended before its first frames"
  sleep 0.1
done
[ -n "$win" ] || fail "the game window never showed a frame count"
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
