#!/usr/bin/python3
"""Writes the drawings of the golden conversion test into tests/golden/drawings/
(run once; the files are committed, so a newer ezdxf never changes them).

Each drawing gathers one family of what the converter draws, in the forms CAD
programs write it. Needs Debian's python3-ezdxf.
"""
import math
import pathlib

import ezdxf
from ezdxf.math import Vec3

OUT = pathlib.Path(__file__).resolve().parent.parent / "tests" / "golden" / "drawings"


def texts():
    doc = ezdxf.new("R2000", setup=["styles"])
    doc.layers.add("TEXT", color=2)
    msp = doc.modelspace()
    y = 0
    for halign in range(0, 6):
        for valign in range(0, 4):
            if halign in (3, 5) and valign:
                continue  # aligned and fit texts are baseline texts
            t = msp.add_text(f"H{halign} V{valign} Äöü ß %%c50 %%d %%p1", dxfattribs={
                "layer": "TEXT", "height": 2.5, "halign": halign, "valign": valign,
                "insert": (0, y), "align_point": (40 + 10 * (halign == 3 or halign == 5), y)})
            y -= 6
    msp.add_text("turned 30", dxfattribs={"height": 5, "rotation": 30, "insert": (80, 0)})
    msp.add_text("oblique 15, wide", dxfattribs={"height": 4, "oblique": 15, "width": 1.5, "insert": (80, -30)})
    msp.add_text("%%uunderlined%%u and %%ooverlined", dxfattribs={"height": 3, "insert": (80, -45)})
    msp.add_text("mirrored", dxfattribs={"height": 3, "insert": (80, -55), "text_generation_flag": 2})
    msp.add_text("upside down", dxfattribs={"height": 3, "insert": (80, -65), "text_generation_flag": 4})
    msp.add_text("Style OpenSans", dxfattribs={"height": 3, "insert": (80, -75), "style": "OpenSans"})
    # A block with attributes: one given, one constant, one invisible.
    blk = doc.blocks.new("TAG")
    blk.add_circle((0, 0), 4)
    blk.add_attdef("ROOM", (-3, 0), dxfattribs={"height": 1.5})
    blk.add_attdef("AREA", (-3, -2), dxfattribs={"height": 1})
    for i, (room, area) in enumerate([("Küche", "12 m²"), ("Bad", "6 m²"), ("Flur", "9 m²")]):
        ins = msp.add_blockref("TAG", (140 + 15 * i, -20), dxfattribs={"rotation": 10 * i})
        ins.add_attrib("ROOM", room, (140 + 15 * i - 3, -20), dxfattribs={"height": 1.5})
        ins.add_attrib("AREA", area, (140 + 15 * i - 3, -22), dxfattribs={"height": 1})
    doc.saveas(OUT / "texts.dxf")


