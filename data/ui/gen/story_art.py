#!/usr/bin/env python3
"""Writes the sample story's pictures: the castle hall and the dawn over the pass (data/image/adv.json),
the hawk sprite, the gallery pictures with their thumbnails (each thumbnail is its picture reduced,
data/image/omake.json) and the interlude movie's pictures (data/media/interlude.json). Pictures of the same name are replaced in
place; new ones are appended. Run by hand: python3 data/ui/gen/story_art.py"""
import json, os

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
W, H = 1280, 720


def grad(x, y, w, h, a, b, horizontal=False):
    g = {"gradient": [x, y, w, h], "from": a, "to": b}
    if horizontal:
        g["horizontal"] = True
    return g


def rect(x, y, w, h, c):
    return {"rect": [x, y, w, h], "color": c}


def ell(x, y, rx, ry, c):
    return {"ellipse": [x, y, rx, ry], "color": c}


def poly(pts, c):
    return {"polygon": pts, "color": c}


def text(s, box, size, c, align="left"):
    return {"text": s, "box": box, "size": size, "color": c, "align": align}


def scaled(shapes, k, dx=0, dy=0):
    """The shapes drawn k times larger, moved by (dx, dy)."""
    out = []
    for s in shapes:
        s = json.loads(json.dumps(s))
        for key in ("rect", "gradient", "panel", "border"):
            if key in s:
                x, y, w, h = s[key]
                s[key] = [x * k + dx, y * k + dy, w * k, h * k]
        if "ellipse" in s:
            x, y, rx, ry = s["ellipse"]
            s["ellipse"] = [x * k + dx, y * k + dy, rx * k, ry * k]
        if "ring" in s:
            x, y, r = s["ring"]
            s["ring"] = [x * k + dx, y * k + dy, r * k]
        if "polygon" in s:
            s["polygon"] = [[x * k + dx, y * k + dy] for x, y in s["polygon"]]
        if "text" in s:
            x, y, w, h = s["box"]
            s["box"] = [x * k + dx, y * k + dy, w * k, h * k]
            s["size"] = s["size"] * k
        for key in ("width", "radius"):
            if key in s and not isinstance(s.get(key), list) and "ellipse" not in s:
                s[key] = s[key] * k
        out.append(s)
    return out


def ridge(points, base, c):
    return poly([[0, base]] + points + [[W, base], [W, H], [0, H]], c)


def person(x, y, k, robe, skin="#E8C8A0", hair="#1A1410", kneel=False):
    """A simple figure seen from the front, head at (x, y), k = scale."""
    body_h = 120 * k if not kneel else 80 * k
    return [
        poly([[x - 34 * k, y + 24 * k + body_h], [x - 22 * k, y + 22 * k], [x + 22 * k, y + 22 * k],
              [x + 34 * k, y + 24 * k + body_h]], robe),
        ell(x, y, 14 * k, 17 * k, skin),
        poly([[x - 15 * k, y - 4 * k], [x - 12 * k, y - 18 * k], [x + 12 * k, y - 18 * k], [x + 15 * k, y - 4 * k]], hair),
    ]


def banner(x, y, h, c, mark):
    return [rect(x, y, 4, h, "#2A2018"), rect(x + 4, y + 6, 34, 70, c), ell(x + 21, y + 40, 10, 10, mark)]


def castle(cx, base, k, c, roof):
    """A keep of three storeys standing on base, centred on cx."""
    s = []
    w = 160 * k
    for i in range(3):
        top = base - (i + 1) * 60 * k
        s.append(rect(cx - w / 2, top + 18 * k, w, 42 * k, c))
        s.append(poly([[cx - w / 2 - 22 * k, top + 22 * k], [cx, top - 8 * k], [cx + w / 2 + 22 * k, top + 22 * k]], roof))
        w *= 0.72
    return s


def torches(points, c="#FFB040"):
    s = []
    for x, y in points:
        s.append(ell(x, y, 6, 6, "#FF803040"))
        s.append(ell(x, y, 2.2, 2.2, c))
    return s


