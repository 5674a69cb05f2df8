"""The condition pictures, one per sky code of the weather service (0 to 47).

They are 55 x 45 pixels: the forecast details window stretches every picture to exactly that
size, and a city row (65 x 55 pixels of room) draws it unscaled, so this size is the one both
show without distortion. Both sizes are pixels at 96 DPI; the same drawings at twice the size
serve displays above that.
"""

import math

import motifs as m
from raster import Canvas, arc, capsule, circle, linear, polygon, radial, rect, ring, union

WIDTH, HEIGHT = 55, 45


# ---------------------------------------------------------------- shared layouts

def _storm_cloud(cv, tone, behind=None):
    """The cloud that precipitation falls from, optionally with a small sun or moon behind it."""
    if behind == "sun":
        m.sun(cv, 14.5, 11.5, 6.5, rays=8, ray_len=4.0)
    elif behind == "moon":
        m.moon(cv, 16.5, 11.5, 9.0)
    if behind:
        m.cloud(cv, 11, 29, 39, tone)
    else:
        m.cloud(cv, 7.5, 29, 40, tone)


def _drops(cv, xs):
    for i, x in enumerate(xs):
        m.drop(cv, x, 36.5 + (i % 2) * 4, 2.3)


def _snow(cv, tone, behind=None, big=4.2):
    _storm_cloud(cv, tone, behind)
    xs = [23, 34.5, 46] if behind else [14.5, 27.5, 40.5]
    for i, x in enumerate(xs):
        m.flake(cv, x, 37 + (i % 2) * 2.5, big if i % 2 == 0 else big - 0.5)


# ---------------------------------------------------------------- one function per picture

def tornado(cv):
    funnel = polygon([(14, 20), (41, 20), (33, 27.5), (29.5, 34), (28, 39.5), (26.5, 43.5),
                      (25, 39.5), (24, 33), (20.5, 27)])
    cv.outlined(funnel, (58, 62, 72), linear(14, 20, (160, 166, 178), 30, 43, (92, 98, 110)), 1.0)
    for y, x0, x1 in ((26, 21, 34), (31.5, 24.5, 31), (37, 26.5, 29.5)):
        cv.fill(capsule(x0, y, x1, y + 0.8, 0.6), (214, 218, 226))
    m.cloud(cv, 10.5, 24, 34, "dark")
    for x, y, r in ((13, 38, 1.3), (18, 42, 1.0), (39, 36, 1.3), (43, 41, 1.1), (35, 42, 0.9)):
        cv.fill(circle(x, y, r), (128, 104, 76))


def _cyclone(cv, filled, colour, outline):
    cx, cy = 27.5, 22.5
    # The meteorological cyclone sign: an eye with two hooked arms on opposite sides.
    for half, paint in ((2.8, outline), (1.8, colour)):
        cv.fill(union(arc(cx + 9.5, cy, 11.0, 180, 292, half),
                      arc(cx - 9.5, cy, 11.0, 0, 112, half)), paint)
    if filled:
        eye = radial(cx - 2, cy - 2, 8, (255, 140, 110), colour)
        cv.outlined(circle(cx, cy, 6.5), outline, eye, 1.0)
    else:
        cv.fill(ring(cx, cy, 5.5, 2.0), outline)
        cv.fill(ring(cx, cy, 5.5, 1.0), colour)


def tropical_storm(cv):
    _cyclone(cv, False, (245, 140, 30), (176, 80, 0))


def hurricane(cv):
    _cyclone(cv, True, (220, 40, 30), (130, 10, 10))


def strong_storms(cv):
    _storm_cloud(cv, "dark")
    m.bolt(cv, 13, 24, 1.05)
    m.bolt(cv, 31, 25, 0.9)
    for x in (25, 45):
        m.streak(cv, x, 32, 9, slant=20, width=1.05, colour=m.RAIN_DARK)
    m.streak(cv, 51, 31, 7, slant=20, width=1.05, colour=m.RAIN_DARK)


