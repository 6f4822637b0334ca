#!/usr/bin/env python3
"""Writes data/image/face.json: every portrait drawn at each size a screen shows it.

The sixteen generals' faces (face/fNN.png at 64 pixels, the lines gallery's face/lNN.png at 256) and
the battle's generic faces of units without a general (kassen/faceNNN.png, 64 pixels) are drawn
from one design each, drawn at each size (never enlarged from a small picture), with rectangles on
whole pixels and the finest lines kept visible at small sizes. A face shown at another size
gets its own copy named "<stem>_<w>x<h>.png", which the program picks by the window's drawn size:
the sizes are read from the layouts (every face window with a size of its own) plus the places the
code draws a face itself. Run after the layout generators: python3 data/ui/gen/faces.py"""
import json, os, re

DATA = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
OUT = os.path.join(DATA, "image", "face.json")
LAYOUTS = os.path.join(DATA, "ui", "layout")
BASE = 64  # the size every design is given in, and the size of face/fNN.png

# Faces the code draws without a layout window: the battle's skill cut-in (180 x 180).
CODE_SIZES = [(180, 180)]

SKINS = ["#F0D0A8", "#E8C098", "#D8B088", "#F4DCB8"]
ROBES = ["#7A1C24", "#1C3C7A", "#2C6A34", "#6A4A1C", "#4A2C6A", "#1C5A6A", "#8A6A1C", "#3A3A3A"]


def general(i, side=BASE):
    """General i's face drawn at side x side: the design scaled, with rectangles on whole pixels and
    the finest lines (frame, eyes, mouth) kept visible at small sizes."""
    k = side / BASE

    def px(v):
        return round(v * k)

    def thin(v, least):
        return max(v * k, least)

    return [{"rect": [0, 0, side, side], "color": "#283048"},
            {"ellipse": [32 * k, 62 * k, 28 * k, 18 * k], "color": ROBES[i % 8]},
            {"ellipse": [32 * k, 30 * k, 15 * k, 18 * k], "color": SKINS[i % 4]},
            {"rect": [px(17), px(10 + (i // 8) * 2), px(30), max(px(8 - (i // 8) * 3), 2)], "color": "#201810"},
            {"ellipse": [26 * k, 30 * k, thin(2, 1.2), thin(2, 1.2)], "color": "#201810"},
            {"ellipse": [38 * k, 30 * k, thin(2, 1.2), thin(2, 1.2)], "color": "#201810"},
            {"rect": [px(27), px(40), px(10), max(px(2), 1)], "color": "#804030"},
            {"border": [0, 0, side, side], "width": max(px(2), 2 if side >= 40 else 1), "radius": 0, "color": "#B08A48"}]


# Generic faces by unit model number: 400 / 401 kind 1, 402 / 403 kind 3, 404 / 405 kind 2 (and river
# crossings), 406 / 407 guns; odd numbers in the enemy's colours. A helmeted soldier with the kind's
# letter.
GENERIC = {400: "武", 402: "将", 404: "智", 406: "銃"}


def generic(n, side=BASE):
    k = side / BASE
    robe = "#1C3C7A" if n % 2 == 0 else "#7A1C24"

    def px(v):
        return round(v * k)

    return [{"rect": [0, 0, side, side], "color": "#283048"},
            {"ellipse": [32 * k, 62 * k, 28 * k, 18 * k], "color": robe},
            {"ellipse": [32 * k, 30 * k, 15 * k, 18 * k], "color": "#3A3430"},
            {"ellipse": [32 * k, 20 * k, 17 * k, 11 * k], "color": "#605848"},
            {"rect": [px(13), px(19), px(38), px(5)], "color": "#605848"},
            {"polygon": [[x * k, y * k] for x, y in [[22, 4], [32, 14], [42, 4], [38, 4], [32, 10], [26, 4]]],
             "color": "#D8B048"},
            {"text": GENERIC[n - n % 2], "box": [0, px(44), side, side - px(44)], "size": max(14 * k, 11),
             "color": "#F0E0B0", "align": "center"},
            {"border": [0, 0, side, side], "width": max(px(2), 2 if side >= 40 else 1), "radius": 0, "color": "#B08A48"}]


def layout_face_sizes():
    """{layout name: set of (w, h)} of the windows that show a face at a size other than its cell."""
    found = {}
    for name in sorted(os.listdir(LAYOUTS)):
        if not name.endswith(".txt"):
            continue
        text = open(os.path.join(LAYOUTS, name), encoding="utf-8").read()
        faces = {m.group(1) for m in re.finditer(r'^:#(\d+) "Data\\Image\\face\\f00\.png",64,64,1,1$', text, re.M)}
        sizes = set()
        # A window node: its sprite line names a local definition, a size line may follow.
        for m in re.finditer(r"^:sprite 0,(\d+),[^\n]*\n((?::[^\n]*\n)*?):size (\d+),(\d+)$", text, re.M):
            if m.group(1) in faces and not m.group(2).count("["):
                sizes.add((int(m.group(3)), int(m.group(4))))
        sizes.discard((BASE, BASE))
        if sizes:
            found[name[:-4]] = sizes
    return found


def pictures():
    by_layout = layout_face_sizes()
    general_sizes = sorted(set().union(*by_layout.values()) | set(CODE_SIZES))
    generic_sizes = sorted(by_layout.get("kassen", set()))
    pics = []
    for i in range(16):
        pics.append({"file": "face/f%02d.png" % i, "width": BASE, "height": BASE, "shapes": general(i)})
        for w, h in general_sizes:
            assert w == h, "faces are square"
            pics.append({"file": "face/f%02d_%dx%d.png" % (i, w, h), "width": w, "height": h, "shapes": general(i, w)})
        # The lines gallery's large face, named by its own pattern.
        pics.append({"file": "face/l%02d.png" % i, "width": 256, "height": 256, "shapes": general(i, 256)})
    for n in range(400, 408):
        pics.append({"file": "kassen/face%03d.png" % n, "width": BASE, "height": BASE, "shapes": generic(n)})
        for w, h in generic_sizes:
            assert w == h, "faces are square"
            pics.append({"file": "kassen/face%03d_%dx%d.png" % (n, w, h), "width": w, "height": h,
                         "shapes": generic(n, w)})
    return pics


def main():
    pics = pictures()
    with open(OUT, "w", encoding="utf-8") as f:
        json.dump({"pictures": pics}, f, ensure_ascii=False, indent=1)
        f.write("\n")
    print(OUT, len(pics), "pictures")


if __name__ == "__main__":
    main()
