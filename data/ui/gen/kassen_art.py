#!/usr/bin/env python3
"""Writes data/image/kassen.json: the battle screen's sheets (command buttons and their icons by
picture number, unit panels, the morale gauge, order icons, the skill panel, the siege panel and its
gauge). The faces, generic ones included, are data/ui/gen/faces.py's; the kind marks are the strategy
screens' (slg/kind.png). Run by hand:
python3 data/ui/gen/kassen_art.py"""
import json, os

OUT = os.path.join(os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__)))), "image", "kassen.json")

# Icon of each picture number the command sets use: (glyph, colour).
FORM, MOVE, FIGHT, SIDE, SIEGE = "#36508C", "#2C6A34", "#8A2C24", "#6A4A1C", "#4A2C6A"
ICONS = {0: ("横", FORM), 1: ("鶴", FORM), 2: ("魚", FORM), 3: ("右", FORM), 4: ("左", FORM),
         5: ("移", MOVE), 6: ("前", MOVE), 7: ("後", MOVE), 8: ("攻", FIGHT), 9: ("突", FIGHT),
         10: ("攻", FIGHT), 11: ("突", FIGHT), 12: ("籠", SIDE), 13: ("戻", "#505050"), 14: ("強", SIEGE),
         15: ("囲", SIEGE), 32: ("退", SIDE), 33: ("右", FIGHT), 34: ("正", FIGHT), 35: ("左", FIGHT),
         36: ("右", SIEGE), 37: ("正", SIEGE), 38: ("左", SIEGE), 39: ("銃", FIGHT), 40: ("替", MOVE),
         41: ("待", MOVE), 42: ("特", SIEGE), 43: ("将", SIDE), 44: ("別", SIEGE)}
ICON = 48
COLS, ROWS = 8, 6  # 48 cells: picture number = cell (row-major)


def looks(w, h, r=8):
    fills = ["#1C2438F0", "#36508CF8", "#0C1426FF", "#40404898", "#6A1C28F0"]
    edges = ["#B08A48", "#F0D080", "#FFE8A0", "#707070", "#F0D080"]
    return [[{"panel": [2, 2, w - 4, h - 4], "radius": r, "color": fills[i]},
             {"border": [2, 2, w - 4, h - 4], "width": 2, "radius": r, "color": edges[i]}] for i in range(5)]


def icon(n):
    if n not in ICONS:
        return []
    glyph, colour = ICONS[n]
    c = ICON // 2
    cell = [{"ellipse": [c, c, c - 3, c - 3], "color": colour},
            {"ring": [c, c, c - 3], "width": 2, "color": "#F0E0B0"},
            {"text": glyph, "box": [0, 0, ICON, ICON], "size": 26, "color": "#FFF4D8", "align": "center"}]
    if 36 <= n <= 38:  # with the detached force: a small second banner
        cell.append({"rect": [ICON - 12, 4, 8, 12], "color": "#F0D080"})
    return cell


pics = []
pics.append({"file": "kassen/cmd_icon.png", "width": ICON * COLS, "height": ICON * ROWS, "grid": [COLS, ROWS],
             "cells": [icon(n) for n in range(COLS * ROWS)]})
pics.append({"file": "kassen/cmd_btn.png", "width": 200, "height": 56 * 5, "grid": [1, 5], "cells": looks(200, 56)})
pics.append({"file": "kassen/panel.png", "width": 240, "height": 56 * 5, "grid": [1, 5], "cells": looks(240, 56, 6)})
pics.append({"file": "kassen/gauge.png", "width": 120, "height": 8, "shapes": [
    {"panel": [0, 0, 120, 8], "radius": 3, "color": "#E0B040"}]})
pics.append({"file": "kassen/gauge_back.png", "width": 120, "height": 8, "shapes": [
    {"panel": [0, 0, 120, 8], "radius": 3, "color": "#0C1426FF"}, {"border": [0, 0, 120, 8], "width": 1, "radius": 3, "color": "#707070"}]})
pics.append({"file": "kassen/order.png", "width": 96, "height": 48, "grid": [2, 1], "cells": [
    [{"polygon": [[6, 4], [42, 4], [42, 30], [24, 44], [6, 30]], "color": c},
     {"border": [6, 4, 36, 26], "width": 2, "radius": 0, "color": "#F0E0B0"}] for c in ["#3C78D8", "#C8402C"]]})