def thunderstorms(cv):
    _storm_cloud(cv, "dark")
    m.bolt(cv, 20, 24, 1.0)
    m.drop(cv, 14, 36, 2.3)
    m.drop(cv, 38, 35, 2.3)
    m.drop(cv, 45, 40, 2.1)


def rain_and_snow(cv):
    _storm_cloud(cv, "grey")
    m.drop(cv, 15, 37, 2.3)
    m.flake(cv, 24, 37.5, 4.2)
    m.drop(cv, 33, 37, 2.3)
    m.flake(cv, 42, 38.5, 3.8)


def rain_and_sleet(cv):
    _storm_cloud(cv, "grey")
    m.drop(cv, 15, 36.5, 2.3)
    m.pellet(cv, 22, 40, 2.1)
    m.drop(cv, 29, 36.5, 2.3)
    m.pellet(cv, 36, 40, 2.1)
    m.drop(cv, 43, 36.5, 2.3)


def wintry_mix(cv):
    _storm_cloud(cv, "grey")
    m.drop(cv, 15, 37, 2.3)
    m.pellet(cv, 24, 39.5, 2.1)
    m.flake(cv, 33, 37.5, 4.2)
    m.pellet(cv, 42, 40, 2.1)


def freezing_drizzle(cv):
    _storm_cloud(cv, "grey")
    m.icicles(cv, 15.5, 29.5, 5, 5.5, 6.5)
    for x, y in ((19, 39), (29, 41), (39, 39)):
        m.ice_drop(cv, x, y, 1.6)


def drizzle(cv):
    _storm_cloud(cv, "white")
    for i, x in enumerate((15, 23, 31, 39)):
        m.drop(cv, x, 36 + (i % 2) * 4, 1.6)


def freezing_rain(cv):
    _storm_cloud(cv, "grey")
    m.icicles(cv, 15.5, 29.5, 5, 5.5, 7.5)
    for x, y in ((20, 39), (31, 41), (42, 38)):
        m.ice_drop(cv, x, y, 2.3)


def showers(cv):
    _storm_cloud(cv, "grey")
    for i, x in enumerate((17, 24, 31, 38, 45)):
        m.streak(cv, x, 32 + (i % 2) * 3, 7 if i % 2 else 8, slant=20, width=1.0)


def rain(cv):
    _storm_cloud(cv, "grey")
    _drops(cv, (15, 23, 31, 39))


def flurries(cv):
    _storm_cloud(cv, "white")
    m.flake(cv, 20, 37, 3.2)
    m.flake(cv, 33, 40, 3.2)


def snow_showers(cv):
    _storm_cloud(cv, "grey")
    for i, (x, y) in enumerate(((16, 34.5), (24, 40.5), (32, 34.5), (40, 40.5))):
        m.flake(cv, x, y, 3.4)


def blowing_snow(cv):
    m.gust(cv, 3, 19, 27, 4.5, width=1.3)
    m.gust(cv, 8, 29, 30, 4.0, width=1.3, up=False)
    m.flake(cv, 43, 9, 4.8)
    m.flake(cv, 47, 27, 3.8)
    m.flake(cv, 21, 7, 3.4)
    m.flake(cv, 28, 39.5, 3.8)
    m.flake(cv, 12, 39, 3.0)


def snow(cv):
    _snow(cv, "grey", big=4.6)


def hail(cv):
    _storm_cloud(cv, "grey")
    for x, y in ((16, 36), (27, 40), (38, 36)):
        m.hailstone(cv, x, y, 3.4)


def sleet(cv):
    _storm_cloud(cv, "grey")
    for i, x in enumerate((14.5, 22, 29.5, 37, 44.5)):
        m.pellet(cv, x, 35.5 + (i % 2) * 5, 2.5)


def dust(cv):
    sand = (196, 146, 64)
    dark = (150, 104, 40)
    m.gust(cv, 5, 12, 28, 4.5, colour=dark, width=1.4)
    m.gust(cv, 11, 23, 30, 4.0, colour=sand, width=1.6, up=False)
    m.gust(cv, 4, 34, 32, 4.0, colour=dark, width=1.4)
    for x, y, r in ((44, 10, 1.3), (48, 18, 1.0), (43, 27, 1.4), (50, 31, 1.1), (45, 39, 1.2),
                    (20, 41, 1.0), (10, 27, 1.1), (35, 6, 1.0)):
        cv.fill(circle(x, y, r), dark)


