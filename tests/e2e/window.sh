#!/usr/bin/env bash
# End-to-end run of the real game under its own Xvfb: the full-screen question, the window
# and its frames-per-second title, mouse look, and Escape ending the game with status 0.
# Arguments: the game executable, the game data directory, an output directory.
set -uo pipefail

game="$(realpath "$1")"
data="$2"
out="$3/window"
mkdir -p "$out"
rm -f "$out"/*.png "$out"/*.log "$out/display"

fail() { echo "FAIL: $*" >&2; cleanup; exit 1; }

# Xvfb picks a display number nobody uses and reports it (-displayfd).
game_pid=""
xvfb_pid=""
cleanup() {
  [ -n "$game_pid" ] && kill "$game_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
}
trap cleanup EXIT
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$out/display" 2>"$out/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$out/display" ] && break; sleep 0.1; done
[ -s "$out/display" ] || fail "Xvfb did not start"
export DISPLAY=":$(head -n1 "$out/display")"
xdpyinfo >/dev/null 2>&1 || fail "no X server on $DISPLAY"

export SDL_AUDIODRIVER=dummy

# Window id of the first top-level window whose line matches the pattern, or nothing.
window_matching() { xwininfo -root -tree 2>/dev/null | awk -v p="$1" '$0 ~ p {print $1; exit}'; }

# Waits up to $2 tenths of a second for a window matching $1; prints its id.
wait_window() {
  local id=""
  for _ in $(seq "$2"); do
    id="$(window_matching "$1")"
    [ -n "$id" ] && break
    sleep 0.1
  done
  echo "$id"
}

# Waits up to $1 tenths of a second for the game to end; sets status to its exit status,
# or to "running".
wait_exit() {
  status=running
  for _ in $(seq "$1"); do
    if ! kill -0 "$game_pid" 2>/dev/null; then
      wait "$game_pid"
      status=$?
      game_pid=""
      return
    fi
    sleep 0.1
  done
}

start_game() {
  (cd "$data" && exec "$game") >"$out/game-$1.log" 2>&1 &
  game_pid=$!
}

# Answers the question box with a key sent to the box's own window (no window manager).
answer_box() {
  local box
  box="$(wait_window '"Options"' 100)"
  [ -n "$box" ] || fail "no question box"
  xwininfo -root -tree | grep -q 'Click Yes\|"Options"' || fail "question box has no caption"
  xdotool key --window "$box" "$1"
}

# The game's window (class Korvalis), then its title once frames run.
game_window() { window_matching '\("Korvalis" "Korvalis"\)'; }

shot() { import -window root "$out/$1.png" || fail "screenshot $1"; }
changed_pixels() { compare -metric AE -fuzz 2% "$out/$1.png" "$out/$2.png" null: 2>&1 | cut -d' ' -f1; }

# --- Escape answers No: a 1024x768 window titled by the frame counter ---
start_game windowed
answer_box Escape
win=""
error_box=""
title=""
seen_korvalis_title=no
fps_title='^Current Frames Per Second: [0-9]+$'
# Until frames run (their counter renames the window) or start-up shows an error.
for _ in $(seq 200); do
  error_box="$(window_matching '"Error"')"
  [ -n "$error_box" ] && break
  win="$(game_window)"
  if [ -n "$win" ]; then
    title="$(xwininfo -id "$win" 2>/dev/null | sed -n 's/^xwininfo: Window id: [^"]*"\(.*\)"$/\1/p')"
    [ "$title" = Korvalis ] && seen_korvalis_title=yes
    [[ "$title" =~ $fps_title ]] && break
  fi
  sleep 0.1
done

if [ -n "$error_box" ]; then
  # A start-up failure: acceptable only without game data, and the status must say so.
  [ -e "$data/Config.ini" ] || echo "NOTE: no game data in $data: checking that start-up fails cleanly"
  shot error
  xdotool key --window "$error_box" Return
  wait_exit 100
  [ "$status" != running ] || fail "game did not end after its start-up error"
  [ "$status" != 0 ] || fail "a start-up failure ended with status 0"
  [ -e "$data/Config.ini" ] && fail "start-up failed with game data present (see $out/error.png)"
  echo "PASS (start-up failure path only)"
  exit 0
fi
[ -n "$win" ] || fail "no game window (class Korvalis)"
info="$(xwininfo -id "$win")"
echo "$info" | grep -q 'Width: 1024' || fail "window is not 1024 wide"
echo "$info" | grep -q 'Height: 768' || fail "window is not 768 high"
echo "first title seen as \"Korvalis\": $seen_korvalis_title"
[[ "$title" =~ $fps_title ]] || fail "title is \"$title\""
echo "title: $title"

# Mouse look: the view turns when the mouse moves. Two shots of a still view give the
# baseline of what changes by itself (animations); a turn must change much more.
xdotool mousemove 512 384
sleep 1
shot still1
sleep 0.5
shot still2
xdotool mousemove 812 384
sleep 1
shot turned
still="$(changed_pixels still1 still2)"
turned="$(changed_pixels still2 turned)"
echo "changed pixels: still $still, turned $turned"
[ "$turned" -gt 20000 ] || fail "the view did not turn ($turned pixels changed)"
[ "$turned" -gt $((still * 2)) ] || fail "turning changed no more than standing still"

xdotool key Escape
wait_exit 100
[ "$status" = 0 ] || fail "Escape ended the windowed game with status $status"

# --- Return answers Yes: full screen at 1024x768 ---
start_game fullscreen
answer_box Return
win="$(wait_window '\("Korvalis" "Korvalis"\)' 100)"
[ -n "$win" ] || fail "no full-screen game window"
info="$(xwininfo -id "$win")"
echo "$info" | grep -q 'Absolute upper-left X: *0$' || fail "full-screen window not at x 0"
echo "$info" | grep -q 'Absolute upper-left Y: *0$' || fail "full-screen window not at y 0"
echo "$info" | grep -q 'Width: 1024' || fail "full-screen window is not 1024 wide"
echo "$info" | grep -q 'Height: 768' || fail "full-screen window is not 768 high"
sleep 1
xdotool key Escape
wait_exit 100
[ "$status" = 0 ] || fail "Escape ended the full-screen game with status $status"

echo PASS
