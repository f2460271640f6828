#!/usr/bin/env python3
"""Writes the seed files of the video display fuzzer: two bytes of board size
(width - 1, 2 * (height - 1)), one of rotation, then the command stream with
DC2 and DC4 around each command. Run from this folder: ./make_seeds.py
"""


def seed(name, width, height, rotation, commands):
    stream = b"".join(b"\x12" + c.encode("latin-1") + b"\x14" for c in commands)
    with open(name, "wb") as out:
        out.write(bytes([width - 1, 2 * (height - 1), rotation]) + stream)


seed("example-page.bin", 200, 60, 0, [
    "LayoutSetup=20,4", "FontFaceColor=Yellow", "TextDraw=RESULTS", "TextSetup=10,1,0,1",
    "TextJustify=Right", "TextDraw=12.34", "LayoutFlush"])
seed("scoreboard.bin", 240, 100, 0, [
    "LayoutSetup=8,5", "LayoutBackColor=0,0,64", "FontName=DejaVu Sans", "FontWidth=90,50",
    "TextMargins=1,1", "TextDraw=1", "TextSetup=4,1", "TextDraw=Mara Lindqvist",
    "TextSetup=2,1", "TextJustify=Center", "FontBackColor=Blue", "TextDraw=SWE",
    "TextJustify=Right", "TextDraw=24.81", "TextHandling=String", "TextDraw=2\u00e9", "Blank=3,1",
    "TextOptimize=Off", "TextDraw=25:03.1", "LayoutFlush"])
seed("images.bin", 96, 48, 1, [
    "LayoutSetup=4,2", "LayoutBackColor=Magenta", "ImageSetup=2,1", "ImageStretch=On",
    "ImageMargins=1,2,3,4", "ImageJustify=Right,Bottom", "ImageDraw=missing.tga",
    "ImageDraw=abc", "ImageStretch=OnKA", "ImageDraw=/nonexistent/x.gif", "LayoutFlush"])
seed("numbers.bin", 64, 64, 2, [
    "LayoutSetup=0x7FFFFFFF,-5", "TextSetup=-1,2147483647,-2147483648,2147483647",
    "TextDraw=x", "Blank=2147483647,2147483647", "TextDraw=W", "FontSize=-1",
    "FontBorderSize=0", "FontShadowSize=100", "LayoutBackColor=999,-1,0x100",
    "TextMargins=2147483647,2147483647", "TextDraw=WWW", "layoutflush"])
