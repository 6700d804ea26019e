#!/usr/bin/python3
"""Writes the example drawings in examples/ (run once; the files are committed).

Needs Debian's python3-ezdxf. The drawings are deterministic: fixed handles
seed, no time stamps that change the geometry.
"""
import math
import pathlib

import ezdxf

OUT = pathlib.Path(__file__).resolve().parent.parent / "examples"


def floor_plan():
    doc = ezdxf.new("R2000", setup=["linetypes"])
    doc.header["$LTSCALE"] = 20.0
    doc.header["$INSUNITS"] = 4  # millimetres
    for name, color, lt in [("WALLS", 7, "Continuous"), ("DOORS", 3, "Continuous"), ("WINDOWS", 5, "Continuous"),
                            ("AXES", 1, "DASHED"), ("FURNITURE", 8, "Continuous"), ("TEXT", 2, "Continuous")]:
        doc.layers.add(name, color=color, linetype=lt)
    msp = doc.modelspace()
    # Outer walls (300 mm) and two inner walls, as closed polylines.
    msp.add_lwpolyline([(0, 0), (12000, 0), (12000, 8000), (0, 8000)], close=True, dxfattribs={"layer": "WALLS"})
    msp.add_lwpolyline([(300, 300), (11700, 300), (11700, 7700), (300, 7700)], close=True,
                       dxfattribs={"layer": "WALLS"})
    msp.add_line((5000, 300), (5000, 7700), dxfattribs={"layer": "WALLS"})
    msp.add_line((5000, 4000), (11700, 4000), dxfattribs={"layer": "WALLS"})
    # Doors: leaf and swing.
    for x, y, rot in [(5000, 1500, 0), (7000, 4000, 90), (2000, 0, 90)]:
        leaf_end = (x + 900 * math.cos(math.radians(rot)), y + 900 * math.sin(math.radians(rot)))
        msp.add_line((x, y), leaf_end, dxfattribs={"layer": "DOORS"})
        msp.add_arc((x, y), 900, rot, rot + 90, dxfattribs={"layer": "DOORS"})
    # Windows in the outer wall.
    for x in (1500, 7500, 9800):
        msp.add_lwpolyline([(x, 0), (x + 1200, 0), (x + 1200, 300), (x, 300)], close=True,
                           dxfattribs={"layer": "WINDOWS"})
        msp.add_line((x, 150), (x + 1200, 150), dxfattribs={"layer": "WINDOWS"})
    # Grid axes, dashed.
    for x in (0, 5000, 12000):
        msp.add_line((x, -1000), (x, 9000), dxfattribs={"layer": "AXES"})
    for y in (0, 4000, 8000):
        msp.add_line((-1000, y), (13000, y), dxfattribs={"layer": "AXES"})
    # A table with four chairs, and a round table.
    msp.add_lwpolyline([(1500, 5000), (3500, 5000), (3500, 6200), (1500, 6200)], close=True,
                       dxfattribs={"layer": "FURNITURE"})
    msp.add_circle((8500, 6000), 600, dxfattribs={"layer": "FURNITURE"})
    msp.add_text("LIVING", dxfattribs={"layer": "TEXT", "height": 250, "insert": (2000, 3500)})
    msp.add_text("KITCHEN", dxfattribs={"layer": "TEXT", "height": 250, "insert": (7500, 2000)})
    doc.saveas(OUT / "floor-plan.dxf")


def flange():
    doc = ezdxf.new("R2000", setup=["linetypes"])
    doc.layers.add("CONTOUR", color=7)
    doc.layers.add("HOLES", color=4)
    doc.layers.add("CENTER", color=1, linetype="CENTER")
    msp = doc.modelspace()
    msp.add_circle((0, 0), 100, dxfattribs={"layer": "CONTOUR"})
    msp.add_circle((0, 0), 40, dxfattribs={"layer": "CONTOUR"})
    msp.add_circle((0, 0), 75, dxfattribs={"layer": "CENTER"})
    for i in range(6):
        a = math.radians(i * 60 + 30)
        msp.add_circle((75 * math.cos(a), 75 * math.sin(a)), 9, dxfattribs={"layer": "HOLES"})
    # Keyway in the bore: two lines and an arc.
    msp.add_line((-6, 39.5), (-6, 46), dxfattribs={"layer": "CONTOUR"})
    msp.add_line((6, 39.5), (6, 46), dxfattribs={"layer": "CONTOUR"})
    msp.add_arc((0, 46), 6, 0, 180, dxfattribs={"layer": "CONTOUR"})
    # A rounded lug on the rim, built from arcs and a bulged polyline.
    msp.add_arc((0, 0), 110, 80, 100, dxfattribs={"layer": "CONTOUR"})
    msp.add_lwpolyline([(-19.1, 108.3, 0, 0, 0), (19.1, 108.3, 0, 0, 0)], format="xyseb",
                       dxfattribs={"layer": "CONTOUR"})
    msp.add_ellipse((0, -130), major_axis=(30, 0), ratio=0.4, dxfattribs={"layer": "CONTOUR"})
    msp.add_line((-120, 0), (120, 0), dxfattribs={"layer": "CENTER"})
    msp.add_line((0, -120), (0, 120), dxfattribs={"layer": "CENTER"})
    doc.saveas(OUT / "flange.dxf")


