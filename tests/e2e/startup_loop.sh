#!/usr/bin/env bash
# End-to-end loop over the game's start-up under load: each start answers the full-screen
# question (No), waits for the first frame (the frame counter titles the window) and quits
# with Escape. A start that does not reach its first frame in time is a hang: the stacks of
# the game and of any child it forked are kept in the output folder, and the loop fails.
# Prints one line per start with its time, and the figure at the end.
# Arguments: the game executable, the game data directory, an output directory.
# KORVALIS_STARTS sets the number of starts (default 6); KORVALIS_STARTUP_LOAD the number of
# busy processes run beside the game (default 2).
set -uo pipefail
name=startup_loop
source "$(dirname "${BASH_SOURCE[0]}")/xvfb_game.bash"

starts="${KORVALIS_STARTS:-6}"
load="${KORVALIS_STARTUP_LOAD:-2}"
limit=60  # seconds for one start, times the patience

burners=()
stop_load() {
  for pid in "${burners[@]}"; do kill "$pid" 2>/dev/null; done
  burners=()
}
trap 'stop_load; cleanup' EXIT
for ((i = 0; i < load; i++)); do
  (exec bash -c 'while :; do :; done') &
  burners+=($!)
done

# Stacks of the game and of every process below it, for the look after a hang.
keep_stacks() {
  local file="$out/hang-$1.txt" pid
  {
    ps -o pid,ppid,stat,wchan:32,args --ppid "$gamepid" -p "$gamepid" 2>&1
    # Which threads still run: their processor time (ticks) now and three seconds later.
    thread_times() {
      for task in /proc/"$gamepid"/task/*; do
        echo "$(basename "$task") $(cat "$task/comm") $(awk '{print $14 + $15}' "$task/stat")"
      done
    }
    echo "== thread times (tid, name, ticks) now and 3 s later"
    thread_times
    sleep 3
    thread_times
    for pid in $gamepid $(pgrep -P "$gamepid"); do
      echo "== process $pid"
      if command -v gdb >/dev/null; then
        timeout 60 gdb -p "$pid" -batch -ex 'thread apply all bt' -ex 'thread 1' -ex 'frame function RenderFrame' \
          -ex 'p gGame.camera' -ex 'p gGame.frameInterval' -ex 'p gGame.nightVision' -ex 'p gGame.currentWeapon' \
          -ex 'p gGame.particles._M_t._M_t._M_head_impl->particles_.size()' -ex 'p *gGame.particles' 2>&1 |
          grep -v '^\[New LWP'
      else
        cat "/proc/$pid/stack" 2>&1
      fi
    done
  } >"$file"
  echo "$name: stacks of the hung start in $file" >&2
}

reached=0
times=()
for ((n = 1; n <= starts; n++)); do
  log="$out/start-$n.log"
  begun="$(date +%s.%N)"
  start_game
  answer_question Escape
  wait_until "$limit" frames_or_error
  if ! frames_running; then
    error_box_shown && fail "start $n: an error box instead of frames"
    keep_stacks "$n"
    fail "start $n of $starts did not reach its first frame in $limit s ($reached reached before)"
  fi
  took="$(awk -v a="$begun" -v b="$(date +%s.%N)" 'BEGIN {printf "%.2f", b - a}')"
  times+=("$took")
  reached=$((reached + 1))
  echo "start $n: first frame after $took s"
  win="$(window_titled_like "$fps_title")"
  quit_with_escape
done
stop_load

summary="$(printf '%s\n' "${times[@]}" | sort -n |
  awk '{t[NR] = $1; s += $1} END {printf "min %.2f s, median %.2f s, max %.2f s, mean %.2f s", t[1], t[int((NR + 1) / 2)], t[NR], s / NR}')"
echo "$name: $starts starts tried, $reached reached the first frame under $load busy processes; $summary"
