"""A small anti-aliasing rasteriser over signed distance functions.

Every shape is a signed distance function (negative inside, in pixels) with a bounding box.
Pixels far from an edge are decided by one distance sample; pixels near an edge are
supersampled on a 5 x 5 grid, so edges are smooth without paying for supersampling everywhere.
The canvas keeps premultiplied RGBA in floats, so shapes composite with the ordinary "over"
operator and the result can be written with straight alpha or flattened onto a matte.
"""

import math

_SUB = 5
_SUB_OFFSETS = [(i + 0.5) / _SUB - 0.5 for i in range(_SUB)]
# Distance estimates of combined shapes are bounds, not exact; a generous band keeps them safe.
_EDGE_BAND = 1.6


class Shape:
    __slots__ = ("sdf", "box")

    def __init__(self, sdf, box):
        self.sdf = sdf
        self.box = box  # (x0, y0, x1, y1), inclusive of the whole shape

    def __or__(self, other):
        return union(self, other)

    def __sub__(self, other):
        return subtract(self, other)

    def __and__(self, other):
        return intersect(self, other)


# ---------------------------------------------------------------- primitives

def circle(cx, cy, r):
    def sdf(x, y):
        return math.hypot(x - cx, y - cy) - r
    return Shape(sdf, (cx - r, cy - r, cx + r, cy + r))


def rect(x0, y0, x1, y1, radius=0.0):
    cx, cy = (x0 + x1) / 2, (y0 + y1) / 2
    hw, hh = (x1 - x0) / 2 - radius, (y1 - y0) / 2 - radius

    def sdf(x, y):
        qx = abs(x - cx) - hw
        qy = abs(y - cy) - hh
        outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
        return outside + min(max(qx, qy), 0.0) - radius
    return Shape(sdf, (x0, y0, x1, y1))


def capsule(ax, ay, bx, by, r):
    """A line segment with round ends; r is half the stroke width."""
    dx, dy = bx - ax, by - ay
    ll = dx * dx + dy * dy or 1e-9

    def sdf(x, y):
        px, py = x - ax, y - ay
        t = max(0.0, min(1.0, (px * dx + py * dy) / ll))
        return math.hypot(px - dx * t, py - dy * t) - r
    return Shape(sdf, (min(ax, bx) - r, min(ay, by) - r, max(ax, bx) + r, max(ay, by) + r))


def polygon(points):
    pts = [(float(x), float(y)) for x, y in points]
    n = len(pts)

    def sdf(x, y):
        best = float("inf")
        inside = False
        for i in range(n):
            ax, ay = pts[i - 1]
            bx, by = pts[i]
            ex, ey = bx - ax, by - ay
            wx, wy = x - ax, y - ay
            t = max(0.0, min(1.0, (wx * ex + wy * ey) / (ex * ex + ey * ey or 1e-9)))
            d = (wx - ex * t) ** 2 + (wy - ey * t) ** 2
            if d < best:
                best = d
            if (ay > y) != (by > y) and x < ax + (y - ay) * ex / ey:
                inside = not inside
        d = math.sqrt(best)
        return -d if inside else d
    xs = [p[0] for p in pts]
    ys = [p[1] for p in pts]
    return Shape(sdf, (min(xs), min(ys), max(xs), max(ys)))


def arc(cx, cy, radius, a0, a1, r):
    """A stroke of half-width r along a circle, from angle a0 to a1 in degrees (a0 < a1).

    Angles are measured in screen coordinates: 0 points right, 90 points down.
    """
    t0, t1 = math.radians(a0), math.radians(a1)
    span = t1 - t0
    e0 = (cx + radius * math.cos(t0), cy + radius * math.sin(t0))
    e1 = (cx + radius * math.cos(t1), cy + radius * math.sin(t1))

    def sdf(x, y):
        ang = (math.atan2(y - cy, x - cx) - t0) % (2 * math.pi)
        if ang <= span:
            return abs(math.hypot(x - cx, y - cy) - radius) - r
        return min(math.hypot(x - e0[0], y - e0[1]), math.hypot(x - e1[0], y - e1[1])) - r
    o = radius + r
    return Shape(sdf, (cx - o, cy - o, cx + o, cy + o))


