#!/usr/bin/env python3
"""Writes the front screens' layout sources and their pictures: layout/tutorial.txt (scene 12),
layout/config.txt (settings, menu type 70), layout/save.txt (save and load, menu type 60), and
data/image/front.json. Run by hand when the screens change:
    python3 data/ui/gen/front_layouts.py
The widget-order contracts are in docs/layouts.md ("Front screens")."""
import json, os, sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from slg_layouts import Node, write, text, win, group, UI  # noqa: E402

IMG = "Data\\Image\\front\\"
SPR = [
    # Smooth pictures drawn at 1280 x 720 (":size"): small files open fast.
    (IMG + "panel.png", 128, 72, 1, 1),       # 0 backdrop panel (its picture without a cover)
    (IMG + "blend.png", 128, 72, 1, 1),       # 1 blend pattern (a mask, hidden)
    (IMG + "frame.png", 1040, 600, 1, 1),     # 2 content frame
    (IMG + "line.png", 960, 4, 1, 1),         # 3 rule
    (IMG + "heading.png", 320, 120, 1, 2),    # 4 save / load heading (state = mode)
    (IMG + "button.png", 120, 200, 1, 5),     # 5 option button looks (120 x 40)
    (IMG + "wide.png", 200, 240, 1, 5),       # 6 wide button looks (200 x 48)
    (IMG + "row.png", 900, 200, 1, 5),        # 7 save row looks (900 x 40)
    (IMG + "tab.png", 72, 200, 1, 5),         # 8 page tab looks (72 x 40)
    (IMG + "knob.png", 16, 28, 1, 1),         # 9 slider knob
    (IMG + "track.png", 220, 8, 1, 1),        # 10 slider track
    (IMG + "none.png", 8, 8, 1, 1),           # 11 transparent holder
    ("Data\\Image\\face\\f00.png", 64, 64, 1, 1),   # 12 faces (the code picks the head's by number)
    (IMG + "frame_670.png", 1040, 670, 1, 1), # 13 content frame, save screen's height
]
FRAMES = {600: 2, 670: 13}  # content frame pictures by height: a frame blurs when stretched
FILL = ["#1C2438F0", "#36508CF8", "#0C1426FF", "#40404898", "#6A1C28F0"]
EDGE = ["#B08A48", "#F0D080", "#FFE8A0", "#707070", "#F0D080"]


def sheet(name, w, h, r):
    cells = [[{"panel": [2, 2, w - 4, h - 4], "radius": r, "color": FILL[i]},
              {"border": [2, 2, w - 4, h - 4], "width": 2, "radius": r, "color": EDGE[i]}] for i in range(5)]
    return {"file": "front/" + name, "width": w, "height": h * 5, "grid": [1, 5], "cells": cells}


def frame(name, h):
    return {"file": "front/" + name, "width": 1040, "height": h,
            "shapes": [{"panel": [0, 0, 1040, h], "radius": 20, "color": "#0A0C18EC"},
                       {"border": [0, 0, 1040, h], "width": 3, "radius": 20, "color": "#C8A050C0"}]}


def pictures():
    pics = [
        {"file": "front/panel.png", "width": 128, "height": 72,
         "shapes": [{"gradient": [0, 0, 128, 72], "from": "#0A0C1C", "to": "#28121A"}]},
        {"file": "front/blend.png", "width": 128, "height": 72,
         "shapes": [{"gradient": [0, 0, 128, 72], "from": "#686868", "to": "#383838"}]},
        frame("frame.png", 600), frame("frame_670.png", 670),
        {"file": "front/line.png", "width": 960, "height": 4, "shapes": [{"rect": [0, 1, 960, 2], "color": "#C8A05080"}]},
        {"file": "front/heading.png", "width": 320, "height": 120, "grid": [1, 2],
         "cells": [[{"text": t, "box": [0, 0, 320, 60], "size": 34, "color": "#F4ECD8", "align": "center"}]
                   for t in ("セーブ", "ロード")]},
        sheet("button.png", 120, 40, 8), sheet("wide.png", 200, 48, 10), sheet("row.png", 900, 40, 8),
        sheet("tab.png", 72, 40, 8),
        {"file": "front/knob.png", "width": 16, "height": 28,
         "shapes": [{"panel": [0, 0, 16, 28], "radius": 4, "color": "#F0D080"}]},
        {"file": "front/track.png", "width": 220, "height": 8,
         "shapes": [{"panel": [0, 0, 220, 8], "radius": 4, "color": "#40485880"}]},
        {"file": "front/none.png", "width": 8, "height": 8, "shapes": []},
    ]
    with open(os.path.join(os.path.dirname(UI), "image", "front.json"), "w", encoding="utf-8") as f:
        json.dump({"pictures": pics}, f, ensure_ascii=False, indent=1)


def button(parent, x, y, bid, sprite, label, w, h, size=20, z=0):
    b = parent.add("Btn", "pos %d,%d,%d" % (x, y, z), "id %d,-1" % bid, "sprite 0,%d,0,-1" % sprite,
                   "state 0,1,2,3,4", "SE -1,0,1,-1,-1")
    if label is not None:
        text(b, 0, 0, w, h, label, size, align="1,1")
    return b


