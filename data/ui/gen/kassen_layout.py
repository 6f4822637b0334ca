#!/usr/bin/env python3
"""Writes data/ui/layout/kassen.txt, the battle scene's layout (scene 8, menu type 90).

Contract (docs/layouts.md "Battle scene"): the first Text is the message line, the six Texts after
it list side 1's units, then the hint line and the round counter; buttons 300..307 are the command
buttons (icon Window#0, label Text#0), 200 is back (the right click), 2000..2005 are side 0's unit
panels (face Window#0, kind Window#1, morale gauge Window#2 with its fill Window#0, label Text#0), 402 browses the units. The
second top Window holds the twelve unit figures of the field, the third the ten order icons
(Window#0 with the number Text#0 and the name Text#1), the fourth the skill lists (Text#0..9,
gauges Window#0..9; side 0's five rows first), the fifth the two duel panels (Window#0 the player's,
Window#1 the other: commander mark Window#0, kind Window#1, face Window#2, name Text#0, morale
Text#1, soldiers Text#2, guns Text#3, strength Text#4, gauge PBar#0; entry animations 1 and 2), the
sixth the cover of a display-mode change (animation 1 closes in, 2 opens out), the seventh the
siege panels (castle name Text#0, strength Text#1, gauge PBar#0, siege cost Text#2; shown in the
siege). Run from the repository root; the output is committed.
"""
import os

SPRITES = [
    ("Data\\Image\\kassen\\cmd_btn.png", 200, 280, 1, 5),     # 0 command button looks
    ("Data\\Model\\figure_walk.x", 0, 0, 1, 1),               # 1 unit figure
    ("Data\\Image\\kassen\\cmd_icon.png", 384, 288, 8, 6),    # 2 command icons (state = picture)
    ("Data\\Image\\kassen\\panel.png", 240, 280, 1, 5),       # 3 unit panel looks
    ("Data\\Image\\face\\f00.png", 64, 64, 1, 1),             # 4 faces (picture by code)
    ("Data\\Image\\slg\\kind.png", 72, 24, 3, 1),             # 5 kinds (state = kind - 1)
    ("Data\\Image\\kassen\\gauge.png", 120, 8, 1, 1),         # 6 gauge
    ("Data\\Image\\kassen\\gauge_back.png", 120, 8, 1, 1),    # 7 gauge back
    ("Data\\Image\\kassen\\order.png", 96, 48, 2, 1),         # 8 order icons (state = side)
    ("Data\\Image\\kassen\\skill_panel.png", 560, 300, 1, 1),  # 9 skill panel
    ("Data\\Image\\dialog\\button.png", 160, 240, 1, 5),      # 10 small button looks
    ("Data\\Image\\kassen\\toggle.png", 1440, 48, 9, 1),       # 11 view toggles (cells set by the scene)
    ("Data\\Image\\kassen\\duel.png", 300, 220, 1, 2),        # 12 duel panel (state = panel)
    ("Data\\Image\\kassen\\commander.png", 28, 28, 1, 1),     # 13 commander mark
    ("Data\\Image\\kassen\\duel_kind.png", 72, 24, 3, 1),     # 14 kinds, cycle order (state = next kind - 1)
    ("Data\\Image\\kassen\\cover.png", 16, 16, 1, 1),         # 15 cover of a display-mode change
    ("Data\\Image\\kassen\\siege_panel.png", 400, 136, 1, 1),  # 16 siege panels
    ("Data\\Image\\kassen\\siege_gauge.png", 368, 16, 1, 1),  # 17 siege gauge
]

HEADER = """// Battle scene (scene 8, menu 0, type 90). Made by data/ui/gen/kassen_layout.py; edit that.
// Window#0: the message line Text#0, side 1's units Text#1..6, the hint line Text#7, the round
// counter Text#8; command buttons 300..307, back 200, side 0's unit panels 2000..2005, browse 402.
// Window#1: the field's twelve figures. Window#2: ten order icons. Window#3: the skill lists.
// Window#4: the two duel panels. Window#5: the cover of a display-mode change. Window#6: the
// siege panels (castle name, strength and gauge, siege cost).
// See docs/layouts.md."""


def text(i, x, y, w, h, size=22, col="255,240,210,255", align="0,1"):
    return ["[Text#%d]" % i, "{", ":pos %d,%d,0" % (x, y), ":area %d,%d" % (w, h), ":col %s" % col,
            ":size %d,0,0" % size, ':text ""', ":align %s" % align, "}"]


def window(i, x, y, sprite, w=None, h=None, state=0, z=0, kids=()):
    out = ["[Window#%d]" % i, "{", ":pos %d,%d,%d" % (x, y, z), ":sprite 0,%d,%d,-1" % (sprite, state)]
    if w is not None:  # only for pictures of one cell: a size makes the sheet one cell
        out.append(":size %d,%d" % (w, h))
    return out + list(kids) + ["}"]


def gauge(i, x, y):
    # A gauge: its back with the fill in front (the scene sets the fill's drawn width).
    return window(i, x, y, 7, kids=window(0, 0, 0, 6))


def button(i, bid, x, y, sprite, kids):
    return (["[Btn#%d]" % i, "{", ":pos %d,%d,0" % (x, y), ":id %d,-1" % bid, ":sprite 0,%d,0,-1" % sprite,
             ":state 0,1,2,3,4", ":SE -1,0,1,-1,-1"] + kids + ["}"])


