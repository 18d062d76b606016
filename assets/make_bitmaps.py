#!/usr/bin/env python3
"""Draws the eight bitmaps of the Korvane window and writes them as 24-bit BMP files.

The .bmp files are committed beside this script so a build never needs Python; run it again
only to change a picture. Standard library only: shapes are rasterised with supersampling,
which is plenty for pictures this small.

    python3 make_bitmaps.py [--out DIR] [--preview DIR]

--preview also writes each picture as a PNG scaled up 4x, handy to check the drawing.
"""

import argparse
import math
import os
import struct
import zlib

CREAM = (255, 251, 240)  # the window's background: the pictures must blend into it
PANEL = (240, 240, 240)  # the light panel the indicator lights sit on
SUPERSAMPLE = 4  # subsamples per axis for edge coverage


class Canvas:
    """An RGB picture in floats, painted shape after shape with coverage-based blending."""

    def __init__(self, width, height, background):
        self.width = width
        self.height = height
        self.pixels = [[list(map(float, background)) for _ in range(width)]
                       for _ in range(height)]

    def fill(self, shape, paint, alpha=1.0):
        """Paints `shape` (a Shape) with `paint`: a colour or a function (x, y) -> colour,
        where a colour is (r, g, b) or (r, g, b, a) with a in 0..1."""
        x0, y0, x1, y1 = shape.bbox
        step = 1.0 / SUPERSAMPLE
        offsets = [(i + 0.5) * step for i in range(SUPERSAMPLE)]
        for py in range(max(0, math.floor(y0)), min(self.height, math.ceil(y1) + 1)):
            for px in range(max(0, math.floor(x0)), min(self.width, math.ceil(x1) + 1)):
                hits = sum(1 for dy in offsets for dx in offsets
                           if shape.contains(px + dx, py + dy))
                if hits == 0:
                    continue
                colour = paint(px + 0.5, py + 0.5) if callable(paint) else paint
                a = alpha * (colour[3] if len(colour) > 3 else 1.0)
                a *= hits / (SUPERSAMPLE * SUPERSAMPLE)
                target = self.pixels[py][px]
                for c in range(3):
                    target[c] += (colour[c] - target[c]) * a

    def rows(self):
        """The picture as rows of byte triples, top row first."""
        return [[tuple(max(0, min(255, round(v))) for v in pixel) for pixel in row]
                for row in self.pixels]


class Shape:
    def __init__(self, contains, bbox):
        self.contains = contains
        self.bbox = bbox


def rounded_rect(x0, y0, x1, y1, radius):
    def contains(x, y):
        if not (x0 <= x <= x1 and y0 <= y <= y1):
            return False
        dx = max(x0 + radius - x, 0.0, x - (x1 - radius))
        dy = max(y0 + radius - y, 0.0, y - (y1 - radius))
        return dx * dx + dy * dy <= radius * radius
    return Shape(contains, (x0, y0, x1, y1))


def ellipse(cx, cy, rx, ry):
    def contains(x, y):
        return ((x - cx) / rx) ** 2 + ((y - cy) / ry) ** 2 <= 1.0
    return Shape(contains, (cx - rx, cy - ry, cx + rx, cy + ry))


def circle(cx, cy, r):
    return ellipse(cx, cy, r, r)


def ring(cx, cy, outer, inner):
    def contains(x, y):
        d = (x - cx) ** 2 + (y - cy) ** 2
        return inner * inner <= d <= outer * outer
    return Shape(contains, (cx - outer, cy - outer, cx + outer, cy + outer))


def polygon(points):
    def contains(x, y):
        inside = False
        for (ax, ay), (bx, by) in zip(points, points[1:] + points[:1]):
            if (ay > y) != (by > y) and x < ax + (y - ay) * (bx - ax) / (by - ay):
                inside = not inside
        return inside
    xs = [p[0] for p in points]
    ys = [p[1] for p in points]
    return Shape(contains, (min(xs), min(ys), max(xs), max(ys)))


def capsule(ax, ay, bx, by, width):
    """A thick line with round ends."""
    half = width / 2.0
    length2 = (bx - ax) ** 2 + (by - ay) ** 2

    def contains(x, y):
        t = ((x - ax) * (bx - ax) + (y - ay) * (by - ay)) / length2 if length2 else 0.0
        t = max(0.0, min(1.0, t))
        qx, qy = ax + t * (bx - ax), ay + t * (by - ay)
        return (x - qx) ** 2 + (y - qy) ** 2 <= half * half
    return Shape(contains, (min(ax, bx) - half, min(ay, by) - half,
                            max(ax, bx) + half, max(ay, by) + half))


def mix(a, b, t):
    t = max(0.0, min(1.0, t))
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def vertical_gradient(top, bottom, y0, y1):
    return lambda x, y: mix(top, bottom, (y - y0) / (y1 - y0))


def radial_glow(cx, cy, radius, colour, strength):
    """The colour fading out from the centre: a light's halo."""
    def paint(x, y):
        d = math.hypot(x - cx, y - cy) / radius
        return colour + (strength * max(0.0, 1.0 - d) ** 2,)
    return paint


