#!/usr/bin/env python3
"""Writes data/image/slg.json: the strategy screens' sheets (bars, panels, command and list
buttons, castle and contact icons, sort marks, seasons, phases, markers, general kinds). The faces
are data/ui/gen/faces.py's. Run by hand: python3 data/ui/gen/slg_art.py"""
import json, os

OUT = os.path.join(os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__)))), "image", "slg.json")


def looks(w, h, r=8):
    fills = ["#1C2438F0", "#36508CF8", "#0C1426FF", "#40404898", "#6A1C28F0"]
    edges = ["#B08A48", "#F0D080", "#FFE8A0", "#707070", "#F0D080"]
    return [[{"panel": [2, 2, w - 4, h - 4], "radius": r, "color": fills[i]},
             {"border": [2, 2, w - 4, h - 4], "width": 2, "radius": r, "color": edges[i]}] for i in range(5)]


pics = []
pics.append({"file": "slg/bar_top.png", "width": 1280, "height": 104, "shapes": [
    {"gradient": [0, 0, 1280, 104], "from": "#141A2CF0", "to": "#20283CE0"},
    {"rect": [0, 100, 1280, 4], "color": "#B08A48"}]})
pics.append({"file": "slg/bar_bottom.png", "width": 1280, "height": 128, "shapes": [
    {"gradient": [0, 0, 1280, 128], "from": "#20283CE0", "to": "#141A2CF0"},
    {"rect": [0, 0, 1280, 4], "color": "#B08A48"}]})
pics.append({"file": "slg/panel.png", "width": 256, "height": 256, "shapes": [
    {"panel": [0, 0, 256, 256], "radius": 10, "color": "#141A2CF0"},
    {"border": [2, 2, 252, 252], "width": 3, "radius": 10, "color": "#B08A48"}]})
for name, w, h in [("cmd", 100, 50), ("small_btn", 90, 36), ("wide_btn", 300, 52), ("row", 760, 30)]:
    pics.append({"file": "slg/%s.png" % name, "width": w, "height": h * 5, "grid": [1, 5], "cells": looks(w, h, 6 if h < 40 else 10)})
