#!/usr/bin/python3
"""Reads DXF files with ezdxf, an independent reader, and compares each with what the document
beside it holds (a list written by the test): dxf_check.py DXF EXPECTED [DXF EXPECTED]...
Exits 0 when every file passes ezdxf's audit untouched and holds exactly the expected layers and
entities, else prints every difference and exits 1.

Expected lines (tab-separated, numbers as the document holds them):
  Y name hidden                                   a layer
  L layer aci linetype x1 y1 x2 y2                a line
  A layer aci linetype cx cy r flatness start sweep tilt full   an arc record (radians)
  P layer aci x y                                 a real point
  T layer aci x y sizex sizey angle spacing text  a text (angle in degrees)
"""
import math
import sys

import ezdxf

TOLERANCE = 1e-9


def close(a, b, scale=1.0):
    return abs(a - b) <= TOLERANCE * max(1.0, scale)


def close_point(p, q, scale=1.0):
    return close(p[0], q[0], scale) and close(p[1], q[1], scale)


def on_record(cx, cy, r, f, tilt, t):
    """The point of an arc record at parameter t: r along the tilted axis, r * f across it."""
    u = (math.cos(tilt), math.sin(tilt))
    v = (-math.sin(tilt), math.cos(tilt))
    a, b = r * math.cos(t), r * f * math.sin(t)
    return (cx + a * u[0] + b * v[0], cy + a * u[1] + b * v[1])


def check_curve(e, fields, problems, where):
    cx, cy, r, f, start, sweep, tilt = map(float, fields[:7])
    full = fields[7] == "1" or abs(sweep) >= 2 * math.pi
    scale = abs(r) * max(1.0, abs(f)) + abs(cx) + abs(cy)
    circular = f == 1 or r == 0
    kind = ("CIRCLE" if full else "ARC") if circular else "ELLIPSE"
    if e.dxftype() != kind:
        problems.append(f"{where}: {e.dxftype()} instead of {kind}")
        return
    if kind == "CIRCLE":
        if not (close_point(e.dxf.center, (cx, cy), scale) and close(e.dxf.radius, abs(r), scale)):
            problems.append(f"{where}: circle {e.dxf.center} {e.dxf.radius}")
        return
    ends = [on_record(cx, cy, r, f, tilt, start), on_record(cx, cy, r, f, tilt, start + sweep)]
    middle = on_record(cx, cy, r, f, tilt, start + sweep / 2)
    if kind == "ARC":
        tool = e.construction_tool()
        span = (e.dxf.end_angle - e.dxf.start_angle) % 360
        got_middle = tool.center + ezdxf.math.Vec2.from_deg_angle(e.dxf.start_angle + span / 2, tool.radius)
        got_ends = [e.start_point, e.end_point]
    else:
        if full:
            # Points of the record lie on the whole ellipse.
            for t in (0.0, 1.0, 2.5, 4.0):
                p = on_record(cx, cy, r, f, tilt, t)
                ok = any(close_point(p, q, scale) for q in e.construction_tool().vertices([_param_of(e, p)]))
                if not ok:
                    problems.append(f"{where}: record point {p} not on the ellipse")
            return
        s, t = e.dxf.start_param, e.dxf.end_param
        span = (t - s) % (2 * math.pi)
        got_middle = list(e.construction_tool().vertices([s + span / 2]))[0]
        got_ends = [e.start_point, e.end_point]
    # The DXF curve runs counter-clockwise; the record runs clockwise when exactly one of its
    # sweep and flatness is negative.
    if (sweep < 0) != (f < 0):
        ends.reverse()
    if not (close_point(got_ends[0], ends[0], scale) and close_point(got_ends[1], ends[1], scale)):
        problems.append(f"{where}: ends {got_ends} instead of {ends}")
    if not close_point(got_middle, middle, scale):
        problems.append(f"{where}: middle {got_middle} instead of {middle}")


