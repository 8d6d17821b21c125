#!/usr/bin/env python3
"""Draws the little figure for the About window: ui/resources/about_figure.gif.

A wounded man in torn, light clothes with a red wound on his chest, blue
trousers and bare feet, shambling to the right with his arms held out.

The file has to be exact, so we write the GIF ourselves instead of trusting
an image library to keep the palette as it is: GIF89a, 40 x 81, one frame,
a global colour table of 32 entries, index 23 transparent (Graphic Control
Extension) and used for everything around the figure. After writing, the
file is parsed back and checked; the script exits 1 if anything is off.
Run from anywhere: python3 tools/make_about_figure.py
"""

import sys

from artkit import Canvas, read_gif, repo_path, write_gif

W, H = 40, 81
ENTRIES = 32
BG = 23

PALETTE = [(0, 0, 0)] * ENTRIES
NAMES = {}


def colour(index, name, rgb):
    PALETTE[index] = rgb
    NAMES[name] = index


colour(0, "ink", (36, 26, 26))
colour(1, "skin", (222, 190, 158))
colour(2, "skin_shade", (186, 146, 116))
colour(3, "skin_dark", (138, 100, 80))
colour(4, "hair", (66, 48, 36))
colour(5, "hair_light", (102, 76, 54))
colour(6, "cloth", (234, 228, 210))
colour(7, "cloth_shade", (198, 190, 168))
colour(8, "cloth_dark", (150, 142, 122))
colour(9, "wound", (204, 30, 30))
colour(10, "wound_dark", (128, 14, 18))
colour(11, "jeans", (66, 100, 176))
colour(12, "jeans_shade", (46, 72, 134))
colour(13, "jeans_dark", (30, 48, 96))
colour(14, "jeans_light", (100, 136, 206))
colour(15, "eye", (246, 242, 236))
colour(16, "bruise", (150, 118, 132))
colour(17, "mouth", (84, 26, 28))
colour(18, "nail", (236, 214, 196))
for i in range(19, ENTRIES):          # spare entries: a quiet grey ramp
    if i != BG:
        g = 40 + (i - 19) * 16
        PALETTE[i] = (g, g, g)
colour(BG, "clear", (236, 236, 236))  # a window-grey, in case a viewer ignores transparency

C = NAMES
CLOTH = {C["cloth"], C["cloth_shade"], C["cloth_dark"]}
FIGURE = set(range(ENTRIES)) - {BG, C["ink"]}


