#!/usr/bin/env python3
"""Draws the gallows pictures: data/Gallows/Graphics/0.gif ... 10.gif.

  0      the empty hillside, nothing wrong yet
  1..8   one more piece per wrong guess: base, post, beam, brace, rope,
         head, body, arms
  9      lost: legs added, X eyes, the sky gone dark red
  10     won: the figure cheers on the grass beside the empty gallows

Every picture is 232 x 156 (the size of the picture box in the game window),
drawn pixel by pixel with one shared palette and no anti-aliasing.
Run from anywhere: python3 tools/make_gallows_art.py
"""

import math
import sys

from artkit import Canvas, read_gif, repo_path, write_gif

W, H = 232, 156
CLEAR = 255  # "nothing here" in the drawing layers

# One palette for every picture. Picture 9 swaps the landscape entries for
# their dusk versions (same indices, darker colours).
COLOURS = [
    ("sky1", (74, 144, 217)),
    ("sky2", (104, 168, 232)),
    ("sky3", (140, 196, 240)),
    ("sky4", (184, 222, 246)),
    ("cloud", (246, 250, 253)),
    ("cloud_shade", (206, 224, 240)),
    ("hill", (132, 186, 110)),
    ("hill_shade", (106, 160, 92)),
    ("grass", (92, 160, 60)),
    ("grass_dark", (62, 122, 42)),
    ("grass_light", (128, 196, 76)),
    ("dirt", (138, 98, 56)),
    ("wood_light", (184, 126, 66)),
    ("wood", (144, 92, 44)),
    ("wood_dark", (96, 58, 26)),
    ("rope", (220, 188, 116)),
    ("rope_dark", (168, 136, 74)),
    ("ink", (40, 28, 26)),
    ("skin", (242, 200, 160)),
    ("skin_shade", (214, 158, 118)),
    ("shirt", (236, 232, 218)),
    ("shirt_shade", (190, 182, 162)),
    ("trousers", (60, 92, 164)),
    ("trousers_dark", (42, 64, 120)),
    ("red", (204, 48, 48)),
    ("sun", (255, 240, 150)),
    ("sun_rim", (255, 210, 90)),
    ("white", (255, 255, 255)),
    ("confetti_blue", (70, 120, 230)),
    ("confetti_pink", (236, 92, 170)),
    ("hill_far", (158, 204, 140)),
    ("dirt_dark", (100, 70, 40)),
]
C = {name: i for i, (name, _) in enumerate(COLOURS)}
PALETTE = [rgb for _, rgb in COLOURS]

DUSK = {
    "sky1": (40, 16, 34),
    "sky2": (74, 22, 40),
    "sky3": (120, 32, 40),
    "sky4": (168, 58, 44),
    "cloud": (112, 62, 72),
    "cloud_shade": (82, 44, 58),
    "hill_far": (70, 58, 58),
    "hill": (58, 70, 50),
    "hill_shade": (46, 56, 42),
    "grass": (56, 86, 42),
    "grass_dark": (38, 62, 32),
    "grass_light": (74, 108, 50),
    "sun": (232, 96, 56),
    "sun_rim": (190, 58, 40),
}
DUSK_PALETTE = [DUSK.get(name, rgb) for name, rgb in COLOURS]

GROUND_Y = 122          # top of the foreground grass at the gallows
BASE = (34, 124, 142, 131)
POST = (52, 16, 59, 123)
BEAM = (44, 16, 130, 23)
ROPE_X = 112            # left column of the two-pixel rope
HANG_HEAD = (113, 46)   # centre of the hanged head


def hash2(x, y, seed=0):
    """Cheap deterministic noise in 0..255 for texture placement."""
    n = (x * 374761393 + y * 668265263 + seed * 2147483647) & 0xFFFFFFFF
    n = ((n ^ (n >> 13)) * 1274126177) & 0xFFFFFFFF
    return (n ^ (n >> 16)) & 0xFF


def layer():
    return Canvas(W, H, CLEAR)


# ---------------------------------------------------------------------------
# Landscape
# ---------------------------------------------------------------------------

def draw_sky(c):
    # Flat bands with a one-row checker where they meet, the usual pixel way.
    bands = [(0, "sky1"), (34, "sky2"), (62, "sky3"), (84, "sky4")]
    for i, (y0, name) in enumerate(bands):
        y1 = bands[i + 1][0] - 1 if i + 1 < len(bands) else H - 1
        c.rect(0, y0, W - 1, y1, C[name])
        if i:
            above = C[bands[i - 1][1]]
            for x in range(0, W, 2):
                c.put(x + (y0 & 1), y0, above)
            for x in range(0, W, 4):
                c.put(x + 1, y0 + 1, above)


