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

def objs(*body):
    g = [(0, "SECTION"), (2, "OBJECTS")]
    for b in body:
        g += b
    return g + [(0, "ENDSEC"), (0, "EOF")]


def proxy_stream():
    """A proxy graphic stream: traits, a transform pushed and popped, and one
    command of every kind drawn, as groups 92 and 310."""
    cmds = []

    def cmd(kind, data=b""):
        cmds.append(struct.pack("<2I", 8 + len(data), kind) + data)

    def pts(*p):
        return b"".join(struct.pack("<3d", *q) for q in p)

    def text(t):
        b = t.encode() + b"\0"
        return b + b"\0" * (-len(b) % 4)

    cmd(14, struct.pack("<I", 1))
    cmd(16, struct.pack("<I", 0))
    cmd(18, struct.pack("<I", 0))
    cmd(22, struct.pack("<I", 0xC2FF8000))
    cmd(23, struct.pack("<i", 25))
    cmd(29, struct.pack("<16d", 1, 0, 0, 5, 0, 1, 0, 5, 0, 0, 1, 0, 0, 0, 0, 1))
    cmd(6, struct.pack("<I", 3) + pts((0, 0, 0), (10, 0, 0), (10, 10, 0)))
    cmd(20, struct.pack("<I", 1))
    cmd(7, struct.pack("<I", 3) + pts((0, 0, 0), (5, 0, 0), (0, 5, 0)))
    cmd(31)
    cmd(2, pts((5, 5, 0)) + struct.pack("<d", 2) + pts((0, 0, 1)))
    cmd(3, pts((0, 0, 0), (4, 4, 0), (8, 0, 0)))
    cmd(4, pts((5, 5, 0)) + struct.pack("<d", 3) + pts((0, 0, 1), (1, 0, 0)) + struct.pack("<dI", 1.5, 0))
    cmd(5, pts((0, 0, 0), (4, 4, 0), (8, 0, 0)) + struct.pack("<I", 0))
    cmd(8, struct.pack("<2I", 2, 2) + pts((0, 0, 0), (1, 0, 0), (0, 1, 0), (1, 1, 0)) + struct.pack("<2I", 0, 0))
    cmd(9, struct.pack("<I", 3) + pts((0, 0, 0), (1, 0, 0), (0, 1, 0)) + struct.pack("<5i", 4, 3, 0, 1, 2) + struct.pack("<2I", 0, 0))
    cmd(10, pts((0, 20, 0), (0, 0, 1), (1, 0, 0)) + struct.pack("<3d", 2.5, 1, 0) + text("Proxy"))
    cmd(11, pts((0, 25, 0), (0, 0, 1), (1, 0, 0)) + text("Two") + struct.pack("<2i4d5I", 3, 0, 2, 1, 0, 0, 0, 0, 0, 0, 0)
        + text("txt") + text(""))
    cmd(12, pts((0, 30, 0), (1, 31, 0)))
    cmd(13, pts((0, 30, 0), (0, 31, 0)))
    cmd(32, struct.pack("<I", 2) + pts((0, 40, 0), (9, 40, 0), (0, 0, 1)))
    cmd(27, b"\0" * 8)
    body = b"".join(cmds)
    data = struct.pack("<2I", 8 + len(body), len(cmds)) + body
    g = [(92, str(len(data)))]
    for i in range(0, len(data), 127):
        g.append((310, data[i:i + 127].hex().upper()))
    return g


CONTEXT = [(300, "CONTEXT_DATA{"), (40, 1), (10, 0), (20, 0), (30, 0), (41, 2.5), (140, 4), (145, 2),
           (290, 1), (304, "Label\\Pline"), (11, 0), (21, 0), (31, 1), (12, 10), (22, 5), (32, 0), (13, 1), (23, 0),
           (33, 0), (43, 20), (90, -1056964608), (171, 1), (296, 0), (110, 0), (120, 0), (130, 0),
           (302, "LEADER{"), (290, 1), (291, 1), (10, 8), (20, 3.75), (30, 0), (11, 1), (21, 0), (31, 0), (40, 8),
           (304, "LEADER_LINE{"), (10, -20), (20, -15), (30, 0), (10, -10), (20, 0), (30, 0), (91, 0),
           (92, -1056964608), (305, "}"), (271, 0), (303, "}"), (301, "}")]
OWN = [(340, "2C"), (170, 2), (91, -1056964608), (341, "0"), (171, -2), (291, 1), (42, 4), (172, 2), (173, 5),
       (95, 6), (92, -1056964608), (93, -1056964608), (272, 9), (273, 9), (94, 0), (345, "1B")]
