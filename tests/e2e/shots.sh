#!/usr/bin/env bash
# The real game under its own Xvfb: a left click fires (the picture changes around the aim
# and a sound starts), and a right click jumps while a grenade is in flight (the whole view
# rises). Sound goes to SDL's disk driver; the music file is left out of a linked copy of the
# game data, so the mix is silent until the first shot.
# Arguments: the game executable, the game data directory, an output directory.
set -uo pipefail
name=shots
source "$(dirname "${BASH_SOURCE[0]}")/xvfb_game.bash"
command -v cmp >/dev/null || fail "missing tool cmp"

# The game data as links, without the background music.
rm -rf "$out/data" "$out/audio.raw"
mkdir -p "$out/data"
cp -rs "$data/." "$out/data/" || fail "could not link the game data"
rm -f "$out/data/sound/background.mp3"

# Non-zero bytes in the disk driver's output so far.
audio_bytes() { [ -f "$out/audio.raw" ] && stat -c %s "$out/audio.raw" || echo 0; }
audio_silent() { local n; n="$(audio_bytes)"; [ "$n" -eq 0 ] || cmp -s -n "$n" "$out/audio.raw" /dev/zero; }
audio_heard() { ! audio_silent; }

start_game "$out/data" SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$out/audio.raw"
answer_question Escape
wait_for_frames
xdotool mousemove --window "$win" 512 384
xdotool windowfocus --sync "$win" 2>/dev/null

# Centre of the screen: where the shots fly. Two screenshots a little apart give what changes
# by itself; wait for a calm view (bots may cross it) before firing.
aim="400x300+312+234"
quiet=0
view_calm() {
  screenshot before1 "$aim" || return 1
  sleep 0.3
  screenshot before2 "$aim" || return 1
  quiet="$(changed_pixels before1 before2)"
  [ "$quiet" -lt 2000 ]
}
wait_until 60 view_calm
audio_silent || fail "the mix is not silent before any shot"

# The shot and then its sparks: screenshots until the aim changes (slow frames on a loaded
# machine move the shot only once a frame, so give it time). A click the game missed while
# it was still busy starting up is repeated every few seconds.
best=0
clicks=0
aim_changed() {
  if [ $((SECONDS - ${clicked_at:--100})) -ge 4 ]; then
    xdotool click 1
    clicks=$((clicks + 1))
    clicked_at=$SECONDS
  fi
  screenshot after "$aim" || return 1
  local n
  n="$(changed_pixels before2 after)"
  [ "$n" -gt "$best" ] && best="$n" && cp "$out/after.png" "$out/after-best.png"
  [ "$best" -ge $((quiet + 100)) ]
}
wait_until 60 aim_changed
echo "shots: $best pixels changed around the aim after $clicks click(s) ($quiet between two frames before)"
[ "$best" -ge $((quiet + 100)) ] || fail "the left click changed nothing around the aim"
wait_until 30 audio_heard || fail "no sound started after the shot ($(audio_bytes) bytes of silence)"
echo "shots: the shot's sound reached the mix"

# A grenade, and jumps while it flies. At the start the left edge of the view is all pillar;
# a jump lifts the eye so the dark ceiling comes into that strip (500 pixels are three rows
# of it; the pillar itself has none that dark). (The grenade's glow only
# brightens the picture, so counting dark pixels is not fooled by it.) A jump lasts a third
# of a second, less than a screenshot takes on a busy machine, so right clicks keep coming
# for two seconds (a jump in progress is not restarted, a landed player jumps again) while
# the screenshots are taken. Below 8 frames a second a jump fits in one frame and no
# screenshot can catch the player up, so the check is skipped.
dark() { convert "$out/$1.png" -colorspace Gray -threshold 20% -negate -format '%[fx:int(mean*w*h+0.5)]' info:; }
fps="$(xwininfo -root -tree | sed -n 's/.*Current Frames Per Second: \([0-9]*\).*/\1/p' | head -n1)"
if [ "${fps:-0}" -lt 8 ]; then
  echo "shots: jump check skipped: ${fps:-?} frames a second is too slow to see a 1/3 s jump"
else
  xdotool key --window "$win" 2
  sleep 1.5  # let the rifle's sparks die out
  edge="160x500+0+100"
  rise=0
  still=0
  try=0
  jump_seen() {
    try=$((try + 1))
    xdotool click 1
    screenshot flying "$edge" || return 1
    still="$(dark flying)"
    (for _ in $(seq 20); do xdotool click 3; sleep 0.1; done) &
    local clicker=$!
    for i in $(seq 6); do screenshot "jump$i" "$edge"; done
    wait "$clicker"
    local seen=""
    for i in $(seq 6); do
      n="$(dark "jump$i")"
      seen="$seen $n"
      [ "$n" -gt "$rise" ] && rise="$n"
    done
    echo "shots: try $try: $still dark pixels before the jumps,$seen during them"
    [ "$rise" -ge $((still + 500)) ] && return 0
    sleep 1  # land before the next try
    return 1
  }
  wait_until 90 jump_seen
  echo "shots: up to $rise dark pixels at the left edge during the jump ($still while the grenade flew; $fps fps, try $try)"
  [ "$rise" -ge $((still + 500)) ] || fail "the right click did not jump while a grenade was in flight"
fi

quit_with_escape
rm -rf "$out/data"
echo "shots: ok"
