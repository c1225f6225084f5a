# Shared start of the end-to-end scripts that drive the real game under their own Xvfb
# display. Sourced (not run: CTest picks up only *.sh) with `name` set to the script's name
# and the script's arguments: game executable, game data directory, output directory.
# Leaves game, data, out, shot and log set, DISPLAY exported, fail() and the window finders
# defined, and a trap that stops the game ($gamepid) and Xvfb on exit.
game="$(realpath "$1")"
data="$(realpath "$2")"
out="$3"
mkdir -p "$out"
out="$(realpath "$out")"
shot="$out/$name.png"
log="$out/$name.log"
rm -f "$shot" "$log"

fail() {
  echo "$name: $*" >&2
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

# Starts the game in its data directory with the given extra environment (NAME=value ...),
# answers the full-screen question No and waits for the frame counter in the title. The box
# may show before it takes keys, so Escape goes to it again each second while it stays; a busy
# machine only makes this slower (up to two minutes). Leaves gamepid and win set.
start_windowed_game() {
  (cd "$data" && exec env SDL_AUDIODRIVER=dummy "$@" "$game") >"$log" 2>&1 &
  gamepid=$!
  local box="" seen_box="" last_key=-10 tick
  win=""
  for tick in $(seq 1200); do
    win="$(window_titled_like "Current Frames Per Second:")"
    [ -n "$win" ] && return 0
    kill -0 "$gamepid" 2>/dev/null || fail "the game ended before its first frames"
    box="$(window_named Options)"
    if [ -n "$box" ]; then
      seen_box=1
      if [ $((tick - last_key)) -ge 10 ]; then
        xdotool key --window "$box" Escape 2>/dev/null
        last_key=$tick
      fi
    fi
    sleep 0.1
  done
  [ -n "$seen_box" ] || fail "no full-screen question box"
  fail "the game window never showed a frame count"
}
