#!/usr/bin/env bash
# The real game under valgrind's memcheck, offscreen: start-up with the level, the characters
# and the overlays, then 300 frames drawn by Mesa's software renderer with a scripted step
# every frame through the window procedure (weapon changes, shots from both weapons, the
# information, waypoint, night-vision and slow-motion toggles; KORVALIS_FRAMES,
# KORVALIS_FIRE_EVERY), so shots fly, land and burst into sparks.
# The window is 32 x 24 (KORVALIS_WINDOW): every GL call, texture upload and library call is
# the same as at full size, only the pixels are few, and under valgrind a frame costs a
# quarter of a second instead of thirteen. Mesa rasterises on the game's own thread
# (LP_NUM_THREADS=0), and valgrind watches for code the shader compiler rewrites in place
# (--smc-check=all-non-file), which it otherwise may run stale.
# Fails on any invalid read or write, use of uninitialised memory or mismatched free whose
# stack passes through the game or a library it calls (GLU, libjpeg, SDL, SDL_mixer,
# FreeType): AddressSanitizer sees only our own code, this sees what those libraries do with
# our buffers. Errors wholly inside Mesa's own code are listed but not counted; the dynamic
# loader's known over-reads are suppressed (memcheck.supp).
# Arguments: the game executable, the game data directory, an output directory.
# KORVALIS_MEMCHECK_FRAMES overrides the frame count, KORVALIS_MEMCHECK_WINDOW the size.
set -uo pipefail

game="$(realpath "$1")"
data="$2"
out="$3/memcheck"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
mkdir -p "$out"
rm -f "$out"/*
command -v valgrind >/dev/null || { echo "SKIP: valgrind is not installed"; exit 0; }
command -v python3 >/dev/null || { echo "SKIP: python3 is not installed"; exit 0; }
[ -e "$data/Config.ini" ] || { echo "SKIP: no game data in $data"; exit 0; }

run() {
  local name="$1" frames="$2"
  shift 2
  local started=$SECONDS
  (
    cd "$data" &&
      unset DISPLAY &&
      exec env SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy KORVALIS_FRAMES="$frames" \
        KORVALIS_FIRE_EVERY=1 "$@" valgrind --error-limit=no --num-callers=40 \
        --smc-check=all-non-file --child-silent-after-fork=yes --leak-check=no \
        --suppressions="$here/memcheck.supp" --xml=yes \
        --xml-file="$out/$name.xml" --log-file="$out/$name.log" "$game"
  ) >"$out/$name-game.log" 2>&1
  local status=$?
  echo "$name: $frames frames under valgrind in $((SECONDS - started)) s, status $status"
  echo "processor time of this script's children (user, system): $(times | tail -n 1)"
  if [ "$status" != 0 ]; then
    tail -n 30 "$out/$name.log" "$out/$name-game.log"
    echo "FAIL: status $status"
    exit 1
  fi
}
run drawn "${KORVALIS_MEMCHECK_FRAMES:-300}" LP_NUM_THREADS=0 \
  KORVALIS_WINDOW="${KORVALIS_MEMCHECK_WINDOW:-32x24}"
xml_files=("$out/drawn.xml")

python3 - "$game" "${xml_files[@]}" <<'EOF'
import os, sys
import xml.etree.ElementTree as ET

game = os.path.realpath(sys.argv[1])
# Libraries the game calls with its own buffers; a frame in one of them makes the error ours.
called = ("libGLU.so", "libjpeg.so", "libSDL2-2.0.so", "libSDL2_mixer-2.0.so", "libfreetype.so")
counted_kinds = ("InvalidRead", "InvalidWrite", "UninitCondition", "UninitValue",
                 "SyscallParam", "MismatchedFree", "InvalidFree", "InvalidMemPool", "Overlap")
ours, others = [], []
errors = [e for xml_file in sys.argv[2:] for e in ET.parse(xml_file).getroot().iter("error")]
for error in errors:
    kind = error.findtext("kind", "")
    if kind.startswith("Leak_"):
        continue  # memory still held at exit is not what this run looks for
    frames = error.find("stack").findall("frame") if error.find("stack") is not None else []
    objs = [os.path.realpath(f.findtext("obj", "")) for f in frames]
    text = "%s: %s\n" % (kind, error.findtext("what") or error.findtext("xwhat/text", ""))
    text += "".join("    %s (%s)\n" % (f.findtext("fn", "?"), os.path.basename(f.findtext("obj", "?")))
                    for f in frames[:14])
    if kind in counted_kinds and any(o == game or os.path.basename(o).startswith(called) for o in objs):
        ours.append(text)
    else:
        others.append(text)
for text in others:
    print("not counted (no frame of the game or a library it calls):\n" + text)
for text in ours:
    print("ERROR:\n" + text)
print("memcheck: %d error(s) through the game or the libraries it calls, %d elsewhere"
      % (len(ours), len(others)))
sys.exit(1 if ours else 0)
EOF
result=$?
[ "$result" = 0 ] || { echo "FAIL: see $out/drawn.log"; exit 1; }
echo PASS