def symbols():
    doc = ezdxf.new("R2000", setup=["linetypes"])
    doc.layers.add("SYMBOLS", color=6)
    doc.layers.add("FRAME", color=7)
    socket = doc.blocks.new("SOCKET", base_point=(0, 0))
    socket.add_circle((0, 0), 5)
    socket.add_line((-5, 0), (5, 0))
    socket.add_line((0, 5), (0, 9))
    lamp = doc.blocks.new("LAMP")
    lamp.add_circle((0, 0), 6)
    lamp.add_line((-4.24, -4.24), (4.24, 4.24))
    lamp.add_line((-4.24, 4.24), (4.24, -4.24))
    switch = doc.blocks.new("SWITCH")
    switch.add_circle((0, 0), 2)
    switch.add_line((1.4, 1.4), (8, 8))
    switch.add_line((8, 8), (10, 6))
    panel = doc.blocks.new("PANEL")  # a block made of other blocks
    panel.add_lwpolyline([(0, 0), (40, 0), (40, 25), (0, 25)], close=True)
    panel.add_blockref("SOCKET", (10, 12))
    panel.add_blockref("SOCKET", (30, 12))
    msp = doc.modelspace()
    msp.add_lwpolyline([(0, 0), (200, 0), (200, 140), (0, 140)], close=True, dxfattribs={"layer": "FRAME"})
    for i, name in enumerate(["SOCKET", "LAMP", "SWITCH"]):
        for j in range(4):
            msp.add_blockref(name, (30 + j * 45, 110 - i * 35),
                             dxfattribs={"layer": "SYMBOLS", "rotation": j * 30, "xscale": 1 + j * 0.25,
                                         "yscale": 1 + j * 0.25})
    msp.add_blockref("PANEL", (150, 10), dxfattribs={"layer": "SYMBOLS", "xscale": -1})
    # A paper-space sheet with a title frame.
    layout = doc.layouts.get("Layout1")
    layout.add_lwpolyline([(10, 10), (287, 10), (287, 200), (10, 200)], close=True)
    layout.add_line((187, 10), (187, 40))
    layout.add_line((187, 40), (287, 40))
    doc.saveas(OUT / "symbols.dxf")


def sheet():
    """A dimensioned part in model space and a paper sheet whose viewports show
    it at 1:2 and a detail at 2:1 (without the dimensions)."""
    doc = ezdxf.new("R2000", setup=True)
    doc.layers.add("PART", color=7)
    doc.layers.add("DIMENSIONS", color=3)
    msp = doc.modelspace()
    msp.add_lwpolyline([(0, 0), (160, 0), (160, 60), (110, 90), (0, 90)], close=True, dxfattribs={"layer": "PART"})
    msp.add_circle((40, 45), 20, dxfattribs={"layer": "PART"})
    msp.add_circle((120, 35), 8, dxfattribs={"layer": "PART"})
    dim = {"layer": "DIMENSIONS"}
    msp.add_linear_dim(base=(80, -20), p1=(0, 0), p2=(160, 0), dimstyle="EZDXF", dxfattribs=dim).render()
    msp.add_linear_dim(base=(-20, 45), p1=(0, 0), p2=(0, 90), angle=90, dimstyle="EZDXF", dxfattribs=dim).render()
    msp.add_aligned_dim(p1=(160, 60), p2=(110, 90), distance=12, dimstyle="EZDXF", dxfattribs=dim).render()
    msp.add_diameter_dim(center=(40, 45), radius=20, angle=35, dimstyle="EZDXF", dxfattribs=dim).render()
    msp.add_leader([(120, 35), (140, 110), (170, 110)], dxfattribs=dim)
    layout = doc.layouts.get("Layout1")
    layout.add_lwpolyline([(0, 0), (297, 0), (297, 210), (0, 210)], close=True)
    layout.add_viewport(center=(100, 110), size=(180, 150), view_center_point=(80, 45), view_height=300)
    detail = layout.add_viewport(center=(240, 110), size=(90, 90), view_center_point=(140, 50), view_height=45)
    detail.frozen_layers = ["DIMENSIONS"]
    doc.saveas(OUT / "sheet.dxf")


