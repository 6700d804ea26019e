#!/usr/bin/python3
"""Draws the program icon gui/icons/dxf2plandrop-gui.png (256 x 256): a
drawing sheet with a flange drawn in dark blue, and a drop of lines falling
from its corner. Rerun after changing it; needs python3-pil."""
import math
import os
from PIL import Image, ImageDraw

S = 4  # drawn at four times the size, then scaled down for smooth edges
N = 256 * S
BLUE = (0, 0, 128, 255)
LIGHT = (90, 120, 200, 255)
img = Image.new("RGBA", (N, N), (0, 0, 0, 0))
d = ImageDraw.Draw(img)


def box(x0, y0, x1, y1):
    return [x0 * S, y0 * S, x1 * S, y1 * S]


# The sheet with a folded corner.
d.rounded_rectangle(box(20, 12, 196, 236), radius=10 * S, fill=(255, 255, 255, 255), outline=BLUE, width=6 * S)
d.polygon([(156 * S, 12 * S), (196 * S, 12 * S), (196 * S, 52 * S)], fill=(0, 0, 0, 0))
d.line([(156 * S, 14 * S), (156 * S, 52 * S), (194 * S, 52 * S)], fill=BLUE, width=6 * S)
d.line([(156 * S, 12 * S), (196 * S, 52 * S)], fill=BLUE, width=6 * S)

# A flange: outer and inner circle, four bolt holes, centre lines.
cx, cy, r = 104, 124, 60
d.ellipse(box(cx - r, cy - r, cx + r, cy + r), outline=BLUE, width=6 * S)
d.ellipse(box(cx - 24, cy - 24, cx + 24, cy + 24), outline=BLUE, width=5 * S)
for k in range(4):
    a = math.radians(45 + 90 * k)
    hx, hy = cx + 42 * math.cos(a), cy + 42 * math.sin(a)
    d.ellipse(box(hx - 7, hy - 7, hx + 7, hy + 7), outline=BLUE, width=4 * S)
for (x0, y0, x1, y1) in [(cx - 74, cy, cx + 74, cy), (cx, cy - 74, cx, cy + 74)]:
    d.line(box(x0, y0, x1, y1), fill=LIGHT, width=3 * S)

# The drop: the drawing turned into straight segments.
d.ellipse(box(150, 160, 240, 250), fill=BLUE)
d.polygon([(160 * S, 180 * S), (195 * S, 112 * S), (230 * S, 180 * S)], fill=BLUE)
for i, y in enumerate((182, 198, 214, 230)):
    w = [26, 34, 34, 22][i]
    d.line(box(195 - w, y, 195 + w, y), fill=(255, 255, 255, 255), width=5 * S)

out = os.path.join(os.path.dirname(__file__), "..", "gui", "icons", "dxf2plandrop-gui.png")
img.resize((256, 256), Image.LANCZOS).save(out)
print(out)
