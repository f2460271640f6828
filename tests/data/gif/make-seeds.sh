#!/usr/bin/env bash
# Makes the GIF seed files of the fuzzer with ImageMagick (tools/install-deps.sh).
set -euo pipefail
cd "$(dirname "$0")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
convert -size 16x12 gradient:red-blue -depth 8 "$work/a.ppm"
convert -size 6x5 xc:green "$work/b.ppm"
convert -size 5x4 xc:none -fill blue -draw 'rectangle 1,1 3,2' "$work/c.png"
# Every disposal method, a transparent colour, local tables and a loop count.
convert -delay 10 -dispose none "$work/a.ppm" -dispose previous -page +3+2 "$work/b.ppm" \
  -dispose background -page +8+6 "$work/c.png" -dispose none -page +1+1 "$work/b.ppm" \
  -loop 0 animated.gif
convert animated.gif -interlace Line interlaced.gif
convert -size 24x20 plasma:fractal -seed 9 -colors 256 full-palette.gif