# --- The screen: a monitor on a stand -------------------------------------------------------

SCREEN_HEIGHT = 56


def draw_screen(width, lit):
    canvas = Canvas(width, SCREEN_HEIGHT, CREAM)
    left = (width - 61) / 2.0  # the monitor is 61 px wide whatever the picture width
    right = left + 61
    mid = width / 2.0

    # Stand first, so the bezel covers the top of the neck.
    canvas.fill(ellipse(mid, 53.0, 6.0, 1.6), (0, 0, 0, 0.18))  # shadow
    canvas.fill(polygon([(mid - 4.5, 40.0), (mid + 4.5, 40.0), (mid + 6.0, 49.5),
                         (mid - 6.0, 49.5)]),
                vertical_gradient((70, 74, 82), (110, 116, 126), 40.0, 49.5))
    canvas.fill(rounded_rect(mid - 15.0, 48.5, mid + 15.0, 53.5, 2.5),
                vertical_gradient((150, 156, 166), (78, 82, 90), 48.5, 53.5))

    # Bezel: a dark outline, then the casing with a soft vertical shading.
    canvas.fill(rounded_rect(left, 1.0, right, 43.0, 4.0), (46, 50, 58))
    canvas.fill(rounded_rect(left + 1.0, 2.0, right - 1.0, 42.0, 3.2),
                vertical_gradient((122, 128, 140), (84, 90, 100), 2.0, 42.0))

    # The glass, set in a thin dark edge.
    gx0, gy0, gx1, gy1 = left + 4.0, 5.0, right - 4.0, 36.0
    canvas.fill(rounded_rect(gx0 - 1.0, gy0 - 1.0, gx1 + 1.0, gy1 + 1.0, 1.5), (30, 33, 40))
    if lit:
        canvas.fill(rounded_rect(gx0, gy0, gx1, gy1, 1.0),
                    vertical_gradient((120, 225, 255), (20, 120, 215), gy0, gy1))
        # A soft bright centre, as a lit backlight shows.
        canvas.fill(ellipse((gx0 + gx1) / 2, (gy0 + gy1) / 2, 22.0, 13.0),
                    radial_glow((gx0 + gx1) / 2, (gy0 + gy1) / 2, 22.0, (210, 250, 255), 0.55))
        glare_alpha = 0.35
    else:
        canvas.fill(rounded_rect(gx0, gy0, gx1, gy1, 1.0),
                    vertical_gradient((72, 76, 84), (40, 43, 50), gy0, gy1))
        glare_alpha = 0.12
    # A diagonal glare across the upper left of the glass.
    glare = polygon([(gx0, gy0), (gx0 + 26.0, gy0), (gx0 + 10.0, gy1), (gx0, gy1)])
    canvas.fill(glare, (255, 255, 255, glare_alpha))

    # Power light on the bottom of the bezel.
    power = (70, 230, 90) if lit else (60, 64, 70)
    if lit:
        canvas.fill(circle(right - 7.0, 39.5, 3.0), radial_glow(right - 7.0, 39.5, 3.0,
                                                                (120, 255, 140), 0.6))
    canvas.fill(circle(right - 7.0, 39.5, 1.4), power)
    return canvas


# --- The internet box: a flat box with two antennas and a row of front lights ---------------

BOX_HEIGHT = 44
BOX_LIGHTS = 5


def draw_box(width, lit):
    canvas = Canvas(width, BOX_HEIGHT, CREAM)
    left = (width - 59) / 2.0  # the box is 59 px wide whatever the picture width
    right = left + 59
    top, face_top, bottom = 20.0, 26.0, 40.0

    canvas.fill(ellipse(width / 2.0, 41.5, 29.0, 2.0), (0, 0, 0, 0.16))  # shadow

    # Antennas behind the box: a dark rod, a lighter stripe, a round tip.
    for base_x, tip_x in ((left + 9.0, left + 6.0), (right - 9.0, right - 6.0)):
        canvas.fill(capsule(base_x, top + 2.0, tip_x, 3.0, 3.4), (44, 48, 56))
        canvas.fill(capsule(base_x - 0.5, top + 1.0, tip_x - 0.5, 3.5, 1.0), (110, 116, 128))
        canvas.fill(circle(tip_x, 3.0, 2.2), (44, 48, 56))

    # Top face in perspective, then the front face with its shading.
    canvas.fill(polygon([(left + 4.0, top), (right - 4.0, top), (right, face_top + 0.5),
                         (left, face_top + 0.5)]),
                vertical_gradient((170, 178, 192), (130, 138, 152), top, face_top))
    canvas.fill(rounded_rect(left, face_top, right, bottom, 2.0), (40, 44, 52))
    canvas.fill(rounded_rect(left + 1.0, face_top + 0.5, right - 1.0, bottom - 1.0, 1.5),
                vertical_gradient((96, 104, 118), (62, 68, 80), face_top, bottom))
    # The edge where the two faces meet catches the light.
    canvas.fill(polygon([(left + 1.0, face_top), (right - 1.0, face_top),
                         (right - 1.0, face_top + 1.0), (left + 1.0, face_top + 1.0)]),
                (190, 198, 212, 0.8))

    # The front lights: a recessed strip, then the lights themselves.
    strip_y = 33.0
    canvas.fill(rounded_rect(left + 8.0, strip_y - 3.0, right - 8.0, strip_y + 3.0, 3.0),
                (34, 38, 46))
    span = (right - 8.0 - 5.0) - (left + 8.0 + 5.0)
    for i in range(BOX_LIGHTS):
        x = left + 13.0 + span * i / (BOX_LIGHTS - 1)
        if lit:
            canvas.fill(circle(x, strip_y, 4.0),
                        radial_glow(x, strip_y, 4.0, (110, 255, 120), 0.55))
            canvas.fill(circle(x, strip_y, 1.9), (60, 220, 80))
            canvas.fill(circle(x - 0.5, strip_y - 0.6, 0.8), (210, 255, 210))
        else:
            canvas.fill(circle(x, strip_y, 1.9), (88, 94, 104))
            canvas.fill(circle(x - 0.5, strip_y - 0.6, 0.7), (130, 136, 146))
    return canvas