def mtexts():
    doc = ezdxf.new("R2000", setup=["styles"])
    msp = doc.modelspace()
    msp.add_mtext("Erste Zeile\\PZweite Zeile mit {\\H2x;großer} Schrift\\Pund {\\C1;rot} {\\fArial|b1;fett}",
                  dxfattribs={"char_height": 2.5, "insert": (0, 0), "width": 60})
    msp.add_mtext("Ein langer Absatz, der an der Breite umbricht, damit die Zeilen des Textes "
                  "sich auf mehrere Zeilen verteilen und jede Zeile ihren eigenen Lauf erhält.",
                  dxfattribs={"char_height": 2, "insert": (0, -30), "width": 40, "attachment_point": 5})
    msp.add_mtext("Bruch \\S1/2; und \\S3#4; Hoch\\S2^;\\PUnicode \\U+00B1 \\U+2205 \\U+03B1",
                  dxfattribs={"char_height": 3, "insert": (80, 0), "width": 0})
    for ap in range(1, 10):
        msp.add_mtext(f"AP{ap}\\Pzweite", dxfattribs={
            "char_height": 1.5, "insert": (80 + 15 * ((ap - 1) % 3), -30 - 10 * ((ap - 1) // 3)),
            "attachment_point": ap, "rotation": 5 * ap})
    msp.add_mtext("{\\LUnterstrichen\\l} {\\OÜberstrichen\\o} {\\T2;gesperrt} {\\W0.5;schmal} {\\Q20;schräg}",
                  dxfattribs={"char_height": 2, "insert": (0, -60), "width": 120})
    msp.add_mtext("Senkrecht", dxfattribs={"char_height": 2, "insert": (140, 0), "text_direction": (0, 1, 0)})
    doc.saveas(OUT / "mtexts.dxf")


def xrefs():
    part = ezdxf.new("R2000")
    pm = part.modelspace()
    pm.add_lwpolyline([(0, 0), (30, 0), (30, 20), (0, 20)], close=True)
    pm.add_circle((15, 10), 6)
    pm.add_line((0, 0), (30, 20))
    part.saveas(OUT / "xref-part.dxf")

    doc = ezdxf.new("R2000")
    doc.add_xref_def("xref-part.dxf", "PART")
    doc.add_xref_def("xref-missing.dxf", "MISSING")
    msp = doc.modelspace()
    msp.add_lwpolyline([(-10, -10), (110, -10), (110, 60), (-10, 60)], close=True)
    msp.add_blockref("PART", (0, 0))
    msp.add_blockref("PART", (60, 0), dxfattribs={"rotation": 30, "xscale": 1.2, "yscale": 1.2})
    msp.add_blockref("MISSING", (20, 40))
    doc.saveas(OUT / "xref-host.dxf")


def points():
    doc = ezdxf.new("R2000")
    doc.header["$PDMODE"] = 35
    doc.header["$PDSIZE"] = 2.0
    msp = doc.modelspace()
    for i in range(20):
        msp.add_point((i * 5, math.sin(i / 3) * 20))
    msp.add_lwpolyline([(0, -30), (100, -30), (100, 30), (0, 30)], close=True)
    doc.saveas(OUT / "points.dxf")
    # Bare dots (the default point display) in a drawing of its own.
    doc = ezdxf.new("R2000")
    msp = doc.modelspace()
    for i in range(10):
        msp.add_point((i * 3, i * i * 0.5))
    msp.add_line((0, 0), (30, 50))
    doc.saveas(OUT / "dots.dxf")


def mixed(doc):
    """Lines, curves and texts of every sort, shared by the ASCII and binary drawings."""
    msp = doc.modelspace()
    doc.layers.add("RED", color=1)
    doc.layers.add("DASH", color=5, linetype="DASHED")
    msp.add_line((0, 0), (100, 0))
    msp.add_line((0, 10), (100, 10), dxfattribs={"layer": "DASH"})
    msp.add_circle((50, 50), 20, dxfattribs={"layer": "RED"})
    msp.add_arc((50, 50), 30, 20, 160, dxfattribs={"layer": "DASH"})
    msp.add_ellipse((120, 50), major_axis=(20, 10), ratio=0.4, start_param=0.3, end_param=5.5)
    msp.add_spline([(0, 80), (20, 100), (40, 80), (60, 100), (80, 80)])
    msp.add_spline_control_frame([(100, 80), (120, 110), (140, 70), (160, 100)], degree=3)
    msp.add_lwpolyline([(0, -20, 0, 0, 0.5), (40, -20, 1, 1, 0), (40, -40, 2, 0.5, -1), (0, -40, 0, 0, 0)],
                       format="xyseb", close=True)
    msp.add_lwpolyline([(60, -20), (100, -20), (100, -40)], dxfattribs={"const_width": 2})
    msp.add_solid([(120, -20), (140, -20), (120, -40), (140, -40)], dxfattribs={"color": 3})
    msp.add_trace([(150, -20), (170, -20), (150, -30), (170, -30)])
    msp.add_3dface([(180, -20), (200, -20), (200, -40), (180, -40)])
    msp.add_text("Binär und ASCII", dxfattribs={"height": 4, "insert": (0, 120)})
    msp.add_mtext("MTEXT\\Pzwei Zeilen", dxfattribs={"char_height": 3, "insert": (80, 130)})
    hatch = msp.add_hatch(color=2)
    hatch.set_pattern_fill("ANSI31", scale=2)
    hatch.paths.add_polyline_path([(180, 0), (220, 0), (220, 30), (180, 30)], is_closed=True)


def binary():
    doc = ezdxf.new("R2000", setup=["linetypes"])
    mixed(doc)
    doc.saveas(OUT / "binary.dxf", fmt="bin")


def polylines():
    doc = ezdxf.new("R2000", setup=["linetypes"])
    msp = doc.modelspace()
    mixed(doc)
    # Old-style 2D polyline with widths and bulges, a 3D polyline, meshes.
    pl = msp.add_polyline2d([(0, -60), (30, -60), (30, -90), (0, -90)], close=True)
    for i, v in enumerate(pl.vertices):
        v.dxf.start_width = 1 + i * 0.5
        v.dxf.end_width = 2
        v.dxf.bulge = 0.3 if i % 2 else 0
    msp.add_polyline3d([(40, -60, 0), (60, -70, 10), (80, -60, 20), (100, -90, 5)])
    mesh = msp.add_polymesh((4, 3), dxfattribs={"flags": ezdxf.const.POLYLINE_3D_POLYMESH})
    for m in range(4):
        for n in range(3):
            mesh.set_mesh_vertex((m, n), (110 + m * 10, -60 - n * 10, (m * n) % 3))
    pf = msp.add_polyface()
    pf.append_face([(150, -60, 0), (170, -60, 0), (170, -80, 0), (150, -80, 0)])
    pf.append_face([(170, -60, 0), (190, -70, 5), (170, -80, 0)])
    msp.add_lwpolyline([(0, -110), (50, -110), (50, -130)], dxfattribs={"linetype": "DASHDOT", "ltscale": 0.5})
    msp.add_lwpolyline([(60, -110), (110, -110), (110, -130)], dxfattribs={"linetype": "CENTER", "flags": 128})
    msp.add_ellipse((150, -120), major_axis=(20, 0), ratio=0.5, dxfattribs={"linetype": "DOT"})
    doc.saveas(OUT / "polylines.dxf")


def r12():
    doc = ezdxf.new("R12", setup=["linetypes"])
    msp = doc.modelspace()
    doc.layers.add("R12", color=4)
    msp.add_line((0, 0), (50, 0), dxfattribs={"layer": "R12"})
    msp.add_circle((25, 25), 10)
    msp.add_arc((25, 25), 15, 0, 270, dxfattribs={"linetype": "DASHED"})
    msp.add_polyline2d([(0, 50), (20, 60), (40, 50)], dxfattribs={"default_start_width": 1, "default_end_width": 1})
    msp.add_text("R12 Zeichnung", dxfattribs={"height": 3, "insert": (0, -10)})
    blk = doc.blocks.new("B12")
    blk.add_line((0, 0), (5, 5))
    blk.add_circle((0, 0), 2)
    for i in range(3):
        msp.add_blockref("B12", (60 + 10 * i, 10), dxfattribs={"rotation": 20 * i})
    doc.saveas(OUT / "r12.dxf")


def arrays():
    doc = ezdxf.new("R2000")
    msp = doc.modelspace()
    cell = doc.blocks.new("CELL")
    cell.add_lwpolyline([(0, 0), (8, 0), (8, 5), (0, 5)], close=True)
    cell.add_circle((4, 2.5), 1.5)
    inner = doc.blocks.new("INNER")
    inner.add_line((0, 0), (3, 3))
    inner.add_blockref("CELL", (0, 0), dxfattribs={"xscale": 0.2, "yscale": 0.2})
    # A minsert of 4 x 6 cells, turned; a minsert of a nested block, mirrored.
    grid = msp.add_blockref("CELL", (0, 0), dxfattribs={"rotation": 15})
    grid.grid(size=(4, 6), spacing=(7, 10))
    grid2 = msp.add_blockref("INNER", (100, 0), dxfattribs={"xscale": -2, "yscale": 2})
    grid2.grid(size=(3, 3), spacing=(8, -8))
    # Inserts with colour and layer ByBlock contents.
    byblock = doc.blocks.new("BYBLOCK")
    byblock.add_line((0, 0), (10, 0), dxfattribs={"color": 0, "layer": "0"})
    byblock.add_circle((5, 0), 3, dxfattribs={"color": 0, "linetype": "BYBLOCK"})
    doc.layers.add("BLUE", color=5)
    msp.add_blockref("BYBLOCK", (0, -30), dxfattribs={"color": 1})
    msp.add_blockref("BYBLOCK", (20, -30), dxfattribs={"layer": "BLUE"})
    doc.saveas(OUT / "arrays.dxf")


def dimensions():
    doc = ezdxf.new("R2000", setup=True)
    msp = doc.modelspace()
    msp.add_lwpolyline([(0, 0), (100, 0), (100, 50), (60, 80), (0, 80)], close=True)
    msp.add_circle((30, 40), 15)
    msp.add_arc((80, 30), 12, 0, 120)
    msp.add_linear_dim(base=(50, -15), p1=(0, 0), p2=(100, 0), dimstyle="EZDXF").render()
    msp.add_linear_dim(base=(115, 25), p1=(100, 0), p2=(100, 50), angle=90, dimstyle="EZDXF").render()
    msp.add_aligned_dim(p1=(100, 50), p2=(60, 80), distance=10, dimstyle="EZDXF").render()
    msp.add_radius_dim(center=(80, 30), radius=12, angle=60, dimstyle="EZDXF").render()
    msp.add_diameter_dim(center=(30, 40), radius=15, angle=135, dimstyle="EZDXF").render()
    msp.add_angular_dim_2l(base=(20, 60), line1=((0, 0), (0, 80)), line2=((0, 80), (60, 80)),
                           dimstyle="EZDXF").render()
    msp.add_ordinate_x_dim(feature_location=(60, 80), offset=(0, 20), dimstyle="EZDXF").render()
    msp.add_leader([(30, 40), (40, 100), (70, 100)])
    msp.add_leader([(80, 30), (110, 90), (130, 95), (150, 90)], dxfattribs={"path_type": 1})
    doc.saveas(OUT / "dimensions.dxf")


def viewports():
    doc = ezdxf.new("R2000", setup=True)
    doc.layers.add("WALLS", color=7)
    doc.layers.add("NOTES", color=3)
    msp = doc.modelspace()
    msp.add_lwpolyline([(0, 0), (200, 0), (200, 120), (0, 120)], close=True, dxfattribs={"layer": "WALLS"})
    for i in range(5):
        msp.add_circle((20 + 40 * i, 60), 10 + 2 * i, dxfattribs={"layer": "WALLS"})
    msp.add_text("Notiz", dxfattribs={"layer": "NOTES", "height": 8, "insert": (10, 100)})
    sheet = doc.layouts.get("Layout1")
    sheet.add_lwpolyline([(0, 0), (420, 0), (420, 297), (0, 297)], close=True)
    sheet.add_viewport(center=(110, 150), size=(200, 140), view_center_point=(100, 60), view_height=130)
    twisted = sheet.add_viewport(center=(320, 200), size=(160, 120), view_center_point=(60, 60), view_height=60)
    twisted.dxf.view_twist_angle = 25
    twisted.frozen_layers = ["NOTES"]
    clipped = sheet.add_viewport(center=(320, 70), size=(160, 100), view_center_point=(150, 60), view_height=80)
    clip = sheet.add_lwpolyline([(250, 30), (390, 30), (390, 110), (320, 120), (250, 90)], close=True)
    clipped.dxf.clipping_boundary_handle = clip.dxf.handle
    clipped.dxf.flags = clipped.dxf.flags | 0x10000
    second = doc.layouts.new("Zweites Blatt")
    second.add_viewport(center=(100, 100), size=(150, 150), view_center_point=(100, 60), view_height=200)
    second.add_text("Blatt 2", dxfattribs={"height": 6, "insert": (10, 10)})
    doc.layouts.new("Leer")
    doc.saveas(OUT / "viewports.dxf")


def hatch_islands():
    doc = ezdxf.new("R2010")  # gradients need R2004 or later; the text is UTF-8
    msp = doc.modelspace()
    # Nested islands: outer, hole, island in the hole.
    for k, (style, pattern) in enumerate([(0, "SOLID"), (1, "ANSI31"), (2, "ANSI37"), (0, "BRICK")]):
        x = 70 * k
        h = msp.add_hatch(color=1 + k, dxfattribs={"hatch_style": style})
        if pattern != "SOLID":
            h.set_pattern_fill(pattern, scale=0.5 + 0.25 * k, angle=15 * k)
        h.paths.add_polyline_path([(x, 0), (x + 60, 0), (x + 60, 60), (x, 60)], is_closed=True, flags=1)
        h.paths.add_polyline_path([(x + 10, 10), (x + 50, 10), (x + 50, 50), (x + 10, 50)], is_closed=True,
                                  flags=16)
        e = h.paths.add_edge_path(flags=16)
        e.add_arc((x + 30, 30), 10, 0, 360)
    grad = msp.add_hatch()
    grad.set_gradient((255, 0, 0), (0, 0, 255), rotation=30)
    grad.paths.add_polyline_path([(0, -80), (100, -80), (100, -20), (0, -20)], is_closed=True)
    dashed = msp.add_hatch(color=4)
    dashed.set_pattern_fill("DASH", scale=1)
    dashed.paths.add_polyline_path([(120, -80, 0), (200, -80, 0.5), (200, -20, 0), (120, -20, 0)], is_closed=True)
    doc.saveas(OUT / "hatch-islands.dxf")


def layers():
    doc = ezdxf.new("R2000", setup=["linetypes"])
    doc.layers.add("OFF", color=3).off()
    doc.layers.add("FROZEN", color=4).freeze()
    doc.layers.add("TRUE", color=1, true_color=ezdxf.rgb2int((10, 200, 30)))
    doc.layers.add("HEAVY", color=6, lineweight=100)
    doc.layers.add("LOCKED", color=2).lock()
    doc.header["$CELTSCALE"] = 1.0
    doc.header["$LTSCALE"] = 2.0
    msp = doc.modelspace()
    for i, layer in enumerate(["0", "OFF", "FROZEN", "TRUE", "HEAVY", "LOCKED"]):
        msp.add_line((0, -10 * i), (80, -10 * i), dxfattribs={"layer": layer})
        msp.add_circle((100, -10 * i), 4, dxfattribs={"layer": layer, "linetype": "DASHED"})
    msp.add_line((0, 20), (80, 20), dxfattribs={"true_color": ezdxf.rgb2int((250, 120, 0)), "lineweight": 50})
    msp.add_lwpolyline([(0, 30), (80, 30), (80, 40)], dxfattribs={"color": 256, "lineweight": 200})
    blk = doc.blocks.new("ONZERO")
    blk.add_line((0, 0), (10, 10), dxfattribs={"layer": "0"})
    blk.add_line((0, 10), (10, 0), dxfattribs={"layer": "OFF"})
    msp.add_blockref("ONZERO", (120, 0), dxfattribs={"layer": "OFF"})
    msp.add_blockref("ONZERO", (140, 0), dxfattribs={"layer": "TRUE"})
    doc.saveas(OUT / "layers.dxf")


if __name__ == "__main__":
    OUT.mkdir(parents=True, exist_ok=True)
    texts()
    mtexts()
    xrefs()
    points()
    binary()
    polylines()
    r12()
    arrays()
    dimensions()
    viewports()
    hatch_islands()
    layers()
