#!/usr/bin/env python3
"""Draws the application icon: a brown gallows with a rope loop on a rounded
blue tile with a strip of grass.

  data/icons/hicolor/scalable/apps/org.tarvolin.Gallows.svg
  data/icons/hicolor/<N>x<N>/apps/org.tarvolin.Gallows.png  for N in 16 32 48 64 128 256

The SVG and the 48 px and larger PNGs come from one geometry (a 256-unit
square). The PNGs are rendered here with 4 x 4 supersampling. At 16 and 32 px
a scaled-down drawing turns to mush, so those two are laid out by hand on the
pixel grid and only the tile's rounded corners are smoothed.
Run from anywhere: python3 tools/make_icons.py
"""

import math
import sys

from artkit import ensure_dir, repo_path, write_png

APP_ID = "org.tarvolin.Gallows"
SIZES = (16, 32, 48, 64, 128, 256)


def hexrgb(h):
    return tuple(int(h[i:i + 2], 16) for i in (1, 3, 5))


SKY_TOP = "#4f97c3"
SKY_BOTTOM = "#2f6b93"
GRASS = "#5a9e3a"
GRASS_LIGHT = "#7cc04a"
WOOD = "#8a5a2b"
WOOD_LIGHT = "#b67f45"
WOOD_EDGE = "#3b2414"
ROPE = "#e8c98a"
ROPE_EDGE = "#6b4a1e"

# --- the geometry, in a 256-unit square -----------------------------------
TILE = (8, 8, 248, 248, 44)              # x0, y0, x1, y1, corner radius
GROUND_Y = 212
BRACE = [(73, 117), (87, 131), (153, 59), (139, 45)]   # 20 wide, 45 degrees
POST = (68, 40, 92, 206)
BEAM = (56, 40, 198, 62)
BASE = (42, 194, 214, 214)
ROPE_RECT = (168, 62, 178, 122)
LOOP = (173, 142, 20)                     # centre x, y, radius of the rope's mid-line
WOOD_STROKE = 6
ROPE_STROKE = 4
LOOP_WIDTH = 9


# ---------------------------------------------------------------------------
# SVG
# ---------------------------------------------------------------------------

def ground_path(y):
    """The part of the tile below the line y, as an SVG path. Written out
    with arcs instead of a clip path, which not every SVG renderer honours."""
    x0, y0, x1, y1, r = TILE
    inset = r - math.sqrt(r * r - (y - (y1 - r)) ** 2)
    return ("M%s,%d H%s A%d,%d 0 0 1 %d,%d H%d A%d,%d 0 0 1 %s,%d Z"
            % (fmt(x0 + inset), y, fmt(x1 - inset), r, r, x1 - r, y1, x0 + r, r, r,
               fmt(x0 + inset), y))


def fmt(v):
    return ("%.2f" % v).rstrip("0").rstrip(".")