# ---- the story backgrounds ---------------------------------------------------------------------
def castle_hall():
    """The castle's great hall: shoji wall, pillars, beams, the alcove with its scroll, tatami floor."""
    s = [grad(0, 0, W, 430, "#3A2818", "#5A4028"), rect(0, 0, W, 60, "#24180E")]
    # the shoji between the pillars, lit from behind
    for i in range(6):
        x = 40 + i * 210
        if i in (2, 3):
            continue
        s.append(rect(x, 90, 190, 320, "#EFE6CC"))
        for gx in range(1, 4):
            s.append(rect(x + gx * 190 / 4 - 1, 90, 3, 320, "#8A6A44"))
        for gy in range(1, 6):
            s.append(rect(x, 90 + gy * 320 / 6 - 1, 190, 3, "#8A6A44"))
    # the alcove and its hanging scroll
    s += [rect(460, 80, 360, 340, "#2A1C10"), rect(470, 90, 340, 320, "#4A3420"),
          rect(592, 110, 96, 250, "#E8DEC4"), rect(592, 106, 96, 8, "#5A3018"), rect(592, 356, 96, 8, "#5A3018"),
          text("月影", [592, 140, 96, 190], 64, "#202020", "center"),
          ell(560, 392, 30, 12, "#6A4A2C"), rect(545, 360, 30, 32, "#8A5A30")]
    # pillars and beams
    for x in (20, 440, 820, 1240):
        s.append(rect(x, 40, 26, 400, "#2A1A0C"))
    s += [rect(0, 60, W, 26, "#3C2814"), rect(0, 410, W, 24, "#2C1C0E")]
    # tatami floor in perspective
    s.append(poly([[0, 434], [W, 434], [W, H], [0, H]], "#B8AC70"))
    for i in range(9):
        x0 = i * 160
        s.append(poly([[x0 - 1, 434], [x0 + 2, 434], [(x0 - 640) * 1.9 + 640 + 3, H], [(x0 - 640) * 1.9 + 640, H]], "#5A4A24"))
    for y in (500, 600):
        s.append(rect(0, y, W, 4, "#5A4A24"))
    s.append(grad(0, 434, W, 60, "#00000060", "#00000000"))
    return {"file": "adv/bg_castle.png", "width": W, "height": H, "shapes": s}


def dawn():
    """Dawn over the northern pass: the sun on the ridge, mist in the valley."""
    s = [grad(0, 0, W, 420, "#1C2A5A", "#F0A060"), grad(0, 420, W, 300, "#F0A060", "#C07050"),
         ell(700, 290, 170, 170, "#FFD89030"), ell(700, 290, 105, 105, "#FFE0A060"), ell(700, 290, 66, 66, "#FFF0C8"),
         ridge([[0, 420], [220, 330], [420, 380], [620, 300], [700, 330], [780, 300], [1000, 360], [1180, 320]], 400,
               "#6A4A6A"),
         rect(0, 424, W, 50, "#FFF0E028"),
         ridge([[0, 520], [260, 450], [520, 500], [700, 470], [900, 520], [1100, 470]], 540, "#3A2A44"),
         ell(640, 560, 700, 40, "#FFF0E030"),
         ridge([[0, 610], [300, 560], [640, 620], [980, 580]], 640, "#1E1624"),
         poly([[560, H], [660, 616], [700, 616], [860, H]], "#5A4038")]
    for x, y in ((200, 120), (260, 90), (330, 140)):
        s.append(poly([[x - 14, y], [x, y + 5], [x + 14, y], [x, y + 2]], "#201830"))
    return {"file": "adv/effect.png", "width": W, "height": H, "shapes": s}


def hawk():
    """The hawk crossing the dawn sky: four wing beats."""
    cells = []
    for up in (30, 12, -8, 12):
        cells.append([poly([[6, 32 - up], [30, 30], [34, 30], [58, 32 - up], [36, 38], [28, 38]], "#2A2030"),
                      ell(32, 34, 6, 5, "#3A2C38"), poly([[28, 38], [32, 50], [36, 38]], "#2A2030")])
    return {"file": "adv/sprite.png", "width": 256, "height": 64, "grid": [4, 1], "cells": cells}


# ---- the gallery pictures (1280 x 720 unless said) -------------------------------------------------
def night_town(title, variant=""):
    s = [grad(0, 0, W, H, "#050818", "#28304C"), ell(896, 216, 86, 86, "#F8F4E0"),
         ridge([[0, 470], [380, 380], [760, 450], [1280, 370]], 470, "#0E1220")]
    s += castle(300, 470, 1.0, "#1A1E2C", "#0A0C14")
    for i in range(7):
        x = 520 + i * 110
        s += [rect(x, 520, 90, 80, "#181A26"), poly([[x - 10, 524], [x + 45, 490], [x + 100, 524]], "#0A0C14"),
              rect(x + 30, 550, 20, 20, "#F0B04090")]
    s.append(rect(0, 600, W, 120, "#0A0C14"))
    s += torches([(1060 + i * 30, 380 - i * 12) for i in range(7)])
    s += person(520, 420, 1.6, "#7A3040")
    if variant == "a":
        s += person(820, 440, 1.5, "#202028", skin="#D0B090")
    if variant == "b":
        s += person(820, 440, 1.5, "#202028", skin="#D0B090")
        s += [ell(900, 300, 60, 60, "#FFFFFF20")]
    s.append(rect(0, 0, W, H, "#C0D0FF10"))
    s.append(text(title, [40, 630, 1200, 70], 48, "#FFFFFF"))
    return s


