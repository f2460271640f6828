#!/usr/bin/env bash
# Makes the JPEG seed files of the fuzzer with ImageMagick and cjpeg (tools/install-deps.sh).
set -euo pipefail
cd "$(dirname "$0")"
source=$(mktemp --suffix=.ppm)
trap 'rm -f "$source"' EXIT
convert -size 19x13 plasma:fractal -seed 5 -depth 8 "$source"
cjpeg -outfile baseline.jpg "$source"
cjpeg -progressive -outfile progressive.jpg "$source"
cjpeg -grayscale -outfile grey.jpg "$source"
cjpeg -arithmetic -outfile arithmetic.jpg "$source"
cjpeg -restart 1 -sample 1x1 -outfile restart.jpg "$source"
