#!/usr/bin/env bash
# Makes the display window's corner logo (176 × 52, 24-bit Targa) with
# ImageMagick from DejaVu Sans Bold. The program embeds the file at build time.
set -euo pipefail
cd "$(dirname "$0")"
font=/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf
convert -size 176x52 xc:'#0B1E3C' -fill '#F28C28' -draw 'rectangle 0,0 6,51' \
  -draw 'rectangle 14,35 165,36' -font "$font" -pointsize 27 -fill white -annotate +13+31 'TELVANE' \
  -font "$font" -pointsize 9 -fill '#9FB3D1' -annotate +14+48 'LIVE  RESULTS  DISPLAY' \
  -type TrueColor -depth 8 -compress none telvane-logo.tga
