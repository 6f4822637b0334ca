#!/usr/bin/env python3
"""Writes the layout sources of the extras (scene 7): the top menu (layout/omake_top.txt, menu 0),
the picture gallery (layout/omake_cg.txt, menu 1, type 81), the scene replay (layout/omake_scene.txt,
menu 2, type 82), the lines gallery (layout/omake_ikki.txt, menu 3, type 83) and the music player
(layout/omake_bgm.txt, menu 4, type 84), and adds the replay's and lines' pictures to
data/image/omake.json (pictures of the same name are replaced). Run by hand when the screens change:
    python3 data/ui/gen/omake_layouts.py
The widget-order contracts are in docs/layouts.md ("Extras")."""
import json, os, sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from slg_layouts import Node, write, UI  # noqa: E402

IMG = "Data\\Image\\omake\\"
SPR = [
    (IMG + "bg.png", 1280, 720, 1, 1),          # 0 backdrop
    (IMG + "btn_wide.png", 300, 280, 1, 5),     # 1 title / line row looks (300 x 56)
    (IMG + "btn_small.png", 56, 200, 1, 5),     # 2 tab, page and arrow looks (56 x 40)
    (IMG + "btn_mid.png", 160, 240, 1, 5),      # 3 category and back looks (160 x 48)
    (IMG + "head_scene.png", 400, 64, 1, 1),    # 4 replay heading
    (IMG + "head_ikki.png", 400, 64, 1, 1),     # 5 lines heading
    (IMG + "frame.png", 64, 64, 1, 1),          # 6 frame (drawn at its :size)
    (IMG + "preview.png", 256, 151, 1, 1),      # 7 preview frame
    (IMG + "th001.png", 240, 135, 1, 1),        # 8 preview picture (by code: th%03d)
    (IMG + "card.png", 200, 550, 1, 5),         # 9 general card looks (200 x 110)
    ("Data\\Image\\face\\f00.png", 64, 64, 1, 1),  # 10 face (by code)
    (IMG + "panel_lines.png", 1040, 600, 1, 1),  # 11 lines panel
    (IMG + "digits.png", 320, 40, 10, 1),       # 12 percentage digits
    ("Data\\Image\\face\\l%02d.png", 256, 256, 1, 1),  # 13 large face (by code, from pattern l%02d)
    (IMG + "frame_titles.png", 660, 496, 1, 1),  # 14 frames drawn at their size
    (IMG + "frame_cats.png", 180, 496, 1, 1),    # 15
    (IMG + "frame_tabs.png", 800, 56, 1, 1),     # 16
    (IMG + "rule.png", 300, 4, 1, 1),            # 17 the lines panel's rule
    (IMG + "btn_row.png", 300, 220, 1, 5),       # 18 replay title looks (300 x 44)
]
TEXT = "255,240,210,255"
CATEGORIES = ["序章", "本編", "外伝", "第二幕", "季節", "旗揚げ", "収め", "合戦", "結末"]
LINE_CATEGORIES = ["台詞", "評定", "出陣", "内政", "外交", "其他"]


def label(parent, w, h, s, size=22, align="1,1", x=0, y=0):
    return parent.add("Text", "pos %d,%d,0" % (x, y), "area %d,%d" % (w, h), "col " + TEXT, "size %d,0,0" % size,
                      'text "%s"' % s, "align " + align)


def button(parent, x, y, bid, sprite, w, h, s=None, size=22, align="1,1", states="0,1,2,3,4"):
    b = parent.add("Btn", "pos %d,%d,0" % (x, y), "id %d,-1" % bid, "sprite 0,%d,0,-1" % sprite, "state " + states)
    if s is not None:
        label(b, w, h, s, size, align)
    return b


def window(parent, x, y, sprite, size=None, col=None, z=0, pattern=-1):
    w = parent.add("Window", "pos %d,%d,%d" % (x, y, z), "sprite 0,%d,0,%d" % (sprite, pattern))
    if size:
        w.props.append("size %d,%d" % size)
    if col:
        w.props.append("col " + col)
    return w


def counter(panel):
    label(panel, 60, 40, "%", 30, "0,1", 1084, 60)
    g = panel.add("WinGroup", "pos 980,60,0", "type 0", "num 3,0")
    for i in range(3):
        window(g, 32 * i, 0, 12)


CLEAR = "255,255,255,0"


def heading(panel, sprite):
    """The heading and, after it, the blend widget (the same picture, fully transparent)."""
    window(panel, 60, 40, sprite)
    window(panel, 0, 0, sprite, col=CLEAR)


def back(panel):
    button(panel, 1060, 630, 1, 3, 160, 48, "戻る", 24)


