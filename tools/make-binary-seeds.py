#!/usr/bin/env python3
"""Writes the seeds of the binary DXF fuzz target: the named ASCII seeds of
fuzz/seeds/draw_dxf (and a few drawings of the entities the binary form
must carry), each as binary DXF without the 22-byte sentinel, which the
target puts in front. Every seed comes with 16-bit codes; a few also with
the 8-bit codes of release 12 files. The few drawings also go as ASCII DXF
into the seeds of the text targets."""
import pathlib
import struct

ROOT = pathlib.Path(__file__).resolve().parent.parent
SRC = ROOT / "fuzz" / "seeds" / "draw_dxf"
OUT = ROOT / "fuzz" / "seeds" / "draw_binary"


def kind(code):
    r = lambda a, b: a <= code <= b
    if r(10, 59) or r(110, 149) or r(210, 239) or r(460, 469) or r(1010, 1059):
        return "d"
    if r(290, 299):
        return "B"
    if r(160, 169):
        return "q"
    if r(90, 99) or r(420, 429) or r(440, 459) or code == 1071:
        return "i"
    if r(60, 79) or r(170, 179) or r(270, 289) or r(370, 389) or r(400, 409) or r(1060, 1070):
        return "h"
    if r(310, 319) or code == 1004:
        return "chunk"
    return "s"


def encode(groups, wide=True):
    out = bytearray()
    for code, value in groups:
        if wide:
            out += struct.pack("<h", code)
        elif code < 255:
            out += bytes([code])
        else:
            out += b"\xff" + struct.pack("<h", code)
        k = kind(code)
        if k == "s":
            out += value.encode("cp1252", "replace") + b"\0"
        elif k == "chunk":
            data = bytes.fromhex(value) if len(value) % 2 == 0 else value.encode()
            out += bytes([len(data[:255])]) + data[:255]
        elif k == "d":
            out += struct.pack("<d", float(value))
        else:
            out += struct.pack("<" + k, int(float(value)))
    return bytes(out)


def groups_of(text):
    lines = text.splitlines()
    return [(int(lines[i].strip()), lines[i + 1]) for i in range(0, len(lines) - 1, 2)]


def ents(*body):
    g = [(0, "SECTION"), (2, "ENTITIES")]
    for b in body:
        g += b
    return g + [(0, "ENDSEC"), (0, "EOF")]