def council(w, h):
    k = w / W
    s = scaled(castle_hall()["shapes"], k)
    for i, robe in enumerate(("#7A3040", "#304A7A", "#4A5A30", "#5A3A5A")):
        s += person((360 + i * 190) * k, 450 * k, 1.8 * k, robe, kneel=True)
    s += person(1000 * k, 430 * k, 2.0 * k, "#6A2030", kneel=True)
    s.append(text("評定（広い絵）", [40, h - 120, w - 80, 80], 56, "#FFFFFF"))
    s.append({"border": [8, 8, w - 16, h - 16], "width": 8, "radius": 0, "color": "#D8B060"})
    s.append(text("左上", [30, 30, 300, 80], 48, "#FFFFFF"))
    s.append(text("右下", [w - 330, h - 100, 300, 80], 48, "#FFFFFF", "right"))
    return s


def march(title):
    s = scaled(dawn()["shapes"], 1)
    for i in range(12):
        x, y = 300 + i * 70, 560 + (i % 3) * 18
        s += person(x, y, 0.8, "#3A2A20", skin="#C8A078")
        s += banner(x + 14, y - 90, 110, "#7A1C24", "#F0D890")
    if title:
        s.append(text(title, [40, 630, 1200, 70], 48, "#FFFFFF"))
    return s


def siege(title):
    s = [grad(0, 0, W, H, "#5A5A6A", "#A0A0A8"), ridge([[0, 420], [640, 360], [1280, 430]], 440, "#50505C")]
    s += [rect(340, 420, 600, 180, "#6A6A70"), rect(340, 410, 600, 14, "#2A2A30")]
    s += castle(640, 420, 1.4, "#E8E4DA", "#2A303C")
    for i in range(14):
        s += torches([(60 + i * 90, 640 + (i % 2) * 20)])
        s += banner(40 + i * 90, 560, 80, "#2A3A6A", "#C8C8C8")
    s.append(rect(0, 660, W, 60, "#2A2A30"))
    s.append(text(title, [40, 630, 1200, 70], 48, "#FFFFFF"))
    return s


def peace(title):
    s = [grad(0, 0, W, H, "#A8D0F0", "#F0E8D8"), ridge([[0, 460], [400, 380], [900, 440], [1280, 400]], 470, "#7AA060"),
         rect(0, 560, W, 160, "#90B070")]
    s += castle(980, 470, 1.0, "#F0EEE6", "#303848")
    for x, y in ((160, 200), (260, 260), (120, 320), (380, 230), (220, 380)):
        s.append(ell(x, y, 70, 50, "#F4B8C8D0"))
    s += [rect(236, 360, 20, 220, "#5A3A2A")]
    s += person(560, 430, 1.6, "#7A3040") + person(720, 440, 1.5, "#202028", skin="#D0B090")
    s.append(text(title, [40, 630, 1200, 70], 48, "#3A2A20"))
    return s


def secret(title):
    s = [grad(0, 0, W, H, "#06060E", "#1A1A30"), ell(640, 220, 160, 160, "#E8E8F8"), ell(690, 200, 150, 150, "#06060E"),
         ridge([[0, 560], [500, 520], [1280, 570]], 580, "#000000")]
    s += person(640, 400, 2.2, "#101014", skin="#C8B090")
    s.append(rect(560, 380, 160, 18, "#101014"))
    s.append(text(title, [40, 630, 1200, 70], 48, "#C0C0D8"))
    return s


def realm(title):
    """The second act: the lord's column leaving the valley for the plain in spring."""
    s = [grad(0, 0, W, H, "#88B8E8", "#E8F0E0"), ridge([[0, 330], [300, 260], [700, 320], [1000, 250]], 340, "#8AA0B8"),
         ridge([[0, 430], [500, 400], [1280, 440]], 450, "#6A9A50"), rect(0, 520, W, 200, "#7AA848"),
         poly([[0, 700], [500, 470], [560, 470], [260, H]], "#C8B088")]
    for i in range(9):
        x, y = 120 + i * 48, 640 - i * 20
        s += person(x, y - 40, 0.7 - i * 0.03, "#3A2A20", skin="#C8A078")
        s += banner(x + 10, y - 120, 90, "#7A1C24", "#F0D890")
    s += [ell(1000 + i * 40, 200 + (i % 2) * 20, 40, 14, "#FFFFFFB0") for i in range(4)]
    s.append(text(title, [40, 630, 1200, 70], 48, "#FFFFFF"))
    return s


