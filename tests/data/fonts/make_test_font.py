#!/usr/bin/python3
"""Writes telvane-test.ttf, the font the render tests draw with.

Every glyph is a rectangle on a 50-unit grid: 1000 units per em, ascent 800
and descent 200, so at a cell height of 20 pixels one pixel is 50 units and
every edge falls on a pixel boundary (except in 'H', whose sides sit on half
pixels to give partly covered columns). The tests then know each pixel.

Needs python3-fonttools (Debian). Run from this folder: ./make_test_font.py
"""
from fontTools.fontBuilder import FontBuilder
from fontTools.pens.ttGlyphPen import TTGlyphPen


def box_glyph(boxes):
    pen = TTGlyphPen(None)
    for x0, y0, x1, y1 in boxes:
        pen.moveTo((x0, y0))
        pen.lineTo((x0, y1))
        pen.lineTo((x1, y1))
        pen.lineTo((x1, y0))
        pen.closePath()
    return pen.glyph()


# name: (code point, advance, boxes)
GLYPHS = {
    ".notdef": (None, 500, [(50, 0, 450, 700)]),
    "space": (0x20, 500, []),
    "colon": (0x3A, 250, [(50, 100, 200, 200), (50, 400, 200, 500)]),
    "period": (0x2E, 250, [(50, 0, 200, 100)]),
    "I": (0x49, 400, [(100, 0, 300, 700)]),
    "H": (0x48, 500, [(75, 0, 425, 700)]),
    "W": (0x57, 1000, [(50, 0, 950, 700)]),
    "Omega": (0x3A9, 500, [(50, 0, 450, 700)]),
}
# Digits share an advance but not their ink, as in real fonts.
for digit in range(10):
    left = 150 if digit == 1 else 50
    right = 350 if digit == 1 else 450
    GLYPHS["digit%d" % digit] = (0x30 + digit, 500, [(left, 0, right, 600)])
# The other capitals: a plain box.
for code in range(ord("A"), ord("Z") + 1):
    name = chr(code)
    if name not in GLYPHS:
        GLYPHS[name] = (code, 600, [(50, 0, 550, 700)])

order = list(GLYPHS)
fb = FontBuilder(1000, isTTF=True)
fb.setupGlyphOrder(order)
fb.setupCharacterMap({cp: name for name, (cp, _, _) in GLYPHS.items() if cp is not None})
fb.setupGlyf({name: box_glyph(boxes) for name, (_, _, boxes) in GLYPHS.items()})
fb.setupHorizontalMetrics(
    {name: (adv, boxes[0][0] if boxes else 0) for name, (_, adv, boxes) in GLYPHS.items()})
fb.setupHorizontalHeader(ascent=800, descent=-200)
fb.setupNameTable({"familyName": "Telvane Test", "styleName": "Bold"})
fb.setupOS2(usWeightClass=700, fsSelection=0x20, sTypoAscender=800, sTypoDescender=-200,
            sTypoLineGap=0, usWinAscent=800, usWinDescent=200, xAvgCharWidth=500)
fb.setupPost()
fb.font["head"].flags = 0  # no integer-ppem rounding: the scale stays exact
fb.font["head"].macStyle = 1
fb.save("telvane-test.ttf")
