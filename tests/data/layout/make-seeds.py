#!/usr/bin/env python3
# Writes the hand-made layout seeds of the fuzz target: the empty layout and
# files of the oldest record versions. every-kind.tln is
#   telvane-cli layout build every-kind.json --out every-kind.tln
# with the JSON of tests/layout/layout_cli_test.cc (kEveryKind).
import os
import struct


def i(*values):
    return b''.join(struct.pack('<i', v) for v in values)


def s16(text):
    units = text.encode('utf-16-le')
    return i(0x10010005, len(units) // 2) + units


def s8(text):
    data = text.encode('latin-1')
    return i(0x10005, len(data)) + data


def colour(value, tag=0x1000A):
    return i(tag, value)


def font():
    return i(0x1000F, 20) + colour(1) + colour(4) + colour(4) + s16('') + colour(0) + i(0, 50, 100)


here = os.path.dirname(os.path.abspath(__file__))


def write(name, data):
    with open(os.path.join(here, name), 'wb') as out:
        out.write(data)


write('empty.tln', i(0x30005, 0, 0, 0x10007, 0, 0x1000A, 7, 0, 0))
# 3.3: no background; 3.4 common and 3.7 text records; 8-bit strings.
write('version-3.3.tln',
      i(0x30003, 2, 0, 0x10007, 2) + s8('TTextObject') + i(0x30004, 1, 0, 1, 2, 30, 40, 1) +
      s8('Time') + i(0x30007) + font() + i(2) + s8('%s') + s8('12.3') + s8('TBitmapObject') +
      i(0x30004, 2, 0, 5, 5, 50, 50, 0) + s8('') + i(0x30008) + s8('logo.tga'))
# 3.4: the background under its old tag, the legacy dynamic word.
write('version-3.4.tln',
      i(0x30004, 1, 0, 0x10007, 1) + s16('TVideoDisplayObject') +
      i(0x30004, 1, 0, 0, 0, 640, 480, 1) + s16('Video Display Data') + i(0x30009, 1, 0) +
      colour(3, 0x30006))
