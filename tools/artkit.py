"""Small pixel-art kit shared by the art generators in this folder.

Standard library only, so every generator runs under any Python 3 without
extra modules and gives the same bytes on every run:

* Canvas      - an indexed-colour picture with crisp (never anti-aliased)
                drawing primitives: rectangles, lines with a square brush,
                discs, ellipses, polygons, layers and outlines.
* write_gif   - a GIF89a writer with our own LZW encoder, a global colour
                table of a size we choose and an optional transparent index.
* read_gif    - a small GIF parser and LZW decoder, used to check what the
                writer produced.
* write_png   - an RGBA PNG writer (zlib + crc32).
"""

import os
import struct
import zlib

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def repo_path(*parts):
    return os.path.join(REPO, *parts)


def ensure_dir(path):
    os.makedirs(os.path.dirname(path), exist_ok=True)


# ---------------------------------------------------------------------------
# Indexed canvas
# ---------------------------------------------------------------------------

class Canvas:
    def __init__(self, width, height, fill=0):
        self.w = width
        self.h = height
        self.px = bytearray([fill]) * (width * height)

    def get(self, x, y):
        return self.px[y * self.w + x]

    def put(self, x, y, c):
        if 0 <= x < self.w and 0 <= y < self.h:
            self.px[y * self.w + x] = c

    def rect(self, x0, y0, x1, y1, c):
        """Fill the inclusive rectangle x0..x1, y0..y1."""
        x0, x1 = max(0, min(x0, x1)), min(self.w - 1, max(x0, x1))
        y0, y1 = max(0, min(y0, y1)), min(self.h - 1, max(y0, y1))
        for y in range(y0, y1 + 1):
            row = y * self.w
            self.px[row + x0:row + x1 + 1] = bytes([c]) * (x1 - x0 + 1)

    def frame(self, x0, y0, x1, y1, c):
        """Outline of the inclusive rectangle."""
        self.rect(x0, y0, x1, y0, c)
        self.rect(x0, y1, x1, y1, c)
        self.rect(x0, y0, x0, y1, c)
        self.rect(x1, y0, x1, y1, c)

    def line(self, x0, y0, x1, y1, c, brush=1):
        """Bresenham line; brush > 1 stamps a square brush at every step."""
        dx, dy = abs(x1 - x0), -abs(y1 - y0)
        sx = 1 if x0 < x1 else -1
        sy = 1 if y0 < y1 else -1
        err = dx + dy
        lo = -(brush // 2)
        hi = lo + brush - 1
        while True:
            if brush == 1:
                self.put(x0, y0, c)
            else:
                self.rect(x0 + lo, y0 + lo, x0 + hi, y0 + hi, c)
            if x0 == x1 and y0 == y1:
                break
            e2 = 2 * err
            if e2 >= dy:
                err += dy
                x0 += sx
            if e2 <= dx:
                err += dx
                y0 += sy

    def disc(self, cx, cy, r, c):
        """Filled circle with its centre on a pixel."""
        rr = r * r + r  # the +r rounds the rim so small discs look round
        for y in range(-r, r + 1):
            for x in range(-r, r + 1):
                if x * x + y * y <= rr:
                    self.put(cx + x, cy + y, c)

    def ellipse(self, cx, cy, rx, ry, c):
        for y in range(-ry, ry + 1):
            for x in range(-rx, rx + 1):
                if (x * x) * (ry * ry) + (y * y) * (rx * rx) <= (rx * rx) * (ry * ry) + rx * ry:
                    self.put(cx + x, cy + y, c)

    def polygon(self, pts, c):
        """Even-odd scanline fill, sampling pixel centres."""
        ys = [p[1] for p in pts]
        for y in range(max(0, int(min(ys))), min(self.h, int(max(ys)) + 1)):
            yc = y + 0.5
            xs = []
            n = len(pts)
            for i in range(n):
                (ax, ay), (bx, by) = pts[i], pts[(i + 1) % n]
                if (ay <= yc < by) or (by <= yc < ay):
                    xs.append(ax + (yc - ay) * (bx - ax) / (by - ay))
            xs.sort()
            for i in range(0, len(xs) - 1, 2):
                xa = int(xs[i] + 0.5)
                xb = int(xs[i + 1] + 0.5) - 1
                if xb >= xa:
                    self.rect(xa, y, xb, y, c)

    def stamp(self, layer, clear=255):
        """Copy every pixel of `layer` (same size) that is not `clear`."""
        for i, c in enumerate(layer.px):
            if c != clear:
                self.px[i] = c

    def outline(self, inside, c, region=None):
        """Draw colour c on every pixel not in `inside` that touches (4-way)
        a pixel whose colour is in `inside`."""
        x0, y0, x1, y1 = region or (0, 0, self.w - 1, self.h - 1)
        src = bytes(self.px)
        w = self.w
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                if src[y * w + x] in inside:
                    continue
                for nx, ny in ((x - 1, y), (x + 1, y), (x, y - 1), (x, y + 1)):
                    if 0 <= nx < self.w and 0 <= ny < self.h and src[ny * w + nx] in inside:
                        self.px[y * w + x] = c
                        break


# ---------------------------------------------------------------------------
# GIF
# ---------------------------------------------------------------------------

def lzw_encode(pixels, min_code_size):
    """GIF flavour of LZW: variable-width codes, LSB-first bit packing."""
    clear = 1 << min_code_size
    eoi = clear + 1
    out = bytearray()
    acc = 0
    nbits = 0

    def emit(code, width):
        nonlocal acc, nbits
        acc |= code << nbits
        nbits += width
        while nbits >= 8:
            out.append(acc & 0xFF)
            acc >>= 8
            nbits -= 8

    def reset():
        return {bytes([i]): i for i in range(clear)}, min_code_size + 1, eoi + 1

    table, width, next_code = reset()
    emit(clear, width)
    if not pixels:
        emit(eoi, width)
    else:
        fresh = True  # the next code is the first one after a clear code
        w = bytes([pixels[0]])
        for p in pixels[1:]:
            wc = w + bytes([p])
            if wc in table:
                w = wc
                continue
            emit(table[w], width)
            fresh = False
            if next_code < 4095:
                table[wc] = next_code
                next_code += 1
                # The decoder learns each new code one step later than we do,
                # so widen only once the code just added no longer fits.
                if next_code > (1 << width) and width < 12:
                    width += 1
            else:
                emit(clear, width)
                table, width, next_code = reset()
                fresh = True
            w = bytes([p])
        emit(table[w], width)
        # On reading that last code the decoder adds one more entry (unless
        # it was the first code after a clear) and may widen before it reads
        # the end code, so the end code must follow it there.
        if not fresh and next_code + 1 > (1 << width) and width < 12:
            width += 1
        emit(eoi, width)
    if nbits:
        out.append(acc & 0xFF)
    return bytes(out)


def lzw_decode(data, min_code_size, count):
    clear = 1 << min_code_size
    eoi = clear + 1
    width = min_code_size + 1
    table = [bytes([i]) for i in range(clear)] + [b"", b""]
    prev = None
    out = bytearray()
    acc = 0
    nbits = 0
    pos = 0
    while True:
        while nbits < width:
            if pos >= len(data):
                raise ValueError("LZW data ended without an end code")
            acc |= data[pos] << nbits
            pos += 1
            nbits += 8
        code = acc & ((1 << width) - 1)
        acc >>= width
        nbits -= width
        if code == clear:
            width = min_code_size + 1
            table = table[:eoi + 1]
            prev = None
            continue
        if code == eoi:
            break
        if code < len(table):
            entry = table[code]
            if prev is not None and len(table) < 4096:
                table.append(prev + entry[:1])
        elif code == len(table) and prev is not None and len(table) < 4096:
            entry = prev + prev[:1]
            table.append(entry)
        else:
            raise ValueError("bad LZW code %d" % code)
        out += entry
        prev = entry
        if len(table) == (1 << width) and width < 12:
            width += 1
    if len(out) != count:
        raise ValueError("decoded %d pixels, expected %d" % (len(out), count))
    return bytes(out)


def write_gif(path, width, height, palette, pixels, transparent=None, table_entries=None,
              background=None):
    """Write a one-frame GIF89a with a global colour table.

    palette: list of (r, g, b); it is padded with black up to table_entries
    (default: the next power of two >= len(palette), at least 2).
    transparent: colour index to mark transparent in a Graphic Control
    Extension, or None for no extension.
    background: the logical screen's background index (default: the
    transparent index, else 0).
    """
    n = table_entries or max(2, 1 << (len(palette) - 1).bit_length())
    size_field = n.bit_length() - 2
    if n != 1 << (size_field + 1) or not 0 <= size_field <= 7:
        raise ValueError("colour table must hold 2..256 entries, a power of two")
    if len(palette) > n:
        raise ValueError("palette has more colours than the table holds")
    if len(pixels) != width * height:
        raise ValueError("pixel count does not match the size")
    if max(pixels) >= n:
        raise ValueError("pixel index outside the colour table")
    pal = list(palette) + [(0, 0, 0)] * (n - len(palette))

    b = bytearray(b"GIF89a")
    if background is None:
        background = transparent if transparent is not None else 0
    b += struct.pack("<HHBBB", width, height, 0x80 | 0x70 | size_field, background, 0)
    for r, g, bl in pal:
        b += bytes((r, g, bl))
    if transparent is not None:
        b += struct.pack("<BBBBHBB", 0x21, 0xF9, 4, 0x01, 0, transparent, 0)
    b += struct.pack("<BHHHHB", 0x2C, 0, 0, width, height, 0)
    min_code = max(2, size_field + 1)
    b.append(min_code)
    data = lzw_encode(bytes(pixels), min_code)
    for i in range(0, len(data), 255):
        chunk = data[i:i + 255]
        b.append(len(chunk))
        b += chunk
    b.append(0)
    b.append(0x3B)
    ensure_dir(path)
    with open(path, "wb") as f:
        f.write(bytes(b))
    return bytes(b)


def read_gif(data):
    """Parse a GIF and decode its frames. Returns a dict describing it."""
    info = {"version": data[:6].decode("ascii", "replace")}
    w, h, flags, bg, aspect = struct.unpack("<HHBBB", data[6:13])
    info.update(width=w, height=h, gct_flag=bool(flags & 0x80),
                gct_size_field=flags & 7, gct_entries=(2 << (flags & 7)) if flags & 0x80 else 0,
                background=bg)
    pos = 13
    info["palette"] = [tuple(data[pos + 3 * i:pos + 3 * i + 3]) for i in range(info["gct_entries"])]
    pos += 3 * info["gct_entries"]
    info["gce"] = []
    info["images"] = []
    while True:
        tag = data[pos]
        pos += 1
        if tag == 0x3B:
            break
        if tag == 0x21:
            label = data[pos]
            pos += 1
            blocks = bytearray()
            first = None
            while data[pos]:
                chunk = data[pos + 1:pos + 1 + data[pos]]
                if first is None:
                    first = chunk
                blocks += chunk
                pos += 1 + data[pos]
            pos += 1
            if label == 0xF9:
                packed, delay, tidx = struct.unpack("<BHB", first[:4])
                info["gce"].append({"transparent_flag": bool(packed & 1),
                                    "transparent_index": tidx, "delay": delay,
                                    "disposal": (packed >> 2) & 7})
            continue
        if tag != 0x2C:
            raise ValueError("unexpected block 0x%02X at %d" % (tag, pos - 1))
        x, y, iw, ih, iflags = struct.unpack("<HHHHB", data[pos:pos + 9])
        pos += 9
        if iflags & 0x80:
            pos += 3 * (2 << (iflags & 7))
        min_code = data[pos]
        pos += 1
        lzw = bytearray()
        while data[pos]:
            lzw += data[pos + 1:pos + 1 + data[pos]]
            pos += 1 + data[pos]
        pos += 1
        info["images"].append({"left": x, "top": y, "width": iw, "height": ih,
                               "local_table": bool(iflags & 0x80),
                               "interlaced": bool(iflags & 0x40),
                               "pixels": lzw_decode(bytes(lzw), min_code, iw * ih)})
    info["trailing_bytes"] = len(data) - pos
    return info


# ---------------------------------------------------------------------------
# PNG
# ---------------------------------------------------------------------------

def write_png(path, width, height, rgba):
    """rgba: bytes/bytearray of width*height*4."""
    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body
                + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))

    raw = bytearray()
    stride = width * 4
    for y in range(height):
        raw.append(0)
        raw += rgba[y * stride:(y + 1) * stride]
    png = (b"\x89PNG\r\n\x1a\n"
           + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
           + chunk(b"IDAT", zlib.compress(bytes(raw), 9))
           + chunk(b"IEND", b""))
    ensure_dir(path)
    with open(path, "wb") as f:
        f.write(png)
    return png