def _param_of(e, p):
    """The ellipse parameter of a point on it."""
    c = ezdxf.math.Vec3(e.dxf.center)
    m = ezdxf.math.Vec3(e.dxf.major_axis)
    n = ezdxf.math.Vec3(-m.y, m.x, 0) * e.dxf.ratio
    d = ezdxf.math.Vec3(p[0], p[1], 0) - c
    return math.atan2(d.dot(n) / n.magnitude_square, d.dot(m) / m.magnitude_square)


def main(dxf_path, expected_path):
    problems = []
    doc = ezdxf.readfile(dxf_path)
    auditor = doc.audit()
    for error in auditor.errors + auditor.fixes:
        problems.append(f"audit: {error.code} {error.message}")
    layers = {layer.dxf.name: layer for layer in doc.layers}
    entities = list(doc.modelspace())
    index = 0
    with open(expected_path, encoding="utf-8") as expected:
        for number, line in enumerate(expected, 1):
            fields = line.rstrip("\n").split("\t")
            where = f"{expected_path}:{number}"
            if fields[0] == "Y":
                layer = layers.get(fields[1])
                if layer is None:
                    problems.append(f"{where}: no layer {fields[1]!r}")
                elif (layer.is_off() and layer.is_frozen()) != (fields[2] == "1"):
                    problems.append(f"{where}: layer {fields[1]!r} hidden {layer.is_off()}")
                continue
            if index >= len(entities):
                problems.append(f"{where}: missing entity")
                continue
            e = entities[index]
            index += 1
            if e.dxf.layer != fields[1] or e.dxf.color != int(fields[2]):
                problems.append(f"{where}: layer {e.dxf.layer!r} colour {e.dxf.color}")
            kind, rest = fields[0], fields[3:]
            if kind == "L":
                x1, y1, x2, y2 = map(float, rest[1:5])
                if e.dxftype() != "LINE" or e.dxf.linetype != rest[0]:
                    problems.append(f"{where}: {e.dxftype()} {e.dxf.linetype} instead of a line {rest[0]}")
                elif not (close_point(e.dxf.start, (x1, y1)) and close_point(e.dxf.end, (x2, y2))):
                    problems.append(f"{where}: line {e.dxf.start} {e.dxf.end}")
            elif kind == "A":
                if e.dxf.linetype != rest[0]:
                    problems.append(f"{where}: line type {e.dxf.linetype} instead of {rest[0]}")
                check_curve(e, rest[1:], problems, where)
            elif kind == "P":
                if e.dxftype() != "POINT" or not close_point(e.dxf.location, tuple(map(float, rest[:2]))):
                    problems.append(f"{where}: {e.dxftype()} instead of a point")
            elif kind == "T":
                x, y, sx, sy, angle, spacing = map(float, rest[:6])
                text = "\t".join(rest[6:])
                if e.dxftype() != "TEXT":
                    problems.append(f"{where}: {e.dxftype()} instead of a text")
                    continue
                width = sx / sy if sx > 0 and sy > 0 else 1.0
                if e.dxf.text != text:
                    problems.append(f"{where}: text {e.dxf.text!r} instead of {text!r}")
                if not (close_point(e.dxf.insert, (x, y)) and close(e.dxf.height, sy)
                        and close(e.dxf.rotation % 360, angle % 360) and close(e.dxf.width, width)):
                    problems.append(f"{where}: text at {e.dxf.insert} {e.dxf.height} {e.dxf.rotation} {e.dxf.width}")
                kept = e.get_xdata("TORVANE") if e.has_xdata("TORVANE") else [(1040, 0.0)]
                if not close(kept[0][1], spacing):
                    problems.append(f"{where}: spacing {kept} instead of {spacing}")
    if index != len(entities):
        problems.append(f"{dxf_path}: {len(entities) - index} entities more than expected")
    for problem in problems:
        print(problem)
    return 1 if problems else 0


if __name__ == "__main__":
    paths = sys.argv[1:]
    failed = [main(paths[i], paths[i + 1]) for i in range(0, len(paths) - 1, 2)]
    sys.exit(1 if any(failed) or len(paths) % 2 else 0)
