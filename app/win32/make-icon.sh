#!/usr/bin/env bash
# Draws the program's icon (a speech bubble asking "?" on a blue tile) and writes UninstallFeedback.ico with
# the sizes Windows asks for. Run by hand after changing the drawing; the .ico is kept in the repository.
# Needs ImageMagick 6 (scripts/setup installs it) and the DejaVu fonts.
set -euo pipefail
cd "$(dirname "$0")"
convert=/usr/bin/convert  # not a wrapper of the same name earlier on PATH
font=/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

"$convert" -size 256x256 xc:none \
  \( -size 256x256 gradient:'#3b82c4-#1d4e89' \) \
  \( -size 256x256 xc:none -fill white -draw 'roundrectangle 8,8 247,247 44,44' \) \
  -delete 0 -compose DstIn -composite \
  -fill white -stroke '#0f2f57' -strokewidth 6 \
  -draw 'roundrectangle 40,48 216,176 36,36' \
  -stroke none -draw 'polygon 76,168 112,168 64,222' \
  -font "$font" -pointsize 120 -fill '#1d4e89' -gravity center -annotate +0-16 '?' \
  "$tmp/icon-256.png"
# One image a size; Windows picks the nearest. ImageMagick stores the 256-pixel one as PNG.
"$convert" "$tmp/icon-256.png" -depth 8 -filter Lanczos -define icon:auto-resize=256,64,48,32,24,16 \
  UninstallFeedback.ico
echo "wrote $(pwd)/UninstallFeedback.ico"
