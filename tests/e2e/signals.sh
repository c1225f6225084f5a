#!/usr/bin/env bash
# SIGTERM and Ctrl+C (SIGINT) end the real game like closing its window, through the normal
# shut-down with status 0: under SDL's offscreen driver (no X server) and under Xvfb.
# Arguments: the game executable, the game data directory, an output directory.
set -uo pipefail
name=signals
source "$(dirname "${BASH_SOURCE[0]}")/xvfb_game.bash"

# The game is started through a subshell that execs it (here and in start_windowed_game): a
# plain background command would have SIGINT ignored (no job control in a script), and the
# test would prove nothing.
start_offscreen_game() {
  (cd "$data" && unset DISPLAY && SDL_AUDIODRIVER=dummy SDL_VIDEODRIVER=offscreen exec "$game") \
    >"$log" 2>&1 &
  gamepid=$!
}

# Sends the signal to the running game and expects status 0 within ten seconds.
expect_clean_end() {
  local how="$1" signal="$2" status=running
  kill -0 "$gamepid" 2>/dev/null || fail "$how: the game ended before the signal"
  grep -q '^SigIgn:\s*0*$' "/proc/$gamepid/status" || echo "NOTE: $how: the game ignores some signals"
  kill "-$signal" "$gamepid"
  for _ in $(seq 100); do
    if ! kill -0 "$gamepid" 2>/dev/null; then
      wait "$gamepid"
      status=$?
      gamepid=""
      break
    fi
    sleep 0.1
  done
  [ "$status" != running ] || fail "$how: still running 10 s after SIG$signal"
  [ "$status" = 0 ] || fail "$how: SIG$signal ended the game with status $status"
  echo "$how: SIG$signal ended the game with status 0"
}

# No display at all, so no question box either: start-up and a few seconds of frames.
for signal in TERM INT; do
  start_offscreen_game
  sleep 4
  expect_clean_end offscreen "$signal"
done

# Under Xvfb: the question box answered, the frames running (the title counts them).
for signal in TERM INT; do
  start_windowed_game
  expect_clean_end x11 "$signal"
done
echo PASS
