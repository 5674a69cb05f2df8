"""The five widget button pictures and the program icon.

The buttons are 48 x 48 pictures, but the widget's buttons are only about 44 x 47 pixels at
96 DPI and the picture is drawn from the button's top-left corner at its size scaled to the
display's DPI (and one pixel lower and further right while pressed, scaled too). So every
button's drawing is centred on (21.5, 22.5) and stays inside 43 x 46 pixels: nothing is cut off
in the widget. Each button is also drawn at twice the size for displays above 96 DPI.
"""

import math

import motifs as m
from raster import (Canvas, arc, capsule, circle, grow, intersect, linear, moved, polygon, rect,
                    ring, union)

SIZE = 48
CX, CY = 21.5, 22.5

BODY_TOP = (196, 198, 202)
BODY_BOTTOM = (118, 120, 126)
BODY_LINE = (84, 86, 92)
GLYPH = (252, 252, 252)
GLYPH_SHADOW = (40, 42, 48, 120)
SHADOW = (0, 0, 0, 90)


def _body(cv, shape, top=2.5, bottom=42.5):
    """The grey body every button shares: soft shadow, outline, vertical gradient, gloss."""
    cv.soft(moved(shape, 0, 1.3), SHADOW, 2.4)
    cv.outlined(shape, BODY_LINE, linear(0, top, BODY_TOP, 0, bottom, BODY_BOTTOM), 1.1)


def _gloss(cv, shape, top, bottom):
    """A soft highlight over the upper half, clipped to the inside of the body."""
    cv.fill(intersect(grow(shape, -2.0), rect(0, top, SIZE, (top + bottom) / 2)),
            linear(0, top, (255, 255, 255, 120), 0, (top + bottom) / 2, (255, 255, 255, 0)))


def _glyph(cv, shape):
    cv.fill(moved(shape, 0, 1.0), GLYPH_SHADOW)
    cv.fill(shape, GLYPH)


def _disc(cv):
    disc = circle(CX, CY, 19.5)
    _body(cv, disc)
    _gloss(cv, disc, CY - 19.5, CY + 19.5)


def add(scale=1):
    cv = Canvas(SIZE, SIZE, scale)
    _disc(cv)
    arm = 9.5
    _glyph(cv, union(capsule(CX - arm, CY, CX + arm, CY, 2.7),
                     capsule(CX, CY - arm, CX, CY + arm, 2.7)))
    return cv


def settings(scale=1):
    cv = Canvas(SIZE, SIZE, scale)
    _disc(cv)
    _glyph(cv, ring(CX, CY, 8.5, 2.6))
    return cv


def more(scale=1):
    cv = Canvas(SIZE, SIZE, scale)
    _disc(cv)
    tri = grow(polygon([(CX - 7.5, CY - 4.2), (CX + 7.5, CY - 4.2), (CX, CY + 5.8)]), 1.6)
    _glyph(cv, tri)
    return cv


def delete(scale=1):
    cv = Canvas(SIZE, SIZE, scale)
    body = grow(polygon([(CX - 10.5, 15), (CX + 10.5, 15), (CX + 8.5, 40.5), (CX - 8.5, 40.5)]),
                1.6)
    lid = rect(CX - 15, 9, CX + 15, 14.5, 2.2)
    handle = rect(CX - 5.5, 4, CX + 5.5, 11, 2.5) - rect(CX - 2.8, 6.6, CX + 2.8, 11, 1.0)
    _body(cv, union(handle, lid), 4, 14.5)
    _body(cv, body, 13.5, 42)
    _gloss(cv, lid, 9, 14.5)
    cv.fill(intersect(grow(body, -2.0), rect(CX - 14, 13, CX - 4, 42)),
            linear(CX - 12, 0, (255, 255, 255, 70), CX - 3, 0, (255, 255, 255, 0)))
    slots = union(*[capsule(CX + dx * 5.2, 19.5, CX + dx * 4.5, 36.5, 1.4) for dx in (-1, 0, 1)])
    _glyph(cv, slots)
    return cv


def refresh(scale=1):
    cv = Canvas(SIZE, SIZE, scale)
    radius, half = 12.5, 3.8
    end = math.radians(-62)
    band = arc(CX, CY, radius, 22, 298, half)
    # The arrow head sits on the arc's end and points along the direction of travel.
    ex, ey = CX + radius * math.cos(end), CY + radius * math.sin(end)
    ux, uy = math.cos(end), math.sin(end)
    tx, ty = -math.sin(end), math.cos(end)
    back, ahead, wing = 2.0, 8.5, 8.3
    head = polygon([(ex - ux * wing - tx * back, ey - uy * wing - ty * back),
                    (ex + ux * wing - tx * back, ey + uy * wing - ty * back),
                    (ex + tx * ahead, ey + ty * ahead)])
    arrow = union(band, grow(head, 0.8))
    _body(cv, arrow, CY - radius - half, CY + radius + half)
    _gloss(cv, arrow, CY - radius - half - 3, CY + radius + half)
    return cv


BUTTONS = {"add": add, "settings": settings, "delete": delete, "more": more, "refresh": refresh}


def icon(size):
    """The program icon: a sun partly behind a cloud, drawn afresh for each size."""
    cv = Canvas(size, size)
    if size <= 20:
        # Rays only blur into a halo at these sizes; a plain, larger disc reads better.
        k = size / 16.0
        m.sun(cv, 6.3 * k, 6.3 * k, 5.0 * k, rays=0, line=1.0)
        m.cloud(cv, 1.5 * k, 15.2 * k, 14.2 * k, "white", line=1.0)
        return cv
    k = size / 48.0
    line = max(0.9, 1.2 * k)
    m.sun(cv, 17.5 * k, 17.5 * k, 9.8 * k, rays=8 if size < 48 else 10, ray_len=5.0 * k, line=line)
    m.cloud(cv, 7.5 * k, 45 * k, 39 * k, "white", line=line)
    return cv
