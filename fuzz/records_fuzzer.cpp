// Feeds the record reader of the simplified DXF writer with arbitrary record
// sequences: the fuzz bytes are decoded into records of every kind the
// recording knows, with count fields that need not match what the records
// carry, and handed to TkrDXFExport::LoadFromMetafile. The reader's own
// errors are expected outcomes; the file text is then written in memory.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "output/dxf_writer.h"
#include "output/errors.h"
#include "platform/emf_records.h"

namespace {
constexpr EmrType kKinds[] = {
    EmrType::EMR_HEADER, EmrType::EMR_POLYBEZIER, EmrType::EMR_POLYGON, EmrType::EMR_POLYLINE,
    EmrType::EMR_POLYBEZIERTO, EmrType::EMR_POLYLINETO, EmrType::EMR_POLYPOLYLINE, EmrType::EMR_POLYPOLYGON,
    EmrType::EMR_SETWINDOWEXTEX, EmrType::EMR_SETWINDOWORGEX, EmrType::EMR_SETVIEWPORTEXTEX,
    EmrType::EMR_SETVIEWPORTORGEX, EmrType::EMR_EOF, EmrType::EMR_SETPIXELV, EmrType::EMR_SETMAPMODE,
    EmrType::EMR_SETBKMODE, EmrType::EMR_SETTEXTALIGN, EmrType::EMR_SETTEXTCOLOR, EmrType::EMR_SETBKCOLOR,
    EmrType::EMR_MOVETOEX, EmrType::EMR_SAVEDC, EmrType::EMR_RESTOREDC, EmrType::EMR_SETWORLDTRANSFORM,
    EmrType::EMR_MODIFYWORLDTRANSFORM, EmrType::EMR_SELECTOBJECT, EmrType::EMR_CREATEPEN,
    EmrType::EMR_CREATEBRUSHINDIRECT, EmrType::EMR_DELETEOBJECT, EmrType::EMR_ANGLEARC, EmrType::EMR_ELLIPSE,
    EmrType::EMR_RECTANGLE, EmrType::EMR_ROUNDRECT, EmrType::EMR_ARC, EmrType::EMR_CHORD, EmrType::EMR_PIE,
    EmrType::EMR_LINETO, EmrType::EMR_ARCTO, EmrType::EMR_BEGINPATH, EmrType::EMR_ENDPATH,
    EmrType::EMR_EXTSELECTCLIPRGN, EmrType::EMR_EXTCREATEFONTINDIRECTW, EmrType::EMR_EXTTEXTOUTA,
    EmrType::EMR_EXTTEXTOUTW, EmrType::EMR_POLYBEZIER16, EmrType::EMR_POLYGON16, EmrType::EMR_POLYLINE16,
    EmrType::EMR_POLYBEZIERTO16, EmrType::EMR_POLYLINETO16, EmrType::EMR_POLYPOLYLINE16,
    EmrType::EMR_POLYPOLYGON16, EmrType::EMR_EXTCREATEPEN,
};

// Small values most of the time (so that drawings make sense), any value sometimes.
int32_t Coord(FuzzedDataProvider& in) {
    return in.ConsumeBool() ? in.ConsumeIntegral<int32_t>() : in.ConsumeIntegralInRange<int32_t>(-2000, 2000);
}
uint32_t Count(FuzzedDataProvider& in, size_t actual) {
    return in.ConsumeBool() ? uint32_t(actual) : in.ConsumeIntegral<uint32_t>();
}
float Real(FuzzedDataProvider& in) {
    switch (in.ConsumeIntegralInRange(0, 3)) {
        case 0: return float(in.ConsumeIntegralInRange(-4, 4));
        case 1: return in.ConsumeFloatingPoint<float>();
        case 2: return in.ConsumeProbability<float>() * 2 - 1;
        default: return 1.0f;
    }
}
POINTL Point(FuzzedDataProvider& in) { return {Coord(in), Coord(in)}; }
RECTL Rect(FuzzedDataProvider& in) { return {Coord(in), Coord(in), Coord(in), Coord(in)}; }
XFORM Xform(FuzzedDataProvider& in) { return {Real(in), Real(in), Real(in), Real(in), Real(in), Real(in)}; }
uint32_t Object(FuzzedDataProvider& in) {
    switch (in.ConsumeIntegralInRange(0, 2)) {
        case 0: return in.ConsumeIntegralInRange<uint32_t>(0, 8);
        case 1: return in.ConsumeIntegralInRange<uint32_t>(WHITE_BRUSH, SYSTEM_FONT + 2);
        default: return in.ConsumeIntegral<uint32_t>();
    }
}

TEmfRecord Decode(FuzzedDataProvider& in) {
    EmrType t = in.PickValueInArray(kKinds);
    switch (t) {
        case EmrType::EMR_HEADER: return EMRHEADER{t, Rect(in), Rect(in), in.ConsumeIntegral<uint32_t>(), 0};
        case EmrType::EMR_EOF: return EMREOF{};
        case EmrType::EMR_POLYBEZIER: case EmrType::EMR_POLYGON: case EmrType::EMR_POLYLINE:
        case EmrType::EMR_POLYBEZIERTO: case EmrType::EMR_POLYLINETO: {
            EMRPOLYLINE r;
            r.iType = t;
            r.aptl.resize(in.ConsumeIntegralInRange(0, 40));
            for (auto& p : r.aptl) p = Point(in);
            r.cptl = Count(in, r.aptl.size());
            return r;
        }
        case EmrType::EMR_POLYBEZIER16: case EmrType::EMR_POLYGON16: case EmrType::EMR_POLYLINE16:
        case EmrType::EMR_POLYBEZIERTO16: case EmrType::EMR_POLYLINETO16: {
            EMRPOLYLINE16 r;
            r.iType = t;
            r.apts.resize(in.ConsumeIntegralInRange(0, 40));
            for (auto& p : r.apts) p = {in.ConsumeIntegral<int16_t>(), in.ConsumeIntegral<int16_t>()};
            r.cpts = Count(in, r.apts.size());
            return r;
        }
        case EmrType::EMR_POLYPOLYLINE: case EmrType::EMR_POLYPOLYGON: {
            EMRPOLYPOLYLINE r;
            r.iType = t;
            r.aPolyCounts.resize(in.ConsumeIntegralInRange(0, 6));
            for (auto& c : r.aPolyCounts) c = in.ConsumeBool() ? in.ConsumeIntegralInRange(0, 8) : in.ConsumeIntegral<uint32_t>();
            r.aptl.resize(in.ConsumeIntegralInRange(0, 40));
            for (auto& p : r.aptl) p = Point(in);
            r.nPolys = Count(in, r.aPolyCounts.size());
            r.cptl = Count(in, r.aptl.size());
            return r;
        }
        case EmrType::EMR_POLYPOLYLINE16: case EmrType::EMR_POLYPOLYGON16: {
            EMRPOLYPOLYLINE16 r;
            r.iType = t;
            r.aPolyCounts.resize(in.ConsumeIntegralInRange(0, 6));
            for (auto& c : r.aPolyCounts) c = in.ConsumeBool() ? in.ConsumeIntegralInRange(0, 8) : in.ConsumeIntegral<uint32_t>();
            r.apts.resize(in.ConsumeIntegralInRange(0, 40));
            for (auto& p : r.apts) p = {in.ConsumeIntegral<int16_t>(), in.ConsumeIntegral<int16_t>()};
            r.nPolys = Count(in, r.aPolyCounts.size());
            r.cpts = Count(in, r.apts.size());
            return r;
        }
        case EmrType::EMR_MOVETOEX: case EmrType::EMR_LINETO: return EMRLINETO{t, Point(in)};
        case EmrType::EMR_SETWINDOWORGEX: case EmrType::EMR_SETVIEWPORTORGEX: return EMRSETWINDOWORGEX{t, Point(in)};
        case EmrType::EMR_SETWINDOWEXTEX: case EmrType::EMR_SETVIEWPORTEXTEX:
            return EMRSETWINDOWEXTEX{t, {Coord(in), Coord(in)}};
        case EmrType::EMR_RECTANGLE: case EmrType::EMR_ELLIPSE: return EMRRECTANGLE{t, Rect(in)};
        case EmrType::EMR_ROUNDRECT: return EMRROUNDRECT{t, Rect(in), {Coord(in), Coord(in)}};
        case EmrType::EMR_ARC: case EmrType::EMR_CHORD: case EmrType::EMR_PIE: case EmrType::EMR_ARCTO:
            return EMRARC{t, Rect(in), Point(in), Point(in)};
        case EmrType::EMR_ANGLEARC:
            return EMRANGLEARC{t, Point(in), in.ConsumeBool() ? in.ConsumeIntegral<uint32_t>() : in.ConsumeIntegralInRange<uint32_t>(0, 500),
                               Real(in) * 360, Real(in) * 360};
        case EmrType::EMR_SETPIXELV: return EMRSETPIXELV{t, Point(in), in.ConsumeIntegral<uint32_t>()};
        case EmrType::EMR_EXTTEXTOUTA: case EmrType::EMR_EXTTEXTOUTW: {
            EMREXTTEXTOUTW r;
            r.iType = t;
            r.rclBounds = Rect(in);
            r.iGraphicsMode = in.ConsumeIntegralInRange<uint32_t>(0, 3);
            r.exScale = Real(in);
            r.eyScale = Real(in);
            r.emrtext.ptlReference = Point(in);
            r.emrtext.fOptions = in.ConsumeIntegral<uint32_t>();
            r.emrtext.rcl = Rect(in);
            size_t n = in.ConsumeIntegralInRange(0, 24);
            for (size_t i = 0; i < n; ++i) r.String.push_back(char16_t(in.ConsumeIntegral<uint16_t>()));
            r.emrtext.nChars = Count(in, r.String.size());
            return r;
        }
        case EmrType::EMR_SETTEXTALIGN: case EmrType::EMR_SETMAPMODE: case EmrType::EMR_SETBKMODE:
            return EMRSETTEXTALIGN{t, in.ConsumeIntegral<uint32_t>()};
        case EmrType::EMR_SETTEXTCOLOR: case EmrType::EMR_SETBKCOLOR:
            return EMRSETTEXTCOLOR{t, in.ConsumeIntegral<uint32_t>()};
        case EmrType::EMR_SAVEDC: return EMRSAVEDC{};
        case EmrType::EMR_RESTOREDC: return EMRRESTOREDC{t, in.ConsumeIntegralInRange(-3, 3)};
        case EmrType::EMR_SETWORLDTRANSFORM: return EMRSETWORLDTRANSFORM{t, Xform(in)};
        case EmrType::EMR_MODIFYWORLDTRANSFORM:
            return EMRMODIFYWORLDTRANSFORM{t, Xform(in), in.ConsumeIntegralInRange<uint32_t>(0, 4)};
        case EmrType::EMR_SELECTOBJECT: case EmrType::EMR_DELETEOBJECT: return EMRSELECTOBJECT{t, Object(in)};
        case EmrType::EMR_CREATEPEN:
            return EMRCREATEPEN{t, Object(in), {in.ConsumeIntegral<uint32_t>(), Point(in), in.ConsumeIntegral<uint32_t>()}};
        case EmrType::EMR_EXTCREATEPEN: {
            EMREXTCREATEPEN r;
            r.ihPen = Object(in);
            r.elp.elpPenStyle = in.ConsumeIntegral<uint32_t>();
            r.elp.elpWidth = in.ConsumeIntegral<uint32_t>();
            r.elp.elpBrushStyle = in.ConsumeIntegralInRange<uint32_t>(0, 3);
            r.elp.elpColor = in.ConsumeIntegral<uint32_t>();
            r.elp.elpHatch = in.ConsumeIntegral<uint32_t>();
            return r;
        }
        case EmrType::EMR_CREATEBRUSHINDIRECT:
            return EMRCREATEBRUSHINDIRECT{t, Object(in), {in.ConsumeIntegralInRange<uint32_t>(0, 3), in.ConsumeIntegral<uint32_t>(),
                                                          in.ConsumeIntegralInRange<uint32_t>(0, 6)}};
        case EmrType::EMR_EXTCREATEFONTINDIRECTW: {
            EMREXTCREATEFONTINDIRECTW r;
            r.ihFont = Object(in);
            r.elfw.lfHeight = Coord(in);
            r.elfw.lfWidth = Coord(in);
            r.elfw.lfEscapement = in.ConsumeIntegral<int32_t>();
            r.elfw.lfOrientation = in.ConsumeIntegral<int32_t>();
            r.elfw.lfWeight = in.ConsumeIntegral<int32_t>();
            r.elfw.lfItalic = in.ConsumeIntegral<uint8_t>();
            r.elfw.lfUnderline = in.ConsumeIntegral<uint8_t>();
            r.elfw.lfCharSet = in.ConsumeIntegral<uint8_t>();
            size_t n = in.ConsumeIntegralInRange(0, 32);  // 32: no terminator
            for (size_t i = 0; i < n; ++i) r.elfw.lfFaceName[i] = char16_t(in.ConsumeIntegralInRange(32, 0x17F));
            return r;
        }
        case EmrType::EMR_EXTSELECTCLIPRGN: return EMREXTSELECTCLIPRGN{t, in.ConsumeIntegral<uint32_t>()};
        default: return EMRGENERIC{t};
    }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    TEmfRecording records;
    if (in.ConsumeBool()) records.push_back(EMRHEADER{});
    while (in.remaining_bytes() > 0 && records.size() < 4096) records.push_back(Decode(in));
    TkrDXFExport writer;
    try {
        writer.LoadFromMetafile(records);
    } catch (const EkrExportError&) {
    }
    std::string text = writer.SaveToString();
    if (text.size() < 5 || text.compare(text.size() - 5, 5, "EOF\r\n") != 0) __builtin_trap();
    return 0;
}