def ring(cx, cy, radius, r):
    def sdf(x, y):
        return abs(math.hypot(x - cx, y - cy) - radius) - r
    o = radius + r
    return Shape(sdf, (cx - o, cy - o, cx + o, cy + o))


# ---------------------------------------------------------------- combinations

def union(*shapes):
    fns = [s.sdf for s in shapes]

    def sdf(x, y):
        return min(f(x, y) for f in fns)
    return Shape(sdf, (min(s.box[0] for s in shapes), min(s.box[1] for s in shapes),
                       max(s.box[2] for s in shapes), max(s.box[3] for s in shapes)))


def subtract(a, b):
    fa, fb = a.sdf, b.sdf

    def sdf(x, y):
        return max(fa(x, y), -fb(x, y))
    return Shape(sdf, a.box)


def intersect(a, b):
    fa, fb = a.sdf, b.sdf

    def sdf(x, y):
        return max(fa(x, y), fb(x, y))
    return Shape(sdf, (max(a.box[0], b.box[0]), max(a.box[1], b.box[1]),
                       min(a.box[2], b.box[2]), min(a.box[3], b.box[3])))


def grow(a, d):
    """Offsets the outline outward by d pixels (inward when d is negative)."""
    f = a.sdf

    def sdf(x, y):
        return f(x, y) - d
    g = max(d, 0.0)
    return Shape(sdf, (a.box[0] - g, a.box[1] - g, a.box[2] + g, a.box[3] + g))


def moved(a, dx, dy):
    f = a.sdf

    def sdf(x, y):
        return f(x - dx, y - dy)
    return Shape(sdf, (a.box[0] + dx, a.box[1] + dy, a.box[2] + dx, a.box[3] + dy))


def rotated(a, degrees, cx, cy):
    c, s = math.cos(math.radians(degrees)), math.sin(math.radians(degrees))
    f = a.sdf

    def sdf(x, y):
        px, py = x - cx, y - cy
        return f(cx + px * c + py * s, cy - px * s + py * c)
    x0, y0, x1, y1 = a.box
    corners = [(x0, y0), (x1, y0), (x0, y1), (x1, y1)]
    pts = [(cx + (x - cx) * c - (y - cy) * s, cy + (x - cx) * s + (y - cy) * c) for x, y in corners]
    return Shape(sdf, (min(p[0] for p in pts), min(p[1] for p in pts),
                       max(p[0] for p in pts), max(p[1] for p in pts)))


# ---------------------------------------------------------------- paints

def _rgba(c):
    if len(c) == 3:
        return (c[0] / 255.0, c[1] / 255.0, c[2] / 255.0, 1.0)
    return (c[0] / 255.0, c[1] / 255.0, c[2] / 255.0, c[3] / 255.0)


def _mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(4))


def linear(x0, y0, c0, x1, y1, c1):
    a, b = _rgba(c0), _rgba(c1)
    dx, dy = x1 - x0, y1 - y0
    ll = dx * dx + dy * dy or 1e-9

    def paint(x, y):
        t = max(0.0, min(1.0, ((x - x0) * dx + (y - y0) * dy) / ll))
        return _mix(a, b, t)
    return paint


def radial(cx, cy, radius, c0, c1):
    a, b = _rgba(c0), _rgba(c1)

    def paint(x, y):
        t = min(1.0, math.hypot(x - cx, y - cy) / radius)
        return _mix(a, b, t)
    return paint


# ---------------------------------------------------------------- canvas

