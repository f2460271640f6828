#!/usr/bin/env python3
"""Writes demo-race.tvcap: one heat of a 50 m race from the Chronvale demo console,
its results, then the results board.

The feed follows Chronvale.rss beside this script; the capture format is
described in docs/capture-format.md. Run it again after changing either.
"""
import random
import struct
import sys

MAGIC = b"TVCAP\r\n\x1a"
VERSION = 0x10000

LANES = [
    (1, "Mara Lindqvist", "SWE"), (2, "Ines Duarte", "POR"), (3, "Hana Kobayashi", "JPN"),
    (4, "Chloe Fontaine", "FRA"), (5, "Ada Okonkwo", "NGR"), (6, "Lena Brandt", "GER"),
    (7, "Sofia Marchetti", "ITA"), (8, "Zoe Whitfield", "AUS"),
]
EVENT, HEAT = 7, 2


def packet(kind, body):
    return b"\x02" + kind.encode() + body.encode("latin-1") + b"\x03"


def board(*commands):
    """A Board packet: each video display command framed by DC2 and DC4, the
    stream closed by EOT."""
    return b"\x02V" + b"".join(b"\x12" + c.encode("latin-1") + b"\x14"
                               for c in commands) + b"\x04\x03"


def clock(seconds):
    minutes, rest = divmod(seconds, 60)
    text = f"{int(minutes)}:{rest:04.1f}" if minutes else f"{rest:.1f}"
    return f"{text:>8}"


def main(out_path):
    rng = random.Random(2025)
    chunks = []  # (time in microseconds, bytes)

    def send(at_s, data):
        chunks.append((int(at_s * 1_000_000), data))

    # The loop starts over on the results board: show the start screen
    # emptied of old values.
    send(0.0, b"Command=LayoutDraw;Name=Start;Delay=0;Clear=1\n")
    send(0.2, packet("N", f"{EVENT:03d}{HEAT:02d}{'Women 50 m Freestyle':<30}"))
    for at in (0.5, 1.5):
        for lane, name, team in LANES:
            send(at + lane * 0.01, packet("R", f"  {lane}{name:<20}{team:<4}{'':>8}"))
    send(3.0, b"Command=Trigger;Name=Go\n")
    send(3.1, b"\x16\x16\n")  # the idle line a console sends between packets

    finish = {lane: 24.0 + rng.uniform(0.0, 3.5) for lane, _, _ in LANES}
    order = sorted(finish, key=finish.get)
    race_start = 3.0
    t = 0.0
    finished = 0
    while finished < len(order):
        t = round(t + 0.1, 1)
        send(race_start + t, packet("T", f"{EVENT:03d}{HEAT:02d}{clock(t)}"))
        while finished < len(order) and finish[order[finished]] <= t:
            lane = order[finished]
            name, team = next((n, tm) for ln, n, tm in LANES if ln == lane)
            finished += 1
            send(race_start + finish[lane],
                 packet("R", f"{finished:>2}{lane}{name:<20}{team:<4}{clock(finish[lane]):>8}"))
    end = race_start + t + 2.0
    # With the default delay: the old screen stays until the first result
    # arrives on the emptied results screen.
    send(end, b"Command=LayoutDraw;Name=Results;Clear=1\n")
    for lane in order:
        place = order.index(lane) + 1
        name, team = next((n, tm) for ln, n, tm in LANES if ln == lane)
        send(end + 0.5 + place * 0.05,
             packet("R", f"{place:>2}{lane}{name:<20}{team:<4}{clock(finish[lane]):>8}"))
    send(end + 5.0, b"Command=Trigger;Name=Podium\n")
    send(end + 10.0, b"\n")  # an empty line repeats the last command

    # The results board, a title row and a row for each place: the page goes
    # first, so that the board is filled when it comes on; it then shows
    # until the loop starts over.
    page = ["LayoutSetup=19,9", "LayoutBackColor=0,0,64",
            "ImageSetup=19,9,0,0", "ImageDraw=none",  # a missing picture fills with the background
            "FontName=DejaVu Sans", "FontFaceColor=Yellow",
            "TextSetup=19,1,0,0", "TextJustify=Center", "TextDraw=RESULTS",
            "FontFaceColor=White", "FontWidth=90,60"]
    for place, lane in enumerate(order, 1):
        name, team = next((n, tm) for ln, n, tm in LANES if ln == lane)
        page += ["TextSetup=2,1", "TextJustify=Right", f"TextDraw={place}",
                 "TextSetup=10,1", f"TextDraw={name}",
                 "TextSetup=3,1", "FontFaceColor=Cyan", f"TextDraw={team}",
                 "TextSetup=4,1", "TextJustify=Right", f"TextDraw={clock(finish[lane]).strip()}"]
    page.append("LayoutFlush")
    page_packet = board(*page)
    assert len(page_packet) < 2048, "a page must fit the source's packet buffer"
    send(end + 10.2, page_packet)
    # A trigger stays on through Clear=1 and reaches only the layout shown:
    # the podium line goes off while the results are still up.
    send(end + 10.5, b"Command=Trigger;Name=Podium;Action=Off\n"
                     b"Command=LayoutDraw;Name=Board;Delay=0\n")
    send(end + 20.5, b"\x16\x16\n")  # the last chunk: the loop starts over after it

    chunks.sort(key=lambda c: c[0])
    with open(out_path, "wb") as out:
        out.write(MAGIC + struct.pack("<ii", VERSION, 0))
        last = 0
        for at, data in chunks:
            out.write(struct.pack("<Ii", at - last, len(data)) + data)
            last = at


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "demo-race.tvcap")