MLINE = [(0, "MLINE"), (8, "0"), (2, "WALL"), (340, "22"), (40, 2), (70, 1), (71, 1), (72, 3), (73, 2)]
for x, y, dx, dy, mx, my in ((0, 0, 1, 0, 0, 1), (30, 0, 0, 1, -0.7071, 0.7071), (30, 20, 0, 1, -1, 0)):
    MLINE += [(11, x), (21, y), (31, 0), (12, dx), (22, dy), (32, 0), (13, mx), (23, my), (33, 0),
              (74, 2), (41, 0.5), (41, 0), (75, 0), (74, 2), (41, -0.5), (41, 0), (75, 0)]

EXTRA.update({
    "mleader": ents([(0, "MULTILEADER"), (8, "0"), (100, "AcDbMLeader")] + CONTEXT + OWN,
                    [(0, "MLEADER"), (8, "0")] + CONTEXT[:8] + [(296, 1), (341, "1A"), (15, 0), (25, 0), (35, 0),
                                                               (16, 1), (26, 1), (36, 1), (46, 0.5)] + CONTEXT[23:]
                    + [(330, "30"), (302, "12")])[:-1]
               + objs([(0, "MLEADERSTYLE"), (5, "2C"), (173, 1), (44, 3), (341, "1B"), (93, -1040187392)]),
    "mline": ents(MLINE)[:-1]
             + objs([(0, "MLINESTYLE"), (5, "22"), (2, "WALL"), (70, 1 | 2 | 32 | 64 | 256 | 1024), (62, 8),
                     (51, 90), (52, 90), (71, 2), (49, 0.5), (62, 1), (6, "BYLAYER"), (49, -0.5), (62, 0),
                     (6, "BYBLOCK")]),
    "wipeout": ents([(0, "WIPEOUT"), (8, "0"), (10, 40), (20, 0), (30, 0), (11, 20), (21, 0), (31, 0), (12, 0),
                     (22, 10), (32, 0), (13, 1), (23, 1), (71, 2), (91, 4), (14, -0.5), (24, 0.5), (14, 0.5),
                     (24, 0.5), (14, 0.5), (24, -0.5), (14, -0.5), (24, 0.5)])[:-1]
               + objs([(0, "WIPEOUTVARIABLES"), (5, "8D"), (70, 1)]),
    "mesh": ents([(0, "MESH"), (8, "0"), (100, "AcDbSubDMesh"), (71, 2), (72, 0), (91, 0), (92, 5)]
                 + [(c, v) for p in ((0, 0, 0), (10, 0, 0), (10, 10, 0), (0, 10, 0), (20, 5, 1))
                    for c, v in zip((10, 20, 30), p)]
                 + [(93, 9)] + [(90, i) for i in (4, 0, 1, 2, 3, 3, 1, 4, 2)] + [(94, 0), (95, 0), (90, 0)]),
    "helix": ents([(0, "HELIX"), (8, "0"), (100, "AcDbSpline"), (70, 0), (71, 3), (72, 8), (73, 4)]
                  + [(40, k) for k in (0, 0, 0, 0, 1, 1, 1, 1)]
                  + [(c, v) for p in ((5, 0, 0), (5, 2.76, 0.1), (2.76, 5, 0.2), (0, 5, 0.25))
                     for c, v in zip((10, 20, 30), p)]
                  + [(100, "AcDbHelix"), (90, 29), (91, 63), (10, 0), (20, 0), (30, 0), (11, 5), (21, 0), (31, 0),
                     (12, 0), (22, 0), (32, 1), (40, 5), (41, 0.25), (42, 1), (290, 1), (280, 1)]),
    "xline_ray": ents([(0, "LINE"), (10, 0), (20, 0), (11, 100), (21, 100)],
                      [(0, "XLINE"), (8, "0"), (10, 50), (20, 50), (30, 0), (11, 1), (21, 0.5), (31, 0)],
                      [(0, "RAY"), (8, "0"), (6, "DASHED"), (10, 50), (20, 50), (30, 0), (11, 0), (21, 1), (31, 0)]),
    "proxy": ents([(0, "ACAD_PROXY_ENTITY"), (8, "0"), (100, "AcDbProxyEntity"), (90, 498), (91, 500)]
                  + proxy_stream() + [(93, 32), (310, "00000000")],
                  [(0, "AEC_WALL"), (8, "0"), (62, 3)] + proxy_stream() + [(100, "AecDbWall")]),
})


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
