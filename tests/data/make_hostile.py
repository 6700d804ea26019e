#!/usr/bin/env python3
"""Writes the malformed-input battery: small hostile DXF drawings, one per
file, into the folder given on the command line. The test battery
(tests/app/hostile_test.cpp) asserts the exact outcome of each file, so a
change here needs a change there."""
import os
import struct
import sys


def dxf(*groups):
    """Code/value pairs as LF-ended lines."""
    assert len(groups) % 2 == 0
    return "".join(f"{groups[i]}\n{groups[i + 1]}\n" for i in range(0, len(groups), 2))


def entities(*groups):
    return dxf(0, "SECTION", 2, "ENTITIES", *groups, 0, "ENDSEC", 0, "EOF")


LINE = (0, "LINE", 8, "0", 10, 0, 20, 0, 11, 100, 21, 50)


def block(name, *groups):
    return (0, "BLOCK", 2, name, 70, 0, 10, 0, 20, 0, *groups, 0, "ENDBLK")


def blocks_and_entities(blocks, ents):
    return dxf(0, "SECTION", 2, "BLOCKS", *blocks, 0, "ENDSEC",
               0, "SECTION", 2, "ENTITIES", *ents, 0, "ENDSEC", 0, "EOF")


def binary(*groups):
    """A binary DXF file (16-bit codes) of (code, value) pairs: str values
    are strings, float values reals, (int, bytes) pairs integers of that many
    bytes; returned as a latin-1 str, as the text cases are."""
    out = b"AutoCAD Binary DXF\r\n\x1a\x00"
    for code, value in groups:
        out += struct.pack("<H", code)
        if isinstance(value, str):
            out += value.encode("latin-1") + b"\x00"
        elif isinstance(value, float):
            out += struct.pack("<d", value)
        else:
            out += value[0].to_bytes(value[1], "little")
    return out.decode("latin-1")