def svg():
    x0, y0, x1, y1, r = TILE
    bx = " ".join("%d,%d" % p for p in BRACE)
    wood = 'fill="%s" stroke="%s" stroke-width="%d" stroke-linejoin="round"' % (
        WOOD, WOOD_EDGE, WOOD_STROKE)
    hw = WOOD_STROKE // 2

    def rect(box, attrs):
        a, b, c, d = box
        return '<rect x="%d" y="%d" width="%d" height="%d" %s/>' % (a, b, c - a, d - b, attrs)

    lines = [
        '<?xml version="1.0" encoding="UTF-8"?>',
        '<svg xmlns="http://www.w3.org/2000/svg" version="1.1" width="256" height="256"'
        ' viewBox="0 0 256 256">',
        '  <title>Tarvolin Gallows</title>',
        '  <defs>',
        '    <linearGradient id="sky" x1="0" y1="0" x2="0" y2="1">',
        '      <stop offset="0" stop-color="%s"/>' % SKY_TOP,
        '      <stop offset="1" stop-color="%s"/>' % SKY_BOTTOM,
        '    </linearGradient>',
        '  </defs>',
        '  ' + '<rect x="%d" y="%d" width="%d" height="%d" rx="%d" ry="%d" fill="url(#sky)"/>'
        % (x0, y0, x1 - x0, y1 - y0, r, r),
        '  <path d="%s" fill="%s"/>' % (ground_path(GROUND_Y), GRASS_LIGHT),
        '  <path d="%s" fill="%s"/>' % (ground_path(GROUND_Y + 6), GRASS),
        '  <polygon points="%s" %s/>' % (bx, wood),
        '  ' + rect(POST, wood),
        '  ' + rect((POST[0] + hw, POST[1] + hw, POST[0] + hw + 6, POST[3] - hw), 'fill="%s"' % WOOD_LIGHT),
        '  ' + rect(BEAM, wood),
        '  ' + rect((BEAM[0] + hw, BEAM[1] + hw, BEAM[2] - hw, BEAM[1] + hw + 6), 'fill="%s"' % WOOD_LIGHT),
        '  ' + rect(BASE, wood),
        '  ' + rect((BASE[0] + hw, BASE[1] + hw, BASE[2] - hw, BASE[1] + hw + 5), 'fill="%s"' % WOOD_LIGHT),
        '  ' + rect(ROPE_RECT, 'fill="%s" stroke="%s" stroke-width="%d"' % (ROPE, ROPE_EDGE, ROPE_STROKE)),
        '  <circle cx="%d" cy="%d" r="%d" fill="none" stroke="%s" stroke-width="%d"/>'
        % (LOOP[0], LOOP[1], LOOP[2], ROPE_EDGE, LOOP_WIDTH + ROPE_STROKE),
        '  <circle cx="%d" cy="%d" r="%d" fill="none" stroke="%s" stroke-width="%d"/>'
        % (LOOP[0], LOOP[1], LOOP[2], ROPE, LOOP_WIDTH - ROPE_STROKE),
        '</svg>',
        '',
    ]
    return "\n".join(lines)


# ---------------------------------------------------------------------------
# Signed distances (negative inside), in 256-unit coordinates
# ---------------------------------------------------------------------------

def sd_round_rect(x, y, box, r):
    x0, y0, x1, y1 = box
    cx, cy = (x0 + x1) / 2, (y0 + y1) / 2
    hx, hy = (x1 - x0) / 2 - r, (y1 - y0) / 2 - r
    qx, qy = abs(x - cx) - hx, abs(y - cy) - hy
    outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
    return outside + min(max(qx, qy), 0.0) - r


def sd_rect(x, y, box):
    return sd_round_rect(x, y, box, 0.0)


def convex_sd(pts):
    """Signed distance function of a convex polygon, points in either order."""
    n = len(pts)
    edges = []
    for i in range(n):
        (ax, ay), (bx, by) = pts[i], pts[(i + 1) % n]
        L = math.hypot(bx - ax, by - ay)
        edges.append((ax, ay, (bx - ax) / L, (by - ay) / L))

    def raw(x, y, sign):
        return max(sign * ((x - ax) * ey - (y - ay) * ex) for ax, ay, ex, ey in edges)

    # the centre must come out inside, whichever way the points run
    cx = sum(p[0] for p in pts) / n
    cy = sum(p[1] for p in pts) / n
    sign = -1.0 if raw(cx, cy, 1.0) > 0 else 1.0
    return lambda x, y: raw(x, y, sign)


def sd_ring(x, y, cx, cy, r, width):
    return abs(math.hypot(x - cx, y - cy) - r) - width / 2


def lerp(a, b, t):
    return tuple(int(round(a[i] + (b[i] - a[i]) * t)) for i in range(3))


class Shape:
    """A filled area with an optional centred stroke; colour may depend on y."""

    def __init__(self, sd, fill, stroke=None, width=0.0, bbox=(0, 0, 256, 256)):
        self.sd, self.fill, self.stroke, self.half = sd, fill, stroke, width / 2
        self.bbox = bbox

    def colour(self, x, y):
        b = self.bbox
        if not (b[0] - self.half - 1 <= x <= b[2] + self.half + 1
                and b[1] - self.half - 1 <= y <= b[3] + self.half + 1):
            return None
        d = self.sd(x, y)
        if self.stroke is not None:
            if d <= -self.half:
                return self.fill(y)
            if d <= self.half:
                return self.stroke
            return None
        return self.fill(y) if d <= 0 else None


def flat(h):
    c = hexrgb(h)
    return lambda y: c


