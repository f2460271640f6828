#!/usr/bin/env bash
# Makes the display window's corner logo (176 × 52, 24-bit Targa, rows top
# to bottom) with ImageMagick from DejaVu Sans Bold. The build embeds it.
# The pixels come out as raw blue-green-red rows and the Targa header is
# written here, so the row order never depends on ImageMagick's writer.
set -euo pipefail
cd "$(dirname "$0")"
font=/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf
{
  # Type 2, 176 × 52, 24 bits, origin top-left (descriptor 0x20).
  printf '\0\0\2\0\0\0\0\0\0\0\0\0\260\0\64\0\30\40'
  convert -size 176x52 xc:'#0B1E3C' -fill '#F28C28' -draw 'rectangle 0,0 6,51' \
    -draw 'rectangle 14,35 165,36' -font "$font" -pointsize 27 -fill white -annotate +13+31 'TELVANE' \
    -font "$font" -pointsize 9 -fill '#9FB3D1' -annotate +14+48 'LIVE  RESULTS  DISPLAY' \
    -depth 8 bgr:-
} >telvane-logo.tga
