#!/usr/bin/env bash
# Makes the Targa seed files of the fuzzer with ImageMagick (tools/install-deps.sh).
set -euo pipefail
cd "$(dirname "$0")"
convert -size 13x7 gradient:red-blue -depth 8 -compress none -orient BottomLeft bottom-left-24.tga
convert -size 13x7 plasma:fractal -seed 3 -depth 8 -compress none -orient TopLeft top-left-24.tga
convert -size 9x5 gradient:yellow-green -depth 8 -alpha opaque -compress none -orient TopRight top-right-32.tga
# 16 bits, 2 x 2, one colour-map entry and a 2-byte id ahead of the pixels.
printf '\x02\x01\x02\x00\x00\x01\x00\x10\x00\x00\x00\x00\x02\x00\x02\x00\x10\x20id\x00\x00\xff\x7f\x00\x00\x1f\x00\x00\x7c' > id-map-16.tga