EXTRA = {
    "trace": ents([(0, "TRACE"), (8, "0"), (10, 0), (20, 0), (11, 10), (21, 0), (12, 0), (22, 8), (13, 10), (23, 9)]),
    "spline_rational": ents([(0, "SPLINE"), (70, 8), (71, 2)] + [(40, k) for k in (0, 0, 0, 1, 1, 1)]
                            + [(10, 1), (20, 0), (30, 0), (10, 1), (20, 1), (30, 0), (10, 0), (20, 1), (30, 0)]
                            + [(41, 1), (41, 0.7071067811865476), (41, 1)]),
    "spline_fit": ents([(0, "SPLINE"), (70, 8), (71, 3), (12, 1), (22, 1), (32, 0)]
                       + [(c, v) for x, y in ((0, 0), (10, 8), (20, -3), (30, 12)) for c, v in ((11, x), (21, y), (31, 0))]),
    "insert_array": [(0, "SECTION"), (2, "BLOCKS"), (0, "BLOCK"), (2, "B"), (10, 0), (20, 0), (0, "LINE"),
                     (10, 0), (20, 0), (11, 2), (21, 1), (0, "ENDBLK"), (0, "ENDSEC")]
                    + ents([(0, "INSERT"), (2, "B"), (10, 5), (20, 5), (50, 30), (70, 3), (71, 2), (44, 4), (45, 3)]),
    "header_chunk": [(999, "comment"), (0, "SECTION"), (2, "HEADER"), (9, "$ACADVER"), (1, "AC1015"),
                     (9, "$LTSCALE"), (40, 2.5), (0, "ENDSEC")]
                    + ents([(0, "LINE"), (8, "walls"), (62, 3), (370, 25), (290, 1), (160, 12345678901),
                            (310, "00FF10AB"), (1071, 70000), (10, 0), (20, 0), (11, 5), (21, 5)]),
    # Bounded work: layouts of their own (block records, empty blocks) and
    # layouts that all show the model through viewports; NaN, infinite and
    # float-overflowing coordinates of every kind, texts and arrays beyond
    # the target range; a multi-line text of a run per letter.
    "layouts_many": [(0, "SECTION"), (2, "TABLES"), (0, "TABLE"), (2, "BLOCK_RECORD"), (0, "BLOCK_RECORD"),
                     (5, "A0"), (2, "*Paper_Space")]
                    + [g for i in range(200) for g in ((0, "BLOCK_RECORD"), (5, "%X" % (0x1000 + i)),
                                                       (2, "*Paper_Space%d" % i))]
                    + [(0, "ENDTAB"), (0, "ENDSEC"), (0, "SECTION"), (2, "BLOCKS"), (0, "BLOCK"), (2, "*Paper_Space"),
                       (330, "A0")]
                    + [g for i in range(3) for g in ((0, "VIEWPORT"), (5, "%X" % (0x100 + i)), (10, 10 * i + 5),
                                                     (20, 5), (40, 10), (41, 10), (12, 5), (22, 5), (45, 12),
                                                     (68, 1), (69, i + 2))]
                    + [(0, "ENDBLK")]
                    + [g for i in range(200) for g in ((0, "BLOCK"), (2, "*Paper_Space%d" % i), (0, "ENDBLK"))]
                    + [(0, "ENDSEC")]
                    + ents(*[[(0, "LINE"), (8, "0"), (10, i), (20, 0), (11, i + 1), (21, 9)] for i in range(20)])[:-1]
                    + [(0, "SECTION"), (2, "OBJECTS")]
                    + [g for i in range(200) for g in ((0, "LAYOUT"), (1, "L%d" % i), (330, "%X" % (0x1000 + i)))]
                    + [g for i in range(50) for g in ((0, "LAYOUT"), (1, "V%d" % i), (330, "A0"))]
                    + [(0, "ENDSEC"), (0, "EOF")],
    "nan_infinity": ents(*[[(0, "TRACE"), (8, "0"), (10, 0), (20, 0), (11, v), (21, 0), (12, 0), (22, 1), (13, 1),
                            (23, 1),
                            (0, "LWPOLYLINE"), (8, "0"), (90, 2), (10, 0), (20, 0), (10, v), (20, 5),
                            (0, "SPLINE"), (8, "0"), (70, 8), (71, 1), (72, 4), (73, 2), (40, 0), (40, 0), (40, 1),
                            (40, 1), (10, 0), (20, 0), (10, v), (20, 1),
                            (0, "HATCH"), (8, "0"), (2, "SOLID"), (70, 1), (91, 1), (92, 2), (72, 1), (73, 1), (93, 3),
                            (10, 0), (20, 0), (10, v), (20, 0), (10, 0), (20, 1), (97, 0), (75, 0), (76, 1)]
                           for v in ("nan", "inf", "-inf", "1e39")]
                         + [[(0, "LINE"), (8, "0"), (10, 0), (20, 0), (11, 100), (21, 50)]]),
    "beyond_target": [(0, "SECTION"), (2, "BLOCKS"), (0, "BLOCK"), (2, "B"), (10, 0), (20, 0), (0, "LINE"),
                      (10, 0), (20, 0), (11, 1), (21, 1), (0, "ENDBLK"), (0, "ENDSEC")]
                     + ents([(0, "LINE"), (8, "0"), (10, 0), (20, 0), (11, 100), (21, 50),
                             (0, "TEXT"), (8, "0"), (10, 0), (20, 0), (40, "1e30"), (1, "huge"),
                             (0, "MTEXT"), (8, "0"), (10, 0), (20, 0), (40, "1e30"), (1, "huge"),
                             (0, "INSERT"), (8, "0"), (2, "B"), (10, 0), (20, 0), (70, 3), (44, "1e38"),
                             (0, "INSERT"), (8, "0"), (2, "B"), (10, 0), (20, 0), (41, "1e15"), (42, "1e15"),
                             (0, "POINT"), (8, "0"), (10, "1e15"), (20, 0)]),
    "mtext_runs": ents([(0, "MTEXT"), (8, "0"), (10, 0), (20, 0), (40, 1), (41, 30), (71, 3)]
                       + [(3, "a{b}" * 62 + "\\P")] * 8 + [(1, "{\\C1;x}\\Pend")]),
}

def ascii(groups):
    return "".join("%d\n%s\n" % (c, v) for c, v in groups)


OUT.mkdir(parents=True, exist_ok=True)
# A UTF-8 byte-order mark before the first group (text seeds only: the binary
# form has its sentinel there).
BOM = "\ufeff" + ascii(ents([(0, "TEXT"), (8, "W\u00e4nde"), (10, 0), (20, 0), (40, 1), (1, "Gr\u00fc\u00dfe")]))
for target in ("load", "draw_text"):
    (ROOT / "fuzz" / "seeds" / target / "utf8_bom.dxf").write_text(BOM, "utf-8")
for name, g in EXTRA.items():
    for target in ("load", "draw_text", "draw_dxf"):
        (ROOT / "fuzz" / "seeds" / target / (name + ".dxf")).write_text(ascii(g), "cp1252")
for f in sorted(SRC.glob("*.dxf")):
    g = groups_of(f.read_text("cp1252"))
    (OUT / (f.stem + ".bin")).write_bytes(encode(g))
for name, g in EXTRA.items():
    (OUT / (name + ".bin")).write_bytes(encode(g))
    (OUT / (name + ".r12.bin")).write_bytes(encode(g, wide=False))