def cases():
    c = {}
    # The reader's group structure.
    c["group_code_overflow"] = entities(*LINE, "99999999999", "x")
    c["group_code_int32_max_plus_one"] = entities(*LINE, "2147483648", "x")
    c["group_code_negative"] = entities(*LINE, "-5", "x")
    c["group_code_not_a_number"] = entities(*LINE, "1O", "x")
    c["lone_zero_at_end"] = dxf(0, "SECTION", 2, "ENTITIES", *LINE) + "0\n"
    c["lone_zero_no_newline"] = dxf(0, "SECTION", 2, "ENTITIES", *LINE) + "0"
    c["missing_value_after_code"] = dxf(0, "SECTION", 2, "ENTITIES", *LINE) + "10\n"
    c["missing_values_in_line"] = entities(0, "LINE", 10, "", 20, "", 11, "", 21, "")
    c["empty_file"] = ""
    c["only_eof"] = dxf(0, "EOF")
    c["no_endsec_no_eof"] = dxf(0, "SECTION", 2, "ENTITIES", *LINE)
    # Line ends and bytes.
    c["cr_cr_lf"] = entities(*LINE).replace("\n", "\r\r\n")
    c["cr_only"] = entities(*LINE).replace("\n", "\r")
    c["crlf"] = entities(*LINE).replace("\n", "\r\n")
    c["nul_bytes_in_values"] = entities(0, "LINE", 8, "a\0b", 10, "0\0", 20, 0, 11, 100, 21, 50)
    c["nul_byte_code_line"] = entities(*LINE).replace("11\n", "1\x001\n", 1)
    c["utf8_bom"] = "\xef\xbb\xbf" + entities(*LINE)
    c["binary_dxf_sentinel"] = "AutoCAD Binary DXF\r\n\x1a\x00" + "\x00" * 32
    c["ten_mb_single_line"] = entities(0, "TEXT", 10, 0, 20, 0, 40, 1, 1, "A" * (10 * 1024 * 1024), *LINE)
    c["ten_mb_line_no_newline"] = "0\n" + "X" * (10 * 1024 * 1024)
    # Numbers.
    c["nan_inf_values"] = entities(0, "LINE", 10, "nan", 20, 0, 11, "inf", 21, "-inf",
                                   0, "CIRCLE", 10, "1e999", 20, 0, 40, 5, *LINE)
    c["int_overflow_flags"] = entities(0, "LWPOLYLINE", 90, "2147483648", 70, 1, 10, 0, 20, 0, 10, 1, 20, 1)
    c["huge_coordinates"] = entities(0, "LINE", 10, "-3.4e38", 20, "-3.4e38", 11, "3.4e38", 21, "3.4e38", *LINE)
    c["handle_40_hex_digits"] = entities(0, "LINE", 5, "F" * 40, 330, "A" * 40, 8, "0",
                                         10, 0, 20, 0, 11, 100, 21, 50)
    # Nesting and references.
    c["nested_blocks_100000"] = dxf(0, "SECTION", 2, "BLOCKS") + \
        "".join(f"0\nBLOCK\n2\nB{i}\n" for i in range(100000)) + dxf(0, "ENDSEC", 0, "EOF")
    c["nested_sections_1000"] = "0\nSECTION\n2\nENTITIES\n" * 1000 + dxf(0, "EOF")
    c["insert_cycle"] = blocks_and_entities(
        [*block("A", *LINE, 0, "INSERT", 2, "B", 10, 1, 20, 1),
         *block("B", *LINE, 0, "INSERT", 2, "A", 10, 1, 20, 1)],
        [0, "INSERT", 2, "A", 10, 0, 20, 0])
    c["insert_self"] = blocks_and_entities(
        [*block("A", *LINE, 0, "INSERT", 2, "A", 10, 1, 20, 1)], [0, "INSERT", 2, "A", 10, 0, 20, 0])
    c["insert_missing_block"] = entities(0, "INSERT", 2, "NOPE", 10, 0, 20, 0, *LINE)
    chain = [block(f"C{i}", 0, "INSERT", 2, f"C{i + 1}", 10, 1, 20, 0) for i in range(3000)]
    c["insert_chain_3000"] = blocks_and_entities(
        [g for b in chain for g in b] + list(block("C3000", *LINE)), [0, "INSERT", 2, "C0", 10, 0, 20, 0])
    # Ten inserts per level, nine levels: 10^9 lines if drawn in full.
    fan = [block(f"F{i}", *[g for k in range(10) for g in (0, "INSERT", 2, f"F{i + 1}", 10, k, 20, 0)])
           for i in range(9)]
    c["insert_fanout_billion"] = blocks_and_entities(
        [g for b in fan for g in b] + list(block("F9", *LINE)), [0, "INSERT", 2, "F0", 10, 0, 20, 0])
    c["insert_array_32767"] = blocks_and_entities(
        list(block("A", *LINE)), [0, "INSERT", 2, "A", 10, 0, 20, 0, 70, 32767, 71, 32767, 44, 1, 45, 1])
    # Point counts.
    c["arc_huge_sweep"] = entities(0, "ARC", 10, 0, 20, 0, 40, 10, 50, 0, 51, "1e30")
    c["ellipse_huge_params"] = entities(0, "ELLIPSE", 10, 0, 20, 0, 11, 10, 21, 0, 40, 0.5, 41, 0, 42, "1e12")
    c["many_huge_ellipses"] = entities(*[g for k in range(200) for g in
                                         (0, "ELLIPSE", 10, k, 20, 0, 11, 10, 21, 0, 40, 0.5, 41, 0, 42, "1e12")])
    c["lwpolyline_count_lies"] = entities(0, "LWPOLYLINE", 90, 2147483647, 10, 0, 20, 0, 10, 5, 20, 5)
    c["lwpolyline_bulges_1e9"] = entities(0, "LWPOLYLINE", 90, 3, 10, 0, 20, 0, 42, "1e9", 10, 5, 20, 5,
                                          42, "-1e9", 10, 9, 20, 0)
    c["spline_degree_huge"] = entities(0, "SPLINE", 70, 8, 71, 2147483647, 72, 2, 73, 2,
                                       40, 0, 40, 1, 10, 0, 20, 0, 10, 5, 20, 5)
    c["spline_no_knots"] = entities(0, "SPLINE", 70, 8, 71, 3, 73, 4, 10, 0, 20, 0, 10, 1, 20, 1,
                                    10, 2, 20, 0, 10, 3, 20, 1)
    c["polyline_without_seqend"] = entities(0, "POLYLINE", 66, 1, 0, "VERTEX", 10, 0, 20, 0,
                                            0, "VERTEX", 10, 5, 20, 5)
    c["vertex_outside_polyline"] = entities(0, "VERTEX", 10, 0, 20, 0, *LINE)
    c["mesh_size_huge"] = entities(0, "POLYLINE", 66, 1, 70, 16, 71, 65535, 72, 65535,
                                   0, "VERTEX", 70, 64, 10, 0, 20, 0, 0, "SEQEND")
    # A pattern of 1000 elements and 200 long lines: a dozen kilobytes that
    # would cut 100 million dash points.
    c["dash_points_bomb"] = dxf(
        0, "SECTION", 2, "TABLES", 0, "TABLE", 2, "LTYPE",
        0, "LTYPE", 2, "D", 73, 1000, *([49, "0.25", 49, "-0.25"] * 500), 0, "ENDTAB", 0, "ENDSEC",
        0, "SECTION", 2, "ENTITIES", *([0, "LINE", 6, "D", 11, 124000] * 200), 0, "ENDSEC", 0, "EOF")
    c["ltype_tiny_dashes"] = dxf(
        0, "SECTION", 2, "TABLES", 0, "TABLE", 2, "LTYPE",
        0, "LTYPE", 2, "TINY", 73, 2, 40, "2e-30", 49, "1e-30", 49, "-1e-30", 0, "ENDTAB",
        0, "ENDSEC", 0, "SECTION", 2, "ENTITIES",
        0, "LINE", 6, "TINY", 10, 0, 20, 0, 11, 100, 21, 50, 0, "ENDSEC", 0, "EOF")
    c["mtext_broken_codes"] = entities(0, "MTEXT", 10, 0, 20, 0, 40, 2, 1, "\\P\\\\{\\H\\S\\f;\\", *LINE)
    # Texts.
    c["mtext_million_newlines"] = entities(0, "MTEXT", 10, 0, 20, 0, 40, 1,
                                           *[g for k in range(8000) for g in (3, "\\P" * 125)], 1, "A", *LINE)
    c["mtext_nested_braces"] = entities(0, "MTEXT", 10, 0, 20, 0, 40, 1,
                                        *[g for k in range(400) for g in (3, "{" * 250)], 1, "\\C1;x" + "}" * 1000,
                                        *LINE)
    c["mtext_height_codes_huge"] = entities(0, "MTEXT", 10, 0, 20, 0, 40, 1, 41, 5,
                                            1, "\\H1e30x;a \\H1e30x;b c\\H1e-30x;d\\H-5;e\\Hnan;f\\H0;g", *LINE)
    c["mtext_codes_cut_off"] = entities(*[g for t in ("\\H", "\\C", "\\F", "\\A", "\\S1/", "\\T", "\\Q",
                                                      "\\p", "\\U+", "\\M+1", "{", "}", "\\")
                                          for g in (0, "MTEXT", 40, 1, 1, "x" + t)], *LINE)
    c["mtext_wrap_narrow_long"] = entities(0, "MTEXT", 10, 0, 20, 0, 40, 1, 41, "0.001",
                                           *[g for k in range(200) for g in (3, "ab " * 83 + "a")], 1, "end", *LINE)
    c["text_extreme_values"] = entities(
        0, "TEXT", 10, 0, 20, 0, 40, "3e38", 1, "huge",
        0, "TEXT", 10, 0, 20, 0, 40, 1, 41, "3e38", 1, "wide",
        0, "TEXT", 10, 0, 20, 0, 40, 1, 50, "3e38", 1, "turned",
        0, "TEXT", 10, 0, 20, 0, 40, -5, 1, "negative",
        0, "TEXT", 10, 0, 20, 0, 40, 0, 1, "zero",
        0, "TEXT", 10, 0, 20, 0, 40, 1, 72, 5, 11, "3e38", 21, 0, 1, "fit far",
        0, "TEXT", 10, 0, 20, 0, 40, 1, 72, 300, 73, -7, 11, 1, 21, 1, 1, "odd alignments", *LINE)
    c["attrib_chain_no_seqend"] = entities(0, "INSERT", 2, "NONE", 66, 1,
                                           *[g for k in range(1000) for g in (0, "ATTRIB", 2, "T", 40, 1, 1, "v")],
                                           *LINE)
    c["style_named_by_100000_texts"] = entities(*[g for k in range(100000) for g in (0, "TEXT", 7, "Gone", 1, "x")],
                                                *LINE)
    c["utf8_text_broken"] = dxf(0, "SECTION", 2, "HEADER", 9, "$ACADVER", 1, "AC1027", 0, "ENDSEC",
                                0, "SECTION", 2, "ENTITIES", 0, "TEXT", 8, "L\xc3", 40, 1, 1, "\xe2\x82 \xff\xfe \xc3\xa4",
                                *LINE, 0, "ENDSEC", 0, "EOF")
    # Bounded work for every input: non-finite geometry, geometry beyond the
    # target range, a text of a run per letter.
    bad = []
    for v in (float("nan"), float("inf")):
        bad += [(0, "TRACE"), (8, "0"), (10, 0.0), (20, 0.0), (11, v), (21, 0.0), (12, 0.0), (22, 1.0),
                (13, 1.0), (23, 1.0),
                (0, "LWPOLYLINE"), (8, "0"), (90, (2, 4)), (10, 0.0), (20, 0.0), (10, v), (20, 5.0),
                (0, "SPLINE"), (8, "0"), (70, (8, 2)), (71, (1, 2)), (72, (4, 2)), (73, (2, 2)),
                (40, 0.0), (40, 0.0), (40, 1.0), (40, 1.0), (10, 0.0), (20, 0.0), (10, v), (20, 1.0),
                (0, "HATCH"), (8, "0"), (2, "SOLID"), (70, (1, 2)), (91, (1, 4)), (92, (2, 4)), (72, (1, 2)),
                (73, (1, 2)), (93, (3, 4)), (10, 0.0), (20, 0.0), (10, v), (20, 0.0), (10, 0.0), (20, 1.0),
                (97, (0, 4)), (75, (0, 2)), (76, (1, 2))]
    c["binary_nan_infinity"] = binary((0, "SECTION"), (2, "ENTITIES"), *bad,
                                      (0, "LINE"), (8, "0"), (10, 0.0), (20, 0.0), (11, 100.0), (21, 50.0),
                                      (0, "ENDSEC"), (0, "EOF"))
    c["insert_array_spacing_1e38"] = blocks_and_entities(
        list(block("A", *LINE)), [0, "INSERT", 2, "A", 10, 0, 20, 0, 70, 3, 44, "1e38", *LINE])
    c["point_far_outside"] = entities(0, "POINT", 8, "0", 10, "1e15", 20, 0, *LINE)
    c["texts_1e30_high"] = entities(0, "TEXT", 10, 0, 20, 0, 40, "1e30", 1, "huge",
                                    0, "MTEXT", 10, 0, 20, 0, 40, "1e30", 1, "huge", *LINE)
    c["mtext_runs_120000"] = entities(0, "MTEXT", 10, 0, 20, 0, 40, 1,
                                      *[g for k in range(1000) for g in (3, "a{b}" * 62 + "a{")], 1, "b}",
                                      *LINE)
    c["hatch_counts_lie"] = entities(0, "HATCH", 2, "SOLID", 70, 1, 91, 2147483647, 92, 2, 72, 1,
                                     93, 2147483647, 10, 0, 20, 0, *LINE)

    def hatch(pattern, path=((0, 0), (1000, 0), (1000, 1000), (0, 1000)), *extra):
        """A pattern HATCH over one polyline path; pattern: (angle, base x, base
        y, offset x, offset y, dash lengths)."""
        g = [0, "HATCH", 70, 0, 91, 1, 92, 2, 72, 0, 73, 1, 93, len(path)]
        for x, y in path:
            g += [10, x, 20, y]
        g += [97, 0, *extra, 78, len(pattern)]
        for a, bx, by, ox, oy, dashes in pattern:
            g += [53, a, 43, bx, 44, by, 45, ox, 46, oy, 79, len(dashes)]
            for d in dashes:
                g += [49, d]
        return g

    c["hatch_lines_billion"] = entities(*hatch([(45, 0, 0, "-1e-6", "1e-6", [])]), *LINE)
    c["hatch_box_1e38"] = entities(*hatch([(0, 0, 0, 0, 1, [])], ((-1e38, -1e38), (1e38, -1e38), (0, 1e38))), *LINE)
    c["hatch_no_progress_270"] = entities(*hatch([(270, 0, 0, 0, 1, [])]), *LINE)
    c["hatch_single_dash"] = entities(*hatch([(0, 0, 0, 0, 250, [5])]), *LINE)
    c["hatch_comb_teeth"] = entities(*hatch([(0, 0, 0.5, 0, 1, [])],
                                            [(i // 2, 0 if i % 2 == 0 else 1000) for i in range(4000)]), *LINE)
    c["hatch_spline_knots_absurd"] = entities(
        0, "HATCH", 70, 0, 91, 1, 92, 1, 93, 1, 72, 4, 94, 3, 95, 8, 96, 4,
        *[v for k in (0, 0, 0, 0, "1e30", "1e30", "1e30", "1e30") for v in (40, k)],
        *[v for i in range(4) for v in (10, i * 10, 20, (i % 2) * 10)], 97, 0,
        78, 1, 53, 0, 43, 0, 44, 0, 45, 0, 46, 1, 79, 0, *LINE)
    return c


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    for name, text in cases().items():
        with open(os.path.join(out, name + ".dxf"), "wb") as f:
            f.write(text.encode("latin-1"))


if __name__ == "__main__":
    main()