def movie_still(title):
    """The gallery movie's still: the torches on the northern pass at night."""
    s = torches_on_pass()["shapes"][:-1]
    s.append(text(title, [40, 630, 1200, 70], 48, "#FFFFFF"))
    return s


def gallery():
    cg = [("omake/cg001.png", W, H, night_town("霧の夜")),
          ("omake/cg001a.png", W, H, night_town("霧の夜・二", "a")),
          ("omake/cg001b.png", W, H, night_town("霧の夜・三", "b")),
          ("omake/cg002.png", 1920, 1080, council(1920, 1080)),
          ("omake/cg003.png", W, H, march("出陣")),
          ("omake/cg004.png", W, H, siege("籠城")),
          ("omake/cg005.png", W, H, peace("和睦")),
          ("omake/cg006.png", W, H, movie_still("峠の松明")),
          ("omake/cg007.png", W, H, secret("秘話")),
          ("omake/cg008.png", W, H, realm("天下への道"))]
    pics = [{"file": f, "width": w, "height": h, "shapes": s} for f, w, h, s in cg]
    for n in range(1, 9):
        pics.append({"file": "omake/th%03d.png" % n, "width": 240, "height": 135, "reduce": "omake/cg%03d.png" % n})
    return pics


def torches_on_pass():
    s = [grad(0, 0, W, H, "#04060E", "#1A2038"), ell(180, 110, 40, 40, "#F0ECD8"),
         ridge([[0, 300], [300, 220], [520, 280], [760, 180], [1000, 260], [1280, 200]], 320, "#10141E"),
         ridge([[0, 460], [400, 400], [800, 470], [1280, 420]], 480, "#080A12")]
    path = [(1200 - i * 26, 210 + (i * 37) % 60 + i * 4) for i in range(34)]
    s += torches(path)
    s.append(rect(0, 0, W, H, "#A0B0D020"))
    s.append(text("峠に松明の列", [0, 600, W, 80], 56, "#E8D8A8", "center"))
    return {"file": "interlude/torches.png", "width": W, "height": H, "shapes": s}


def mist():
    s = [grad(0, 0, W, H, "#20283C", "#8890A0")]
    for i in range(7):
        s.append(ell(180 + i * 160, 300 + (i % 3) * 90, 320, 60, "#E0E4F040"))
    s += castle(640, 560, 1.2, "#30343E", "#202430")
    for i in range(5):
        s.append(ell(100 + i * 280, 520 + (i % 2) * 60, 380, 70, "#E8ECF060"))
    s.append(text("霧が晴れてゆく", [0, 600, W, 80], 56, "#F0F0F0", "center"))
    return {"file": "interlude/mist.png", "width": W, "height": H, "shapes": s}


def replace(path, pictures):
    doc = json.load(open(path, encoding="utf-8"))
    names = {p["file"] for p in pictures}
    # New pictures go where the first one they replace stood, in their own order (a thumbnail after
    # the picture it is reduced from).
    at = next((i for i, p in enumerate(doc["pictures"]) if p["file"] in names), len(doc["pictures"]))
    kept = [p for p in doc["pictures"] if p["file"] not in names]
    at = min(at, len(kept))
    doc["pictures"] = kept[:at] + pictures + kept[at:]
    with open(path, "w", encoding="utf-8") as f:
        json.dump(doc, f, ensure_ascii=False, indent=1)
        f.write("\n")


def main():
    adv = os.path.join(ROOT, "image", "adv.json")
    doc = json.load(open(adv, encoding="utf-8"))
    for i, p in enumerate(doc["pictures"]):
        for new in (castle_hall(), dawn(), hawk()):
            if p["file"] == new["file"]:
                doc["pictures"][i] = new
    with open(adv, "w", encoding="utf-8") as f:
        json.dump(doc, f, ensure_ascii=False, indent=1)
        f.write("\n")
    replace(os.path.join(ROOT, "image", "omake.json"), gallery())
    with open(os.path.join(ROOT, "media", "interlude.json"), "w", encoding="utf-8") as f:
        json.dump({"pictures": [torches_on_pass(), mist()]}, f, ensure_ascii=False, indent=1)
        f.write("\n")


if __name__ == "__main__":
    main()