def cloud(c, x, y, scale):
    puffs = [(-10, 2, 6), (-3, -3, 8), (6, -1, 7), (13, 3, 5), (2, 4, 6), (-14, 5, 4)]
    L = layer()
    for dx, dy, r in puffs:
        L.disc(x + dx * scale // 4, y + dy * scale // 4, r * scale // 4, C["cloud"])
    # flat bottom
    bottom = y + 5 * scale // 4
    for yy in range(bottom + 1, H):
        L.rect(0, yy, W - 1, yy, CLEAR)
    # shade the lowest rows
    for yy in range(bottom - 2 * scale // 4, bottom + 1):
        for xx in range(W):
            if L.get(xx, yy) == C["cloud"]:
                L.put(xx, yy, C["cloud_shade"])
    c.stamp(L)


def draw_sun(c, cx, cy, r, rays):
    if rays:
        for k in range(12):
            a = k * math.pi / 6 + math.pi / 12
            x0 = cx + round(math.cos(a) * (r + 4))
            y0 = cy + round(math.sin(a) * (r + 4))
            x1 = cx + round(math.cos(a) * (r + 9))
            y1 = cy + round(math.sin(a) * (r + 9))
            c.line(x0, y0, x1, y1, C["sun_rim"], 2)
    c.disc(cx, cy, r, C["sun_rim"])
    c.disc(cx, cy, r - 2, C["sun"])


def hill_line(x, base, parts):
    return base - sum(a * math.sin(x * f + p) for a, f, p in parts)


def draw_land(c):
    # far hills, near hills, then the meadow in front
    for x in range(W):
        top = round(hill_line(x, 92, [(6, 0.021, 0.4), (3, 0.057, 1.9)]))
        c.rect(x, top, x, H - 1, C["hill_far"])
    for x in range(W):
        top = round(hill_line(x, 104, [(7, 0.017, 2.6), (3, 0.043, 0.3)]))
        c.rect(x, top, x, H - 1, C["hill"])
        c.rect(x, top + 5, x, H - 1, C["hill_shade"])
        if hash2(x, top, 3) < 40:
            c.put(x, top + 5, C["hill"])
    for x in range(W):
        top = round(hill_line(x, GROUND_Y, [(1.5, 0.03, 0.0)]))
        c.put(x, top, C["grass_light"])
        c.rect(x, top + 1, x, H - 1, C["grass"])
    # tufts and darker specks across the meadow, denser towards the front
    for y in range(GROUND_Y + 2, H):
        for x in range(W):
            h = hash2(x, y)
            if h < 6 + (y - GROUND_Y) // 3:
                c.put(x, y, C["grass_dark"])
                c.put(x, y - 1, C["grass_dark"])
            elif h > 250:
                c.put(x, y, C["grass_light"])
    # a few flowers
    for x, y, col in [(16, 140, "white"), (24, 147, "sun"), (160, 144, "white"),
                      (204, 138, "sun"), (214, 150, "white"), (88, 150, "sun")]:
        c.put(x, y, C[col])
        c.put(x, y + 1, C["grass_dark"])


def draw_scene(c, mood):
    draw_sky(c)
    if mood == "day":
        draw_sun(c, 204, 22, 10, rays=False)
    elif mood == "won":
        draw_sun(c, 18, 16, 11, rays=True)
    cloud(c, 168, 40, 4)
    cloud(c, 22, 50, 3)
    if mood == "lost":
        draw_sun(c, 196, 96, 12, rays=False)
    draw_land(c)


# ---------------------------------------------------------------------------
# Gallows pieces (each on its own layer, outlined in ink)
# ---------------------------------------------------------------------------

def outlined(c, draw, inside_names=("wood_light", "wood", "wood_dark")):
    L = layer()
    draw(L)
    L.outline({C[n] for n in inside_names}, C["ink"])
    c.stamp(L)


def plank(L, x0, y0, x1, y1, vertical):
    """A wooden beam with a lit edge, a shaded edge and some grain."""
    L.rect(x0, y0, x1, y1, C["wood"])
    if vertical:
        L.rect(x0, y0, x0 + 1, y1, C["wood_light"])
        L.rect(x1, y0, x1, y1, C["wood_dark"])
        for y in range(y0 + 3, y1 - 2, 9):
            L.rect(x0 + 3, y, x0 + 3, y + 3, C["wood_dark"])
    else:
        L.rect(x0, y0, x1, y0 + 1, C["wood_light"])
        L.rect(x0, y1, x1, y1, C["wood_dark"])
        for x in range(x0 + 5, x1 - 4, 11):
            L.rect(x, y0 + 3, x + 4, y0 + 3, C["wood_dark"])


def draw_base(c):
    def d(L):
        x0, y0, x1, y1 = BASE
        plank(L, x0, y0, x1, y1, vertical=False)
        for x in range(x0 + 26, x1, 27):   # plank joints
            L.rect(x, y0 + 1, x, y1, C["wood_dark"])
    outlined(c, d)
    # its shadow on the grass
    c.rect(BASE[0], BASE[3] + 2, BASE[2] + 2, BASE[3] + 2, C["grass_dark"])


def draw_post(c):
    outlined(c, lambda L: plank(L, *POST, vertical=True))


def draw_beam(c):
    def d(L):
        plank(L, *BEAM, vertical=False)
        L.rect(POST[0], BEAM[1], POST[2], BEAM[3], C["wood_light"])  # post end grain
        L.frame(POST[0] + 1, BEAM[1] + 1, POST[2] - 1, BEAM[3] - 1, C["wood"])
    outlined(c, d)


def draw_brace(c):
    def d(L):
        L.line(POST[2] + 2, 58, 94, BEAM[3] + 2, C["wood"], 5)
        L.line(POST[2] + 1, 56, 92, BEAM[3] + 1, C["wood_light"], 1)
    outlined(c, d)
    # bolt heads where it meets the post and the beam
    c.put(POST[2] - 2, 57, C["ink"])
    c.put(94, BEAM[3] - 2, C["ink"])


def rope_segment(L, y0, y1):
    L.rect(ROPE_X, y0, ROPE_X + 1, y1, C["rope"])
    for y in range(y0 + 1, y1 + 1, 3):
        L.put(ROPE_X + 1, y, C["rope_dark"])


def noose(L, cx, cy):
    """The open loop of the noose: an oval ring about two pixels thick."""
    for y in range(-8, 9):
        for x in range(-6, 7):
            d_out = (x * x) / 36.0 + (y * y) / 64.0
            d_in = (x * x) / 16.0 + (y * y) / 36.0
            if d_out <= 1.0 and d_in > 1.0:
                L.put(cx + x, cy + y, C["rope_dark"] if (x + y) % 3 == 0 else C["rope"])


def draw_rope(c, with_head):
    """The rope from the beam. Without a head it ends in an open noose;
    with one it runs down behind the head (the loop is drawn by draw_noose)."""
    L = layer()
    cx = ROPE_X + 1
    if not with_head:
        rope_segment(L, BEAM[3] + 1, 42)
        L.rect(ROPE_X - 1, 40, ROPE_X + 2, 45, C["rope"])        # the coil
        for y in (41, 43, 45):
            L.rect(ROPE_X - 1, y, ROPE_X + 2, y, C["rope_dark"])
        noose(L, cx, 53)
    else:
        rope_segment(L, BEAM[3] + 1, HANG_HEAD[1] - 4)
    L.outline({C["rope"], C["rope_dark"]}, C["ink"])
    c.stamp(L)


def draw_noose(c):
    """The loop pulled tight under the chin, with the coil beside the head."""
    cx, cy = HANG_HEAD
    L = layer()
    L.rect(cx - 4, cy + 7, cx + 5, cy + 8, C["rope"])
    for x in range(cx - 3, cx + 6, 3):
        L.put(x, cy + 8, C["rope_dark"])
    L.rect(cx + 6, cy + 1, cx + 8, cy + 8, C["rope"])           # the coil
    for y in range(cy + 2, cy + 9, 2):
        L.rect(cx + 6, y, cx + 8, y, C["rope_dark"])
    L.outline({C["rope"], C["rope_dark"]}, C["ink"])
    c.stamp(L)


def draw_cut_rope(c):
    """After a win: a short frayed end left hanging from the beam."""
    L = layer()
    rope_segment(L, BEAM[3] + 1, 36)
    L.put(ROPE_X - 1, 37, C["rope"])
    L.put(ROPE_X + 2, 37, C["rope"])
    L.put(ROPE_X, 38, C["rope_dark"])
    L.outline({C["rope"], C["rope_dark"]}, C["ink"])
    c.stamp(L)


# ---------------------------------------------------------------------------
# The figure
# ---------------------------------------------------------------------------

FIG_INSIDE = ("wood_dark", "skin", "skin_shade", "shirt", "shirt_shade", "trousers", "trousers_dark", "red")


def draw_head(L, cx, cy, face):
    L.disc(cx, cy, 7, C["skin"])
    rr = 7 * 7 + 7
    for y in range(cy - 7, cy + 8):
        for x in range(cx - 7, cx + 8):
            if L.get(x, y) != C["skin"]:
                continue
            dx, dy = x - cx, y - cy
            if (dx + 1) ** 2 + (dy + 1) ** 2 > rr:            # lower-right rim
                L.put(x, y, C["skin_shade"])
            if dy <= -5 or (abs(dx) >= 6 and dy <= -2):        # hair
                L.put(x, y, C["wood_dark"])
    ink = C["ink"]
    if face == "worried":
        L.put(cx - 3, cy - 1, ink)
        L.put(cx + 2, cy - 1, ink)
        L.put(cx - 4, cy - 3, ink)                               # raised brows
        L.put(cx + 3, cy - 3, ink)
        L.rect(cx - 1, cy + 3, cx + 1, cy + 3, ink)
        L.put(cx - 2, cy + 4, ink)
        L.put(cx + 2, cy + 4, ink)
    elif face == "dead":
        for ex in (cx - 3, cx + 3):
            for d in (-1, 0, 1):
                L.put(ex + d, cy - 2 + d, ink)
                L.put(ex + d, cy - 2 - d, ink)
        L.rect(cx - 2, cy + 3, cx + 2, cy + 3, ink)
        L.rect(cx + 1, cy + 4, cx + 2, cy + 5, C["red"])         # tongue
    elif face == "happy":
        for ex in (cx - 3, cx + 3):                              # ^ ^
            L.put(ex - 1, cy - 1, ink)
            L.put(ex, cy - 2, ink)
            L.put(ex + 1, cy - 1, ink)
        L.rect(cx - 2, cy + 3, cx + 2, cy + 3, ink)
        L.put(cx - 3, cy + 2, ink)
        L.put(cx + 3, cy + 2, ink)
        L.rect(cx - 1, cy + 4, cx + 1, cy + 4, C["red"])


def draw_torso(L, cx, top):
    """Shirt from the neck (top) down 26 rows, 13 wide, with a belt."""
    L.rect(cx - 1, top, cx + 1, top + 1, C["skin_shade"])      # neck
    L.polygon([(cx - 5, top + 2), (cx + 6, top + 2), (cx + 7, top + 5),
               (cx + 6, top + 26), (cx - 5, top + 26), (cx - 6, top + 5)], C["shirt"])
    L.rect(cx + 4, top + 5, cx + 5, top + 25, C["shirt_shade"])
    L.put(cx, top + 3, C["shirt_shade"])                        # collar
    L.put(cx - 1, top + 2, C["shirt_shade"])
    L.put(cx + 1, top + 2, C["shirt_shade"])
    L.rect(cx - 5, top + 24, cx + 5, top + 26, C["trousers_dark"])  # waistband


def draw_arm(L, x0, y0, x1, y1):
    """Sleeve from the shoulder to the wrist, then a hand."""
    L.line(x0, y0, x1, y1, C["shirt"], 3)
    L.disc(x1 + (1 if x1 > x0 else -1 if x1 < x0 else 0), y1 + (1 if y1 > y0 else -1), 1,
           C["skin"])


def draw_legs(L, cx, top, spread):
    for side in (-1, 1):
        hip = cx + side * 3
        foot = cx + side * (3 + spread)
        L.line(hip, top, foot, top + 20, C["trousers"], 4)
        if side > 0:
            L.line(hip + 1, top + 2, foot + 1, top + 20, C["trousers_dark"], 1)
        L.rect(foot - 1, top + 21, foot + 1 + (2 if side > 0 else 0), top + 22, C["skin"])


def draw_figure(c, stage, pose):
    """stage: 6 head, 7 + body, 8 + arms, 9 + legs. pose: hang / dead / cheer."""
    L = layer()
    if pose == "cheer":
        cx, hy = 182, 70
    else:
        cx, hy = HANG_HEAD
    neck = hy + 8
    if stage >= 8:
        if pose == "cheer":
            draw_arm(L, cx - 5, neck + 4, cx - 13, neck - 14)
            draw_arm(L, cx + 6, neck + 4, cx + 14, neck - 14)
        else:
            draw_arm(L, cx - 5, neck + 4, cx - 8, neck + 22)
            draw_arm(L, cx + 6, neck + 4, cx + 9, neck + 22)
    if stage >= 9:
        draw_legs(L, cx, neck + 26, 1 if pose != "cheer" else 4)
    if stage >= 7:
        draw_torso(L, cx, neck)
    draw_head(L, cx, hy, {"hang": "worried", "dead": "dead", "cheer": "happy"}[pose])
    L.outline({C[n] for n in FIG_INSIDE}, C["ink"])
    if stage >= 8 and pose != "cheer":
        # inner edge of the arms against the shirt
        for side in (-1, 1):
            x = cx - 5 if side < 0 else cx + 6
            L.line(x + (1 if side < 0 else -1), neck + 7, x + (1 if side < 0 else -1) + side * 2,
                   neck + 21, C["shirt_shade"])
    c.stamp(L)


# ---------------------------------------------------------------------------
# Lettering
# ---------------------------------------------------------------------------

FONT = {
    "S": [".####", "#....", "#....", ".###.", "....#", "....#", "####."],
    "A": [".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"],
    "V": ["#...#", "#...#", "#...#", "#...#", "#...#", ".#.#.", "..#.."],
    "E": ["#####", "#....", "#....", "####.", "#....", "#....", "#####"],
    "D": ["####.", "#...#", "#...#", "#...#", "#...#", "#...#", "####."],
    "!": ["..#..", "..#..", "..#..", "..#..", "..#..", ".....", "..#.."],
}


def draw_text(c, text, x, y, scale, colour, shade):
    L = layer()
    for ch in text:
        rows = FONT[ch]
        for j, row in enumerate(rows):
            for i, p in enumerate(row):
                if p == "#":
                    col = shade if j * scale >= 5 * scale else colour
                    L.rect(x + i * scale, y + j * scale,
                           x + i * scale + scale - 1, y + j * scale + scale - 1, col)
        x += 6 * scale
    L.outline({colour, shade}, C["ink"])
    # a drop shadow one pixel down-right
    S = layer()
    for yy in range(H - 1):
        for xx in range(W - 1):
            if L.get(xx, yy) != CLEAR:
                S.put(xx + 1, yy + 1, C["ink"])
    c.stamp(S)
    c.stamp(L)


def confetti(c):
    cols = ["red", "sun", "confetti_blue", "confetti_pink", "white"]
    k = 0
    for y in range(36, 112, 3):
        for x in range(136, 230, 3):
            h = hash2(x, y, 7)
            if h < 16:
                px, py = x + h % 3, y + (h // 3) % 3
                col = C[cols[k % len(cols)]]
                k += 1
                if abs(px - 182) < 20 and 46 < py < 104:
                    continue  # keep the figure clear
                c.put(px, py, col)
                if h % 2:
                    c.put(px + 1, py, col)
                else:
                    c.put(px, py + 1, col)


# ---------------------------------------------------------------------------

def picture(n):
    c = Canvas(W, H)
    mood = {9: "lost", 10: "won"}.get(n, "day")
    draw_scene(c, mood)
    pieces = [draw_base, draw_post, draw_beam, draw_brace]
    for k, piece in enumerate(pieces, start=1):
        if n >= k:
            piece(c)
    if n == 10:
        draw_cut_rope(c)
        confetti(c)
        draw_figure(c, 9, "cheer")
        draw_text(c, "SAVED!", 142, 8, 2, C["sun"], C["sun_rim"])
    elif n >= 5:
        draw_rope(c, with_head=n >= 6)
        if n >= 6:
            draw_figure(c, n, "dead" if n == 9 else "hang")
            draw_noose(c)
    return c


def main(argv):
    pictures = [picture(n) for n in range(11)]
    problems = []
    for n, c in enumerate(pictures):
        path = repo_path("data", "Gallows", "Graphics", "%d.gif" % n)
        data = write_gif(path, W, H, DUSK_PALETTE if n == 9 else PALETTE, c.px, table_entries=32)
        # read the file back the way a viewer would
        info = read_gif(data)
        if (info["version"], info["width"], info["height"], len(info["images"])) != ("GIF89a", W, H, 1):
            problems.append("%d.gif: wrong header or frame count" % n)
        elif info["images"][0]["pixels"] != bytes(c.px):
            problems.append("%d.gif: pixels do not survive the round trip" % n)
        print(path)
    # every step of the gallows must add something visible
    for n in range(1, 11):
        if pictures[n].px == pictures[n - 1].px:
            problems.append("%d.gif looks the same as %d.gif" % (n, n - 1))
    for p in problems:
        print(p, file=sys.stderr)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
