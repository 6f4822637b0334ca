#!/usr/bin/env python3
"""Writes the strategy screens' layout sources: layout/slgmain.txt (the map screen, about 300
nodes), layout/slg_seiryoku.txt (clan choice) and layout/slg_hikitsugi.txt (start options and
carried-over generals). The province name labels sit at the provinces' centres, placed with the
same fit as `v4data slgmap` uses for the map picture. Run by hand when the screens change:
    python3 data/ui/gen/slg_layouts.py
The widget-order contract is in docs/layouts.md ("Strategy map")."""
import json, os

HERE = os.path.dirname(os.path.abspath(__file__))
UI = os.path.dirname(HERE)
WORLD = os.path.join(os.path.dirname(UI), "world")


class Node:
    def __init__(self, kind, props=None):
        self.kind, self.props, self.kids = kind, props or [], []

    def add(self, kind, *props):
        n = Node(kind, list(props))
        self.kids.append(n)
        return n


ORDER = ["Group", "Root", "Window", "Btn", "Text", "List", "SBar", "PBar", "WinGroup", "Model", "Copy", "CopyS"]


def emit(node, out, depth=0):
    counts = {}
    # Children are numbered per kind in the order they were added; the builder visits kinds in
    # its own order, so the file lists them the same way.
    for kind in ORDER:
        for k in node.kids:
            if k.kind != kind:
                continue
            n = counts.get(kind, 0)
            counts[kind] = n + 1
            out.append("[%s#%d]" % (kind, n))
            out.append("{")
            for p in k.props:
                out.append(":" + p)
            emit(k, out, depth + 1)
            out.append("}")


# Framed panels (a border, rounded corners) blur or thicken when drawn at another size: a window
# that gives one of them a ":size" of its own is pointed at a copy drawn at that size
# (slg/panel_WxH.png, slg/dlg_panel_WxH.png, written to data/image/slg_buttons.json).
PANELS = {"Data\\Image\\slg\\panel.png": ("slg/panel", "#141A2CF0"),
          "Data\\Image\\slg\\dlg_panel.png": ("slg/dlg_panel", "#141A2CFF")}
PANEL_SIZES = set()


def size_panels(sprites, node):
    for k in node.kids:
        sprite = next((q for q in k.props if q.startswith("sprite 0,")), None)
        size = next((q for q in k.props if q.startswith("size ")), None)
        if sprite and size:
            fields = sprite[len("sprite "):].split(",")
            src = sprites[int(fields[1])]
            w, h = (int(v) for v in size[len("size "):].split(","))
            if src[0] in PANELS and (w, h) != (src[1], src[2]):
                stem, fill = PANELS[src[0]]
                full = "Data\\Image\\" + ("%s_%dx%d.png" % (stem, w, h)).replace("/", "\\")
                if (full, w, h, 1, 1) not in sprites:
                    sprites.append((full, w, h, 1, 1))
                PANEL_SIZES.add((stem, fill, w, h))
                fields[1] = str(sprites.index((full, w, h, 1, 1)))
                k.props = [("sprite " + ",".join(fields)) if q == sprite else q for q in k.props]
        size_panels(sprites, k)