pics.append({"file": "kassen/skill_panel.png", "width": 560, "height": 300, "shapes": [
    {"panel": [0, 0, 560, 300], "radius": 10, "color": "#141A2CF0"},
    {"border": [2, 2, 556, 296], "width": 3, "radius": 10, "color": "#B08A48"},
    {"rect": [279, 16, 2, 268], "color": "#B08A48"}]})
# The siege panel: the castle's name and strength above its gauge, the siege cost below.
pics.append({"file": "kassen/siege_panel.png", "width": 400, "height": 136, "shapes": [
    {"panel": [0, 0, 400, 136], "radius": 10, "color": "#141A2CF0"},
    {"border": [2, 2, 396, 132], "width": 3, "radius": 10, "color": "#B08A48"},
    {"rect": [12, 46, 376, 2], "color": "#5A4A2C"},
    {"panel": [14, 52, 372, 20], "radius": 6, "color": "#0C1426FF"},
    {"border": [14, 52, 372, 20], "width": 1, "radius": 6, "color": "#707070"}]})
# The siege panel's strength gauge, drawn at the size it is shown, over its track in the panel.
pics.append({"file": "kassen/siege_gauge.png", "width": 368, "height": 16, "shapes": [
    {"panel": [0, 0, 368, 16], "radius": 5, "color": "#E0B040"},
    {"rect": [4, 3, 360, 3], "color": "#F8D880A0"}]})
# The field's two view toggles, one cell per look: attack presentation on (0) / off (1), overview
# camera on (2) / off (3), then the same lit under the pointer (5..8); cell 4 is unused.
TOGGLE_W, TOGGLE_H = 160, 48


def toggle_cell(label, on, lit):
    fill = ("#36508CF8" if on else "#40404898") if not lit else ("#4A68B0F8" if on else "#58586098")
    return [{"panel": [2, 2, TOGGLE_W - 4, TOGGLE_H - 4], "radius": 8, "color": fill},
            {"border": [2, 2, TOGGLE_W - 4, TOGGLE_H - 4], "width": 2, "radius": 8,
             "color": "#FFE8A0" if lit else "#B08A48"},
            {"text": label + ("　入" if on else "　切"), "box": [0, 0, TOGGLE_W, TOGGLE_H], "size": 20,
             "color": "#FFF4D8" if on else "#B0B0B0", "align": "center"}]


_toggles = [("演出", True), ("演出", False), ("俯瞰", True), ("俯瞰", False)]
pics.append({"file": "kassen/toggle.png", "width": TOGGLE_W * 9, "height": TOGGLE_H, "grid": [9, 1],
             "cells": [toggle_cell(l, on, False) for l, on in _toggles] + [[]] +
                      [toggle_cell(l, on, True) for l, on in _toggles]})
# The duel panels: the player's (blue) and the other's (red), one cell each.
pics.append({"file": "kassen/duel.png", "width": 300, "height": 220, "grid": [1, 2], "cells": [
    [{"panel": [2, 2, 296, 106], "radius": 8, "color": fill},
     {"border": [2, 2, 296, 106], "width": 2, "radius": 8, "color": "#B08A48"},
     {"rect": [8, 34, 284, 2], "color": edge}] for fill, edge in [("#1C2C50F0", "#5A80C8"), ("#501C1CF0", "#C85A4A")]]})
pics.append({"file": "kassen/commander.png", "width": 28, "height": 28, "shapes": [
    {"ellipse": [14, 14, 13, 13], "color": "#C8A030"}, {"ring": [14, 14, 13], "width": 2, "color": "#FFF0B0"},
    {"text": "将", "box": [0, 0, 28, 28], "size": 18, "color": "#301808", "align": "center"}]})
# The duel panel's kind marks in the order of the kind cycle: cell n shows the kind whose next
# kind is n + 1 (kinds 2, 3, 1).
pics.append({"file": "kassen/duel_kind.png", "width": 72, "height": 24, "grid": [3, 1], "cells": [
    [{"ellipse": [12, 12, 10, 10], "color": c}, {"text": t, "box": [0, 0, 24, 24], "size": 16, "color": "#FFFFFF", "align": "center"}]
    for t, c in [("智", "#3050A0"), ("将", "#508030"), ("武", "#A03030")]]})
pics.append({"file": "kassen/cover.png", "width": 16, "height": 16, "shapes": [{"rect": [0, 0, 16, 16], "color": "#FFFFFF"}]})
json.dump({"pictures": pics}, open(OUT, "w", encoding="utf-8"), ensure_ascii=False, indent=1)
print(OUT, len(pics), "pictures")
