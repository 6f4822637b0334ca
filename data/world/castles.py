#!/usr/bin/env python3
"""Writes castles.json from provinces.json and names.json: about 400 castles with names,
positions inside their province's shape (map coordinates), levels and symmetric roads (at most
five per castle). Castle ids are consecutive per province, in province order.
Run once by hand after shapes.py; the build reads castles.json only.
"""
import json, math, random

prov = json.load(open("provinces.json", encoding="utf-8"))
names = json.load(open("names.json", encoding="utf-8"))
P = prov["provinces"]
rng = random.Random(4004)

def inside(poly, x, y):
    c = False
    n = len(poly)
    for i in range(n):
        (x1, y1), (x2, y2) = poly[i], poly[(i + 1) % n]
        if (y1 > y) != (y2 > y) and x < (x2 - x1) * (y - y1) / (y2 - y1) + x1:
            c = not c
    return c

def seg_dist(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    L = dx * dx + dy * dy
    t = 0 if L == 0 else max(0, min(1, ((px - ax) * dx + (py - ay) * dy) / L))
    return math.hypot(px - ax - t * dx, py - ay - t * dy)

def shared_length(pa, pb):
    """Length of pa's edges that lie along pb's boundary (within 1.5 px)."""
    total = 0.0
    for i in range(len(pa)):
        (ax, ay), (bx, by) = pa[i], pa[(i + 1) % len(pa)]
        L = math.hypot(bx - ax, by - ay)
        steps = max(1, int(L / 2))
        on = 0
        for s in range(steps + 1):
            t = s / steps
            x, y = ax + t * (bx - ax), ay + t * (by - ay)
            d = min(seg_dist(x, y, *pb[j], *pb[(j + 1) % len(pb)]) for j in range(len(pb)))
            on += d <= 1.5
        total += L * on / (steps + 1)
    return total

# Neighbouring provinces: shared edges of at least 4 px, plus the sea links.
byname = {p["name"]: p["id"] for p in P}
nb = {p["id"]: set() for p in P}
for a in P:
    for b in P:
        if a["id"] < b["id"] and shared_length(a["polygon"], b["polygon"]) >= 4:
            nb[a["id"]].add(b["id"]); nb[b["id"]].add(a["id"])
for x, y in prov["sea_links"]:
    nb[byname[x]].add(byname[y]); nb[byname[y]].add(byname[x])

total_land = sum(p["land"] for p in P)
counts = [max(2, min(12, round(p["land"] / total_land * 400))) for p in P]
while sum(counts) > 400:
    i = max(range(len(P)), key=lambda k: counts[k]); counts[i] -= 1
while sum(counts) < 400:
    i = max(range(len(P)), key=lambda k: P[k]["land"] / counts[k]); counts[i] += 1

combos = [a + b for a in names["castle_first"] for b in names["castle_second"]]
rng.shuffle(combos)
castles = []
for p in P:
    poly = p["polygon"]
    xs = [q[0] for q in poly]; ys = [q[1] for q in poly]
    pts = []
    tries = 0
    while len(pts) < counts[p["id"]]:
        tries += 1
        x, y = rng.uniform(min(xs), max(xs)), rng.uniform(min(ys), max(ys))
        if not inside(poly, x, y): continue
        mind = 9 if tries < 4000 else 3
        if any(math.hypot(x - u, y - v) < mind for u, v in pts): continue
        pts.append((x, y))
    pts.sort(key=lambda q: (q[1], q[0]))
    for x, y in pts:
        level = rng.randint(1, 8)
        castles.append({"id": len(castles), "name": combos.pop(), "province": p["name"],
                        "pos": [round(x), round(y)], "level": level, "max_level": min(20, level + rng.randint(4, 10)),
                        "battlefield": rng.randint(0, 2), "treasure_chance": rng.choice([0, 0, 0, 10, 20]),
                        "treasure": [rng.randint(1, 16) for _ in range(3)]})

deg = [0] * len(castles)
roads = []
def add(a, b):
    roads.append([a, b]); deg[a] += 1; deg[b] += 1

# Inside a province: a spanning tree by distance (at most four roads each).
for p in P:
    ids = [c["id"] for c in castles if c["province"] == p["name"]]
    comp = {i: i for i in ids}
    def find(i):
        while comp[i] != i: i = comp[i]
        return i
    pairs = sorted((math.dist(castles[a]["pos"], castles[b]["pos"]), a, b) for a in ids for b in ids if a < b)
    for d, a, b in pairs:
        if find(a) != find(b) and deg[a] < 4 and deg[b] < 4:
            comp[find(a)] = find(b); add(a, b)
# Between neighbouring provinces: the nearest pair with room.
for a in P:
    for bid in sorted(nb[a["id"]]):
        if bid <= a["id"]: continue
        b = P[bid]
        ia = [c["id"] for c in castles if c["province"] == a["name"]]
        ib = [c["id"] for c in castles if c["province"] == b["name"]]
        pairs = sorted((math.dist(castles[x]["pos"], castles[y]["pos"]), x, y) for x in ia for y in ib)
        for d, x, y in pairs:
            if deg[x] < 5 and deg[y] < 5:
                add(x, y); break

doc = {"comment": "Castles (ids consecutive per province) with map positions, levels, battlefield kind, "
                  "treasure; roads are two-way, at most five per castle.",
       "castles": castles, "roads": roads}
with open("castles.json", "w", encoding="utf-8") as f:
    json.dump(doc, f, ensure_ascii=False, indent=1)
print(len(castles), "castles", len(roads), "roads", "max degree", max(deg))
print("isolated provinces:", [p["name"] for p in P if not nb[p["id"]]])
