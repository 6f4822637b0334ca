#!/usr/bin/env python3
"""Writes the battle field's model descriptions (data/models/kassen/*.json) for `v4data model`.

Field space: x runs along the lanes (column c at -158.2 c), y up, z across them (lane L at
(L - 1) * 273.4 plus the small fields' offset); the camera looks from +z. Run from anywhere; the
output is committed.
"""
import copy
import json
import os

HERE = os.path.dirname(os.path.abspath(__file__))
LANE, COL = 273.4, 158.2
OFFSET = {0: 410.1, 1: 273.4, 2: 0.0}
LANES = {0: 2, 1: 3, 2: 5}
MAT = [{"name": "Flat", "diffuse": [1, 1, 1, 1]}]
FIT = 0.65  # the unit figure's scale (see unit())


def box(size, center, color, **extra):
    s = {"type": "box", "size": size, "center": center, "material": 0, "color": color + [1]}
    s.update(extra)
    return s


def pyramid(size, center, color):
    return {"type": "pyramid", "size": size, "center": center, "material": 0, "color": color + [1]}


def flat(size_x, size_z, x, y, z, color):
    """A level rectangle for the "Flat" frame (turned to lie on the ground): one face, where a
    thin box would draw its top and bottom over each other."""
    return {"type": "quad", "size": [size_x, size_z, 0], "center": [x, z, -y], "material": 0, "color": color + [1]}


def flat_frame(shapes):
    return {"name": "Flat", "rotate": [90, 0, 0], "shapes": shapes}


def model(frames, animations=None):
    d = {"ticksPerSecond": 1000, "materials": MAT, "frames": frames}
    if animations:
        d["animations"] = animations
    return d


def field(size):
    """Ground, the lanes of the field size and the reserve strip one lane beyond the last."""
    level = [flat(7000, 5400, -553.7, 0, 0, [0.36, 0.45, 0.22])]
    ticks = []
    for lane in range(1, LANES[size] + 1):
        z = (lane - 1) * LANE + OFFSET[size]
        level.append(flat(1300, 190, -553.7, 1, z, [0.55, 0.5, 0.34]))
        for c in range(8):
            ticks.append(box([6, 3, 150], [-c * COL + COL / 2, 1.5, z], [0.42, 0.38, 0.26]))
    z = LANES[size] * LANE + OFFSET[size]
    level.append(flat(1300, 150, -553.7, 1, z, [0.4, 0.42, 0.3]))
    return model([{"name": "Field", "shapes": ticks, "children": [flat_frame(level)]}])


def hills(color):
    shapes = []
    for i, (x, w, h) in enumerate([(900, 900, 420), (250, 700, 300), (-500, 1000, 520), (-1300, 800, 360),
                                   (-1900, 900, 460)]):
        h *= 0.6
        shapes.append(pyramid([w, h, 500], [x, h / 2, -1500 - 150 * (i % 2)], color))
    # Trees along the far edge of the field.
    for i in range(14):
        x = 500 - i * 150
        shapes.append(box([12, 40, 12], [x, 20, -420 - 30 * (i % 3)], [0.3, 0.2, 0.1]))
        shapes.append(pyramid([70, 110, 70], [x, 95, -420 - 30 * (i % 3)], [0.15, 0.35, 0.15]))
    return shapes


def background(kind):
    """0 plain, 1 castle (walls beyond a moat), 2 river crossing (a bridge over the river)."""
    shapes = hills([0.3, 0.4, 0.28] if kind != 1 else [0.32, 0.38, 0.3])
    if kind == 1:
        for i in range(7):
            shapes.append(box([260, 90, 60], [600 - i * 260, 45, -760], [0.8, 0.78, 0.72]))
            shapes.append(box([280, 16, 80], [600 - i * 260, 98, -760], [0.25, 0.25, 0.3]))
    if kind == 2:
        shapes.append(box([200, 12, 340], [-553.7, 6, -560], [0.45, 0.3, 0.18]))
        for x in (-640, -467):
            shapes.append(box([10, 30, 340], [x, 20, -560], [0.35, 0.22, 0.12]))
    return model([{"name": "Background", "shapes": shapes}])


def rain():
    """Streaks over the field that fall and start over (the weather model)."""
    shapes = []
    for i in range(140):
        x = 500 - (i * 397) % 2100
        z = -300 + (i * 211) % 1900
        y = 40 + (i * 83) % 600
        shapes.append(box([2, 60, 2], [x, y, z], [0.75, 0.8, 0.9]))
    keys = [{"frame": "Rain", "time": 0, "translate": [0, 0, 0]}, {"frame": "Rain", "time": 700, "translate": [-30, -300, 0]}]
    return model([{"name": "Rain", "shapes": shapes}], [{"name": "Fall", "length": 700, "keys": keys}])


