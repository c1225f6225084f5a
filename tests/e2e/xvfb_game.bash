# Shared start of the end-to-end scripts that drive the real game under their own Xvfb
# display. Sourced (not run: CTest picks up only *.sh) with `name` set to the script's name
# and the script's arguments: game executable, game data directory, output directory.
# Leaves game, data, out (the output directory's folder for this script), shot and log set,
# DISPLAY and SDL_AUDIODRIVER=dummy exported, and a trap that stops the game ($gamepid) and
# Xvfb on exit. Defines fail(), the window finders, and the waits below.
#
# Every wait is for a condition (a window, a title, a log line, a picture), never a fixed
# sleep: a busy machine only makes a run slower. The limits are generous on purpose and can
# be stretched for a very slow machine with KORVALIS_E2E_PATIENCE (a factor, default 1).
game="$(realpath "$1")"
data="$(realpath "$2")"
out="$3/$name"
mkdir -p "$out"
out="$(realpath "$out")"
shot="$out/$name.png"
log="$out/$name.log"
rm -f "$out"/*.png "$out"/*.log

# On failure the screen and its window tree are kept beside the log for a look afterwards.
fail() {
  echo "$name: FAIL: $*" >&2
  [ -f "$log" ] && sed 's/^/  game: /' "$log" >&2
  if [ -n "$gamepid" ]; then
    if kill -0 "$gamepid" 2>/dev/null; then echo "$name: the game was still running" >&2
    else echo "$name: the game had ended" >&2; fi
  fi
  if [ -n "${own_display:-}" ]; then
    import -window root "$out/failure.png" 2>/dev/null
    xwininfo -root -tree >"$out/failure-windows.txt" 2>&1
    echo "$name: the screen at the failure: $out/failure.png, its windows: $out/failure-windows.txt" >&2
  fi
  exit 1
}

for tool in Xvfb xdotool xwininfo import convert compare; do
  command -v "$tool" >/dev/null || fail "missing tool $tool"
done
[ -x "$game" ] || fail "no game executable at $game"
[ -f "$data/Config.ini" ] || fail "no game data in $data (Config.ini missing)"
export SDL_AUDIODRIVER=dummy
patience="${KORVALIS_E2E_PATIENCE:-1}"

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

# Runs the rest of the arguments every fifth of a second until it succeeds (status 0) or $1
# seconds (times the patience) have passed (status 1). While a game runs, its end stops the
# wait early (status 2): nothing it could still show will come.
wait_until() {
  local limit end
  limit="$(awk -v s="$1" -v p="$patience" 'BEGIN {print int(s * p + 0.5)}')"
  shift
  end=$((SECONDS + limit))
  while :; do
    "$@" && return 0
    if [ -n "$gamepid" ] && ! kill -0 "$gamepid" 2>/dev/null; then
      "$@" && return 0
      return 2
    fi
    [ "$SECONDS" -ge "$end" ] && return 1
    sleep 0.2
  done
}

display_up() { [ -s "$displayfile" ]; }
wait_until 30 display_up || fail "Xvfb did not start"
export DISPLAY=":$(head -n1 "$displayfile")"
own_display=yes

# Finds a top-level window by its exact title; prints its id.
window_named() {
  xwininfo -root -tree 2>/dev/null | awk -v t="\"$1\"" 'index($0, t) {print $1; exit}'
}
window_titled_like() {
  xwininfo -root -tree 2>/dev/null | awk -v t="$1" 'index($0, t) {print $1; exit}'
}
# A window title of the game's window once frames run (the frame counter writes it).
fps_title="Current Frames Per Second: "
frames_running() { [ -n "$(window_titled_like "$fps_title")" ]; }
error_box_shown() { [ -n "$(window_named Error)" ]; }
frames_or_error() { frames_running || error_box_shown; }

# Starts the game in folder $1 (default: the game data) with the variables NAME=value that
# follow, its output going to $log.
start_game() {
  local dir="${1:-$data}"
  shift
  (cd "$dir" && exec env "$@" "$game") >"$log" 2>&1 &
  gamepid=$!
}

# Answers the full-screen question with key $1 sent to the box's own window (there is no
# window manager): Escape is No (windowed), Return is Yes. The box may show before it takes
# keys, so the key goes to it again each second while it stays, until the game has moved on
# (SDL shows a later error message in the same window). Sets box. With "strict" as $2 the
# box must show; otherwise a game that runs its frames without asking (the box could not be
# shown, so it starts full screen) is let through with a note.
question_shown() { box="$(window_named Options)"; [ -n "$box" ]; }
question_or_frames() { question_shown || frames_or_error; }
question_answered() {
  local still
  still="$(window_named Options)"
  [ -z "$still" ] && return 0
  grep -q '^Error: ' "$log" 2>/dev/null && return 0
  if [ $((SECONDS - answered_at)) -ge 1 ]; then
    xdotool key --window "$still" "$answer" 2>/dev/null
    answered_at=$SECONDS
  fi
  return 1
}
answer_question() {
  wait_until 90 question_or_frames
  if ! question_shown; then
    frames_running && [ "${2:-}" != strict ] && {
      echo "$name: NOTE: the game ran without showing the full-screen question" >&2
      return 0
    }
    fail "no full-screen question box"
  fi
  answer="$1"
  xdotool key --window "$box" "$answer" 2>/dev/null
  answered_at=$SECONDS
  wait_until 60 question_answered || fail "the question box did not take $answer"
}

# Waits for the frame counter to title the game window; sets win. An error box instead
# fails the run.
wait_for_frames() {
  wait_until 180 frames_or_error
  if error_box_shown; then
    fail "an error box instead of frames"
  fi
  win="$(window_titled_like "$fps_title")"
  [ -n "$win" ] || fail "the game window never showed a frame count"
}

# Starts the game in the game data with the variables NAME=value given, answers the question
# No and waits for its frames; leaves gamepid and win set.
start_windowed_game() {
  start_game "$data" "$@"
  answer_question Escape
  wait_for_frames
}

# Waits for the game to end; sets status to its exit status, or to "running" after $1
# seconds.
game_ended() { ! kill -0 "$gamepid" 2>/dev/null; }
wait_exit() {
  status=running
  if wait_until "$1" game_ended; then
    wait "$gamepid"
    status=$?
    gamepid=""
  fi
}

# Escape on the game window quits with status 0.
quit_with_escape() {
  xdotool key --window "$win" Escape
  wait_exit 30
  if [ "$status" = running ]; then
    # The key may go to the focused window only.
    xdotool windowfocus --sync "$win" 2>/dev/null
    xdotool key Escape
    wait_exit 30
  fi
  [ "$status" != running ] || fail "Escape did not end the game"
  [ "$status" -eq 0 ] || fail "the game exited with status $status"
}

# Screenshot of the screen, or of a part WxH+X+Y of it ($2), to $out/$1.png.
screenshot() {
  if [ -n "${2:-}" ]; then
    import -window root -crop "$2" +repage "$out/$1.png" 2>/dev/null
  else
    import -window root "$out/$1.png" 2>/dev/null
  fi
}
# Pixels that differ (beyond $3, default 3%) between two screenshots.
changed_pixels() {
  compare -metric AE -fuzz "${3:-3%}" "$out/$1.png" "$out/$2.png" null: 2>&1 | cut -d' ' -f1
}
# Pure white pixels in the part WxH+X+Y ($2) of screenshot $1.
white_pixels() {
  convert "$out/$1.png" -crop "$2" +repage -fill black +opaque white -fill white -opaque white \
    -format '%[fx:int(mean*w*h+0.5)]' info:
}

# The bot position lines (KORVALIS_BOT_POSITIONS) read: bots T ms: 0 at X Y Z state S, 1 at X Y Z
# state S, waypoints A B, grenades G H, ticks K, floors F G. field: field $2 of such a line $1,
# commas dropped (bot 0's X is field 6, bot 1's X field 13, the ticks field 25, the floors 27 and 28).
field() { awk -v n="$2" '{gsub(/,/, ""); print $n}' <<<"$1"; }
# Game time in a position line is its ticks / 85 seconds (a slow machine runs fewer ticks a
# second). line_at: the first position line at or after $1 ms of game time from the line $t0
# ticks stand in (the caller sets t0, usually from the first line); has_line_at: whether it is
# in the log yet.
line_at() {
  awk -v t="$((t0 + $1 * 85 / 1000))" '/^bots / {gsub(/,/, ""); n = $25} /^bots / && n >= t {print; exit}' "$log"
}
has_line_at() { [ -n "$(line_at "$1")" ]; }
# The farthest a bot got in the log from where it stood at tick $2, until tick $3; $1 is its X
# field. A bot walking a loop can come back near its place, so a net move between two lines
# says little.
bot_farthest() {
  awk -v o="$1" -v from="$2" -v to="$3" '/^bots / {
      gsub(/,/, ""); t = $25
      if (t == from) { x = $o; y = $(o + 1); z = $(o + 2); started = 1 }
      else if (started && t > from && t <= to) {
        d = sqrt(($o - x) ^ 2 + ($(o + 1) - y) ^ 2 + ($(o + 2) - z) ^ 2); if (d > m) m = d
      }
    } END {print m + 0}' "$log"
}

# The bots roam: from the first position line, at every $1 ms of game time up to $2 such steps,
# each bot must have got more than 50 units away from where it stood a step before, and at the
# end each must have reached at least $3 different waypoints. Leaves `previous` set to the
# last line checked.
check_bots_roam() {
  local step="$1" steps="$2" floor="$3" first at now d o n reached
  first="$(grep -m1 '^bots ' "$log")"
  [ -n "$first" ] || { wait_until 60 grep -q '^bots ' "$log"; first="$(grep -m1 '^bots ' "$log")"; }
  [ -n "$first" ] || fail "no bot positions printed"
  t0="$(field "$first" 25)"
  previous="$first"
  for ((at = step; at <= step * steps; at += step)); do
    wait_until 600 has_line_at "$at" || fail "no position line $at ms of game time after the first"
    now="$(line_at "$at")"
    echo "$name: $now"
    for o in 6 13; do  # the X of bot 0 and of bot 1
      d="$(bot_farthest "$o" "$(field "$previous" 25)" "$(field "$now" 25)")"
      awk -v d="$d" 'BEGIN {exit !(d > 50)}' || fail "a bot (field $o) stood still until $at ms: got only $d away"
    done
    previous="$now"
  done
  for n in 19 20; do
    reached="$(field "$previous" "$n")"
    [ "$reached" -ge "$floor" ] || fail "a bot reached only $reached different waypoints in $((step * steps / 1000)) s"
  done
}