class Canvas:
    """width x height units drawn at `scale` pixels per unit: the same drawing makes the 96-DPI
    picture at scale 1 and its double-size form at scale 2. Shapes, paints, blurs and line
    widths are all in units; width and height are the picture's size in pixels."""

    def __init__(self, width, height, scale=1):
        self.scale = scale
        self.width, self.height = width * scale, height * scale
        n = self.width * self.height
        self.r = [0.0] * n
        self.g = [0.0] * n
        self.b = [0.0] * n
        self.a = [0.0] * n

    def _blend(self, i, col, cov):
        sa = col[3] * cov
        if sa <= 0.0:
            return
        k = 1.0 - sa
        self.r[i] = col[0] * sa + self.r[i] * k
        self.g[i] = col[1] * sa + self.g[i] * k
        self.b[i] = col[2] * sa + self.b[i] * k
        self.a[i] = sa + self.a[i] * k

    def _pixels(self, box, margin):
        """The pixels (px, py) around a box in units, with their centres in units."""
        s = self.scale
        x0 = max(0, int(math.floor((box[0] - margin) * s)))
        y0 = max(0, int(math.floor((box[1] - margin) * s)))
        x1 = min(self.width - 1, int(math.ceil((box[2] + margin) * s)))
        y1 = min(self.height - 1, int(math.ceil((box[3] + margin) * s)))
        for py in range(y0, y1 + 1):
            for px in range(x0, x1 + 1):
                yield px, py, (px + 0.5) / s, (py + 0.5) / s

    def fill(self, shape, paint, opacity=1.0):
        """Composites the shape over the canvas; paint is an (r, g, b[, a]) colour or a gradient."""
        if callable(paint):
            colour_at = paint
        else:
            fixed = _rgba(paint)

            def colour_at(x, y):
                return fixed
        f = shape.sdf
        w = self.width
        s = self.scale
        offsets = [o / s for o in _SUB_OFFSETS]
        for px, py, cx, cy in self._pixels(shape.box, 1.0):
            # Distances in pixels, so edges are as soft at every scale.
            d = f(cx, cy) * s
            if d >= _EDGE_BAND:
                continue
            if d <= -_EDGE_BAND:
                cov = 1.0
            else:
                hits = 0
                for oy in offsets:
                    for ox in offsets:
                        if f(cx + ox, cy + oy) < 0.0:
                            hits += 1
                if not hits:
                    continue
                cov = hits / (_SUB * _SUB)
            self._blend(py * w + px, colour_at(cx, cy), cov * opacity)

    def soft(self, shape, colour, blur, opacity=1.0):
        """A blurred fill (for shadows and glows): coverage falls off over `blur` units."""
        col = _rgba(colour)
        f = shape.sdf
        w = self.width
        for px, py, cx, cy in self._pixels(shape.box, blur + 1.0):
            d = f(cx, cy)
            t = max(0.0, min(1.0, 0.5 - d / blur))
            t = t * t * (3.0 - 2.0 * t)
            if t > 0.0:
                self._blend(py * w + px, col, t * opacity)

    def outlined(self, shape, outline, paint, width=1.0):
        """Fills the shape with its outline colour, then the inset shape with the paint."""
        self.fill(shape, outline)
        self.fill(grow(shape, -width), paint)

    def rgba8(self):
        """Straight-alpha 8-bit RGBA rows."""
        out = []
        for y in range(self.height):
            row = bytearray()
            for x in range(self.width):
                i = y * self.width + x
                a = self.a[i]
                if a <= 0.0:
                    row += b"\0\0\0\0"
                    continue
                row += bytes((_byte(self.r[i] / a), _byte(self.g[i] / a), _byte(self.b[i] / a),
                              _byte(a)))
            out.append(bytes(row))
        return out

    def flattened(self, matte):
        """(r, g, b, alpha8) per pixel, composited over an opaque matte colour."""
        mr, mg, mb = (c / 255.0 for c in matte)
        out = []
        for i in range(self.width * self.height):
            a = self.a[i]
            k = 1.0 - a
            out.append((_byte(self.r[i] + mr * k), _byte(self.g[i] + mg * k),
                        _byte(self.b[i] + mb * k), _byte(a)))
        return out


def _byte(v):
    return max(0, min(255, int(v * 255.0 + 0.5)))