# --- The indicator lights -------------------------------------------------------------------

LED_SIZE = 20
LED_COLOURS = {
    "rouge": (225, 40, 35),
    "vert": (45, 190, 60),
    "orange": (245, 145, 20),
    "gris": (150, 152, 156),
}


def draw_led(base):
    canvas = Canvas(LED_SIZE, LED_SIZE, PANEL)
    c = LED_SIZE / 2.0
    dark = mix(base, (0, 0, 0), 0.55)
    light = mix(base, (255, 255, 255), 0.45)

    canvas.fill(circle(c + 0.4, c + 0.6, 8.8), (0, 0, 0, 0.15))  # a faint drop shadow
    canvas.fill(circle(c, c, 8.5), dark)  # the rim

    # The body: lighter towards the upper left, as if lit from there.
    def body(x, y):
        d = math.hypot(x - (c - 2.5), y - (c - 2.5)) / 10.0
        return mix(light, mix(base, dark, 0.25), d)
    canvas.fill(circle(c, c, 7.3), body)
    canvas.fill(ellipse(c - 2.3, c - 3.0, 3.2, 2.1), (255, 255, 255, 0.75))  # highlight
    canvas.fill(ring(c, c, 7.3, 6.3), (255, 255, 255, 0.08))  # a soft inner edge
    return canvas


# --- Writers ----------------------------------------------------------------------------------

def bmp_bytes(canvas):
    """A Windows BMP: BITMAPFILEHEADER + BITMAPINFOHEADER, 24 bits, rows bottom-up in BGR,
    each padded to a multiple of 4 bytes."""
    row_size = (canvas.width * 3 + 3) & ~3
    image_size = row_size * canvas.height
    data = bytearray()
    for row in reversed(canvas.rows()):
        for r, g, b in row:
            data += bytes((b, g, r))
        data += bytes(row_size - canvas.width * 3)
    offset = 14 + 40
    file_header = struct.pack("<2sIHHI", b"BM", offset + image_size, 0, 0, offset)
    info_header = struct.pack("<IiiHHIIiiII", 40, canvas.width, canvas.height, 1, 24, 0,
                              image_size, 2835, 2835, 0, 0)
    return file_header + info_header + bytes(data)


def png_bytes(canvas, scale):
    def chunk(kind, payload):
        return (struct.pack(">I", len(payload)) + kind + payload
                + struct.pack(">I", zlib.crc32(kind + payload) & 0xFFFFFFFF))
    raw = bytearray()
    for row in canvas.rows():
        line = bytearray()
        for pixel in row:
            line += bytes(pixel) * scale
        raw += (b"\0" + bytes(line)) * scale
    header = struct.pack(">IIBBBBB", canvas.width * scale, canvas.height * scale, 8, 2, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
            + chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


def pictures():
    yield "ecran-on", draw_screen(67, lit=True)
    yield "ecran-off", draw_screen(69, lit=False)
    yield "neufbox_on", draw_box(67, lit=True)
    yield "neufbox_off", draw_box(69, lit=False)
    for name, colour in LED_COLOURS.items():
        yield "led-" + name, draw_led(colour)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out", default=here, help="folder for the .bmp files")
    parser.add_argument("--preview", metavar="DIR", help="also write 4x PNG previews there")
    args = parser.parse_args()
    if args.preview:
        os.makedirs(args.preview, exist_ok=True)
    for name, canvas in pictures():
        with open(os.path.join(args.out, name + ".bmp"), "wb") as out:
            out.write(bmp_bytes(canvas))
        if args.preview:
            with open(os.path.join(args.preview, name + ".png"), "wb") as out:
                out.write(png_bytes(canvas, 4))
        print(f"{name}.bmp {canvas.width}x{canvas.height}")


if __name__ == "__main__":
    main()
