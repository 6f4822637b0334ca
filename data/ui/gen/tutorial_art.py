#!/usr/bin/env python3
"""Writes data/image/tutorial.json: the tutorial's pictures of our screens, drawn from the screens'
own layouts (data/ui/layout/*.txt) with the pictures those layouts name, then shown reduced with the
steps a player takes marked on them. The picture tool renders it after the other sample pictures
(it draws them again by name; the strategy map's picture is found among the built game files).
Run by hand when a layout or a step changes: python3 data/ui/gen/tutorial_art.py"""
import json, os, re

HERE = os.path.dirname(os.path.abspath(__file__))
DATA = os.path.dirname(os.path.dirname(HERE))
LAYOUTS = os.path.join(DATA, "ui", "layout")


class Node:
    def __init__(self, kind):
        self.kind, self.props, self.children = kind, {}, []

    def child(self, path):
        n = self
        for part in path.split("/"):
            n = next(c for c in n.children if c.kind == part)
        return n


def parse(name):
    """A layout source as a tree of nodes ("Window#0", ...) with their properties; the sprite table."""
    root, stack, sprites = Node("Root"), [], {}
    cur, pending = root, None
    for raw in open(os.path.join(LAYOUTS, name), encoding="utf-8"):
        line = raw.strip()
        if not line or line.startswith("//"):
            continue
        if line.startswith("[") and line.endswith("]"):
            pending = line[1:-1]
        elif line == "{":
            node = Node(pending)
            if pending not in ("SpriteLocal", "SpriteGlobal"):
                cur.children.append(node)
            stack.append(cur)
            cur = node
        elif line == "}":
            cur = stack.pop()
        elif line.startswith(":#") and cur.kind in ("SpriteLocal", "SpriteGlobal"):
            m = re.match(r':#(\d+) "([^"]*)",(.*)', line)
            nums = [float(v) for v in m.group(3).split(",")]
            sprites[int(m.group(1))] = (m.group(2), nums)
        elif line.startswith(":"):
            key, _, value = line[1:].partition(" ")
            cur.props[key] = value
    return root, sprites


def nums(v):
    return [float(x) for x in v.split(",")]


def picture_name(game_name, pattern):
    name = game_name.replace("Data\\Image\\", "").replace("\\", "/")
    if pattern >= 0 and "%" in name:
        name = re.sub(r"%0(\d)d", lambda m: str(pattern).zfill(int(m.group(1))), name)
    return re.sub(r"\.tig$", ".png", name)


def draw(node, sprites, x, y, out, skip=(), texts=None):
    """Shapes drawing the node and its subtree at (x, y) as the program shows them before the code
    fills them (texts from `texts` by node path where given)."""
    texts = texts or {}
    return _draw(node, sprites, x, y, out, skip, texts, "")


PLACES = {}  # node path -> (x, y) the code moves it to (a choice's place for the number of choices)