def row(parent, x, y, first_id, sprite, w, h, labels, size=22, step=66):
    """Buttons side by side in a group at (x, y), `step` apart."""
    g = parent.add("Group", "pos %d,%d,0" % (x, y))
    for k, s in enumerate(labels):
        button(g, step * k, 0, first_id + k, sprite, w, h, s, size)
    return g


def scroll_bar(parent, x, y, length, first_id):
    """A vertical bar: up and down arrows, the knob between them."""
    bar = parent.add("SBar", "pos %d,%d,1" % (x, y), "type 0", "num 0")
    button(bar, 0, 0, first_id, 2, 56, 40, "▲", 18)
    button(bar, 0, length - 40, first_id + 1, 2, 56, 40, "▼", 18)
    window(bar, 0, 40, 2)
    return bar


def scene_layout():
    root = Node("Root")
    panel = window(root, 0, 0, 0)
    items = panel.add("Group", "pos 0,0,0")
    for k in range(20):
        button(items, 90 + 330 * (k // 10), 130 + 48 * (k % 10), 11000 + k, 18, 300, 44, "", 22)
    tabs = panel.add("Group", "pos 0,0,0")
    for k in range(13):
        button(tabs, 90 + 60 * k, 640, 10000 + k, 2, 56, 40, str(k + 1), 20)
    cats = panel.add("Group", "pos 0,0,0")
    for k, name in enumerate(CATEGORIES):
        button(cats, 1060, 130 + 54 * k, 12000 + k, 3, 160, 48, name, 22)
    window(panel, 60, 40, 4)                                     # 0 heading
    window(panel, 0, 0, 0, col="255,255,255,0")                  # 1 blend widget
    window(panel, 80, 122, 14)                                   # 2 frame of the titles
    window(panel, 1050, 122, 15)                                 # 3 frame of the categories
    window(panel, 80, 632, 16)                                   # 4 frame of the tabs
    frame = window(panel, 760, 130, 7, z=2)                      # 5 preview frame
    frame.props.append("AnimeMove#0 1,%0,%1,0,150,0,0")
    window(frame, 8, 8, 8)
    back(panel)
    counter(panel)
    return root


def ikki_layout():
    root = Node("Root")
    grid_panel = window(root, 0, 0, 0)
    grid = grid_panel.add("Group", "pos 0,0,0")
    for k in range(15):
        b = button(grid, 90 + 210 * (k % 5), 150 + 130 * (k // 5), 11000 + k, 9, 200, 110)
        window(b, 68, 8, 10)
        label(b, 200, 30, "", 20, "1,1", 0, 76)
    pages = grid_panel.add("Group", "pos 0,0,0")
    for k in range(7):
        button(pages, 480 + 60 * k, 52, 12000 + k, 2, 56, 40, str(k + 1), 20)
    bars = grid_panel.add("Group", "pos 0,0,0")
    scroll_bar(bars, 1160, 150, 370, 13000)
    window(grid_panel, 60, 40, 5)                                # 0 heading
    window(grid_panel, 0, 0, 0, col="255,255,255,0")             # 1 blend widget
    back(grid_panel)
    counter(grid_panel)

    lines = window(root, 120, 60, 11, z=2000)
    header = lines.add("Group", "pos 0,0,0")
    window(header, 660, 390, 1)                                  # name plate
    window(header, 590, 386, 10)                                 # small face
    label(header, 300, 56, "", 24, "1,1", 660, 390)
    cats = lines.add("Group", "pos 0,0,0")
    for k, name in enumerate(LINE_CATEGORIES):
        button(cats, 40, 60 + 56 * k, 15000 + k, 3, 160, 48, name, 22)
    rows = lines.add("Group", "pos 0,0,0")
    for k in range(10):
        b = button(rows, 230, 40 + 52 * k, 16000 + k, 1, 300, 56)
        label(b, 280, 56, "", 20, "0,1", 14, 0)
    bars = lines.add("Group", "pos 0,0,0")
    scroll_bar(bars, 545, 40, 512, 13100)
    window(lines, 660, 40, 17)                                   # 0 rule
    window(lines, 680, 90, 13, pattern=0)                        # 1 large face
    button(lines, 840, 520, 20000, 3, 160, 48, "閉じる", 24)
    return root


# ---- the top menu, the picture gallery and the music player --------------------------------------
# These three share one picture table: the headings, the thumbnail and picture templates (the code
# loads the real ones by number), the lock cover and the movie mark.
SPR_GALLERY = [
    (IMG + "bg.png", 1280, 720, 1, 1),          # 0 backdrop
    (IMG + "btn_wide.png", 300, 280, 1, 5),     # 1 menu / track looks (300 x 56)
    (IMG + "btn_small.png", 56, 200, 1, 5),     # 2 page and slider looks (56 x 40)
    (IMG + "btn_mid.png", 160, 240, 1, 5),      # 3 category, play and back looks (160 x 48)
    (IMG + "head_top.png", 400, 64, 1, 1),      # 4 top heading
    (IMG + "head_cg.png", 400, 64, 1, 1),       # 5 gallery heading (picture mode)
    (IMG + "head_ev.png", 400, 64, 1, 1),       # 6 gallery heading (event mode)
    (IMG + "head_bgm.png", 400, 64, 1, 1),      # 7 music heading
    (IMG + "th001.png", 240, 135, 1, 1),        # 8 thumbnail (by code: th%03d)
    (IMG + "lock.png", 240, 135, 1, 1),         # 9 lock cover
    (IMG + "movie.png", 48, 48, 1, 1),          # 10 movie mark
    (IMG + "cg001.png", 1280, 720, 1, 1),       # 11 full-size picture (by code: cg%03d)
    (IMG + "digits.png", 320, 40, 10, 1),       # 12 percentage digits
]
TOP_ITEMS = ["画廊", "場面回想", "場面画廊", "台詞集", "音楽鑑賞"]
CG_CATEGORIES = ["其の一", "其の二"]
def top_layout():
    root = Node("Root")
    panel = window(root, 0, 0, 0)
    heading(panel, 4)
    for k, name in enumerate(TOP_ITEMS):
        button(panel, 490, 160 + 80 * k, 1000 + k, 1, 300, 56, name, 28)
    back(panel)
    return root


def cg_layout():
    root = Node("Root")
    panel = window(root, 0, 0, 0)
    places = [(100 + 270 * (k % 4), 130 + 165 * (k // 4)) for k in range(12)]
    thumbs = panel.add("Group", "pos 0,0,0")
    for k, (x, y) in enumerate(places):
        button(thumbs, x, y, 11000 + k, 8, 240, 135, states="0,0,0,0,0")
    row(panel, 100, 640, 10000, 2, 56, 40, [str(k + 1) for k in range(6)])
    row(panel, 560, 48, 12000, 3, 160, 48, CG_CATEGORIES, step=170)
    covers = panel.add("Group", "pos 0,0,0")  # the k-th cover belongs to thumbnail k
    for x, y in places:
        button(covers, x, y, -1, 9, 240, 135, states="0,0,0,0,0")
    marks = panel.add("Group", "pos 0,0,1")  # movie marks at each thumbnail's top right
    for x, y in places:
        window(marks, x + 184, y + 8, 10)
    heading(panel, 5)                                            # Window#0, #1 (picture mode)
    for _ in range(3):                                           # Window#2..4 (picture mode)
        window(panel, 0, 0, 5, col=CLEAR)
    heading(panel, 6)                                            # Window#5, #6 (event mode)
    back(panel)
    counter(panel)
    window(root, 0, 0, 11)                                       # full-size view
    window(root, 0, 0, 10, col=CLEAR)                            # movie name holder
    return root


def bgm_layout():
    root = Node("Root")
    panel = window(root, 0, 0, 0)
    tracks = panel.add("Group", "pos 0,0,0")
    for k in range(20):
        button(tracks, 90 + 320 * (k // 10), 130 + 52 * (k % 10), 11000 + k, 1, 300, 56, "", 24)
    row(panel, 780, 130, 12000, 2, 56, 40, ["一", "二"])
    heading(panel, 7)
    back(panel)
    button(panel, 780, 220, 10000, 3, 160, 48, "再生", 24)
    button(panel, 960, 220, 10001, 3, 160, 48, "停止", 24)
    label(panel, 160, 40, "音量", 24, "0,1", 780, 320)
    bar = panel.add("SBar", "pos 780,370,1", "type 1", "num 9", "area 60,0,340,40")
    button(bar, 0, 0, 10220, 2, 56, 40, "－")
    button(bar, 350, 0, 10221, 2, 56, 40, "＋")
    window(bar, 60, 0, 2)                                        # knob
    return root


def frame(name, w, h):
    """A frame drawn at the size it is shown (a stretched small frame blurs its edge)."""
    return {"file": "omake/" + name, "width": w, "height": h,
            "shapes": [{"panel": [0, 0, w, h], "radius": 6, "color": "#10101880"},
                       {"border": [0, 0, w, h], "width": 2, "radius": 6, "color": "#D8B06080"}]}


def pictures():
    def heading(name, s):
        return {"file": "omake/" + name, "width": 400, "height": 64,
                "shapes": [{"text": s, "box": [0, 0, 400, 64], "size": 40, "color": "#F4ECD8", "align": "left"}]}
    fills = ["#2A2440", "#4A3C70", "#6A5090", "#3A3050", "#8A6A30"]
    card = {"file": "omake/card.png", "width": 200, "height": 550, "grid": [1, 5], "shapes": [],
            "cells": [[{"panel": [2, 2, 196, 106], "radius": 10, "color": c},
                       {"border": [2, 2, 196, 106], "width": 2, "radius": 10, "color": "#D8B060"}] for c in fills]}
    return [
        heading("head_scene.png", "場面回想"),
        heading("head_ikki.png", "台詞集"),
        {"file": "omake/frame.png", "width": 64, "height": 64,
         "shapes": [{"panel": [0, 0, 64, 64], "radius": 6, "color": "#10101880"},
                    {"border": [0, 0, 64, 64], "width": 2, "radius": 6, "color": "#D8B06080"}]},
        frame("frame_titles.png", 660, 496), frame("frame_cats.png", 180, 496), frame("frame_tabs.png", 800, 56),
        {"file": "omake/rule.png", "width": 300, "height": 4,
         "shapes": [{"gradient": [0, 0, 300, 4], "from": "#D8B06000", "to": "#D8B060", "horizontal": True}]},
        {"file": "omake/btn_row.png", "width": 300, "height": 220, "grid": [1, 5], "shapes": [],
         "cells": [[{"panel": [2, 2, 296, 40], "radius": 8, "color": c},
                    {"border": [2, 2, 296, 40], "width": 2, "radius": 8, "color": e}]
                   for c, e in zip(fills, ["#B08A48", "#F0D080", "#FFE8A0", "#707070", "#F0D080"])]},
        {"file": "omake/preview.png", "width": 256, "height": 151,
         "shapes": [{"rect": [0, 0, 256, 151], "color": "#101018"},
                    {"border": [0, 0, 256, 151], "width": 3, "radius": 0, "color": "#D8B060"}]},
        card,
        {"file": "omake/panel_lines.png", "width": 1040, "height": 600,
         "shapes": [{"panel": [0, 0, 1040, 600], "radius": 16, "color": "#141A2CF4"},
                    {"border": [0, 0, 1040, 600], "width": 3, "radius": 16, "color": "#D8B060"}]},
    ]


def update_pictures():
    path = os.path.join(os.path.dirname(UI), "image", "omake.json")
    with open(path, encoding="utf-8") as f:
        doc = json.load(f)
    new = pictures()
    names = {p["file"] for p in new}
    doc["pictures"] = [p for p in doc["pictures"] if p["file"] not in names] + new
    with open(path, "w", encoding="utf-8") as f:
        json.dump(doc, f, ensure_ascii=False, indent=1)


if __name__ == "__main__":
    hdr = "Found by kind and order (docs/layouts.md \"Extras\"); written by data/ui/gen/omake_layouts.py."
    layouts = [
        ("omake_top.txt", "Extras top menu (scene 7, menu 0): the five extras (1000..1004) and the way back (1). " + hdr,
         SPR_GALLERY, top_layout()),
        ("omake_cg.txt", "Extras picture gallery (scene 7, menu 1, type 81). " + hdr
         + "\npanel = Window#0; view = Window#1; movie name holder = Window#2. In the panel: Group#0 thumbnails"
         + "\n11000..11011, Group#1 page buttons 10000.., Group#2 category buttons 12000.., Group#3 lock covers,"
         + "\nGroup#4 movie marks, WinGroup#0 the percentage; Window#0/#2/#4 picture-mode widgets, Window#1 the"
         + "\nblend widget, Window#5/#6 event-mode widgets.", SPR_GALLERY, cg_layout()),
        ("omake_scene.txt", "Extras scene replay (scene 7, menu 2, type 82). " + hdr
         + "\npanel = Window#0: Group#0 titles 11000..11019, Group#1 tabs 10000..10012,"
         + "\nGroup#2 categories 12000..12008, Window#5 the preview frame, WinGroup#0 the percentage.",
         SPR, scene_layout()),
        ("omake_ikki.txt", "Extras lines gallery (scene 7, menu 3, type 83). " + hdr
         + "\ngrid panel = Window#0: Group#0 generals 11000..11014, Group#1 pages 12000..12006, Group#2 the grid"
         + " scroll bar;\nlines panel = Window#1 (z 2000): Group#0 name and face, Group#1 categories 15000..15005,"
         + " Group#2 rows 16000..16009,\nGroup#3 the lines scroll bar, Btn#0 close 20000.", SPR, ikki_layout()),
        ("omake_bgm.txt", "Extras music player (scene 7, menu 4, type 84). " + hdr
         + "\npanel = Window#0: Group#0 the 20 track buttons 11000..11019 (title in Text#0), Group#1 the page"
         + "\nbuttons 12000/12001, Btn#1 play 10000 and Btn#2 stop 10001, SBar#0 the volume (0..9); Window#1 is"
         + "\nthe blend widget.", SPR_GALLERY, bgm_layout()),
    ]
    for name, header, sprites, root in layouts:
        print(name + ":", write(name, header, sprites, root), "nodes")
    update_pictures()
