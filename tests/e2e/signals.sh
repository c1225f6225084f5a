#!/usr/bin/env bash
# SIGTERM and Ctrl+C (SIGINT) end the real game like closing its window, through the normal
# shut-down with status 0: under SDL's offscreen driver (no X server) and under Xvfb.
# Arguments: the game executable, the game data directory, an output directory.
set -uo pipefail

game="$(realpath "$1")"
data="$2"
out="$3/signals"
mkdir -p "$out"
rm -f "$out"/*.log "$out/display"
[ -e "$data/Config.ini" ] || { echo "SKIP: no game data in $data"; exit 0; }

game_pid=""
xvfb_pid=""
cleanup() {
  [ -n "$game_pid" ] && kill -KILL "$game_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

export SDL_AUDIODRIVER=dummy

# Started through a subshell that execs the game: a plain background command would have
# SIGINT ignored (no job control in a script), and the test would prove nothing.
# $1 names the log; $2 is "offscreen" for SDL's offscreen driver without a display.
start_game() {
  if [ "$2" = offscreen ]; then
    (cd "$data" && unset DISPLAY && SDL_VIDEODRIVER=offscreen exec "$game") >"$out/$1.log" 2>&1 &
  else
    (cd "$data" && exec "$game") >"$out/$1.log" 2>&1 &
  fi
  game_pid=$!
}

# Waits up to $1 tenths of a second for the game to end; sets status, or "running".
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

# Sends the signal to the running game and expects status 0 within ten seconds.
expect_clean_end() {
  local name="$1" signal="$2"
  kill -0 "$game_pid" 2>/dev/null || fail "$name: the game ended before the signal"
  grep -q '^SigIgn:\s*0*$' "/proc/$game_pid/status" || echo "NOTE: $name: the game ignores some signals"
  kill "-$signal" "$game_pid"
  wait_exit 100
  [ "$status" != running ] || fail "$name: still running 10 s after SIG$signal"
  [ "$status" = 0 ] || fail "$name: SIG$signal ended the game with status $status"
  echo "$name: SIG$signal ended the game with status 0"
}

# --- offscreen: no display at all, so no question box either ---
for signal in TERM INT; do
  start_game "offscreen-$signal" offscreen
  sleep 4  # start-up and a few seconds of frames
  expect_clean_end offscreen "$signal"
done

# --- Xvfb: answer the question box, wait for frames (the title counts them) ---
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$out/display" 2>"$out/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$out/display" ] && break; sleep 0.1; done
[ -s "$out/display" ] || fail "Xvfb did not start"
export DISPLAY=":$(head -n1 "$out/display")"

window_matching() { xwininfo -root -tree 2>/dev/null | awk -v p="$1" '$0 ~ p {print $1; exit}'; }
fail_x11() {
  xwininfo -root -tree >"$out/windows.txt" 2>&1
  sed 's/^/  game: /' "$out/x11-$signal.log" >&2
  fail "x11: $*"
}
for signal in TERM INT; do
  start_game "x11-$signal" x11
  # The box may appear before it takes keys, so Escape (windowed) is sent again each second
  # while the box stays; the game is running once the title counts frames. A busy machine
  # only makes this slower: up to two minutes.
  seen_box="" running="" last_key=0
  for tick in $(seq 1200); do
    running="$(window_matching '"Current Frames Per Second: [0-9]+"')"
    [ -n "$running" ] && break
    kill -0 "$game_pid" 2>/dev/null || fail_x11 "the game ended before its frames ran"
    box="$(window_matching '"Options"')"
    if [ -n "$box" ]; then
      seen_box=1
      if [ $((tick - last_key)) -ge 10 ]; then
        xdotool key --window "$box" Escape 2>/dev/null
        last_key=$tick
      fi
    fi
    sleep 0.1
  done
  if [ -z "$running" ]; then
    [ -n "$seen_box" ] || fail_x11 "no question box"
    fail_x11 "frames never ran"
  fi
  expect_clean_end x11 "$signal"
done
echo PASS
