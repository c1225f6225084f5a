#!/usr/bin/env bash
# End-to-end run of the installed game under its own Xvfb: `cmake --install` into a temporary
# prefix; from an empty folder (no Config.ini), `korvalis --windowed` plays the default level
# without the question box and Escape ends it with status 0; `--level` with an archive of the
# level and its pictures (under a name of its own) starts on that level; Print Screen saves a
# screenshot that matches the screen.
# Arguments: the game executable, the game data directory, an output directory.
set -uo pipefail
name=install
source "$(dirname "${BASH_SOURCE[0]}")/xvfb_game.bash"

build="$(dirname "$(dirname "$game")")"
work="$(mktemp -d)"
trap 'cleanup; rm -rf "$work"' EXIT
prefix="$work/prefix"
cmake --install "$build" --prefix "$prefix" >"$out/install.log" 2>&1 || fail "cmake --install failed (see $out/install.log)"
for f in bin/korvalis share/korvalis/Config.ini share/korvalis/maps/korvalis.bsp \
         share/applications/korvalis.desktop share/icons/hicolor/64x64/apps/korvalis.png; do
  [ -e "$prefix/$f" ] || fail "the install has no $f"
done
# The install moved as a whole still finds its data.
mv "$prefix" "$work/moved"
prefix="$work/moved"
game="$prefix/bin/korvalis"
empty="$work/empty"
mkdir -p "$empty"

# Starts the installed game in the empty folder with the options given.
run_installed() {
  (cd "$empty" && exec "$game" "$@") >"$log" 2>&1 &
  gamepid=$!
}
# Waits for screenshot $1 to show a drawn level: most of the screen brighter than black (the
# first frames after the window shows may still be black).
lit=0
level_drawn() {
  screenshot "$1" || return 1
  lit="$(convert "$out/$1.png" -threshold 3% -format '%[fx:mean]' info:)"
  awk -v f="$lit" 'BEGIN {exit !(f > 0.5)}'
}

# --- the default level, no question; Print Screen saves what is on screen ---
log="$out/installed.log"
export XDG_PICTURES_DIR="$work/pictures"
run_installed --windowed
wait_for_frames
question_shown && fail "the question box showed despite --windowed"
grep -q '^Level: maps/korvalis.bsp' "$log" || fail "not the default level"
wait_until 60 level_drawn default || fail "the default level's view stays mostly black ($lit lit)"
echo "default level: lit fraction $lit"
saved_line() { grep -q "^Screenshot saved: $XDG_PICTURES_DIR/korvalis/korvalis-.*\.png\$" "$log"; }
xdotool key --window "$win" Print
if ! wait_until 10 saved_line; then
  # The key may go to the focused window only.
  xdotool windowfocus --sync "$win" 2>/dev/null
  xdotool key Print
  wait_until 60 saved_line || fail "Print Screen saved no screenshot"
fi
import -window "$win" "$out/on-screen.png" 2>/dev/null
saved="$(sed -n 's/^Screenshot saved: //p' "$log" | head -1)"
[ "$(identify -format '%wx%h' "$saved")" = 1024x768 ] || fail "the screenshot is $(identify -format '%wx%h' "$saved")"
cp "$saved" "$out/screenshot.png"
# The bots and the steam jet move between the two pictures; the rest is the same.
differing="$(changed_pixels screenshot on-screen 8%)"
echo "screenshot: $(basename "$saved"), $differing of 786432 pixels differ from the screen"
[ "$differing" -lt 78643 ] || fail "the screenshot is not what the screen shows ($differing pixels differ)"
quit_with_escape

# --- a level from an archive given by its path ---
python3 - "$data" "$work/level.pk3" <<'PY' || fail "could not write the archive"
import os, sys, zipfile
data, archive = sys.argv[1], sys.argv[2]
with zipfile.ZipFile(archive, "w", zipfile.ZIP_DEFLATED) as z:
    z.write(os.path.join(data, "maps", "korvalis.bsp"), "maps/archived.bsp")
    for root, _, names in os.walk(os.path.join(data, "textures")):
        for n in names:
            path = os.path.join(root, n)
            z.write(path, os.path.relpath(path, data))
PY
log="$out/archive.log"
run_installed --windowed --level "$work/level.pk3"
wait_for_frames
grep -q '^Level: maps/archived.bsp' "$log" || fail "the archive's level was not played"
wait_until 60 level_drawn archived || fail "the archived level's view stays mostly black ($lit lit)"
echo "archived level: lit fraction $lit"
quit_with_escape

echo "install: ok"