def layout():
    out = HEADER.split("\n") + ["[SpriteLocal]", "{"]
    out += [':#%d "%s",%d,%d,%d,%d' % ((n,) + s) for n, s in enumerate(SPRITES)] + ["}"]
    out += ["[Window#0]", "{", ":pos 0,0,100"]
    n = 0
    for i in range(8):  # command buttons: icon and label
        kids = window(0, 4, 4, 2) + text(0, 56, 0, 140, 56, 17)
        out += button(n, 300 + i, 40 + (i % 4) * 210, 540 + (i // 4) * 64, 0, kids)
        n += 1
    out += button(n, 200, 1080, 640, 10, text(0, 0, 0, 160, 48, 22, align="1,1"))
    n += 1
    for i in range(6):  # side 0's unit panels: face, kind, label, morale gauge
        kids = window(0, 4, 4, 4, 48, 48) + window(1, 30, 30, 5, z=1) + gauge(2, 58, 40) + text(0, 58, 2, 180, 34, 13)
        out += button(n, 2000 + i, 20, 110 + i * 62, 3, kids)
        n += 1
    out += button(n, 402, 1080, 580, 10, text(0, 0, 0, 160, 48, 22, align="1,1"))
    n += 1
    # The field's view toggles (attack presentation, overview camera) and the close-up.
    out += button(n, 400, 1080, 464, 11, [])
    n += 1
    out += button(n, 401, 1080, 522, 11, [])
    n += 1
    out += button(n, 1000, 900, 522, 10, text(0, 0, 0, 160, 48, 22, align="1,1"))
    n += 1
    out += text(0, 40, 20, 1200, 48, 26)
    for i in range(6):
        out += text(i + 1, 900, 120 + i * 56, 360, 48, 20, "255,200,190,255")
    out += text(7, 40, 496, 840, 36, 20, "240,220,150,255")
    out += text(8, 1080, 20, 160, 48, 22, "255,240,210,255", "2,1")
    out += ["}"]
    # The field: twelve unit figures (side 0's units 0..5, then side 1's), placed by the scene.
    out += ["[Window#1]", "{", ":pos 0,0,50"]
    for i in range(12):
        col = "255,255,255,255" if i < 6 else "255,150,140,255"
        out += ["[Model#%d]" % i, "{", ":sprite 0,1,0,-1", ":pos %d,%d,0" % (300 + (i % 6) * 60, 150 + (i // 6) * 200),
                ":rot 0,%d,0" % (90 if i < 6 else -90), ":col %s" % col, "}"]
    out += ["}"]
    # The order of action: ten icons, filled from the left with the units still to act.
    out += ["[Window#2]", "{", ":pos 280,70,100"]
    for i in range(10):
        out += window(i, i * 56, 0, 8, None, None, 0, 0,
                      text(0, 0, 0, 48, 34, 20, "255,255,255,255", "1,1") + text(1, -4, 40, 56, 20, 11, "255,240,210,255", "1,1"))
    out += ["}"]
    # The skill lists (shown while browsing): five rows per side.
    out += ["[Window#3]", "{", ":pos 360,120,110", ":sprite 0,9,0,-1"]
    for i in range(10):
        out += gauge(i, 16 + (i // 5) * 280, 48 + (i % 5) * 54)
    for i in range(10):
        out += text(i, 16 + (i // 5) * 280, 16 + (i % 5) * 54, 250, 30, 17)
    out += ["}"]
    # The duel panels: the player's unit left, the other right. Animation 1 brings a panel in from
    # its outer edge, 2 up from below (the scene puts it at the start first).
    out += ["[Window#4]", "{", ":pos 0,0,100"]
    for k, x in enumerate((280, 600)):
        y = 124
        kids = (window(0, 6, 6, 13) + window(1, 222, 8, 14) + window(2, 8, 38, 4, 64, 64) +
                text(0, 40, 4, 180, 28, 18) + text(1, 240, 34, 52, 24, 16, align="2,1") +
                text(2, 80, 74, 70, 24, 15) + text(3, 150, 74, 80, 24, 15) + text(4, 226, 74, 66, 24, 15, align="2,1") +
                ["[PBar#0]", "{", ":pos 80,42,1", ":type 0", ":wheel 0,1",
                 ":AnimeColor#0 1,255,255,255,255,200,0,0", ":AnimeColor#1 2,255,200,120,255,200,0,0"] +
                window(0, 0, 0, 6) + ["}"])
        out += window(k, x, y, 12, None, None, k, 0, kids)
        out.insert(len(out) - 1, ":AnimeMove#0 1,%d,%d,0,250,0,0" % (x, y))
        out.insert(len(out) - 1, ":AnimeMove#1 2,%d,%d,0,250,0,0" % (x, y))
    out += ["}"]
    # The cover: a dark veil over the whole screen while the display mode changes. It darkens the
    # screen without blacking it out, so a change never flashes a whole black frame.
    out += ["[Window#5]", "{", ":pos 0,0,150", ":sprite 0,15,0,-1", ":size 1280,720", ":col 0,0,0,0",
            ":AnimeColor#0 1,0,0,0,160,150,0,0", ":AnimeColor#1 2,0,0,0,0,150,0,0", "}"]
    # The siege panels: the castle's name and strength over its gauge, and what besieging costs.
    # Between the duel panels and the hint line, clear of the command buttons.
    out += ["[Window#6]", "{", ":pos 440,352,100", ":sprite 0,16,0,-1"]
    out += text(0, 16, 8, 270, 36, 26) + text(1, 290, 8, 94, 36, 24, align="2,1")
    out += ["[PBar#0]", "{", ":pos 16,54,1", ":type 0", ":wheel 0,1"] + window(0, 0, 0, 17) + ["}"]
    out += text(2, 16, 86, 368, 36, 20, "240,220,150,255")
    out += ["}"]
    return "\n".join(out) + "\n"


if __name__ == "__main__":
    here = os.path.dirname(os.path.abspath(__file__))
    with open(os.path.join(here, "..", "layout", "kassen.txt"), "w", encoding="utf-8") as f:
        f.write(layout())
