"""The weather motifs that the condition pictures and the program icon are built from.

Each function draws one motif onto a canvas at a given place and size. Outlines are a shade
darker than the fill so that pale motifs (clouds, moon, snow) still read on a white row.
"""

import math

from raster import arc, capsule, circle, grow, linear, polygon, radial, rect, rotated, union

SUN_CORE = (255, 244, 140)
SUN_EDGE = (255, 176, 28)
SUN_LINE = (222, 122, 0)
SUN_RAY = (255, 178, 30)
HOT_CORE = (255, 214, 90)
HOT_EDGE = (245, 96, 20)
HOT_LINE = (196, 52, 0)
HOT_RAY = (240, 90, 24)

MOON_LIGHT = (255, 250, 206)
MOON_DARK = (244, 216, 104)
MOON_LINE = (176, 146, 48)
STAR = (246, 196, 40)

CLOUDS = {
    # top colour, bottom colour, outline
    "white": ((255, 255, 255), (214, 222, 234), (122, 134, 152)),
    "grey": ((232, 235, 240), (170, 178, 190), (96, 104, 118)),
    "dark": ((156, 162, 174), (92, 98, 112), (54, 58, 68)),
}

RAIN = (30, 120, 232)
RAIN_DARK = (16, 78, 186)
ICE_FILL = (184, 226, 252)
ICE_LINE = (46, 128, 204)
SNOW = (62, 140, 226)
HAIL_FILL = (250, 252, 255)
HAIL_LINE = (110, 130, 160)
BOLT_FILL = (255, 222, 40)
BOLT_LINE = (206, 124, 0)
WIND = (96, 140, 186)


# ---------------------------------------------------------------- sun and moon

def sun(cv, cx, cy, r, rays=8, ray_len=None, hot=False, line=1.0):
    core, edge, outline, ray = ((HOT_CORE, HOT_EDGE, HOT_LINE, HOT_RAY) if hot
                                else (SUN_CORE, SUN_EDGE, SUN_LINE, SUN_RAY))
    if rays:
        length = ray_len if ray_len is not None else r * 0.7
        inner = r + max(1.2, r * 0.14)
        half = max(1.2, r * 0.26)
        shapes = []
        for i in range(rays):
            t = 2 * math.pi * i / rays - math.pi / 2
            c, s = math.cos(t), math.sin(t)
            tip = (cx + c * (inner + length), cy + s * (inner + length))
            a = (cx + c * inner - s * half, cy + s * inner + c * half)
            b = (cx + c * inner + s * half, cy + s * inner - c * half)
            shapes.append(polygon([a, tip, b]))
        rays_shape = union(*shapes)
        cv.fill(grow(rays_shape, line * 0.55), outline)
        cv.fill(rays_shape, ray)
    disc = circle(cx, cy, r)
    cv.outlined(disc, outline, radial(cx - r * 0.3, cy - r * 0.35, r * 1.3, core, edge), line)


def crescent(cx, cy, r):
    return circle(cx, cy, r) - circle(cx + r * 0.62, cy - r * 0.42, r * 0.86)


def moon(cv, cx, cy, r, line=1.0):
    shape = crescent(cx, cy, r)
    paint = linear(cx - r, cy - r, MOON_LIGHT, cx + r * 0.2, cy + r, MOON_DARK)
    cv.outlined(shape, MOON_LINE, paint, line)


def star(cv, cx, cy, r):
    k = r * 0.32
    pts = []
    for i in range(8):
        t = math.pi * i / 4 - math.pi / 2
        d = r if i % 2 == 0 else k
        pts.append((cx + d * math.cos(t), cy + d * math.sin(t)))
    cv.fill(polygon(pts), STAR)


# ---------------------------------------------------------------- clouds

def cloud_shape(x0, yb, width):
    """A cumulus 40 units wide and 26 high, scaled to width, with its flat base on y = yb."""
    k = width / 40.0

    def p(x, y):
        return x0 + x * k, yb - y * k
    return union(circle(*p(9, 8), 8 * k), circle(*p(19.5, 14.5), 11.5 * k),
                 circle(*p(30.5, 9.5), 9.5 * k), rect(*p(9, 12), *p(30.5, 0)))


def cloud(cv, x0, yb, width, tone="white", line=1.0):
    top, bottom, outline = CLOUDS[tone]
    shape = cloud_shape(x0, yb, width)
    height = width * 26 / 40.0
    cv.outlined(shape, outline, linear(0, yb - height, top, 0, yb, bottom), line)


