#!/usr/bin/env python3
"""Makes the Board demo beside this script: demo-wave.gif, an animated wave
with a swimmer drawn by ImageMagick (tools/install-deps.sh installs it), and
Board.tln, a layout showing it above a video display, built by telvane-cli.

Run from anywhere: ./make_demo_board.py [path/to/telvane-cli]
"""
import json
import math
import os
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
WIDTH, HEIGHT, FRAMES = 96, 64, 8

# The Board layout on a 640 x 480 display: the wave at the top left, the
# event title beside it, and a video display for the results page the
# console sends as a "Video Display Data" field. The board ends above the
# corner logo (y 403 on 640 x 480) and is 9 rows of 34 pixels high, so that
# a 19 x 9 grid covers it without a stripe of unused rows.
LAYOUT = {
    "counter": 3,
    "background": "#101828",
    "objects": [
        {"class": "TBitmapObject", "id": 1, "x": 16, "y": 16, "width": WIDTH, "height": HEIGHT, "flags": 0,
         "file": "demo-wave.gif", "blackTransparent": True, "speed": 100},
        {"class": "TTextObject", "id": 2, "x": 128, "y": 28, "width": 496, "height": 40, "flags": 1,
         "field": "Title", "text": "%s", "font": {"name": "DejaVu Sans", "size": 40}},
        {"class": "TVideoDisplayObject", "id": 3, "x": 16, "y": 88, "width": 608, "height": 306,
         "flags": 1, "field": "Video Display Data", "blackTransparent": False},
    ],
}


def frame(index, path):
    """One frame: two rows of waves moving right, a swimmer's head and arm."""
    phase = 2 * math.pi * index / FRAMES
    draws = []
    for row, colour in ((38, "#1E90FF"), (50, "#0B5FA5")):
        points = " ".join(
            f"{x},{row + 5 * math.sin(x / 8.0 - phase):.1f}" for x in range(0, WIDTH + 1, 4))
        draws += ["-stroke", colour, "-strokewidth", "4", "-fill", "none", "-draw",
                  f"polyline {points}"]
    head_x = 20 + index * 7
    arm = 2 * math.pi * index / 4
    hand_x = head_x + 14 * math.cos(arm)
    hand_y = 30 - 14 * abs(math.sin(arm))
    draws += ["-stroke", "#FFD700", "-strokewidth", "3", "-draw",
              f"line {head_x},{30} {hand_x:.1f},{hand_y:.1f}",
              "-stroke", "none", "-fill", "#FFD700", "-draw",
              f"circle {head_x},{28} {head_x + 5},{28}"]
    # Without anti-aliasing: a frame holds its four colours and nothing
    # near black, which would show as a dark fringe where black is transparent.
    subprocess.run(["convert", "-size", f"{WIDTH}x{HEIGHT}", "xc:black", "+antialias", *draws,
                    path], check=True)


def main():
    cli = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        HERE, "..", "..", "build", "dev", "tools", "telvane-cli", "telvane-cli")
    with tempfile.TemporaryDirectory() as work:
        frames = []
        for i in range(FRAMES):
            frames.append(os.path.join(work, f"frame{i}.png"))
            frame(i, frames[-1])
        # 12 hundredths a frame, for ever; plain full frames, no transparency,
        # and no colour reduction: it once turned the black of some frames
        # into (0, 0, 1), which is not transparent.
        subprocess.run(["convert", "-delay", "12", "-loop", "0", *frames,
                        os.path.join(HERE, "demo-wave.gif")], check=True)
        layout = os.path.join(work, "Board.json")
        with open(layout, "w") as out:
            json.dump(LAYOUT, out, indent=1)
        subprocess.run([cli, "layout", "build", layout, "--out", os.path.join(HERE, "Board.tln")],
                       check=True, stdout=subprocess.DEVNULL)


if __name__ == "__main__":
    main()