def _draw(node, sprites, x, y, out, skip, texts, path):
    if path in skip:
        return
    px, py = (nums(node.props["pos"])[:2] if "pos" in node.props else (0, 0))
    if path in PLACES:
        px, py = PLACES[path]
    x, y = x + px, y + py
    if "sprite" in node.props and node.kind.split("#")[0] in ("Window", "Btn"):
        sel, num, cell, pattern = [int(v) for v in nums(node.props["sprite"])]
        if num in sprites:
            file, d = sprites[num]
            w, h, cols, rows = d[0], d[1], int(d[2]) if len(d) > 2 else 1, int(d[3]) if len(d) > 3 else 1
            cw, ch = w / cols, h / rows
            if "state" in node.props:
                cell = int(nums(node.props["state"])[0])
            alpha = 1.0
            if "col" in node.props and not any(k.startswith("AnimeColor#") for k in node.props):
                alpha = nums(node.props["col"])[3] / 255.0  # a picture that fades in is drawn shown
            if alpha > 0 and file.lower().endswith((".png", ".tig")):
                shape = {"image": picture_name(file, pattern), "at": [round(x), round(y)],
                         "source": [(cell % cols) * cw, (cell // cols) * ch, cw, ch]}
                if "size" in node.props:
                    sw, sh = nums(node.props["size"])[:2]
                    if sw > 0 and sh > 0:
                        shape["size"] = [sw, sh]
                if alpha < 1:
                    shape["alpha"] = round(alpha, 3)
                out.append(shape)
    if node.kind.startswith("Text"):
        s = texts.get(path, node.props.get("text", '""').strip('"'))
        if s:
            area = nums(node.props.get("area", "200,30"))
            size = nums(node.props.get("size", "20,0,0"))[0]
            col = [int(v) for v in nums(node.props.get("col", "255,255,255,255"))]
            align = ["left", "center", "right"][int(nums(node.props.get("align", "0,0"))[0])]
            out.append({"text": s, "box": [round(x), round(y), area[0], area[1]], "size": max(8, size),
                        "color": "#%02X%02X%02X%02X" % tuple(col), "align": align})
    for c in sorted(node.children, key=depth):  # nearer (larger z) drawn later, as on screen
        _draw(c, sprites, x, y, out, skip, texts, (path + "/" if path else "") + c.kind)


def depth(node):
    p = nums(node.props["pos"]) if "pos" in node.props else []
    return p[2] if len(p) > 2 else 0


def abs_pos(root, path):
    n, x, y = root, 0.0, 0.0
    for part in path.split("/"):
        n = next(c for c in n.children if c.kind == part)
        if "pos" in n.props:
            p = nums(n.props["pos"])
            x, y = x + p[0], y + p[1]
    return x, y


# ---- the screens ----------------------------------------------------------------------------------
def screen(file, layout, backdrop, parts=None, skip=(), texts=None, extra=()):
    root, sprites = parse(layout)
    shapes = list(backdrop)
    nodes = [root.child(p) for p in parts] if parts else sorted(root.children, key=depth)
    paths = parts or [c.kind for c in nodes]
    for n, p in zip(nodes, paths):
        x, y = abs_pos(root, p)
        px, py = (nums(n.props["pos"])[:2] if "pos" in n.props else (0, 0))
        _draw(n, sprites, x - px, y - py, shapes, skip, texts or {}, p)
    shapes += list(extra)
    return {"file": file, "width": 1280, "height": 720, "shapes": shapes}, root


def bg(name):
    return [{"image": name, "at": [0, 0]}]


# Where each chapter's screen stands in its picture (reduced), and the marks of its steps.
SX, SY, SW, SH = 280, 24, 720, 405
K = SW / 1280.0



def step_marks(points, captions):
    """Numbered rings on the reduced screen and the steps' captions beside it."""
    shapes = []
    for i, (x, y) in enumerate(points):
        cx, cy = SX + x * K, SY + y * K
        shapes += [{"ring": [cx, cy, 20], "width": 4, "color": "#FF5A3C"},
                   {"ellipse": [cx + 20, cy - 20, 14, 14], "color": "#FF5A3C"},
                   {"text": str(i + 1), "box": [cx + 6, cy - 34, 28, 28], "size": 20, "color": "#FFFFFF",
                    "align": "center"}]
    for i, lines in enumerate(captions):
        left = i % 2 == 0
        x0 = 16 if left else SX + SW + 14
        y0 = SY + 10 + (i // 2) * 132
        shapes.append({"panel": [x0, y0, 250, 120], "radius": 10, "color": "#101828E0"})
        shapes.append({"ellipse": [x0 + 22, y0 + 22, 14, 14], "color": "#FF5A3C"})
        shapes.append({"text": str(i + 1), "box": [x0 + 8, y0 + 8, 28, 28], "size": 20, "color": "#FFFFFF",
                       "align": "center"})
        for j, t in enumerate(lines):
            shapes.append({"text": t, "box": [x0 + (44 if j == 0 else 14), y0 + 8 + j * 34, 230, 30], "size": 20,
                           "color": "#F4ECD8", "align": "left"})
    return shapes


def chapter(n, screen_file, points, captions):
    shapes = [{"gradient": [0, 0, 1280, 720], "from": "#1A2038", "to": "#0A0C18"},
              {"panel": [SX - 6, SY - 6, SW + 12, SH + 12], "radius": 8, "color": "#D8B060"},
              {"image": screen_file, "at": [SX, SY], "size": [SW, SH]}]
    return {"file": "tutorial/ch%d.png" % n, "width": 1280, "height": 720,
            "shapes": shapes + step_marks(points, captions)}


def main():
    pics = []
    # The message window over the castle hall, with a page of text.
    adv_text = {"Group#1/Window#1/Text#0": "花"}
    msg = [{"text": "殿、まだ起きておられたのですか。", "box": [100, 560, 1000, 36], "size": 28,
            "color": "#FFFFFF", "align": "left"}]
    adv, adv_root = screen("tutorial/adv.png", "adv.txt", bg("adv/bg_castle.png"), ["Group#1"], texts=adv_text,
                           extra=msg)
    pics.append(adv)
    # The same with the two choices of chapter 2.
    choice_texts = {"Group#2/Btn#0/Text#0": "わかった", "Group#2/Btn#1/Text#0": "もう一度"}
    skip = tuple("Group#2/Btn#%d" % k for k in range(2, 8))
    # Two choices stand where the window's animation for two choices moves them (AnimeMove#0).
    for k in range(2):
        move = nums(adv_root.child("Group#2/Btn#%d" % k).props["AnimeMove#0"])
        PLACES["Group#2/Btn#%d" % k] = (move[1], move[2])
    choose, _ = screen("tutorial/adv_choice.png", "adv.txt", bg("adv/bg_castle.png"), ["Group#1", "Group#2"],
                       skip=skip, texts=dict(adv_text, **choice_texts))
    pics.append(choose)
    # The country map: the map, the clan and turn panels, the commands (the politics table's labels,
    # as the map sets them), the message line, the province names and the map buttons; templates,
    # tooltips and the province view left out.
    labels = ["城の普請", "治水開墾", "楽市楽座", "臨時徴収", "武将移動", "控え武将", "同盟", "引き抜き", "武将に会う",
              "情報", "クイックセーブ", "クイックロード", "システム", "フェイズ終了"]
    cmd_texts = {"Group#2/Group#0/Btn#%d/Text#0" % k: t for k, t in enumerate(labels)}
    cmd_texts["Group#2/Group#2/Text#0"] = "命令を選んでください"
    slg, slg_root = screen("tutorial/map.png", "slgmain.txt", [{"rect": [0, 0, 1280, 720], "color": "#000000"}],
                           ["Group#0/Window#0", "Group#1", "Group#2/Group#0", "Group#2/Group#2", "Group#3"],
                           skip=("Group#3/Group#0", "Group#3/Group#1", "Group#3/Group#3", "Group#3/Group#4",
                                 "Group#3/Group#5"), texts=cmd_texts)
    pics.append(slg)
    # The battle: the field is drawn in 3D, so a plain field stands behind the battle's panels (the
    # commands, the units and the order icons).
    field = [{"gradient": [0, 0, 1280, 300], "from": "#8AB0D8", "to": "#D8E0C8"},
             {"gradient": [0, 300, 1280, 420], "from": "#7A9A50", "to": "#4A6A30"}]
    kassen, kassen_root = screen("tutorial/battle.png", "kassen.txt", field, ["Window#0", "Window#2"])
    pics.append(kassen)
    rows = {}
    for k in range(10):
        rows["Group#1/Btn#%d/Text#0" % k] = "No.%02d" % (k + 1)
        rows["Group#1/Btn#%d/Text#1" % k] = ["評定", "出陣"][k] if k < 2 else "空き"
    save, save_root = screen("tutorial/save.png", "save.txt", bg("adv/bg_castle.png"), skip=("Window#0/Window#3",),
                             texts=rows)
    pics.append(save)
    title, title_root = screen("tutorial/title.png", "title.txt", [], ["Window#0"],
                               skip=("Window#0/Group#1", "Window#0/Group#2"))
    pics.append(title)

    def btn(root, path, dx=0, dy=0):
        x, y = abs_pos(root, path)
        return (x + dx, y + dy)

    def centre_of(root, path, w, h):
        return btn(root, path, w / 2, h / 2)

    w_btn = lambda k: centre_of(adv_root, "Group#1/Btn#%d" % k, 100, 50)
    pics += [
        chapter(1, "tutorial/adv.png", [(640, 580), (1180, 640), (640, 300)],
                [["文章を読む", "会話は下の窓に", "表示されます"], ["先へ進む", "クリックか Enter", "ホイール手前でも"],
                 ["読み返す", "ホイールを奥へ回すと", "これまでの会話"]]),
        chapter(2, "tutorial/adv_choice.png", [(360 + 500, PLACES["Group#2/Btn#0"][1] + 28),
                                               (360 + 500, PLACES["Group#2/Btn#1"][1] + 28)],
                [["選択肢", "物語の途中で", "道を選びます"], ["もう一度", "選び直すと", "話が変わります"]]),
        chapter(3, "tutorial/adv.png", [w_btn(0), w_btn(1), w_btn(2), w_btn(3), w_btn(4)],
                [["スキップ", "読んだ文章を", "飛ばします"], ["オート", "文章が自動で", "進みます"],
                 ["セーブ", "今の場面を", "記録します"], ["ロード", "記録した場面から", "始めます"],
                 ["右クリック", "窓を隠して", "絵を見られます"]]),
        chapter(4, "tutorial/map.png", [(640, 380), (960, 50), (640, 660)],
                [["国を選ぶ", "地図の国を", "クリックします"], ["国の様子", "上の帯に", "季節と資金"],
                 ["命令", "下の帯から", "命令を選びます"]]),
        chapter(5, "tutorial/map.png", [(120, 660), (640, 660), (1160, 660)],
                [["城を選ぶ", "命令する城を", "決めます"], ["命令を出す", "軍資金と行動力が", "要ります"],
                 ["季節を終える", "全ての命令の後", "季節が進みます"]]),
        chapter(6, "tutorial/battle.png", [(640, 660), (200, 360), (1080, 360)],
                [["命令", "五つの部隊に", "命令を与えます"], ["陣形", "味方の部隊の", "並びを決めます"],
                 ["敵の部隊", "右の五部隊を", "打ち破れば勝ち"]]),
        chapter(7, "tutorial/map.png", [(640, 660), (640, 380)],
                [["武将", "統率は兵を率いる力", "知略は知恵の力"], ["適所に配す", "城と命令に", "向いた武将を"]]),
        chapter(8, "tutorial/save.png", [(640, 300), (640, 120)],
                [["記録の場所", "空いた列を", "クリックします"], ["頁", "上の番号で", "記録の頁を選びます"]]),
        chapter(9, "tutorial/title.png", [(640, 350), (640, 491)],
                [["物語", "はじめから", "物語が始まります"], ["天下統一", "戦略の地図で", "出来事が起こります"]]),
    ]
    with open(os.path.join(DATA, "image", "tutorial.json"), "w", encoding="utf-8") as f:
        json.dump({"pictures": pics}, f, ensure_ascii=False, indent=1)
        f.write("\n")


if __name__ == "__main__":
    main()