def hatches():
    doc = ezdxf.new("R2000")
    doc.layers.add("WALLS", color=7)
    doc.layers.add("HATCH", color=1)
    doc.layers.add("FILL", color=5)
    msp = doc.modelspace()
    # A wall ring (outline with the room as its hole) hatched ANSI31.
    outer = [(0, 0), (6000, 0), (6000, 4000), (0, 4000)]
    inner = [(200, 200), (5800, 200), (5800, 3800), (200, 3800)]
    msp.add_lwpolyline(outer, close=True, dxfattribs={"layer": "WALLS"})
    msp.add_lwpolyline(inner, close=True, dxfattribs={"layer": "WALLS"})
    walls = msp.add_hatch(dxfattribs={"layer": "HATCH"})
    walls.set_pattern_fill("ANSI31", scale=20)
    walls.paths.add_polyline_path(outer, is_closed=True)
    walls.paths.add_polyline_path(inner, is_closed=True)
    # A tiled floor with a round column and a dashed brick pattern around it.
    floor = msp.add_hatch(dxfattribs={"layer": "HATCH", "color": 3})
    floor.set_pattern_fill("ANSI37", scale=40)
    floor.paths.add_polyline_path([(400, 400), (2800, 400), (2800, 3600), (400, 3600)], is_closed=True)
    col = floor.paths.add_edge_path()
    col.add_arc((1600, 2000), 300, 0, 360)
    bricks = msp.add_hatch(dxfattribs={"layer": "HATCH", "color": 6})
    bricks.set_pattern_fill("BRICK", scale=15, angle=30)
    bricks.paths.add_polyline_path([(3000, 400, 0), (5600, 400, 0.4), (5600, 1800, 0), (3000, 1800, 0)],
                                   is_closed=True)
    # Solid fills: a round table, a bulged counter, an ellipse-and-line shape
    # and a spline-bounded rug.
    table = msp.add_hatch(color=5, dxfattribs={"layer": "FILL"})
    table.paths.add_edge_path().add_arc((4300, 2800), 350, 0, 360)
    counter = msp.add_hatch(color=4, dxfattribs={"layer": "FILL"})
    counter.paths.add_polyline_path([(3100, 2100, 0), (3900, 2100, 0), (3900, 3600, -0.5), (3100, 3600, 0)],
                                    is_closed=True)
    shape = msp.add_hatch(dxfattribs={"layer": "HATCH", "color": 2})
    shape.set_pattern_fill("HONEY", scale=10)
    ep = shape.paths.add_edge_path()
    ep.add_line((4800, 2200), (5600, 2200))
    ep.add_ellipse((5600, 2700), major_axis=(0, 500), ratio=0.5, start_angle=-90, end_angle=90)
    ep.add_line((5600, 3200), (4800, 3200))
    ep.add_line((4800, 3200), (4800, 2200))
    rug = msp.add_hatch(dxfattribs={"layer": "HATCH", "color": 1})
    rug.set_pattern_fill("DOTS", scale=20)
    sp = rug.paths.add_edge_path()
    sp.add_spline(control_points=[(600, 600), (1200, 300), (2000, 900), (2600, 600)],
                  knot_values=[0, 0, 0, 0, 1, 1, 1, 1], degree=3)
    sp.add_line((2600, 600), (2600, 1300))
    sp.add_line((2600, 1300), (600, 1300))
    sp.add_line((600, 1300), (600, 600))
    doc.saveas(OUT / "hatches.dxf")


if __name__ == "__main__":
    OUT.mkdir(exist_ok=True)
    floor_plan()
    flange()
    symbols()
    sheet()
    hatches()