def backdrop_panel(root, first, frame_y=60, frame_h=600, value="-0.4,0,0"):
    """The panel with the backdrop: first Window of the menu; its Window#3 is the blend mask. The
    content frame sits in a Group, which comes before the Windows, so it is drawn beneath them."""
    p = root.add("Window", "pos 0,0,0", "sprite 0,0,0,-1", "size 1280,720", "RefParam " + value)
    back = group(p, 120, frame_y, 2)
    win(back, 0, 0, FRAMES[frame_h], size=(1040, frame_h))
    first(p)                 # Window#0: the screen's own (heading or rule)
    win(p, 0, 0, 11)         # Window#1 (free)
    win(p, 0, 0, 11)         # Window#2 (free)
    win(p, 0, 0, 1, size=(1280, 720))  # Window#3 blend mask
    return p


def lift(panel):
    """Everything on the panel but the frame stands in front of the frame (depth 5); equal depths
    draw in no fixed order."""
    for k in panel.kids[1:]:
        k.props = [("pos %s,5" % q[4:].rsplit(",", 1)[0]) if q.startswith("pos ") else q for q in k.props]
    return panel


def rule(y):
    return lambda p: win(p, 160, y, 3)


def tutorial():
    root = Node("Root")
    p = backdrop_panel(root, rule(124))
    text(p, 160, 76, 960, 44, "チュートリアル", 30, align="1,1")
    chapters = ["メッセージを読む", "選択肢", "ウィンドウのボタン", "戦略マップ", "命令",
                "合戦", "武将", "セーブとロード", "物語の進め方"]
    g = group(p, 310, 160)
    for i, t in enumerate(chapters):
        col, row = i % 2, i // 2
        if i == 8:
            col, row = 0, 4
        button(g, 460 * col + (230 if i == 8 else 0), 78 * row, 10000 + i, 6, t, 200, 48)
    button(p, 540, 610, 1, 6, "戻る", 200, 48)
    lift(p)
    return root


SETTING_ROWS = [
    ("音声", [(10000, "あり"), (10001, "なし")]),
    ("スキップ", [(10002, "既読のみ"), (10003, "すべて")]),
    ("窓の演出", [(10004, "あり"), (10005, "なし")]),
    ("合戦の動き", [(10006, "あり"), (10007, "なし")]),
    ("合戦の開始", [(10008, "確認"), (10009, "手動"), (10010, "自動")]),
    ("合戦の結果", [(10011, "表示"), (10012, "省略")]),
    ("画面", [(10013, "窓"), (10014, "全画面")]),
]
SLIDERS = ["物語の音楽", "物語の効果音", "物語の音声", "自動送り", "文字の速さ", "窓の濃さ",
           "戦略の音楽", "戦略の効果音", "戦略の音声"]


def config():
    root = Node("Root")
    p = backdrop_panel(root, rule(124))
    win(p, 160, 590, 3)      # Window#4 rule above the buttons
    opts = win(p, 150, 150, 11)  # Window#5: the options panel
    text(p, 160, 76, 960, 44, "設定", 30, align="1,1")
    box = group(opts, 0, 0)      # button box
    sliders = group(opts, 0, 0)  # slider box (the widget after the button box)
    for r, (label, buttons) in enumerate(SETTING_ROWS):
        text(opts, 0, 60 * r, 140, 40, label, 20)
        for c, (bid, t) in enumerate(buttons):
            button(box, 140 + 128 * c, 60 * r, bid, 5, t, 120, 40, 18)
    for i, label in enumerate(SLIDERS):
        y = 46 * i
        text(opts, 560, y, 160, 32, label, 18)
        win(opts, 720, y + 12, 10)
        s = sliders.add("SBar", "pos 720,%d,0" % y, "rect 0,0,220,32", "type 1", "num 9", "wheel 0")
        win(s, 0, 2, 9)
    button(p, 380, 610, 1, 6, "決定", 200, 48)
    button(p, 700, 610, 2, 6, "取消", 200, 48)
    lift(p)
    return root


def save():
    root = Node("Root")
    tabs = group(root, 172, 110, 10)
    for i in range(12):
        label = "%d" % (i + 1) if i < 10 else ("Q" if i == 10 else "A")
        button(tabs, 78 * i, 0, 10000 + i, 8, label, 72, 40, 20)
    rows = group(root, 190, 166, 10)
    for i in range(10):
        b = button(rows, 0, 44 * i, 10100 + i, 7, None, 900, 40)
        text(b, 12, 0, 90, 40, "", 20)
        text(b, 110, 0, 220, 40, "", 20)
        win(b, 338, 2, 12, size=(36, 36))
        text(b, 384, 0, 236, 40, "", 20)
        text(b, 630, 0, 160, 40, "", 20, align="2,1")
        text(b, 810, 0, 80, 40, "", 18, col="255,208,96,255", align="1,1")
    p = backdrop_panel(root, lambda p: win(p, 480, 42, 4), frame_y=30, frame_h=670)  # Window#0 heading
    button(p, 540, 630, 1, 6, "戻る", 200, 48)
    lift(p)
    return root


if __name__ == "__main__":
    pictures()
    hdr = "Made by data/ui/gen/front_layouts.py; do not edit by hand. Contract: docs/layouts.md, \"Front screens\"."
    print("tutorial.txt:", write("tutorial.txt", "Tutorial (scene 12, menu 0, type 10). " + hdr, SPR, tutorial()), "nodes")
    print("config.txt:", write("config.txt", "Settings (scene 6, menu 0, type 70). " + hdr, SPR, config()), "nodes")
    print("save.txt:", write("save.txt", "Save and load (scenes 4 and 5, menu 0, type 60). " + hdr, SPR, save()), "nodes")