def fog(cv):
    m.cloud(cv, 9, 24, 37, "grey")
    m.bars(cv, 6, 28.5, [36, 42, 32, 38], 4.6, (150, 158, 170), width=1.6,
           offsets=[8, 0, 12, 4])


def haze(cv):
    m.sun(cv, 27.5, 17, 9, rays=8, ray_len=5.5)
    haze_col = (176, 180, 160)
    m.bars(cv, 6, 24.5, [43, 36, 43, 32], 5.2, haze_col, width=1.7, offsets=[0, 7, 2, 10])


def smoke(cv):
    plume = union(*[circle(cx, cy, r) for cx, cy, r in
                    ((14, 37, 5.0), (19, 31, 6.0), (25.5, 25, 6.8), (33, 18.5, 7.5),
                     (26, 15, 5.5), (42, 12, 7.0), (46, 21, 4.5), (36, 9, 5.5))])
    cv.outlined(plume, (100, 92, 86), linear(10, 42, (112, 102, 96), 46, 4, (206, 200, 194)), 1.0)
    cv.outlined(rect(9, 39, 19, 44.5, 1.0), (70, 56, 50), (150, 84, 60), 1.0)


def breezy(cv):
    m.gust(cv, 5, 16, 30, 5.0, width=1.4)
    m.gust(cv, 10, 27, 32, 4.0, width=1.4, up=False)


def windy(cv):
    m.cloud(cv, 25, 17, 26, "white")
    m.gust(cv, 3, 18, 30, 5.0, width=1.6)
    m.gust(cv, 8, 27, 36, 4.5, width=1.6, up=False)
    m.gust(cv, 3, 36, 26, 4.0, width=1.6)


def frigid(cv):
    cx, cy = 27.5, 22.5
    m.flake(cv, cx, cy, 17.5, colour=(70, 150, 225), width=2.3)
    m.flake(cv, cx, cy, 17.5, colour=(216, 240, 255), width=1.0)
    m.flake(cv, cx, cy, 3.0, colour=(70, 150, 225), width=1.2)


def cloudy(cv):
    m.cloud(cv, 17, 30, 33, "grey")
    m.cloud(cv, 4, 41, 40, "white")


def mostly_cloudy(cv, night):
    if night:
        m.moon(cv, 15.5, 13, 10)
    else:
        m.sun(cv, 15, 13, 7.5, rays=8, ray_len=4.5)
    m.cloud(cv, 19, 29, 32, "grey")
    m.cloud(cv, 5, 41, 42, "white")


def partly_cloudy(cv, night):
    if night:
        m.moon(cv, 19, 17, 13)
    else:
        m.sun(cv, 20, 17, 10, rays=8, ray_len=5.5)
    m.cloud(cv, 17, 41, 36, "white")


def clear_night(cv):
    m.moon(cv, 25, 23, 16)
    m.star(cv, 42, 10, 4.5)
    m.star(cv, 47, 28, 3.0)
    m.star(cv, 36, 37, 2.4)


def sunny(cv):
    m.sun(cv, 27.5, 22.5, 11, rays=12, ray_len=7.0)


def fair_night(cv):
    m.moon(cv, 23, 20, 15)
    m.star(cv, 43, 9, 3.6)
    m.cloud(cv, 27, 42, 25, "white")


def fair_day(cv):
    m.sun(cv, 25, 20, 11, rays=12, ray_len=6.0)
    m.cloud(cv, 29, 43, 24, "white")


def rain_and_hail(cv):
    _storm_cloud(cv, "grey")
    m.drop(cv, 15, 36, 2.3)
    m.hailstone(cv, 24, 39.5, 3.2)
    m.drop(cv, 33, 36, 2.3)
    m.hailstone(cv, 42, 39.5, 3.2)