def shapes():
    x0, y0, x1, y1, r = TILE
    tile = (x0, y0, x1, y1)
    top, bottom = hexrgb(SKY_TOP), hexrgb(SKY_BOTTOM)
    edge, rope_edge = hexrgb(WOOD_EDGE), hexrgb(ROPE_EDGE)
    hw = WOOD_STROKE / 2
    sky = lambda y: lerp(top, bottom, min(1.0, max(0.0, (y - y0) / (y1 - y0))))
    bx = [p[0] for p in BRACE]
    by = [p[1] for p in BRACE]
    # drawn bottom to top
    return [
        Shape(lambda x, y: sd_round_rect(x, y, tile, r), sky, bbox=tile),
        Shape(lambda x, y: max(sd_round_rect(x, y, tile, r), GROUND_Y - y), flat(GRASS),
              bbox=(x0, GROUND_Y, x1, y1)),
        Shape(lambda x, y: max(sd_round_rect(x, y, tile, r), GROUND_Y - y, y - GROUND_Y - 6),
              flat(GRASS_LIGHT), bbox=(x0, GROUND_Y, x1, GROUND_Y + 6)),
        Shape(convex_sd(BRACE), flat(WOOD), edge, WOOD_STROKE,
              (min(bx), min(by), max(bx), max(by))),
        Shape(lambda x, y: sd_rect(x, y, POST), flat(WOOD), edge, WOOD_STROKE, POST),
        Shape(lambda x, y: sd_rect(x, y, (POST[0] + hw, POST[1] + hw, POST[0] + hw + 6, POST[3] - hw)),
              flat(WOOD_LIGHT), bbox=POST),
        Shape(lambda x, y: sd_rect(x, y, BEAM), flat(WOOD), edge, WOOD_STROKE, BEAM),
        Shape(lambda x, y: sd_rect(x, y, (BEAM[0] + hw, BEAM[1] + hw, BEAM[2] - hw, BEAM[1] + hw + 6)),
              flat(WOOD_LIGHT), bbox=BEAM),
        Shape(lambda x, y: sd_rect(x, y, BASE), flat(WOOD), edge, WOOD_STROKE, BASE),
        Shape(lambda x, y: sd_rect(x, y, (BASE[0] + hw, BASE[1] + hw, BASE[2] - hw, BASE[1] + hw + 5)),
              flat(WOOD_LIGHT), bbox=BASE),
        Shape(lambda x, y: sd_rect(x, y, ROPE_RECT), flat(ROPE), rope_edge, ROPE_STROKE, ROPE_RECT),
        Shape(lambda x, y: sd_ring(x, y, LOOP[0], LOOP[1], LOOP[2], LOOP_WIDTH), flat(ROPE),
              rope_edge, ROPE_STROKE,
              (LOOP[0] - LOOP[2] - 8, LOOP[1] - LOOP[2] - 8, LOOP[0] + LOOP[2] + 8,
               LOOP[1] + LOOP[2] + 8)),
    ]


def render(size, layers, ss=4):
    """Supersampled render of `layers` (bottom to top) into RGBA bytes."""
    scale = 256.0 / size
    out = bytearray(size * size * 4)
    offs = [(i + 0.5) / ss for i in range(ss)]
    top_first = list(reversed(layers))
    n = ss * ss
    for py in range(size):
        for px in range(size):
            r = g = b = a = 0
            for oy in offs:
                y = (py + oy) * scale
                for ox in offs:
                    x = (px + ox) * scale
                    for s in top_first:
                        c = s.colour(x, y)
                        if c is not None:
                            r += c[0]
                            g += c[1]
                            b += c[2]
                            a += 1
                            break
            i = (py * size + px) * 4
            if a:
                out[i:i + 4] = bytes((round(r / a), round(g / a), round(b / a), round(255 * a / n)))
    return out


# ---------------------------------------------------------------------------
# Hand-placed pixels for 16 and 32
# ---------------------------------------------------------------------------