def unit():
    """The figure of one unit with its banner and lane marker; the tinted parts take the side's and
    the kind's colour (--tint)."""
    with open(os.path.join(HERE, "..", "figure.json"), encoding="utf-8") as f:
        fig = json.load(f)
    root = fig["frames"][0]
    body = root["children"][0]
    body["shapes"][0]["color"] = [0.85, 0.85, 0.85, 1]
    body["shapes"][0]["tint"] = True
    root.setdefault("shapes", [])
    root["shapes"].append(box([44, 2, 44], [0, 1, 0], [0.9, 0.9, 0.9], tint=True))
    root["children"].append({"name": "Banner", "translate": [-14, 0, 8], "shapes": [
        box([2, 110, 2], [0, 55, 0], [0.3, 0.22, 0.12]),
        box([1, 38, 22], [0, 88, 11], [1, 1, 1], tint=True)]})
    walk = next(a for a in fig["animations"] if a["name"] == "Walk")
    attack = next(a for a in fig["animations"] if a["name"] == "Attack")
    charge = copy.deepcopy(attack)
    charge["name"] = "Charge"
    n = attack["length"]
    charge["keys"] += [{"frame": "Figure", "time": 0, "translate": [0, 0, 0]},
                       {"frame": "Figure", "time": n // 2, "translate": [0, 6, -30]},
                       {"frame": "Figure", "time": n, "translate": [0, 0, 0]}]
    volley = {"name": "Volley", "length": 4800, "keys": [
        {"frame": "ArmR", "time": 0, "rotate": [0, 0, 0]}, {"frame": "ArmR", "time": 1200, "rotate": [-90, 0, 0]},
        {"frame": "ArmR", "time": 3600, "rotate": [-90, 0, 0]}, {"frame": "ArmR", "time": 4800, "rotate": [0, 0, 0]},
        {"frame": "Body", "time": 0, "translate": [0, 34, 0]}, {"frame": "Body", "time": 2400, "translate": [0, 34, 4]},
        {"frame": "Body", "time": 4800, "translate": [0, 34, 0]}]}
    fig["animations"] = [walk, attack, charge, volley]
    # Sized for the close-up of a cell: that camera looks at a point 10 units below the ground
    # through a field of view of 10.4 degrees from 1243 units, so everything up to about 100 units
    # above the ground shows. The field draws figures 2.2 times their size; at 0.65 of it the
    # helmet's tip stands at about 90 (the banner's top may leave the frame).
    fig["frames"] = [{"name": "Fit", "scale": [FIT, FIT, FIT], "children": fig["frames"]}]
    return fig


def write(name, d):
    with open(os.path.join(HERE, name), "w", encoding="utf-8") as f:
        json.dump(d, f, separators=(",", ":"))
        f.write("\n")


if __name__ == "__main__":
    for s in range(3):
        write("field_%d.json" % s, field(s))
    for k, name in enumerate(["plain", "castle", "river"]):
        write("bg_%s.json" % name, background(k))
    write("rain.json", rain())
    write("unit.json", unit())


def art():
    """The field's pictures for `v4data art` (written to Data/Image/kassen)."""
    pics = []
    clouds = [{"gradient": [0, 0, 256, 128], "from": "#5A8FD0", "to": "#C8DCF0"}]
    for i, (x, y, rx, ry) in enumerate([(30, 30, 40, 12), (110, 50, 55, 14), (200, 24, 38, 10), (160, 90, 60, 12),
                                         (60, 100, 34, 9), (240, 70, 30, 10)]):
        clouds.append({"ellipse": [x, y, rx, ry], "color": "#FFFFFFC0"})
    pics.append({"file": "cloud.dds", "width": 256, "height": 128, "shapes": clouds})

    def water(name, base, crest):
        shapes = [{"rect": [0, 0, 128, 128], "color": base}]
        for i in range(10):
            shapes.append({"ellipse": [(i * 37) % 128, (i * 53) % 128, 18, 3], "color": crest})
        pics.append({"file": name, "width": 128, "height": 128, "shapes": shapes})

    water("wave.dds", "#2F6FA8E0", "#A8D0F0C0")
    water("wave_u.dds", "#285E96E0", "#90C0E8C0")
    water("wave_d.dds", "#1E4E80E0", "#7AB0E0A0")
    water("awa.dds", "#00000000", "#FFFFFFC0")
    for n in range(100, 104):
        pics.append({"file": "bg/%d/wave_a.dds" % n, "width": 64, "height": 64,
                     "shapes": [{"gradient": [0, 0, 64, 64], "from": "#000000", "to": "#FFFFFF", "horizontal": True}]})
    for name, wall in (("shiro_s.dds", "#D8D0C0"), ("shiro_m.dds", "#E8E4DC"), ("shiro_b.dds", "#F4F2EE")):
        pics.append({"file": name, "width": 64, "height": 64, "shapes": [
            {"rect": [0, 0, 64, 64], "color": wall}, {"rect": [0, 0, 64, 10], "color": "#303840"},
            {"rect": [0, 32, 64, 4], "color": "#505860"}]})
    cells = []
    for i in range(16):
        r = 10 + (i * 5) % 14
        cells.append([{"ellipse": [32, 40 - i % 4, r, r + 8], "color": "#FF6010C0"},
                      {"ellipse": [32, 44 - i % 3, r // 2 + 2, r // 2 + 6], "color": "#FFD040E0"}])
    pics.append({"file": "fire01.dds", "width": 256, "height": 256, "grid": [4, 4], "cells": cells})
    # Damage figures: rows are the styles 6 to 9, columns the digits, "+" and "-".
    colors = ["#60E070", "#60E070", "#FFFFFF", "#FF5040"]
    cells = []
    for row in range(4):
        for col in range(12):
            ch = str(col) if col < 10 else ("+" if col == 10 else "-")
            cells.append([{"text": ch, "box": [0, 0, 32, 48], "size": 40, "color": colors[row], "align": "center"}])
    pics.append({"file": "figures.png", "width": 384, "height": 192, "grid": [12, 4], "cells": cells})
    # The skill cut-in: its mask (brightness is when a texel appears) and the band it shows.
    pics.append({"file": "skill_mask.png", "width": 256, "height": 64,
                 "shapes": [{"gradient": [0, 0, 256, 64], "from": "#000000", "to": "#FFFFFF", "horizontal": True}]})
    pics.append({"file": "cutin.png", "width": 1280, "height": 200, "shapes": [
        {"gradient": [0, 0, 1280, 200], "from": "#200808E0", "to": "#A02010E0", "horizontal": True},
        {"rect": [0, 0, 1280, 6], "color": "#F0C060"}, {"rect": [0, 194, 1280, 6], "color": "#F0C060"}]})
    # Cut-in pictures of the skills with the cut-in flag, by skill number: the skill's name, then an
    # emblem. Skill 17 has the flag but no pictures: its cut-in shows the band and the face only.
    spear = [{"polygon": [[40 + 120 * i, 30], [120 + 120 * i, 80], [40 + 120 * i, 130], [70 + 120 * i, 80]],
              "color": "#F06030E0"} for i in range(3)]
    gun = [{"rect": [60, 70, 260, 14], "color": "#303030"},
           {"polygon": [[300, 70], [400, 64], [410, 110], [320, 96]], "color": "#704020"},
           {"ellipse": [40, 76, 22, 16], "color": "#E0E0E0C0"}, {"ellipse": [20, 60, 14, 10], "color": "#E0E0E0A0"}]
    night = [{"ellipse": [110, 80, 56, 56], "color": "#F0E080"}, {"ellipse": [134, 66, 50, 50], "color": "#201830"},
             {"ellipse": [260, 40, 5, 5], "color": "#FFFFFF"}, {"ellipse": [330, 100, 4, 4], "color": "#FFFFFF"},
             {"ellipse": [390, 50, 6, 6], "color": "#FFFFFF"}]
    for n, name, color, emblem in ((16, "突撃", "#FF6040", spear), (18, "鉄砲術", "#F0F0F0", gun),
                                   (20, "奇襲", "#C0A0FF", night)):
        pics.append({"file": "skill/%d_0.png" % n, "width": 440, "height": 160, "shapes": [
            {"rect": [0, 0, 440, 160], "color": "#00000000"},
            {"text": name, "box": [0, 0, 440, 160], "size": 104, "color": color, "align": "center"}]})
        pics.append({"file": "skill/%d_1.png" % n, "width": 440, "height": 160,
                     "shapes": [{"rect": [0, 0, 440, 160], "color": "#00000000"}] + emblem})
    return {"pictures": pics}


if __name__ == "__main__":
    write("art.json", art())