def leg(c, pts, width, fill, shade):
    """A trouser leg along a polyline, shaded on its left (back) edge."""
    for (x0, y0), (x1, y1) in zip(pts, pts[1:]):
        c.line(x0, y0, x1, y1, fill, width)
    for (x0, y0), (x1, y1) in zip(pts, pts[1:]):
        c.line(x0 - width // 2, y0, x1 - width // 2, y1, shade)


def draw():
    c = Canvas(W, H, BG)

    # --- the far arm, behind the body: reaching forward, a shade darker
    c.line(22, 19, 28, 19, C["cloth_shade"], 3)          # sleeve
    c.line(29, 19, 32, 19, C["skin_shade"], 2)            # bare forearm
    c.rect(33, 18, 36, 19, C["skin_shade"])               # limp hand
    c.rect(34, 20, 36, 20, C["skin_dark"])                # drooping fingers

    # --- the back leg, striding behind, the foot pushing off on its toes
    leg(c, [(14, 42), (10, 57), (7, 70)], 5, C["jeans_shade"], C["jeans_dark"])
    c.rect(4, 69, 9, 71, C["jeans_shade"])                # frayed hem
    c.put(4, 72, C["jeans_shade"])
    c.put(7, 72, C["jeans_shade"])
    c.rect(5, 72, 6, 74, C["skin_shade"])                 # bare ankle
    c.rect(4, 74, 8, 76, C["skin_shade"])                 # foot, heel raised
    c.rect(7, 77, 10, 78, C["skin_shade"])                # toes on the ground
    c.put(9, 77, C["skin_dark"])

    # --- the front leg, knee bent, bare foot flat on the ground
    leg(c, [(19, 42), (23, 56), (22, 70)], 5, C["jeans"], C["jeans_shade"])
    c.rect(24, 50, 24, 56, C["jeans_light"])              # light on the knee
    c.rect(19, 69, 25, 71, C["jeans"])                    # frayed hem
    c.put(20, 72, C["jeans"])
    c.put(23, 72, C["jeans"])
    c.put(25, 72, C["jeans"])
    c.rect(21, 72, 22, 75, C["skin"])                     # ankle
    c.put(23, 73, C["skin"])
    c.rect(20, 76, 29, 78, C["skin"])                     # foot
    c.rect(20, 78, 29, 78, C["skin_shade"])
    c.put(23, 74, C["skin_shade"])
    c.rect(23, 75, 24, 75, C["skin"])
    c.put(27, 76, C["skin_shade"])                        # toe gaps
    c.put(29, 76, C["skin_shade"])

    # --- hips and the torso, leaning forward
    c.rect(11, 38, 22, 45, C["jeans"])
    c.rect(11, 38, 12, 45, C["jeans_shade"])
    c.polygon([(13, 17), (22, 17), (25, 20), (24, 30), (23, 41), (11, 41), (11, 22)],
              C["cloth"])
    c.rect(11, 22, 12, 40, C["cloth_shade"])              # the side away from us
    # the torn hem: ragged points hanging over the trousers
    for x, y in ((12, 41), (13, 42), (17, 41), (17, 42), (21, 41), (22, 42)):
        c.put(x, y, C["cloth"] if x > 12 else C["cloth_shade"])
    for x in (15, 19):
        c.put(x, 40, C["jeans"])
    # rips in the shirt showing skin
    c.rect(13, 33, 14, 35, C["skin"])
    c.put(15, 34, C["skin_shade"])
    c.rect(22, 35, 23, 36, C["skin"])
    # creases
    c.line(14, 24, 16, 29, C["cloth_shade"])
    c.line(19, 37, 21, 40, C["cloth_shade"])

    # the wound: a torn red patch on the chest, with a run of blood below
    c.rect(18, 28, 21, 31, C["wound"])
    c.put(17, 29, C["wound"])
    c.put(22, 30, C["wound"])
    c.put(19, 27, C["wound"])
    c.put(21, 27, C["wound"])
    c.rect(19, 29, 20, 30, C["wound_dark"])
    c.rect(19, 32, 19, 35, C["wound"])
    c.put(20, 32, C["wound"])
    c.put(19, 36, C["wound_dark"])
    c.put(17, 32, C["wound_dark"])

    # --- neck and head, pushed forward and hanging a little
    c.rect(18, 14, 22, 17, C["skin_shade"])
    c.ellipse(21, 9, 5, 6, C["skin"])
    c.rect(27, 9, 27, 10, C["skin"])                      # nose
    c.put(27, 10, C["skin_shade"])
    for y in range(2, 16):                                # hair: top and back
        for x in range(15, 28):
            if c.get(x, y) == C["skin"] and (y <= 5 or (x <= 18 and y <= 11) or (x <= 20 and y <= 6)):
                c.put(x, y, C["hair"])
    c.put(18, 4, C["hair_light"])
    c.put(16, 7, C["hair_light"])
    c.put(21, 3, C["hair_light"])
    c.put(15, 12, C["hair"])                              # unkempt tuft at the nape
    c.put(22, 6, C["hair"])                               # a lock over the brow
    c.put(24, 5, C["hair"])
    c.rect(23, 8, 25, 8, C["eye"])                        # staring eye
    c.put(25, 8, C["ink"])
    c.rect(23, 7, 25, 7, C["skin_shade"])                 # heavy brow
    c.rect(23, 12, 26, 13, C["mouth"])                    # slack open mouth
    c.put(26, 12, C["skin"])
    c.rect(23, 14, 25, 14, C["skin_shade"])               # dropped jaw
    c.put(19, 9, C["skin_shade"])                         # ear
    c.put(19, 10, C["skin_dark"])
    c.rect(21, 10, 22, 10, C["bruise"])                   # bruised cheek
    c.put(21, 11, C["bruise"])
    c.rect(17, 13, 19, 14, C["skin_shade"])               # jaw shadow

    # --- the near arm, in front: sleeve torn at the elbow, hand hanging limp
    c.line(19, 23, 27, 24, C["cloth"], 3)
    c.line(18, 25, 26, 26, C["cloth_shade"], 1)           # underside of the sleeve
    c.put(28, 23, C["cloth"])                             # ragged cuff
    c.put(28, 25, C["cloth"])
    c.line(29, 24, 32, 25, C["skin"], 2)                  # forearm
    c.rect(33, 24, 36, 26, C["skin"])                     # hand
    c.rect(34, 27, 37, 28, C["skin_shade"])               # fingers dangling down
    c.put(37, 26, C["skin"])
    c.put(35, 28, BG)

    c.outline(FIGURE, C["ink"])
    return c


def check(data, pixels):
    """Parse the written file and list everything that is not as intended."""
    info = read_gif(data)
    bad = []
    if info["version"] != "GIF89a":
        bad.append("version %r" % info["version"])
    if (info["width"], info["height"]) != (W, H):
        bad.append("size %dx%d" % (info["width"], info["height"]))
    if not info["gct_flag"] or info["gct_size_field"] != 4 or info["gct_entries"] != ENTRIES:
        bad.append("global colour table: flag %s, size field %d"
                   % (info["gct_flag"], info["gct_size_field"]))
    if info["palette"] != PALETTE:
        bad.append("colour table differs from ours")
    if len(info["gce"]) != 1 or not info["gce"][0]["transparent_flag"] \
            or info["gce"][0]["transparent_index"] != BG:
        bad.append("graphic control extension: %r" % info["gce"])
    if len(info["images"]) != 1:
        bad.append("%d image descriptors" % len(info["images"]))
    else:
        img = info["images"][0]
        if img["local_table"] or img["interlaced"] or (img["left"], img["top"]) != (0, 0) \
                or (img["width"], img["height"]) != (W, H):
            bad.append("image descriptor: %r" % {k: v for k, v in img.items() if k != "pixels"})
        px = img["pixels"]
        if px != bytes(pixels):
            bad.append("pixels do not survive the round trip")
        border = [px[i] for i in range(W)] + [px[(H - 1) * W + i] for i in range(W)] \
            + [px[j * W] for j in range(H)] + [px[j * W + W - 1] for j in range(H)]
        if any(p != BG for p in border):
            bad.append("figure touches the edge: the background must surround it")
        if px.count(BG) in (0, len(px)):
            bad.append("no figure or no background")
    if info["trailing_bytes"]:
        bad.append("%d bytes after the trailer" % info["trailing_bytes"])
    return bad, info


def main(argv):
    c = draw()
    path = repo_path("ui", "resources", "about_figure.gif")
    data = write_gif(path, W, H, PALETTE, c.px, transparent=BG, table_entries=ENTRIES)
    bad, info = check(data, c.px)
    print(path)
    print("%s %dx%d, global table %d entries (size field %d), transparent index %s, "
          "%d image(s), %d bytes"
          % (info["version"], info["width"], info["height"], info["gct_entries"],
             info["gct_size_field"], [g["transparent_index"] for g in info["gce"]],
             len(info["images"]), len(data)))
    for b in bad:
        print("problem:", b, file=sys.stderr)
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
