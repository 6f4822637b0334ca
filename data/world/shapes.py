#!/usr/bin/env python3
"""Writes provinces.json: the 67 provinces with their shapes.

Each shape is the Voronoi cell of the province's seed point (map coordinates, 1280x720) clipped
to a disc around the seed, so that neighbouring provinces share edges and the sea stays open.
Run once by hand when a seed changes; the build reads provinces.json only.
"""
import json, math

# name, region, longitude, latitude, radius (px), land value, town size
P = [
 ("陸奥",0,141.2,39.3,95,1800,90),("出羽",0,140.1,39.2,85,1300,70),
 ("常陸",1,140.3,36.4,48,1100,60),("下野",1,139.8,36.7,48,800,45),("上野",1,139.0,36.5,50,900,50),
 ("武蔵",1,139.5,35.95,48,1400,90),("下総",1,140.2,35.85,44,1000,55),("上総",1,140.25,35.4,40,900,50),
 ("安房",1,139.95,35.0,34,300,20),("相模",1,139.3,35.4,40,600,45),
 ("伊豆",2,138.95,34.85,34,300,25),("駿河",2,138.45,35.2,42,700,55),("遠江",2,137.9,34.85,42,800,50),
 ("三河",2,137.35,34.95,40,800,55),("尾張",2,136.9,35.2,36,1200,90),
 ("甲斐",3,138.65,35.65,44,600,35),("信濃",3,138.05,36.2,58,1100,50),
 ("越後",4,138.85,37.45,62,1200,60),("佐渡",4,138.4,38.05,30,300,20),("越中",4,137.2,36.75,44,800,45),
 ("能登",4,136.9,37.2,36,500,30),("加賀",4,136.6,36.4,38,900,55),("越前",4,136.2,35.95,40,1000,60),
 ("若狭",4,135.85,35.5,30,300,25),
 ("美濃",2,136.8,35.65,44,1200,70),("飛騨",3,137.25,36.15,40,200,15),("近江",5,136.15,35.2,38,1500,100),
 ("伊賀",5,136.15,34.75,26,300,25),("伊勢",5,136.5,34.6,36,1100,80),("志摩",5,136.8,34.35,24,150,20),
 ("大和",5,135.85,34.4,34,1000,80),("紀伊",5,135.5,33.9,46,600,45),("河内",5,135.6,34.65,24,600,60),
 ("山城",5,135.75,35.0,26,500,160),("和泉",5,135.4,34.4,24,400,60),("摂津",5,135.4,34.8,28,800,110),
 ("丹波",5,135.3,35.2,36,600,40),("丹後",6,135.1,35.6,30,300,25),("但馬",6,134.7,35.45,34,300,25),
 ("播磨",7,134.7,34.9,38,1000,65),("因幡",6,134.2,35.4,32,300,25),("伯耆",6,133.6,35.35,34,400,30),
 ("出雲",6,132.8,35.3,38,500,40),("隠岐",6,133.2,36.2,24,100,10),("石見",6,132.2,34.85,42,400,30),
 ("美作",7,134.0,35.1,32,500,30),("備前",7,134.1,34.75,30,600,45),("備中",7,133.6,34.8,32,500,40),
 ("備後",7,133.2,34.7,34,500,35),("安芸",7,132.5,34.5,38,600,45),("周防",7,131.8,34.1,38,600,45),
 ("長門",7,131.1,34.25,36,400,40),
 ("淡路",8,134.85,34.4,24,200,20),("阿波",8,134.3,33.9,36,500,35),("讃岐",8,134.0,34.25,30,500,40),
 ("伊予",8,132.9,33.7,44,700,45),("土佐",8,133.4,33.45,46,500,30),
 ("豊前",9,131.0,33.6,34,500,40),("豊後",9,131.5,33.2,40,600,45),("筑前",9,130.5,33.6,34,800,70),
 ("筑後",9,130.6,33.25,28,700,45),("肥前",9,130.0,33.3,40,800,60),("肥後",9,130.8,32.7,44,900,55),
 ("日向",9,131.3,32.3,42,500,30),("大隅",9,130.9,31.5,34,400,25),("薩摩",9,130.4,31.7,38,600,40),
 ("対馬",9,129.3,34.4,26,100,15),
]

def to_map(lon, lat):
    return ((lon - 129.0) * 88 + 40, (41.0 - lat) * 70 + 20)

def clip(poly, a, b, c):
    """Keeps the part of a convex polygon where a*x + b*y <= c."""
    out = []
    n = len(poly)
    for i in range(n):
        p, q = poly[i], poly[(i + 1) % n]
        fp, fq = a * p[0] + b * p[1] - c, a * q[0] + b * q[1] - c
        if fp <= 0: out.append(p)
        if (fp < 0) != (fq < 0) and fp != fq:
            t = fp / (fp - fq)
            out.append((p[0] + t * (q[0] - p[0]), p[1] + t * (q[1] - p[1])))
    return out

seeds = [to_map(p[2], p[3]) for p in P]
provinces = []
for i, p in enumerate(P):
    sx, sy = seeds[i]
    r = p[4]
    poly = [(sx + r * math.cos(2 * math.pi * k / 24), sy + r * math.sin(2 * math.pi * k / 24)) for k in range(24)]
    for j, (tx, ty) in enumerate(seeds):
        if j == i: continue
        # Half-plane of points nearer to seed i than to seed j.
        a, b = tx - sx, ty - sy
        c = (tx * tx + ty * ty - sx * sx - sy * sy) / 2
        poly = clip(poly, a, b, c)
    poly = [(min(1279, max(0, round(x))), min(719, max(0, round(y)))) for x, y in poly]
    dedup = []
    for q in poly:
        if not dedup or dedup[-1] != q: dedup.append(q)
    if len(dedup) > 1 and dedup[0] == dedup[-1]: dedup.pop()
    provinces.append({"id": i, "name": p[0], "region": p[1], "land": p[5], "town": p[6],
                      "seed": [round(sx), round(sy)], "polygon": [list(q) for q in dedup]})

doc = {
    "comment": "The 67 provinces: names, regions (0 東北 .. 9 九州), land value, town size, and shapes "
               "as polygons in 1280x720 map coordinates. Neighbours are the provinces that share an "
               "edge, plus the links listed here (sea routes and the land gaps of the stylised shapes).",
    "sea_links": [["陸奥", "常陸"], ["陸奥", "下野"], ["出羽", "越後"], ["対馬", "肥前"], ["隠岐", "出雲"], ["佐渡", "越後"], ["淡路", "阿波"], ["淡路", "摂津"],
                  ["讃岐", "備前"], ["伊予", "安芸"], ["豊前", "長門"], ["安房", "相模"]],
    "provinces": provinces,
}
with open("provinces.json", "w", encoding="utf-8") as f:
    json.dump(doc, f, ensure_ascii=False, indent=1)
