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


def write(name, header, sprites, root):
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
    out = os.path.join(os.path.dirname(UI), "image", "slg_buttons.json")
    with open(out, "w", encoding="utf-8") as f:
        json.dump({"pictures": pics}, f, ensure_ascii=False, indent=1)


def btn(parent, x, y, bid, sprite, label=None, w=0, h=0, size=18, states="0,1,2,3,4", z=0):
    b = parent.add("Btn", "pos %d,%d,%d" % (x, y, z), "id %d,-1" % bid, "sprite 0,%d,0,-1" % sprite, "state " + states,
                   "SE -1,0,1,-1,-1")
    if label is not None:
        text(b, 0, 0, w, h, label, size, align="1,1")
    return b


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
    turn = group(g1, 930, 14)
    win(turn, 0, 0, 15)
    win(turn, 70, 0, 16)
    text(turn, 70, 36, 160, 28, "", 18, align="1,1")
    text(turn, 240, 0, 100, 32, "", 18)
    # G2 interface layer: command panel, continue panel, message line, pointer
    g2 = group(root, 0, 0)
    cmd = group(g2, 556, 598)
    for i, bid in enumerate(list(range(10000, 10009)) + list(range(10010, 10015))):
        btn(cmd, (i % 7) * 103, (i // 7) * 56, bid, 3, "", 100, 50, 14)
    cont = group(g2, 556, 604)
    btn(cont, 0, 0, 2, 3, "はい", 100, 50, 18)
    btn(cont, 110, 0, 3, 3, "いいえ", 100, 50, 18)
    msg = group(g2, 8, 598)
    win(msg, 0, 0, 4, size=(540, 116), col="255,255,255,235")
    text(msg, 14, 8, 512, 100, "", 20, align="0,0")
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
    for k in prov:
        cx = sum(p[0] for p in k["polygon"]) / len(k["polygon"])
        cy = sum(p[1] for p in k["polygon"]) / len(k["polygon"])
        text(names, int(ox + cx * s) - 40, int(oy + cy * s) - 9, 80, 18, k["name"], 14,
             col="255,250,235,255", align="1,1")
    legend = group(g3, 960, 464)
    win(legend, 0, 0, 4, size=(260, 120), col="255,255,255,225")
    text(legend, 12, 8, 240, 24, "凡例", 18)
    text(legend, 12, 36, 240, 24, "青：自家の国", 16, col="150,210,255,255")
    text(legend, 12, 60, 240, 24, "色：各大名家の勢力", 16)
    text(legend, 12, 84, 240, 24, "右クリック：戻る", 16)
    side = group(g3, 20, 112)
    win(side, 0, 0, 4, size=(300, 40), col="255,255,255,225")
    text(side, 10, 4, 280, 32, "大名か国を選んでください", 17)
    tip = group(g3, 0, 0, 40)
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
    heads = [(700, "統率", 520), (701, "知略", 680), (702, "武力", 600), (703, "兵", 280), (704, "鉄砲", 360),
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
    lst.add("SBar", "pos 876,26,0", "rect 0,0,16,186", "type 0", "num 0", "wheel 1")
    ctip = group(g4, 0, 0, 40)
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


DLG_SPR = [("Data\\Image\\slg\\panel.png", 256, 256, 1, 1), ("Data\\Image\\slg\\small_btn.png", 90, 180, 1, 5),
           ("Data\\Image\\slg\\row.png", 760, 150, 1, 5), ("Data\\Image\\slg\\panel.png", 256, 256, 1, 1),
           ("Data\\Image\\face\\f00.png", 64, 64, 1, 1)]


def raise_buttons(node):
    """Dialog buttons sit nearer than their frame: the depth bound a dialog raises is its frame's z
    counted twice (see docs/layouts.md), and a button's own z counts twice too."""
    for k in node.kids:
        if k.kind == "Btn":
            k.props = [p if not p.startswith("pos ") else p[:p.rindex(",")] + ",3" for p in k.props]
        raise_buttons(k)


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
    panel.add("SBar", "pos 384,0,0", "rect 0,0,16,212", "type 0", "num 0", "wheel 1")
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
    lst.add("SBar", "pos 504,0,0", "rect 0,0,16,270", "type 0", "num 0", "wheel 1")
    raise_buttons(root)
    return root


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
    write_button_sheets()
