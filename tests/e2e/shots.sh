#!/usr/bin/env bash
# The real game under its own Xvfb: a left click fires (the picture changes around the aim
# and a sound starts), and a right click jumps while a grenade is in flight (the whole view
# rises). Sound goes to SDL's disk driver; the music file is left out of a linked copy of the
# game data, so the mix is silent until the first shot.
# Arguments: the game executable, the game data directory, an output directory.
set -uo pipefail

game="$(realpath "$1")"
data="$(realpath "$2")"
out="$3/shots"
mkdir -p "$out"
out="$(realpath "$out")"
rm -rf "$out"/*.png "$out"/*.log "$out/display" "$out/audio.raw" "$out/data"

game_pid=""
xvfb_pid=""
cleanup() {
  [ -n "$game_pid" ] && kill "$game_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
}
fail() {
  echo "FAIL: $*" >&2
  [ -f "$out/game.log" ] && sed 's/^/  game: /' "$out/game.log" >&2
  cleanup
  exit 1
}
trap cleanup EXIT

for tool in Xvfb xdotool xwininfo import compare convert cmp; do
  command -v "$tool" >/dev/null || fail "missing tool $tool"
done
[ -f "$data/Config.ini" ] || fail "no game data in $data"

# The game data as links, without the background music.
mkdir -p "$out/data"
cp -rs "$data/." "$out/data/" || fail "could not link the game data"
rm -f "$out/data/sound/background.mp3"

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$out/display" 2>"$out/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$out/display" ] && break; sleep 0.1; done
[ -s "$out/display" ] || fail "Xvfb did not start"
export DISPLAY=":$(head -n1 "$out/display")"

window_matching() { xwininfo -root -tree 2>/dev/null | awk -v p="$1" 'index($0, p) {print $1; exit}'; }
wait_window() {
  local id=""
  for _ in $(seq "$2"); do
    id="$(window_matching "$1")"
    [ -n "$id" ] && break
    kill -0 "$game_pid" 2>/dev/null || fail "the game ended early"
    sleep 0.1
  done
  echo "$id"
}
# Screenshot of a part WxH+X+Y of the screen; pixels that differ (beyond 3%) between two.
shot() { import -window root -crop "$2" +repage "$out/$1.png" || fail "screenshot $1"; }
changed() { compare -metric AE -fuzz 3% "$out/$1.png" "$out/$2.png" null: 2>&1 | cut -d' ' -f1; }
# Non-zero bytes in the disk driver's output so far.
audio_bytes() { [ -f "$out/audio.raw" ] && stat -c %s "$out/audio.raw" || echo 0; }
audio_silent() { local n; n="$(audio_bytes)"; [ "$n" -eq 0 ] || cmp -s -n "$n" "$out/audio.raw" /dev/zero; }

(cd "$out/data" && SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$out/audio.raw" exec "$game") >"$out/game.log" 2>&1 &
game_pid=$!

box="$(wait_window '"Options"' 600)"
[ -n "$box" ] || fail "no full-screen question box"
xdotool key --window "$box" Escape
win="$(wait_window "Current Frames Per Second:" 600)"
[ -n "$win" ] || fail "the game window never showed a frame count"
xdotool mousemove --window "$win" 512 384
sleep 2

# Centre of the screen: where the shots fly.
aim="400x300+312+234"
shot before1 "$aim"
sleep 0.3
shot before2 "$aim"
audio_silent || fail "the mix is not silent before any shot"
quiet="$(changed before1 before2)"

xdotool click 1
# The shot and then its sparks: screenshots until the aim changes (slow frames on a loaded
# machine move the shot only once a frame, so give it time).
best=0
for i in $(seq 20); do
  sleep 0.1
  shot after "$aim"
  n="$(changed before2 after)"
  [ "$n" -gt "$best" ] && best="$n" && cp "$out/after.png" "$out/after-best.png"
  [ "$best" -ge $((quiet + 100)) ] && break
done
echo "shots: $best pixels changed around the aim after the click ($quiet between two frames before)"
[ "$best" -ge $((quiet + 100)) ] || fail "the left click changed nothing around the aim"
sleep 0.5
audio_silent && fail "no sound started after the shot ($(audio_bytes) bytes of silence)"
echo "shots: the shot's sound reached the mix"

# A grenade, and a jump while it flies. At the start the left edge of the view is all pillar;
# a jump lifts the eye so the dark ceiling comes into that strip. (The grenade's glow only
# brightens the picture, so counting dark pixels is not fooled by it.) The jump lasts a third
# of a second; below 8 frames a second it fits in one frame and no screenshot can catch the
# player up, so the check is skipped.
dark() { convert "$out/$1.png" -colorspace Gray -threshold 20% -negate -format '%[fx:int(mean*w*h+0.5)]' info:; }
fps="$(xwininfo -root -tree | sed -n 's/.*Current Frames Per Second: \([0-9]*\).*/\1/p' | head -n1)"
if [ "${fps:-0}" -lt 8 ]; then
  echo "shots: jump check skipped: ${fps:-?} frames a second is too slow to see a 1/3 s jump"
else
  xdotool key --window "$win" 2
  sleep 1.5  # let the rifle's sparks die out
  edge="160x500+0+100"
  # Screenshots are slow next to a third of a second: up to three tries, each with a fresh
  # grenade in flight.
  rise=0
  for try in 1 2 3; do
    xdotool click 1
    sleep 0.3
    shot flying "$edge"
    still="$(dark flying)"
    xdotool click 3
    for i in $(seq 6); do shot "jump$i" "$edge"; done
    for i in $(seq 6); do
      n="$(dark "jump$i")"
      [ "$n" -gt "$rise" ] && rise="$n"
    done
    [ "$rise" -ge $((still + 3000)) ] && break
    sleep 1
  done
  echo "shots: up to $rise dark pixels at the left edge during the jump ($still while the grenade flew; $fps fps, try $try)"
  [ "$rise" -ge $((still + 3000)) ] || fail "the right click did not jump while a grenade was in flight"
fi

xdotool key --window "$win" Escape
for _ in $(seq 100); do kill -0 "$game_pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$game_pid" 2>/dev/null && fail "Escape did not end the game"
wait "$game_pid"
status=$?
game_pid=""
[ "$status" -eq 0 ] || fail "the game exited with status $status"
rm -rf "$out/data"
echo "shots: ok"
