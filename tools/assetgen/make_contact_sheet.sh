#!/usr/bin/env bash
# Redraws docs/contact-sheet.png from the generated pictures in a game data dir:
#   tools/assetgen/make_contact_sheet.sh build/game
# Needs ImageMagick's montage (called by its full path: the one on PATH may be a stand-in).
set -euo pipefail
game="${1:?usage: $0 GAME_DATA_DIR}"
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
font=/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf
pictures=(hud-famas1 hud-famas2 hud-launcher1 hud-launcher2 hud-nightvision2 hud-nightvision1
          P1 P2 P3 P4 P5 P7)
args=()
for p in "${pictures[@]}"; do args+=(-label "$p.bmp" "$game/$p.bmp"); done
/usr/bin/montage -font "$font" -pointsize 13 -fill '#dddddd' -background '#2a2a2a' \
  "${args[@]}" -resize 256x192 -tile 6x2 -geometry 256x192+6+6 \
  -depth 8 -colors 256 "$root/docs/contact-sheet.png"