def panel_picture(stem, fill, w, h):
    r = max(2, min(10, min(w, h) // 2))
    shapes = [{"panel": [0, 0, w, h], "radius": r, "color": fill}]
    if min(w, h) >= 16:
        shapes.append({"border": [2, 2, w - 4, h - 4], "width": 3, "radius": r, "color": "#B08A48"})
    return {"file": "%s_%dx%d.png" % (stem, w, h), "width": w, "height": h, "shapes": shapes}


def write(name, header, sprites, root):
    size_panels(sprites, root)
    out = ["// " + line for line in header.strip().splitlines()]
    out.append("[SpriteLocal]")
    out.append("{")
    for i, s in enumerate(sprites):
        out.append(':#%d "%s",%d,%d,%d,%d' % ((i,) + s))
    out.append("}")
    emit(root, out)
    with open(os.path.join(UI, "layout", name), "w", encoding="utf-8") as f:
        f.write("\n".join(out) + "\n")
    return sum(1 for l in out if l.startswith("[") and not l.startswith("[Sprite"))


def text(parent, x, y, w, h, s, size=18, col="255,245,225,255", align="0,1", frame=True):
    props = ["pos %d,%d,0" % (x, y), "area %d,%d" % (w, h), "col " + col, "size %d,0,0" % size,
             'text "%s"' % s, "align " + align]
    if frame:
        props.append("frame 1,20,16,10,255")
    return parent.add("Text", *props)


def win(parent, x, y, sprite, state=0, pattern=-1, load=0, size=None, col=None, z=0):
    props = ["pos %d,%d,%d" % (x, y, z), "sprite %d,%d,%d,%d" % (load, sprite, state, pattern)]
    if size:
        props.append("size %d,%d" % size)
    if col:
        props.append("col " + col)
    return parent.add("Window", *props)


SHEETS = {}


def looks(table, path, w, h):
    """The def number of a 5-look button sheet drawn at w x h per look. Each size has its own
    picture (slg/btn_WxH.png, written to data/image/slg_buttons.json), so every definition names a
    picture of exactly its declared size."""
    name = "slg/btn_%dx%d.png" % (w, h)
    full = "Data\\Image\\" + name.replace("/", "\\")
    key = (id(table), full)
    if key not in SHEETS:
        table.append((full, w, h * 5, 1, 5))
        SHEETS[key] = len(table) - 1
        BUTTON_SIZES.add((w, h))
    return SHEETS[key]


BUTTON_SIZES = set()


def write_button_sheets():
    fills = ["#1C2438F0", "#36508CF8", "#0C1426FF", "#40404898", "#6A1C28F0"]
    edges = ["#B08A48", "#F0D080", "#FFE8A0", "#707070", "#F0D080"]
    pics = []
    for w, h in sorted(BUTTON_SIZES):
        r = 6 if h < 40 else 10
        cells = [[{"panel": [2, 2, w - 4, h - 4], "radius": r, "color": fills[i]},
                  {"border": [2, 2, w - 4, h - 4], "width": 2, "radius": r, "color": edges[i]}] for i in range(5)]
        pics.append({"file": "slg/btn_%dx%d.png" % (w, h), "width": w, "height": h * 5, "grid": [1, 5], "cells": cells})
    # Command dialog frames are opaque: the province view's icons must not show through them.
    pics.append({"file": "slg/dlg_panel.png", "width": 256, "height": 256,
                 "shapes": [{"panel": [0, 0, 256, 256], "radius": 10, "color": "#141A2CFF"},
                            {"border": [2, 2, 252, 252], "width": 3, "radius": 10, "color": "#B08A48"}]})
    pics += [panel_picture(*k) for k in sorted(PANEL_SIZES)]
    out = os.path.join(os.path.dirname(UI), "image", "slg_buttons.json")
    with open(out, "w", encoding="utf-8") as f:
        json.dump({"pictures": pics}, f, ensure_ascii=False, indent=1)


def btn(parent, x, y, bid, sprite, label=None, w=0, h=0, size=18, states="0,1,2,3,4", z=0):
    b = parent.add("Btn", "pos %d,%d,%d" % (x, y, z), "id %d,-1" % bid, "sprite 0,%d,0,-1" % sprite, "state " + states,
                   "SE -1,0,1,-1,-1")
    if label is not None:
        text(b, 0, 0, w, h, label, size, align="1,1")
    return b


def scroll_bar(parent, x, y, h, table, panel):
    """A list's scroll bar: ▲ and ▼ at its ends (ids 9990 and 9991, which no screen reads), the
    track between them and a knob (picture `panel` of the sprite table); its wheel flag lets the
    wheel scroll the list wherever the pointer is."""
    bar = parent.add("SBar", "pos %d,%d,0" % (x, y), "type 0", "num 0", "wheel 1")
    btn(bar, -2, 0, 9990, looks(table, "", 20, 20), "▲", 20, 20, 11)
    btn(bar, -2, h - 20, 9991, looks(table, "", 20, 20), "▼", 20, 20, 11)
    win(bar, 0, 20, panel, size=(16, 28), col="190,170,120,255")
    return bar


def group(parent, x, y, z=0):
    return parent.add("Group", "pos %d,%d,%d" % (x, y, z))


# ---- the map screen ----------------------------------------------------------------------------
SPR = [
    ("Data\\Image\\zenkoku\\map.png", 1280, 720, 1, 1),        # 0 map picture
    ("Data\\Image\\slg\\bar_top.png", 1280, 104, 1, 1),        # 1
    ("Data\\Image\\slg\\bar_bottom.png", 1280, 128, 1, 1),     # 2
    ("Data\\Image\\slg\\cmd.png", 100, 250, 1, 5),             # 3 command button looks
    ("Data\\Image\\slg\\panel.png", 256, 256, 1, 1),           # 4 panel (sized by :size)
    ("Data\\Image\\slg\\blank.png", 8, 8, 1, 1),              # 5 highlight template (shape by code)
    ("Data\\Image\\slg\\blank.png", 8, 8, 1, 1),              # 6 small-map highlight template
    ("Data\\Image\\kokunai\\view00.png", 900, 260, 1, 1),     # 7 province view (picture by code)
    ("Data\\Image\\kokunai\\mini_map.png", 296, 130, 1, 1),    # 8
    ("Data\\Image\\slg\\castle.png", 144, 144, 3, 3),          # 9 castle icons: relation + 3 x size
    ("Data\\Image\\slg\\contact.png", 120, 40, 3, 1),          # 10 contact icons by relation
    ("Data\\Image\\slg\\row.png", 760, 150, 1, 5),             # 11 list row looks
    ("Data\\Image\\slg\\small_btn.png", 90, 180, 1, 5),        # 12 small button looks
    ("Data\\Image\\slg\\sort.png", 60, 20, 3, 1),              # 13 sort indicator (none, up, down)
    ("Data\\Image\\face\\f00.png", 64, 64, 1, 1),             # 14 faces (picture by code)
    ("Data\\Image\\slg\\season.png", 256, 64, 4, 1),           # 15 seasons
    ("Data\\Image\\slg\\phase.png", 160, 160, 1, 5),           # 16 phases
    ("Data\\Image\\slg\\marker.png", 128, 64, 2, 1),           # 17 icon marker parts
    ("Data\\Image\\slg\\pointer.png", 32, 32, 1, 1),           # 18 pointer
    ("Data\\Image\\slg\\kind.png", 72, 24, 3, 1),              # 19 general kinds
    ("Data\\Image\\slg\\wide_btn.png", 300, 260, 1, 5),        # 20 wide button looks (300 x 52)
]


CMD_X, CMD_STEP, CMD_W, CMD_FONT = 416, 123, 120, 13


def map_screen():
    root = Node("Root")
    # G0 background
    # The background lies behind every other layer (a larger z is nearer the viewer).
    g0 = group(root, 0, 0, -20)
    win(g0, 0, 0, 0)
    win(g0, 0, 0, 1)
    win(g0, 0, 592, 2)
    # Behind the province view: plain sea in place of the country map.
    win(g0, 0, 104, 5, size=(1280, 488), col="30,58,92,255")
    # G1 clan panel, season and turn
    g1 = group(root, 0, 0)
    clan = group(g1, 8, 6)
    win(clan, 0, 0, 14, size=(64, 64))
    text(clan, 74, 0, 220, 28, "", 22)
    text(clan, 74, 34, 130, 22, "", 16)
    text(clan, 204, 34, 130, 22, "", 16)
    text(clan, 74, 60, 130, 22, "", 16)
    text(clan, 204, 60, 130, 22, "", 16)
    text(clan, 334, 34, 130, 22, "", 16)
    text(clan, 334, 60, 130, 22, "", 16)
    text(clan, 300, 0, 150, 28, "", 18)
    text(clan, 456, 0, 200, 28, "", 18)  # court title
    turn = group(g1, 930, 14)
    win(turn, 0, 0, 15)
    win(turn, 70, 0, 16)
    text(turn, 70, 36, 160, 28, "", 18, align="1,1")
    text(turn, 240, 0, 100, 32, "", 18)
    # G2 interface layer: command panel, continue panel, message line, pointer
    g2 = group(root, 0, 0)
    # The command labels run to six full-width characters and a cost ("鉄砲購入　：CP10"): the
    # message panel gives up width so that seven columns of 120 px hold them at 13 px.
    cmd = group(g2, CMD_X, 598)
    for i, bid in enumerate(list(range(10000, 10009)) + list(range(10010, 10015))):
        btn(cmd, (i % 7) * CMD_STEP, (i // 7) * 56, bid, looks(SPR, "", CMD_W, 50), "", CMD_W, 50, CMD_FONT)
    cont = group(g2, CMD_X, 604)
    btn(cont, 0, 0, 2, looks(SPR, "", CMD_W, 50), "はい", CMD_W, 50, 18)
    btn(cont, CMD_STEP, 0, 3, looks(SPR, "", CMD_W, 50), "いいえ", CMD_W, 50, 18)
    msg = group(g2, 8, 598)
    win(msg, 0, 0, 4, size=(CMD_X - 16, 116), col="255,255,255,235")
    text(msg, 14, 8, CMD_X - 44, 100, "", 18, align="0,0")
    win(g2, 0, 0, 18)
    # G3 country-map layer
    g3 = group(root, 0, 0)
    tint = group(g3, 0, 0)
    win(tint, 0, 0, 5, load=0, col="255,255,255,0")
    hl = group(g3, 0, 0)
    h = win(hl, 0, 0, 5, load=0, col="255,255,255,0")
    # Highlight colours by animation number (the map picks them); 1 restarts a pulse.
    anim = {1: "255,255,255,140", 2: "120,200,255,150", 3: "90,170,255,190", 4: "255,210,90,170",
            5: "255,240,150,120", 6: "120,255,140,150", 7: "190,255,190,110", 8: "255,255,255,0",
            9: "255,120,60,170", 13: "40,40,40,120"}
    for i, (n, c) in enumerate(sorted(anim.items())):
        h.props.append("AnimeColor#%d %d,%s,120,0,0" % (i, n, c))
    names = group(g3, 0, 0)
    prov = json.load(open(os.path.join(WORLD, "provinces.json"), encoding="utf-8"))["provinces"]
    xs = [p[0] for k in prov for p in k["polygon"]]
    ys = [p[1] for k in prov for p in k["polygon"]]
    minx, maxx, miny, maxy = min(xs), max(xs), min(ys), max(ys)
    bx, by, bw, bh, m = 55, 109, 1172, 482, 6
    s = min((bw - 2 * m) / max(1, maxx - minx), (bh - 2 * m) / max(1, maxy - miny))
    ox = bx + (bw - s * (maxx - minx)) / 2 - s * minx
    oy = by + (bh - s * (maxy - miny)) / 2 - s * miny
    # Each name in a box as wide as the name, at the province's centre; boxes that meet (the small
    # central provinces) are pushed apart up and down until none does.
    boxes = []
    for k in prov:
        cx = sum(p[0] for p in k["polygon"]) / len(k["polygon"])
        cy = sum(p[1] for p in k["polygon"]) / len(k["polygon"])
        w = 15 * len(k["name"]) + 4
        boxes.append([ox + cx * s - w / 2, oy + cy * s - 9, w, 18])
    for _ in range(500):
        moved = False
        for i in range(len(boxes)):
            for j in range(i + 1, len(boxes)):
                a, b = boxes[i], boxes[j]
                if a[0] < b[0] + b[2] and b[0] < a[0] + a[2] and a[1] < b[1] + b[3] and b[1] < a[1] + a[3]:
                    push = (min(a[1] + a[3], b[1] + b[3]) - max(a[1], b[1])) / 2 + 0.5
                    up, down = (a, b) if a[1] <= b[1] else (b, a)
                    up[1] -= push
                    down[1] += push
                    moved = True
        if not moved:
            break
    for k, (x, y, w, h) in zip(prov, boxes):
        text(names, int(round(x)), int(round(y)), w, h, k["name"], 14, col="255,250,235,255", align="1,1")
    legend = group(g3, 960, 464)
    win(legend, 0, 0, 4, size=(260, 120), col="255,255,255,225")
    text(legend, 12, 8, 240, 24, "凡例", 18)
    text(legend, 12, 36, 240, 24, "青：自家の国", 16, col="150,210,255,255")
    text(legend, 12, 60, 240, 24, "色：各大名家の勢力", 16)
    text(legend, 12, 84, 240, 24, "右クリック：閉じる", 16)
    side = group(g3, 20, 112)
    win(side, 0, 0, 4, size=(300, 40), col="255,255,255,225")
    text(side, 10, 4, 280, 32, "大名か国を選んでください", 17)
    # Tooltips stay nearer than every map button (world z 16) and behind a command dialog (20).
    tip = group(g3, 0, 0, 8)
    win(tip, 0, 0, 4, size=(190, 76), col="255,255,255,235")
    text(tip, 10, 4, 170, 24, "", 18)
    text(tip, 10, 28, 170, 20, "", 15)
    text(tip, 10, 50, 170, 20, "", 15)
    btn(g3, 560, 30, 11000, 12, "凡例", 90, 36, 17)
    btn(g3, 660, 30, 11001, 12, "領有", 90, 36, 17)
    btn(g3, 760, 30, 11002, 12, "同盟", 90, 36, 17)
    # G4 province-view layer
    g4 = group(root, 0, 0)
    view = group(g4, 330, 110, -5)  # behind the castle icons
    v = win(view, 0, 0, 7, load=0)
    v.props.append("AnimeColor#0 1,255,255,255,255,200,0,0")
    v.props.append("AnimeColor#1 2,255,255,255,0,200,0,0")
    mini = group(g4, 0, 0)
    win(mini, 13, 325, 8)
    mh = group(mini, 0, 0)
    h2 = win(mh, 0, 0, 6, load=0, col="255,255,255,0")
    for i, (n, c) in enumerate(sorted(anim.items())):
        h2.props.append("AnimeColor#%d %d,%s,120,0,0" % (i, n, c))
    info = group(g4, 10, 110)
    win(info, 0, 0, 4, size=(310, 205), col="255,255,255,235")
    text(info, 14, 8, 280, 32, "", 24)
    text(info, 14, 46, 280, 24, "", 17)
    text(info, 14, 76, 280, 24, "", 16)
    text(info, 14, 102, 280, 24, "", 16)
    text(info, 14, 128, 280, 24, "", 16)
    text(info, 14, 154, 280, 24, "", 16)
    lst = group(g4, 330, 376)
    win(lst, 0, 0, 4, size=(900, 216), col="255,255,255,235")
    # The rows show stats 1, 3, 2 (武力, 統率, 知略, as the detail page and the general table name them)
    # at x 520, 600 and 680; each header sorts its own column (700 stat 1, 702 stat 3, 701 stat 2).
    heads = [(700, "武力", 520), (701, "知略", 680), (702, "統率", 600), (703, "兵", 280), (704, "鉄砲", 360),
             (705, "段階", 220), (706, "忠誠", 440)]
    for bid, label, x in heads:
        b = btn(lst, x, 2, bid, looks(SPR, "Data\\Image\\slg\\small_btn.png", 78, 22), None)
        win(b, 58, 1, 13)
        text(b, 0, 0, 58, 22, label, 15, align="1,1")
    for i in range(6):
        r = btn(lst, 8, 26 + 31 * i, 500 + i, looks(SPR, "Data\\Image\\slg\\row.png", 760, 30), None)
        win(r, 2, 1, 14, size=(28, 28))
        win(r, 34, 3, 19)
        for x, w in [(62, 150), (220, 60), (280, 80), (360, 80), (440, 80), (520, 80), (600, 80), (680, 80)]:
            text(r, x, 0, w, 30, "", 16, align="0,1")
    for i in range(6):
        btn(lst, 780, 27 + 31 * i, 600 + i, looks(SPR, "Data\\Image\\slg\\small_btn.png", 90, 28), "詳細", 90, 28, 15)
    scroll_bar(lst, 876, 26, 186, SPR, 4)
    ctip = group(g4, 0, 0, 8)
    win(ctip, 0, 0, 4, size=(220, 56), col="255,255,255,235")
    text(ctip, 10, 4, 200, 24, "", 17)
    text(ctip, 10, 28, 200, 24, "", 15)
    for i in range(8):
        c = btn(g4, 400 + 60 * i, 150, 300 + i, 9, None, states="0,0,0,0,0")
        mk = win(c, -8, -8, 17, load=1)
        win(mk, 0, 0, 17, state=0)
        win(mk, 0, 0, 17, state=1)
        mk.props.append("AnimeColor#0 10,255,255,255,255,150,0,0")
        mk.props.append("AnimeColor#1 5,255,255,255,80,400,0,0")
        text(c, -36, 46, 120, 18, "", 15, align="1,1")
        text(c, -36, 62, 120, 16, "", 13, align="1,1")
    for i in range(10):
        c = btn(g4, 400 + 40 * i, 300, 350 + i, 10, None, states="0,0,0,0,0")
        text(c, -40, 38, 120, 18, "", 14, align="1,1")
    btn(g4, 20, 466, 750, 20, "全国地図へ", 300, 52, 20)
    # G5 start choice
    g5 = group(root, 0, 0)
    start = group(g5, 900, 112, 5)  # in front of the province names
    win(start, 0, 0, 4, size=(340, 476), col="255,255,255,235")
    text(start, 20, 8, 300, 30, "大名家を選んでください", 20)
    for i in range(6):
        b = btn(start, 20, 44 + 58 * i, 12500 + i, 20, None)
        text(b, 12, 0, 280, 52, "", 20, align="0,1")
    btn(start, 20, 396, 12000, looks(SPR, "Data\\Image\\slg\\small_btn.png", 300, 32), "国から選ぶ・1550年", 300, 32, 16)
    btn(start, 20, 434, 12001, looks(SPR, "Data\\Image\\slg\\small_btn.png", 300, 32), "国から選ぶ・1580年", 300, 32, 16)
    return root


# 0 the opaque frame, 3 the panels inside it.
DLG_SPR = [("Data\\Image\\slg\\dlg_panel.png", 256, 256, 1, 1), ("Data\\Image\\slg\\small_btn.png", 90, 180, 1, 5),
           ("Data\\Image\\slg\\row.png", 760, 150, 1, 5), ("Data\\Image\\slg\\panel.png", 256, 256, 1, 1),
           ("Data\\Image\\face\\f00.png", 64, 64, 1, 1)]


def raise_buttons(node, acc=None, bound=None):
    """Dialog buttons sit nearer than their frame: the depth bound a dialog raises is its frame's z
    counted twice (see docs/layouts.md), and a button's own z counts twice too. Scroll and value
    bars take the wheel and their buttons only at or above that bound, so each is raised to it."""
    if acc is None:
        frame = node.kids[0] if node.kids else None
        acc, bound = 0.0, 2 * node_z(frame) if frame else 0.0
    for k in node.kids:
        if k.kind == "Btn":
            k.props = [p if not p.startswith("pos ") else p[:p.rindex(",")] + ",3" for p in k.props]
        elif k.kind in ("SBar", "PBar") and acc + 2 * node_z(k) < bound:
            need = int(-(-(bound - acc) // 2))
            k.props = [p if not p.startswith("pos ") else p[:p.rindex(",")] + ",%d" % need for p in k.props]
        raise_buttons(k, acc + node_z(k), bound)


def node_z(n):
    for p in n.props:
        if p.startswith("pos "):
            parts = p[4:].split(",")
            return float(parts[2]) if len(parts) > 2 else 0.0
    return 0.0


def seiryoku():
    root = Node("Root")
    f = root.add("Window", "pos 0,0,10", "sprite 0,0,0,-1", "size 440,330")
    text(f, 20, 12, 400, 30, "大名家を選んでください", 20)
    g0 = group(f, 0, 0, 4)
    btn(g0, 300, 280, 1001, looks(DLG_SPR, "Data\\Image\\slg\\small_btn.png", 120, 40), "戻る", 120, 40, 17)
    panel = group(f, 20, 50, 4)
    rows = group(panel, 0, 0, 4)
    for i in range(3):
        b = btn(rows, 0, 72 * i, 3000 + i, looks(DLG_SPR, "Data\\Image\\slg\\row.png", 380, 68), None)
        inner = win(b, 0, 0, 3, col="255,255,255,0")
        win(inner, 6, 2, 4, size=(64, 64))
        text(inner, 84, 0, 280, 68, "", 22, align="0,1")
    scroll_bar(panel, 384, 0, 212, DLG_SPR, 0)
    raise_buttons(root)
    return root


def hikitsugi():
    root = Node("Root")
    f1 = root.add("Window", "pos 0,0,10", "sprite 0,0,0,-1", "size 480,260")
    text(f1, 20, 16, 440, 30, "開始時の加増を選んでください", 20)
    text(f1, 20, 56, 440, 60, "加増ありでは自家の資金と兵が増えます。", 16)
    g = group(f1, 0, 0, 4)
    btn(g, 30, 140, 1100, looks(DLG_SPR, "Data\\Image\\slg\\small_btn.png", 130, 44), "加増あり", 130, 44, 18)
    btn(g, 175, 140, 1101, looks(DLG_SPR, "Data\\Image\\slg\\small_btn.png", 130, 44), "加増なし", 130, 44, 18)
    btn(g, 320, 140, 1001, looks(DLG_SPR, "Data\\Image\\slg\\small_btn.png", 130, 44), "戻る", 130, 44, 18)
    f2 = root.add("Window", "pos 0,0,10", "sprite 0,0,0,-1", "size 560,420")
    text(f2, 20, 12, 520, 30, "引き継ぐ武将を選んでください", 20)
    text(f2, 360, 44, 180, 26, "", 17)
    f2.add("WinGroup", "pos 360,44,0", "num 3,0")
    head = group(f2, 0, 0, 4)
    btn(head, 280, 368, 1000, looks(DLG_SPR, "Data\\Image\\slg\\small_btn.png", 120, 40), "決定", 120, 40, 18)
    btn(head, 410, 368, 1001, looks(DLG_SPR, "Data\\Image\\slg\\small_btn.png", 120, 40), "戻る", 120, 40, 18)
    tabs = group(f2, 20, 44, 4)
    for i in range(3):
        btn(tabs, 110 * i, 0, 11000 + i, looks(DLG_SPR, "Data\\Image\\slg\\small_btn.png", 100, 30), ["其の一", "其の二", "其の三"][i], 100, 30, 15)
    lst = group(f2, 20, 84, 4)
    rows = group(lst, 0, 0, 4)
    for i in range(4):
        b = btn(rows, 0, 68 * i, 4000 + i, looks(DLG_SPR, "Data\\Image\\slg\\row.png", 500, 64), None)
        win(b, 4, 2, 4, size=(60, 60))
        text(b, 80, 0, 300, 64, "", 20, align="0,1")
        text(b, 390, 0, 100, 64, "", 18, align="2,1")
    scroll_bar(lst, 504, 0, 270, DLG_SPR, 0)
    raise_buttons(root)
    return root


# ---- command dialogs (menu types 31-46) ----------------------------------------------------------
CMD_SPR = [("Data\\Image\\slg\\dlg_panel.png", 256, 256, 1, 1),  # 0 opaque panel (sized by :size)
           ("Data\\Image\\slg\\digits.png", 160, 26, 10, 1),     # 1 digits of the number groups
           ("Data\\Image\\face\\f00.png", 64, 64, 1, 1),          # 2 faces (picture by code)
           ("Data\\Image\\slg\\bar.png", 320, 18, 1, 1),         # 3 value bar
           ("Data\\Image\\slg\\bar_back.png", 320, 18, 1, 1),    # 4 value bar track
           ("Data\\Image\\slg\\effect.png", 360, 80, 3, 1),      # 5 watched effects (state 1, 2)
           ("Data\\Image\\slg\\item_kind.png", 288, 48, 6, 1),   # 6 item kinds (usable-by class - 1)
           ("Data\\Image\\slg\\rank.png", 120, 24, 5, 1),        # 7 clan rank marks
           ("Data\\Image\\slg\\empty.png", 96, 28, 1, 1),        # 8 empty-clan marker
           ("Data\\Image\\slg\\ending.png", 1280, 720, 1, 1),    # 9 ending page
           ("Data\\Image\\slg\\clear.png", 8, 8, 1, 1),          # 10 clear inner panels
           ("Data\\Image\\slg\\new.png", 40, 28, 1, 1),          # 11 visit: not yet marked
           ("Data\\Image\\slg\\visit_state.png", 120, 28, 2, 1),  # 12 visit: available or not
           ("Data\\Image\\slg\\kind.png", 72, 24, 3, 1)]          # 13 general kinds


def digits(parent, x, y, n):
    """A number group of n digit windows, right-aligned."""
    g = parent.add("WinGroup", "pos %d,%d,0" % (x, y), "num %d,0" % n)
    for i in range(n):
        win(g, 16 * i, 0, 1)
    return g


def frame(root, w, h):
    return root.add("Window", "pos 0,0,10", "sprite 0,0,0,-1", "size %d,%d" % (w, h))


def cmd_btn(parent, x, y, bid, label, w=120, h=40, size=18):
    return btn(parent, x, y, bid, looks(CMD_SPR, "", w, h), label, w, h, size)


def ok_cancel(f, w, h, ok="決定", cancel="戻る"):
    g = group(f, 0, 0, 4)
    cmd_btn(g, w - 270, h - 56, 1000, ok)
    if cancel:
        cmd_btn(g, w - 140, h - 56, 1001, cancel)
    return g


def dlg_simple():
    root = Node("Root")
    f = frame(root, 480, 300)
    ok_cancel(f, 480, 300)
    inner = win(f, 20, 96, 10, size=(440, 90))
    digits(inner, 330, 30, 4)
    win(inner, 40, 4, 5, 1)
    win(inner, 260, 4, 10, size=(120, 80))
    text(inner, 200, 30, 120, 26, "選択", 17, align="2,1", frame=False)
    win(f, 80, 200, 4)
    text(f, 20, 14, 440, 30, "数量を選んでください", 20)
    text(f, 20, 56, 120, 26, "ＣＰ", 17, frame=False)   # number group 1: the command points it costs
    text(f, 250, 56, 120, 26, "費用", 17, frame=False)   # number group 2: the money
    digits(f, 140, 56, 4)
    digits(f, 370, 56, 3)
    bar = f.add("PBar", "pos 80,200,1", "type 0", "wheel 1,1")
    win(bar, 0, 0, 3)
    btn(bar, 330, -8, 1201, looks(CMD_SPR, "", 36, 34), "＋", 36, 34, 18)
    btn(bar, -56, -8, 1200, looks(CMD_SPR, "", 36, 34), "－", 36, 34, 18)
    raise_buttons(root)
    return root


def dlg_chosyu():
    root = Node("Root")
    f = frame(root, 460, 260)
    ok_cancel(f, 460, 260)
    inner = win(f, 20, 130, 10, size=(420, 40))
    text(inner, 0, 4, 200, 30, "その他", 17, frame=False)
    digits(inner, 220, 4, 4)
    text(f, 20, 14, 420, 30, "よろしいですか", 20)
    text(f, 20, 60, 180, 30, "ＣＰ", 17, frame=False)   # a: the command points it costs
    text(f, 20, 96, 180, 30, "費用", 17, frame=False)   # b: the money
    digits(f, 240, 60, 4)
    digits(f, 240, 96, 4)
    raise_buttons(root)
    return root


def dlg_domei():
    root = Node("Root")
    f = frame(root, 640, 360)
    win(f, 40, 60, 2)
    win(f, 400, 60, 2)
    ok_cancel(f, 640, 360, "交渉", "戻る")
    digits(f, 160, 170, 4)
    digits(f, 160, 206, 4)
    digits(f, 500, 206, 5)
    digits(f, 500, 242, 3)
    text(f, 20, 130, 200, 28, "", 18)                # envoy
    text(f, 480, 60, 140, 28, "", 18)                # clan
    text(f, 480, 96, 140, 28, "", 16)                # rank
    text(f, 380, 130, 240, 28, "", 18)               # head
    text(f, 20, 14, 600, 30, "同盟の交渉を行います", 20)  # message
    text(f, 20, 170, 130, 26, "友好", 16, frame=False)
    text(f, 20, 206, 130, 26, "費用", 16, frame=False)
    text(f, 380, 206, 110, 26, "石高", 16, frame=False)
    text(f, 380, 242, 110, 26, "国数", 16, frame=False)
    raise_buttons(root)
    return root


def dlg_hikinuki():
    root = Node("Root")
    f = frame(root, 700, 440)
    ok_cancel(f, 700, 440, "引抜", "戻る")
    lst = group(f, 20, 100, 4)
    rows = group(lst, 0, 0, 4)
    for i in range(3):
        b = btn(rows, 0, 70 * i, 2100 + i, looks(CMD_SPR, "", 640, 66), None)
        inner = win(b, 0, 0, 10, size=(640, 66))
        win(inner, 4, 1, 2)
        text(inner, 76, 4, 200, 28, "", 18, frame=False)
        text(inner, 76, 34, 200, 28, "", 15, frame=False)
        text(inner, 290, 4, 180, 28, "", 15, frame=False)
        digits(inner, 480, 20, 2)
        digits(inner, 560, 20, 2)
    scroll_bar(lst, 644, 0, 206, CMD_SPR, 0)
    text(f, 20, 14, 660, 30, "引き抜く武将を選んでください", 18)
    text(f, 20, 56, 100, 26, "費用", 16, frame=False)
    text(f, 250, 56, 100, 26, "成功率", 16, frame=False)
    digits(f, 110, 56, 4)
    digits(f, 350, 56, 3)
    text(f, 500, 76, 60, 22, "兵", 15, frame=False)     # the rows' two numbers: soldiers, guns
    text(f, 580, 76, 60, 22, "鉄砲", 15, frame=False)
    win(f, 40, 330, 4)
    bar = f.add("PBar", "pos 40,330,1", "type 0", "wheel 0,1")
    win(bar, 0, 0, 3)
    raise_buttons(root)
    return root


def dlg_march(two):
    if not two:
        return dlg_shutsujin()
    root = Node("Root")
    f = frame(root, 720, 330)
    ok_cancel(f, 720, 330)
    sides = group(f, 20, 60, 4)
    for k in range(2):
        side = group(sides, 350 * k, 0, 0)
        text(side, 0, 0, 160, 28, "", 17)
        text(side, 170, 0, 160, 28, "", 17)
        faces = group(side, 0, 40, 0)
        for i in range(8):
            win(faces, 82 * (i % 4), 76 * (i // 4), 2)
    text(f, 20, 14, 680, 30, "移動します", 20)
    text(f, 20, 280, 80, 26, "兵", 16, frame=False)
    text(f, 180, 280, 80, 26, "鉄砲", 16, frame=False)
    digits(f, 60, 280, 4)
    digits(f, 240, 280, 4)
    raise_buttons(root)
    return root


def dlg_shutsujin():
    """The march: the dialog's first number is always 0 for a march (its group has no digits), the
    second the march's cost; the target panel shows the castle, its owner, its level and who goes
    against whom. Every row lies above the buttons."""
    root = Node("Root")
    w, h = 460, 420
    f = frame(root, w, h)
    ok_cancel(f, w, h)
    sides = group(f, 20, 56, 4)
    side = group(sides, 0, 0, 0)
    text(side, 0, 0, 140, 28, "", 17)                # country
    text(side, 150, 0, 270, 28, "", 17)              # castle
    text(side, 0, 30, 420, 26, "", 16)               # owner
    faces = group(side, 0, 62, 0)
    for i in range(8):
        win(faces, 82 * (i % 4), 72 * (i // 4), 2)
    for i, label in enumerate(["規模", "出陣", "在城"]):
        text(side, 140 * i, 208, 60, 26, label, 16, frame=False)
        digits(side, 140 * i + 56, 208, 2)
    text(f, 20, 14, w - 40, 30, "出陣します", 20)
    digits(f, 20, 300, 0)
    text(f, 20, 300, 80, 26, "費用", 16, frame=False)
    digits(f, 90, 300, 5)
    raise_buttons(root)
    return root


def dlg_item():
    root = Node("Root")
    f = frame(root, 420, 230)
    # Its one button acknowledges the find: the cancel id, the answer the battle's aftermath waits for
    # (as a right click gives it).
    g = group(f, 0, 0, 4)
    cmd_btn(g, 420 - 140, 230 - 56, 1001, "確認")
    panel = group(f, 20, 70, 4)
    win(panel, 0, 0, 6)
    text(panel, 64, 8, 320, 32, "", 20)
    text(f, 20, 14, 380, 30, "家宝を手に入れました", 20)
    raise_buttons(root)
    return root


def dlg_sikan():
    root = Node("Root")
    f = frame(root, 420, 250)
    ok_cancel(f, 420, 250, "確認", None)
    b = btn(f, 20, 60, 1002, looks(CMD_SPR, "", 380, 80), None)
    win(b, 8, 8, 2)
    text(b, 90, 0, 280, 80, "", 22, align="0,1", frame=False)
    text(f, 20, 14, 380, 30, "武将が登場しました", 20)
    raise_buttons(root)
    return root


def dlg_infosei():
    root = Node("Root")
    f = frame(root, 1160, 660)
    win(f, 0, 0, 0, size=(1160, 8), col="176,138,72,255")
    main = win(f, 0, 0, 10, size=(1160, 660), z=4)
    g0 = group(main, 0, 0, 4)
    cmd_btn(g0, 1010, 604, 1001, "戻る", 130, 40)
    nums = group(main, 0, 0, 4)
    win(nums, 20, 604, 10, size=(8, 8))
    n1 = win(nums, 20, 604, 10, size=(420, 40))
    # What looking into a clan costs (command points, money) and the command points left.
    text(n1, 0, 6, 60, 28, "ＣＰ", 16, frame=False)
    digits(n1, 60, 6, 5)
    text(n1, 160, 6, 60, 28, "残り", 16, frame=False)
    digits(n1, 220, 6, 3)
    n2 = win(nums, 460, 604, 10, size=(300, 40))
    text(n2, 0, 6, 60, 28, "費用", 16, frame=False)
    digits(n2, 60, 6, 3)
    clans = group(main, 20, 60, 4)
    for i in range(60):
        b = btn(clans, 112 * (i % 10), 90 * (i // 10), 3000 + i, looks(CMD_SPR, "", 108, 86), None)
        inner = win(b, 0, 0, 10, size=(108, 86))
        win(inner, 4, 4, 2, size=(48, 48))
        win(inner, 60, 6, 7)
        win(inner, 6, 22, 8)
        text(inner, 2, 56, 104, 26, "", 14, align="1,1", frame=False)
    text(main, 20, 14, 900, 34, "", 20)
    raise_buttons(root)
    return root


def dlg_ending():
    root = Node("Root")
    pages = group(root, 0, 0, 10)
    for i, t in enumerate(["天下統一", "新たなる世", "民の声", "家臣たち", "完"]):
        p = group(pages, 0, 0, 0)
        win(p, 0, 0, 9)
        text(p, 0, 300, 1280, 120, t, 48, align="1,1", frame=False)
    return root


def dlg_exp():
    root = Node("Root")
    f = frame(root, 600, 400)
    g0 = group(f, 0, 0, 4)
    cmd_btn(g0, 460, 344, 200, "閉じる")
    lst = group(f, 20, 56, 4)
    rows = group(lst, 0, 0, 4)
    for i in range(4):
        b = btn(rows, 0, 68 * i, 2100 + i, looks(CMD_SPR, "", 540, 64), None)
        inner = win(b, 0, 0, 10, size=(540, 64))
        win(inner, 2, 0, 2)
        win(inner, 440, 18, 8)
        text(inner, 76, 0, 220, 64, "", 20, align="0,1", frame=False)
        text(inner, 300, 18, 40, 28, "段", 15, frame=False)
        digits(inner, 336, 18, 1)
        digits(inner, 370, 18, 4)
    scroll_bar(lst, 544, 0, 270, CMD_SPR, 0)
    text(f, 20, 14, 560, 30, "武将の成長", 20)
    raise_buttons(root)
    return root


def dlg_event():
    root = Node("Root")
    f = frame(root, 720, 430)
    win(f, 620, 14, 2)
    g0 = group(f, 0, 0, 4)
    cmd_btn(g0, 450, 374, 1000, "訪問")
    cmd_btn(g0, 580, 374, 1001, "戻る")
    sorts = group(f, 20, 50, 4)
    cmd_btn(sorts, 0, 0, 2000, "武将", 120, 30, 15)
    cmd_btn(sorts, 130, 0, 2001, "種別", 120, 30, 15)
    lst = group(f, 20, 88, 4)
    rows = group(lst, 0, 0, 4)
    for i in range(4):
        row = group(rows, 0, 68 * i, 0)
        b = btn(row, 0, 0, 2100 + i, looks(CMD_SPR, "", 560, 64), None)
        win(b, 2, 0, 2)
        win(b, 420, 18, 11)
        win(b, 480, 18, 12)
        text(b, 76, 0, 300, 64, "", 20, align="0,1", frame=False)
        btn(row, 564, 12, 2200 + i, looks(CMD_SPR, "", 40, 40), None)
    scroll_bar(lst, 612, 0, 270, CMD_SPR, 0)
    text(f, 20, 14, 580, 30, "訪問する武将を選んでください", 20)
    digits(f, 560, 60, 1)
    raise_buttons(root)
    return root


# ---- information detail page (scene 11): the general's panel, skills and the item list ----------
def detail_general(gp):
    win(gp, 0, 0, 2, size=(128, 128))
    win(gp, 140, 4, 13)
    text(gp, 140, 40, 400, 40, "", 26)
    text(gp, 140, 90, 180, 30, "", 18)
    text(gp, 330, 90, 220, 30, "", 18)
    for i, label in enumerate(["武力", "知力", "統率", "兵", "鉄砲", "段", "経験"]):
        text(gp, 20 + 230 * (i % 4), 170 + 60 * (i // 4), 90, 30, label, 17, frame=False)
        digits(gp, 110 + 230 * (i % 4), 172 + 60 * (i // 4), 5 if i in (3, 4) else 4)


def detail_skills(sp):
    """Four skill buttons (2000-2003) and the skill window: name and seven effect lines."""
    buttons = group(sp, 0, 0, 2)
    for i in range(4):
        cmd_btn(buttons, 150 * i, 0, 2000 + i, "技能%d" % (i + 1), 140, 34, 16)
    w = group(sp, 0, 42, 0)
    text(w, 0, 0, 300, 28, "", 18)
    for i in range(7):
        text(w, 470 * (i % 2), 32 + 24 * (i // 2), 460, 22, "", 15, frame=False)


def detail_item_list(lp):
    """Kind tabs 2100-2105, seven rows 2200-2206 (item panel with stock and equipped counts, or a
    holder's face) and the scroll bar."""
    tabs = group(lp, 8, 8, 2)
    for i, t in enumerate(["壱", "弐", "参", "四", "五", "六"]):
        cmd_btn(tabs, 124 * i, 0, 2100 + i, t, 116, 34, 16)
    for i in range(7):
        b = cmd_btn(lp, 8, 48 + 40 * i, 2200 + i, None, 900, 38)
        inner = win(b, 0, 0, 10, size=(900, 38))
        counts = group(inner, 0, 0, 0)
        text(counts, 700, 6, 50, 26, "在庫", 14, frame=False)
        digits(counts, 750, 6, 2)
        text(counts, 800, 6, 50, 26, "装備", 14, frame=False)
        digits(counts, 850, 6, 2)
        holder = group(inner, 0, 0, 0)
        win(holder, 4, 3, 2, size=(32, 32))
        text(inner, 44, 0, 250, 38, "", 18, align="0,1", frame=False)
        text(inner, 300, 0, 390, 38, "", 15, align="0,1", frame=False)
    scroll_bar(lp, 924, 48, 278, CMD_SPR, 0)


def dlg_detail():
    root = Node("Root")
    # In front of any command dialog still open on the map below (their frames sit at z 10).
    page = group(root, 140, 20, 30)
    win(page, 0, 0, 0, size=(1000, 680))
    gp = win(page, 20, 20, 10, size=(960, 330))
    detail_general(gp)
    detail_skills(win(page, 20, 360, 10, size=(960, 170)))
    detail_item_list(win(page, 20, 20, 10, size=(960, 330), z=2))
    hold = win(page, 20, 540, 10, size=(960, 80))
    item = win(hold, 0, 0, 10, size=(700, 80))
    win(item, 0, 8, 6)
    text(item, 64, 4, 400, 34, "", 22)
    text(item, 64, 42, 630, 30, "", 16, frame=False)
    cmd_btn(hold, 720, 0, 1100, "装備", 110, 36)
    cmd_btn(hold, 840, 0, 1101, "外す", 110, 36)
    # Previous general: the holders panel's third button.
    cmd_btn(hold, 0, 94, 1000, "前の武将", 150, 44)
    # Next general, then the back button (its id is set by the page: 1 closes, 2 steps back).
    cmd_btn(page, 180, 634, 1001, "次の武将", 150, 44)
    cmd_btn(page, 830, 634, 1, "閉じる", 150, 44)
    raise_buttons(root)
    return root


DIALOGS = [  # (kind, file, title, builder)
    (1, "slg_simple.txt", "Value on a bar", dlg_simple),
    (2, "slg_chosyu.txt", "Three numbers and a confirmation", dlg_chosyu),
    (3, "slg_domei.txt", "Alliance negotiation", dlg_domei),
    (4, "slg_hikinuki.txt", "Poaching", dlg_hikinuki),
    (5, "slg_idou.txt", "Moving generals", lambda: dlg_march(True)),
    (6, "slg_shutsujin.txt", "March", lambda: dlg_march(False)),
    (7, "slg_exp.txt", "General list", dlg_exp),
    (15, "slg_event.txt", "Visits", dlg_event),
    (10, "slg_item.txt", "Item won", dlg_item),
    (11, "slg_sikan.txt", "General appeared", dlg_sikan),
    (13, "slg_infosei.txt", "Clan information", dlg_infosei),
    (16, "slg_ending.txt", "Ending pages", dlg_ending),
]


# ==== general table (menu type 42) and training (menu type 44) ==================================
# Kept as its own block (sprite table, builders, DIALOGS entries) so other dialogs can be added
# beside it without touching it. Contract: docs/layouts.md, "Command dialogs".
TABLE_SPR = [("Data\\Image\\slg\\dlg_panel.png", 256, 256, 1, 1),  # 0 opaque panel (sized by :size)
             ("Data\\Image\\slg\\digits.png", 160, 26, 10, 1),     # 1 digits
             ("Data\\Image\\face\\f00.png", 64, 64, 1, 1),          # 2 faces (picture by code)
             ("Data\\Image\\slg\\clear.png", 8, 8, 1, 1),          # 3 clear inner panels
             ("Data\\Image\\slg\\kind.png", 72, 24, 3, 1),         # 4 general kinds
             ("Data\\Image\\slg\\item_kind.png", 288, 48, 6, 1),   # 5 item kinds (usable-by class - 1)
             ("Data\\Image\\slg\\mark.png", 108, 108, 3, 3),       # 6 row marks: mark + 3 x look
             ("Data\\Image\\slg\\sort.png", 60, 20, 3, 1),         # 7 sort direction
             ("Data\\Image\\slg\\sparkle.png", 64, 48, 1, 1),      # 8 training effect
             ("Data\\Image\\slg\\odd.png", 64, 64, 1, 1),          # 9 odd-count marker
             ("Data\\Image\\slg\\grown.png", 60, 24, 1, 1),        # 10 grown marker
             ("Data\\Image\\slg\\item_kind_32.png", 192, 32, 6, 1)]  # 11 item kinds, drawn for 32 x 32


def t_digits(parent, x, y, n):
    g = parent.add("WinGroup", "pos %d,%d,0" % (x, y), "num %d,0" % n)
    for i in range(n):
        win(g, 16 * i, 0, 1)
    return g


def t_btn(parent, x, y, bid, label, w, h, size=17):
    return btn(parent, x, y, bid, looks(TABLE_SPR, "", w, h), label, w, h, size)


def t_sort(parent, x, y, bid, label, w):
    b = t_btn(parent, x, y, bid, None, w, 26)
    win(b, w - 22, 3, 7)
    text(b, 0, 0, w - 20, 26, label, 14, align="1,1", frame=False)
    return b


def t_fade(w, appear=200):
    """Animations 1 (appear), 2 (fade out) and 3 (result flash) by colour."""
    w.props.append("AnimeColor#0 1,255,255,255,255,%d,0,0" % appear)
    w.props.append("AnimeColor#1 2,255,255,255,0,150,0,0")
    w.props.append("AnimeColor#2 3,255,236,170,255,300,0,0")


def t_frame(root, w, h):
    """A frame with its opening animation, a top band and a clear panel over the whole of it."""
    f = root.add("Window", "pos 0,0,10", "sprite 0,0,0,-1", "size %d,%d" % (w, h))
    t_fade(f)
    win(f, 0, 0, 0, size=(w, 8), col="176,138,72,255")
    return f, win(f, 0, 0, 3, size=(w, h))


def dlg_infoall():
    root = Node("Root")
    f, panel = t_frame(root, 1240, 600)
    # Command buttons 0-6 (which id is which is this layout's choice).
    cmd = group(panel, 0, 0, 4)
    t_btn(cmd, 1090, 540, 1001, "戻る", 130, 44)
    t_btn(cmd, 20, 540, 2500, "所在地", 150, 44)
    ok = t_btn(cmd, 180, 540, 2505, None, 230, 44)
    text(ok, 10, 0, 90, 44, "決定", 18, align="1,1", frame=False)
    text(ok, 150, 0, 20, 44, "/", 18, align="1,1", frame=False)
    t_digits(ok, 176, 9, 1)   # capacity
    t_digits(ok, 130, 9, 1)   # picked
    t_btn(cmd, 420, 540, 2501, "詳細", 130, 44)
    t_btn(cmd, 560, 540, 2502, "解雇", 130, 44)
    t_btn(cmd, 700, 540, 2503, "控えのみ", 150, 44)
    t_btn(cmd, 700, 540, 2504, "全武将", 150, 44)
    # Sort buttons 2000-2012 (found by id), over their columns.
    sorts = group(panel, 0, 56, 4)
    for bid, x, w, label in [(2000, 16, 40, "印"), (2004, 60, 66, "種"), (2001, 132, 150, "名前"), (2002, 286, 90, "国"),
                             (2003, 380, 30, "段"), (2005, 412, 84, "武力"), (2006, 500, 84, "知略"),
                             (2007, 588, 84, "統率"), (2008, 676, 44, "忠"), (2009, 724, 52, "政"),
                             (2010, 780, 86, "兵"), (2011, 870, 86, "鉄砲"), (2012, 960, 236, "家宝")]:
        t_sort(sorts, x, 0, bid, label, w)
    lst = group(panel, 0, 88, 4)
    rows = group(lst, 0, 0, 4)
    for i in range(9):
        r = t_btn(rows, 60, 44 * i, 3000 + i, None, 1140, 42)
        holder = group(r, 0, 0, 0)
        group(holder, 0, 0, 0)
        inner = group(holder, 0, 0, 0)
        # The mark lies left of the row's own picture: a button inside a button takes no click
        # where its parent's picture is.
        btn(inner, -44, 3, 4000 + i, 6, None)
        win(inner, 0, 1, 2, size=(40, 40))
        win(inner, 44, 9, 4)
        win(inner, 900, 5, 11, size=(32, 32))
        text(inner, 72, 0, 150, 42, "", 18, align="0,1", frame=False)
        text(inner, 226, 0, 90, 42, "", 16, align="0,1", frame=False)
        for x in (400, 488, 576):
            text(inner, x, 0, 36, 42, "", 14, col="150,230,150,255", align="0,1", frame=False)
        text(inner, 616, 0, 44, 42, "絆", 17, col="255,200,120,255", align="1,1", frame=False)
        text(inner, 936, 0, 200, 42, "", 16, align="0,1", frame=False)
        for x, n in [(320, 1), (352, 3), (440, 3), (528, 3), (616, 2), (664, 3), (720, 5), (810, 5)]:
            t_digits(inner, x, 8, n)
    scroll_bar(lst, 1206, 0, 394, TABLE_SPR, 0)
    text(f, 20, 12, 500, 34, "武将一覧", 22)
    counters = win(f, 880, 12, 3, size=(340, 34))
    text(counters, 0, 0, 100, 34, "武将数", 17, align="2,1", frame=False)
    text(counters, 190, 0, 20, 34, "/", 18, align="1,1", frame=False)
    t_digits(counters, 214, 4, 3)   # the fixed counter
    t_digits(counters, 126, 4, 3)   # the list count
    raise_buttons(root)
    return root


def dlg_tanren():
    root = Node("Root")
    f1, p = t_frame(root, 1000, 600)
    g0 = group(p, 0, 0, 4)
    t_btn(g0, 700, 540, 1000, "鍛錬", 130, 44)
    t_btn(g0, 850, 540, 1001, "戻る", 130, 44)
    sorts = group(p, 20, 56, 4)
    for i, (bid, label) in enumerate([(2000, "印"), (2001, "名前"), (2002, "段"), (2003, "選択順")]):
        t_sort(sorts, 112 * i, 0, bid, label, 104)
    cand = group(p, 20, 90, 4)
    rows = group(cand, 0, 0, 4)
    for i in range(7):
        r = t_btn(rows, 0, 62 * i, 3000 + i, None, 440, 58)
        inner = win(r, 0, 0, 3, size=(440, 58))
        win(inner, 4, 4, 2, size=(50, 50))
        text(inner, 64, 0, 200, 58, "", 18, align="0,1", frame=False)
        text(inner, 270, 16, 30, 26, "段", 15, frame=False)
        t_digits(inner, 300, 16, 1)
        t_digits(inner, 340, 16, 4)
        win(r, 380, 17, 10)
    scroll_bar(cand, 444, 0, 430, TABLE_SPR, 0)
    members = group(p, 490, 90, 4)
    mp = win(members, 0, 0, 3, size=(490, 430))
    for i, label in enumerate(["鍛錬", "行動力", "選択", "候補"]):
        text(mp, 122 * i, 4, 70, 28, label, 15, align="2,1", frame=False)
        t_digits(mp, 122 * i + 76, 5, 2)
    chain1 = group(mp, 0, 0, 0)
    for i in range(10):
        w = win(chain1, 20 + 92 * (i % 5), 56 + 100 * (i // 5), 2)
        t_fade(w, 150)
    chain2 = group(mp, 0, 0, 1)
    for i in range(6):
        w = win(chain2, 20 + 76 * i, 270, 8)
        w.props.append("AnimeColor#0 1,255,255,200,255,400,0,0")
    chain3 = group(mp, 0, 0, 0)
    for i in range(10):
        win(chain3, 20 + 46 * i, 340, 2, size=(40, 40))
    chain4 = group(mp, 0, 0, 0)
    for i in range(10):
        win(chain4, 20 + 92 * (i % 5), 56 + 100 * (i // 5), 9)
    text(f1, 20, 12, 700, 34, "鍛錬する武将を選んでください", 22)
    # The result page, in front of the choice.
    f2 = root.add("Window", "pos 320,150,20", "sprite 0,0,0,-1", "size 640,420")
    win(f2, 0, 0, 0, size=(640, 8), col="176,138,72,255")
    g = group(f2, 0, 0, 4)
    t_btn(g, 490, 364, 5000, "閉じる", 130, 44)
    res = group(f2, 20, 56, 4)
    rrows = group(res, 0, 0, 4)
    for i in range(4):
        r = t_btn(rrows, 0, 72 * i, 6000 + i, None, 580, 68)
        inner = win(r, 0, 0, 3, size=(580, 68))
        win(inner, 4, 2, 2)
        text(inner, 80, 0, 220, 68, "", 20, align="0,1", frame=False)
        text(inner, 300, 20, 30, 26, "段", 15, frame=False)
        t_digits(inner, 330, 20, 1)
        t_digits(inner, 370, 20, 4)
        win(r, 480, 22, 10)
    scroll_bar(res, 584, 0, 284, TABLE_SPR, 0)
    text(f2, 20, 12, 600, 34, "鍛錬の結果", 22)
    raise_buttons(root)
    return root


DIALOGS += [
    (12, "slg_infoall.txt", "General table", dlg_infoall),
    (14, "slg_tanren.txt", "Training", dlg_tanren),
]
# ==== end of general table and training ==========================================================


if __name__ == "__main__":
    n = write("slgmain.txt", "Strategy map (scene 3, menu 0, menu type 30). Made by data/ui/gen/slg_layouts.py; do not\n"
              "edit by hand. Contract: docs/layouts.md, \"Strategy map\".", SPR, map_screen())
    print("slgmain.txt:", n, "nodes")
    n = write("slg_seiryoku.txt", "Clan choice (scene 3, menu 8, menu type 38). Made by data/ui/gen/slg_layouts.py.",
              DLG_SPR, seiryoku())
    print("slg_seiryoku.txt:", n, "nodes")
    n = write("slg_hikitsugi.txt", "Start options and carried-over generals (scene 3, menu 9, menu type 39). Made by\n"
              "data/ui/gen/slg_layouts.py.", DLG_SPR, hikitsugi())
    print("slg_hikitsugi.txt:", n, "nodes")
    for kind, name, title, build in DIALOGS:
        root = build()
        n = write(name, "%s (scene 3, menu %d, menu type %d). Made by data/ui/gen/slg_layouts.py.\n"
                  "Contract: docs/layouts.md, \"Command dialogs\"." % (title, kind, 30 + kind),
                  TABLE_SPR if kind in (12, 14) else CMD_SPR, root)
        print(name + ":", n, "nodes")
    n = write("slg_detail.txt", "Information detail page (scene 11, menu 0, menu type 110). Made by\n"
              "data/ui/gen/slg_layouts.py. Contract: docs/layouts.md, \"Command dialogs\".", CMD_SPR, dlg_detail())
    print("slg_detail.txt:", n, "nodes")
    write_button_sheets()