rel = ["#3C78D8", "#C8402C", "#3CA050"]  # own, other clan, ally
cells = []
for size in range(3):
    for r in range(3):
        s = 10 + 4 * size
        cells.append([
            {"rect": [24 - s, 30 - s // 2, 2 * s, s + 12], "color": rel[r]},
            {"polygon": [[24 - s - 4, 30 - s // 2], [24, 8 - size * 2], [24 + s + 4, 30 - s // 2]], "color": "#302418"},
            {"border": [24 - s, 30 - s // 2, 2 * s, s + 12], "width": 2, "radius": 0, "color": "#F0E0B0"},
            {"rect": [20, 34, 8, 8 + size], "color": "#302418"}])
pics.append({"file": "slg/castle.png", "width": 144, "height": 144, "grid": [3, 3], "cells": cells})
pics.append({"file": "slg/contact.png", "width": 120, "height": 40, "grid": [3, 1], "cells": [
    [{"ellipse": [20, 20, 16, 16], "color": rel[r] + "E0"}, {"ring": [20, 20, 16], "width": 3, "color": "#F0E0B0"},
     {"polygon": [[12, 14], [30, 20], [12, 26]], "color": "#F0E0B0"}] for r in range(3)]})
pics.append({"file": "slg/sort.png", "width": 60, "height": 20, "grid": [3, 1], "cells": [
    [], [{"polygon": [[4, 16], [10, 4], [16, 16]], "color": "#F0D080"}],
    [{"polygon": [[4, 4], [10, 16], [16, 4]], "color": "#F0D080"}]]})
pics.append({"file": "slg/season.png", "width": 256, "height": 64, "grid": [4, 1], "cells": [
    [{"ellipse": [32, 32, 28, 28], "color": c}, {"ring": [32, 32, 28], "width": 3, "color": "#F0E0B0"},
     {"text": t, "box": [0, 0, 64, 64], "size": 30, "color": "#1A1008", "align": "center"}]
    for t, c in [("春", "#F0A0B8"), ("夏", "#70C070"), ("秋", "#E09040"), ("冬", "#B0C8E8")]]})
pics.append({"file": "slg/phase.png", "width": 160, "height": 160, "grid": [1, 5], "cells": [
    [{"panel": [2, 2, 156, 28], "radius": 8, "color": "#6A1C28F0"}, {"border": [2, 2, 156, 28], "width": 2, "radius": 8, "color": "#F0D080"},
     {"text": t, "box": [0, 0, 160, 32], "size": 20, "color": "#FFF4D8", "align": "center"}]
    for t in ["季節", "軍事", "内政", "戦略", "合戦"]]})
pics.append({"file": "slg/marker.png", "width": 128, "height": 64, "grid": [2, 1], "cells": [
    [{"ring": [32, 32, 28], "width": 5, "color": "#FF4030"}],
    [{"ring": [32, 32, 28], "width": 5, "color": "#40C0FF"}]]})
pics.append({"file": "slg/blank.png", "width": 8, "height": 8, "shapes": [{"rect": [0, 0, 8, 8], "color": "#FFFFFF"}]})
pics.append({"file": "slg/pointer.png", "width": 32, "height": 32, "shapes": [
    {"polygon": [[16, 30], [4, 6], [28, 6]], "color": "#FFD040"}]})
pics.append({"file": "slg/kind.png", "width": 72, "height": 24, "grid": [3, 1], "cells": [
    [{"ellipse": [12, 12, 10, 10], "color": c}, {"text": t, "box": [0, 0, 24, 24], "size": 16, "color": "#FFFFFF", "align": "center"}]
    for t, c in [("武", "#A03030"), ("智", "#3050A0"), ("将", "#508030")]]})
# Command dialogs: digits of the number groups, the value bar, the watched effects, item kinds,
# clan rank marks and the empty-clan marker.
pics.append({"file": "slg/digits.png", "width": 160, "height": 26, "grid": [10, 1], "cells": [
    [{"text": str(d), "box": [0, 0, 16, 26], "size": 22, "color": "#FFF4D8", "align": "center"}] for d in range(10)]})
pics.append({"file": "slg/bar.png", "width": 320, "height": 18, "shapes": [
    {"panel": [0, 0, 320, 18], "radius": 6, "color": "#D0A040"}, {"border": [0, 0, 320, 18], "width": 2, "radius": 6, "color": "#FFE8A0"}]})
pics.append({"file": "slg/bar_back.png", "width": 320, "height": 18, "shapes": [
    {"panel": [0, 0, 320, 18], "radius": 6, "color": "#0C1426FF"}, {"border": [0, 0, 320, 18], "width": 2, "radius": 6, "color": "#707070"}]})
pics.append({"file": "slg/effect.png", "width": 360, "height": 80, "grid": [3, 1], "cells": [
    [{"panel": [4, 4, 112, 72], "radius": 8, "color": c}, {"text": t, "box": [0, 0, 120, 80], "size": 28, "color": "#FFF4D8", "align": "center"}]
    for t, c in [("－", "#20283C"), ("治水", "#2C5A8A"), ("楽市", "#8A6A1C")]]})
# Item kinds at 48 x 48 (dialogs) and 32 x 32 (the general table's item column), each drawn at its size.
for name, k in [("item_kind.png", 48), ("item_kind_32.png", 32)]:
    o, r = k // 2, k * 7 // 16
    pics.append({"file": "slg/" + name, "width": 6 * k, "height": k, "grid": [6, 1], "cells": [
        [{"ellipse": [o, o, r, r], "color": c}, {"ring": [o, o, r], "width": 2, "color": "#F0E0B0"},
         {"text": t, "box": [0, 0, k, k], "size": k // 2, "color": "#FFFFFF", "align": "center"}]
        for t, c in [("壱", "#803030"), ("弐", "#305080"), ("参", "#407030"), ("四", "#505050"), ("五", "#6A4A1C"),
                     ("六", "#2C6A5A")]]})
pics.append({"file": "slg/rank.png", "width": 120, "height": 24, "grid": [5, 1], "cells": [
    [{"rect": [2, 4, 20, 16], "color": c}, {"text": str(i + 1), "box": [0, 0, 24, 24], "size": 14, "color": "#1A1008", "align": "center"}]
    for i, c in enumerate(["#C0C0C0", "#80C080", "#80A0E0", "#E0B040", "#E06060"])]})
pics.append({"file": "slg/empty.png", "width": 96, "height": 28, "shapes": [
    {"panel": [0, 0, 96, 28], "radius": 6, "color": "#401010E0"},
    {"text": "滅亡", "box": [0, 0, 96, 28], "size": 18, "color": "#FFB0A0", "align": "center"}]})
pics.append({"file": "slg/ending.png", "width": 1280, "height": 720, "shapes": [
    {"gradient": [0, 0, 1280, 720], "from": "#101828FF", "to": "#3A2410FF"},
    {"border": [40, 40, 1200, 640], "width": 4, "radius": 16, "color": "#B08A48"}]})
pics.append({"file": "slg/new.png", "width": 40, "height": 28, "shapes": [
    {"panel": [0, 0, 40, 28], "radius": 6, "color": "#2C6A34F0"},
    {"text": "新", "box": [0, 0, 40, 28], "size": 18, "color": "#FFF4D8", "align": "center"}]})
pics.append({"file": "slg/visit_state.png", "width": 120, "height": 28, "grid": [2, 1], "cells": [
    [{"panel": [0, 0, 60, 28], "radius": 6, "color": c}, {"text": t, "box": [0, 0, 60, 28], "size": 16, "color": "#FFF4D8", "align": "center"}]
    for t, c in [("可", "#36508CF0"), ("不可", "#6A1C28F0")]]})
# A clear picture for the inner panels of the dialogs (a window's own colour alpha would fade its
# children with it).
pics.append({"file": "slg/clear.png", "width": 8, "height": 8, "shapes": [{"rect": [0, 0, 8, 8], "color": "#00000000"}]})
# ---- general table and training: row marks (3 marks x idle / over / pressed looks), the training
# effect, the odd-count marker and the grown marker.
mark_looks = ["#1C2438F0", "#36508CF8", "#0C1426FF"]
mark_cells = []
for look in range(3):
    for m in range(3):
        cell = [{"panel": [2, 2, 32, 32], "radius": 6, "color": mark_looks[look]},
                {"border": [2, 2, 32, 32], "width": 2, "radius": 6, "color": "#B08A48"}]
        if m == 1:
            cell.append({"ellipse": [18, 18, 8, 8], "color": "#E04030"})
        elif m == 2:
            cell.append({"polygon": [[18, 6], [21, 15], [30, 15], [23, 21], [26, 30], [18, 24], [10, 30], [13, 21],
                                     [6, 15], [15, 15]], "color": "#F0C030"})
        mark_cells.append(cell)
pics.append({"file": "slg/mark.png", "width": 108, "height": 108, "grid": [3, 3], "cells": mark_cells})
pics.append({"file": "slg/sparkle.png", "width": 64, "height": 48, "shapes": [
    {"polygon": [[32, 2], [38, 18], [62, 24], [38, 30], [32, 46], [26, 30], [2, 24], [26, 18]], "color": "#FFE890E0"},
    {"ellipse": [32, 24, 6, 6], "color": "#FFFFFF"}]})
pics.append({"file": "slg/odd.png", "width": 64, "height": 64, "shapes": [
    {"border": [4, 4, 56, 56], "width": 3, "radius": 10, "color": "#F0D080C0"},
    {"text": "一人", "box": [0, 0, 64, 64], "size": 18, "color": "#F0D080", "align": "center"}]})
pics.append({"file": "slg/grown.png", "width": 60, "height": 24, "shapes": [
    {"panel": [0, 0, 60, 24], "radius": 6, "color": "#2C6A34F0"},
    {"text": "成長", "box": [0, 0, 60, 24], "size": 16, "color": "#FFF4D8", "align": "center"}]})
# ---- end of general table and training
json.dump({"pictures": pics}, open(OUT, "w", encoding="utf-8"), ensure_ascii=False, indent=1)
print(OUT, len(pics), "pictures")
