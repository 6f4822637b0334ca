#!/usr/bin/env python3
"""Writes data/ui/layout/kassen.txt, the battle scene's layout (scene 8, menu type 90).

Contract (docs/layouts.md "Battle scene"): the first Text is the message line, the six Texts after
it list side 1's units, buttons 300..307 are the command buttons (their Text child is the label),
200 is back (the right click), 2000..2005 are side 0's unit panels; the second top Window holds
the twelve unit figures of the field. Run from the repository root;
the output is committed.
"""
import os

HEADER = """// Battle scene (scene 8, menu 0, type 90). Made by data/ui/gen/kassen_layout.py; edit that.
// The first Text is the message line; the six Texts after it list side 1's units; buttons
// 300..307 are the command buttons (their Text child is the label), 200 is back (the right
// click), 2000..2005 are side 0's unit panels. See docs/layouts.md.
[SpriteLocal]
{
:#0 "Data\\Image\\dialog\\button.png",160,240,1,5
:#1 "Data\\Model\\figure_walk.x",0,0,1,1
}"""


def text(i, x, y, w, h, size=22, col="255,240,210,255"):
    return ["[Text#%d]" % i, "{", ":pos %d,%d,0" % (x, y), ":area %d,%d" % (w, h), ":col %s" % col,
            ":size %d,0,0" % size, ':text ""', ":align 0,1", "}"]


def button(i, bid, x, y, w=160, h=48, size=22):
    return (["[Btn#%d]" % i, "{", ":pos %d,%d,0" % (x, y), ":id %d,-1" % bid, ":sprite 0,0,0,-1",
             ":state 0,1,2,3,4", ":SE -1,0,1,-1,-1"] + text(0, 0, 0, w, h, size) + ["}"])


def layout():
    out = HEADER.split("\n") + ["[Window#0]", "{", ":pos 0,0,100"]
    out += text(0, 40, 20, 1200, 48, 26)
    for i in range(6):
        out += text(i + 1, 900, 120 + i * 56, 360, 48, 20, "255,200,190,255")
    n = 0
    for i in range(8):
        out += button(n, 300 + i, 40 + (i % 4) * 170, 520 + (i // 4) * 60)
        n += 1
    out += button(n, 200, 1080, 640)
    n += 1
    for i in range(6):
        out += button(n, 2000 + i, 40, 120 + i * 56, 160, 48, 18)
        n += 1
    out += ["}"]
    # The field: twelve unit figures (side 0's units 0..5, then side 1's), placed by the scene.
    out += ["[Window#1]", "{", ":pos 0,0,50"]
    for i in range(12):
        col = "255,255,255,255" if i < 6 else "255,150,140,255"
        out += ["[Model#%d]" % i, "{", ":sprite 0,1,0,-1", ":pos %d,%d,0" % (300 + (i % 6) * 60, 150 + (i // 6) * 200),
                ":rot 0,%d,0" % (90 if i < 6 else -90), ":col %s" % col, "}"]
    out += ["}"]
    return "\n".join(out) + "\n"


if __name__ == "__main__":
    here = os.path.dirname(os.path.abspath(__file__))
    with open(os.path.join(here, "..", "layout", "kassen.txt"), "w", encoding="utf-8") as f:
        f.write(layout())