# ---------------------------------------------------------------- precipitation

def drop_shape(cx, cy, r, slant=0.0):
    """A teardrop with its round end centred on (cx, cy), pointing up."""
    d = r * 2.3
    sin_t = r / d
    cos_t = math.sqrt(1 - sin_t * sin_t)
    y_t = cy - r * sin_t
    tip = polygon([(cx, cy - d), (cx + r * cos_t, y_t), (cx - r * cos_t, y_t)])
    shape = union(circle(cx, cy, r), tip)
    return rotated(shape, slant, cx, cy) if slant else shape


def drop(cv, cx, cy, r=2.2, slant=15.0, colour=RAIN, line=RAIN_DARK):
    shape = drop_shape(cx, cy, r, slant)
    cv.fill(grow(shape, 0.45), line)
    cv.fill(shape, linear(cx - r, cy - 2 * r, (120, 186, 255), cx + r, cy + r, colour))


def streak(cv, x, y, length, slant=20.0, width=1.0, colour=RAIN):
    dx = math.sin(math.radians(slant)) * length
    cv.fill(capsule(x, y, x - dx, y + length, width), colour)


def ice_drop(cv, cx, cy, r=2.2, slant=15.0):
    shape = drop_shape(cx, cy, r, slant)
    cv.fill(grow(shape, 0.6), ICE_LINE)
    cv.fill(shape, ICE_FILL)


def icicles(cv, x0, y, count, spacing, length):
    for i in range(count):
        x = x0 + i * spacing
        ln = length * (1.0 if i % 2 == 0 else 0.7)
        shape = polygon([(x - 1.9, y), (x + 1.9, y), (x, y + ln)])
        cv.fill(grow(shape, 0.55), ICE_LINE)
        cv.fill(shape, ICE_FILL)


def flake(cv, cx, cy, r, colour=SNOW, width=0.75):
    arms = []
    for i in range(3):
        t = math.radians(90 + 60 * i)
        c, s = math.cos(t) * r, math.sin(t) * r
        arms.append(capsule(cx - c, cy - s, cx + c, cy + s, width))
    if r >= 3.6:
        b = r * 0.36
        for i in range(6):
            t = math.radians(90 + 60 * i)
            mx, my = cx + math.cos(t) * r * 0.6, cy + math.sin(t) * r * 0.6
            for side in (-1, 1):
                u = t + side * math.radians(50)
                arms.append(capsule(mx, my, mx + math.cos(u) * b, my + math.sin(u) * b,
                                    width * 0.8))
    cv.fill(union(*arms), colour)


def pellet(cv, cx, cy, r=2.0):
    paint = radial(cx - r * 0.45, cy - r * 0.45, r * 1.7, (240, 250, 255), (110, 182, 240))
    cv.outlined(circle(cx, cy, r), ICE_LINE, paint, 0.8)


def hailstone(cv, cx, cy, r=3.0):
    cv.outlined(circle(cx, cy, r), HAIL_LINE,
                radial(cx - r * 0.4, cy - r * 0.45, r * 1.5, HAIL_FILL, (186, 204, 226)), 0.9)


def bolt_shape(x, y, k=1.0):
    pts = [(6, 0), (13, 0), (9.5, 6.5), (14, 6.5), (3.5, 19), (6.5, 9.5), (2, 9.5)]
    return polygon([(x + px * k, y + py * k) for px, py in pts])


def bolt(cv, x, y, k=1.0):
    shape = bolt_shape(x, y, k)
    cv.fill(grow(shape, 0.9), BOLT_LINE)
    cv.fill(shape, linear(x, y, (255, 246, 160), x, y + 19 * k, BOLT_FILL))


# ---------------------------------------------------------------- wind and fog

def gust(cv, x0, y, length, curl, colour=WIND, width=1.2, up=True):
    """A wind line ending in a curl; up=False curls downward."""
    x1 = x0 + length
    line = capsule(x0, y, x1, y, width)
    if up:
        hook = arc(x1, y - curl, curl, -200, 90, width)
    else:
        hook = arc(x1, y + curl, curl, -90, 200, width)
    cv.fill(union(line, hook), colour)


def bars(cv, x0, y, lengths, gap, colour, width=1.5, offsets=None):
    for i, ln in enumerate(lengths):
        dx = offsets[i] if offsets else 0
        cv.fill(capsule(x0 + dx, y + i * gap, x0 + dx + ln, y + i * gap, width), colour)