def hot(cv):
    m.sun(cv, 27.5, 17.5, 10, rays=12, ray_len=5.5, hot=True)
    heat = (236, 84, 30)
    for x in (15, 23.5, 32, 40.5):
        pts = [(x + 2.2 * math.sin(t / 2.0), 34 + t * 0.9) for t in range(0, 11)]
        cv.fill(union(*[capsule(*pts[j], *pts[j + 1], 1.0) for j in range(len(pts) - 1)]), heat)


def isolated_thunder(cv):
    _storm_cloud(cv, "grey")
    m.bolt(cv, 21, 24, 1.05)


def scattered_thunder(cv, behind):
    _storm_cloud(cv, "dark", behind)
    m.bolt(cv, 24, 24, 1.0)
    m.drop(cv, 40, 36, 2.2)
    m.drop(cv, 47, 40, 2.0)


def scattered_showers(cv, behind):
    _storm_cloud(cv, "grey", behind)
    _drops(cv, (28, 36, 44))


def heavy_rain(cv):
    _storm_cloud(cv, "dark")
    for i, x in enumerate((14, 20, 26, 32, 38, 44)):
        m.streak(cv, x + 3, 31 + (i % 2) * 2.5, 11 if i % 2 == 0 else 10, slant=20, width=1.1,
                 colour=m.RAIN_DARK if i % 2 else m.RAIN)


def scattered_snow(cv, behind):
    _snow(cv, "grey", behind=behind)


def heavy_snow(cv):
    _storm_cloud(cv, "dark")
    for x, y in ((12.5, 34.5), (27.5, 34.5), (42.5, 34.5), (20, 41), (35, 41)):
        m.flake(cv, x, y, 3.9)


def blizzard(cv):
    _storm_cloud(cv, "dark")
    for x, y in ((13, 34.5), (29, 35), (45, 34)):
        m.flake(cv, x, y, 4.0)
    m.gust(cv, 3, 42, 36, 3.0, width=1.2)


def not_available(cv):
    grey, light = (128, 132, 140), (236, 238, 242)
    cx, cy = 27.5, 22.5
    face = radial(cx - 5, cy - 6, 24, (255, 255, 255), light)
    cv.outlined(circle(cx, cy, 19), (168, 172, 180), face, 1.2)
    hook = union(arc(cx, cy - 5.5, 6.5, -200, 30, 2.6),
                 capsule(cx + 5.63, cy - 2.25, cx, cy + 3.5, 2.6),
                 capsule(cx, cy + 3.5, cx, cy + 5.5, 2.6))
    cv.fill(hook, grey)
    cv.fill(circle(cx, cy + 11.5, 2.8), grey)


PICTURES = {
    0: tornado, 1: tropical_storm, 2: hurricane, 3: strong_storms, 4: thunderstorms,
    5: rain_and_snow, 6: rain_and_sleet, 7: wintry_mix, 8: freezing_drizzle, 9: drizzle,
    10: freezing_rain, 11: showers, 12: rain, 13: flurries, 14: snow_showers, 15: blowing_snow,
    16: snow, 17: hail, 18: sleet, 19: dust, 20: fog, 21: haze, 22: smoke, 23: breezy,
    24: windy, 25: frigid, 26: cloudy,
    27: lambda cv: mostly_cloudy(cv, True), 28: lambda cv: mostly_cloudy(cv, False),
    29: lambda cv: partly_cloudy(cv, True), 30: lambda cv: partly_cloudy(cv, False),
    31: clear_night, 32: sunny, 33: fair_night, 34: fair_day, 35: rain_and_hail, 36: hot,
    37: isolated_thunder, 38: lambda cv: scattered_thunder(cv, "sun"),
    39: lambda cv: scattered_showers(cv, "sun"), 40: heavy_rain,
    41: lambda cv: scattered_snow(cv, "sun"), 42: heavy_snow, 43: blizzard, 44: not_available,
    45: lambda cv: scattered_showers(cv, "moon"), 46: lambda cv: scattered_snow(cv, "moon"),
    47: lambda cv: scattered_thunder(cv, "moon"),
}


def render(code, scale=1):
    cv = Canvas(WIDTH, HEIGHT, scale)
    PICTURES[code](cv)
    return cv