# '.' shows the tile underneath; 'g'/'G' are grass, which keeps the tile's
# alpha so the rounded corners stay smooth.
ICON16 = [
    "................",
    "................",
    "...LLLLLLLLLL...",
    "...WWWWWWWWWW...",
    "....LW...W.r....",
    "....LW..W..r....",
    "....LW.W..rrr...",
    "....LWW...r.r...",
    "....LW....rrr...",
    "....LW..........",
    "....LW..........",
    "....LW..........",
    "..LLLLLLLLLLLL..",
    "GGWWWWWWWWWWWWGG",
    "gggggggggggggggg",
    "gggggggggggggggg",
]

ICON32 = [
    "................................",
    "................................",
    "................................",
    "................................",
    "......EEEEEEEEEEEEEEEEEEE.......",
    "......ELLLLLLLLLLLLLLLLLE.......",
    "......EWWWWWWWWWWWWWWWWWE.......",
    "......EEEEEEEEEEEEEEEEEEE.......",
    ".......ELWWE....EWWE.RR.........",
    ".......ELWWE...EWWE..Rr.........",
    ".......ELWWE..EWWE...Rr.........",
    ".......ELWWE.EWWE....Rr.........",
    ".......ELWWEEWWE.....Rr.........",
    ".......ELWWEWWE.....RRrr........",
    ".......ELWWWWE.....RrEErR.......",
    ".......ELWWWE.....Rr....rR......",
    ".......ELWWE......Rr....rR......",
    ".......ELWWE......Rr....rR......",
    ".......ELWWE.......RrEErR.......",
    ".......ELWWE........RRrr........",
    ".......ELWWE....................",
    ".......ELWWE....................",
    ".......ELWWE....................",
    "....EEEEEEEEEEEEEEEEEEEEEEE.....",
    "....ELLLLLLLLLLLLLLLLLLLLLE.....",
    "....EWWWWWWWWWWWWWWWWWWWWWE.....",
    "GGGGEEEEEEEEEEEEEEEEEEEEEEEGGGGG",
    "gggggggggggggggggggggggggggggggg",
    "gggggggggggggggggggggggggggggggg",
    "gggggggggggggggggggggggggggggggg",
    "gggggggggggggggggggggggggggggggg",
    "gggggggggggggggggggggggggggggggg",
]

PIXEL_COLOURS = {
    "W": WOOD, "L": WOOD_LIGHT, "E": WOOD_EDGE, "R": ROPE, "r": "#c8a465",
    "g": GRASS, "G": GRASS_LIGHT,
}


def hinted(size, grid, tile_box, radius):
    """The tile with smooth corners, then the hand-placed pixels on top."""
    if len(grid) != size or any(len(row) != size for row in grid):
        raise ValueError("%d px grid is not %d x %d" % (size, size, size))
    top, bottom = hexrgb(SKY_TOP), hexrgb(SKY_BOTTOM)
    x0, y0, x1, y1 = tile_box
    scale = 256.0 / size
    # the tile on its own, in 256-unit space so the same renderer serves
    box = tuple(v * scale for v in tile_box)
    sky = lambda y: lerp(top, bottom, min(1.0, max(0.0, (y - box[1]) / (box[3] - box[1]))))
    tile = Shape(lambda x, y: sd_round_rect(x, y, box, radius * scale), sky, bbox=box)
    out = render(size, [tile])
    for j, row in enumerate(grid):
        for i, ch in enumerate(row):
            if ch == ".":
                continue
            k = (j * size + i) * 4
            rgb = hexrgb(PIXEL_COLOURS[ch])
            alpha = out[k + 3] if ch in "gG" else 255
            out[k:k + 4] = bytes(rgb + (alpha,))
    return out


# ---------------------------------------------------------------------------

def main(argv):
    base = repo_path("data", "icons", "hicolor")
    svg_path = "%s/scalable/apps/%s.svg" % (base, APP_ID)
    ensure_dir(svg_path)
    with open(svg_path, "w", encoding="utf-8", newline="\n") as f:
        f.write(svg())
    print(svg_path)
    layers = shapes()
    for size in SIZES:
        if size == 16:
            rgba = hinted(16, ICON16, (0, 0, 16, 16), 3)
        elif size == 32:
            rgba = hinted(32, ICON32, (1, 1, 31, 31), 5)
        else:
            rgba = render(size, layers)
        path = "%s/%dx%d/apps/%s.png" % (base, size, size, APP_ID)
        write_png(path, size, size, rgba)
        print(path)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
