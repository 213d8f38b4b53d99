#!/usr/bin/env bash
# Draws velloran.ico: a list of rows on a blue tile, with a red "remove" badge. The .ico is
# committed; run this only to change the drawing (needs ImageMagick).
set -euo pipefail
cd "$(dirname "$0")"
convert -size 256x256 xc:none \
  -fill '#1f5fa8' -stroke '#123d6e' -strokewidth 8 -draw 'roundrectangle 12,20 232,236 28,28' \
  -stroke none -fill '#ffffff' \
  -draw 'roundrectangle 44,60 200,84 8,8' \
  -draw 'roundrectangle 44,108 200,132 8,8' \
  -draw 'roundrectangle 44,156 140,180 8,8' \
  -fill '#d42a2a' -stroke '#ffffff' -strokewidth 10 -draw 'circle 186,190 186,246' \
  -stroke none -fill '#ffffff' -draw 'roundrectangle 154,181 218,199 6,6' \
  -define icon:auto-resize=256,64,48,40,32,24,20,16 velloran.ico
