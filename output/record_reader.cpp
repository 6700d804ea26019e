#include "output/record_reader.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

#include "output/dxf_writer.h"
#include "output/errors.h"
#include "output/world_point.h"
#include "platform/codepage.h"

namespace {

constexpr std::array<std::int32_t, 256> MakeAciTable() {
    std::array<std::int32_t, 256> t{};
    for (auto& v : t) v = 1;
    t[0] = 0; t[2] = 3; t[3] = 2; t[4] = 5; t[5] = 6; t[6] = 4; t[7] = 0; t[9] = 251;
    t[38] = 33; t[51] = 102; t[63] = 50; t[73] = 251; t[91] = 252; t[156] = 163;
    t[164] = 253; t[191] = 2; t[224] = 171; t[255] = 254;
    return t;
}
constexpr std::array<std::int32_t, 256> kAciTable = MakeAciTable();

using world_point::CheckedInt;

template <class R>
const R& As(const TEmfRecord& rec) {
    const R* r = std::get_if<R>(&rec);
    if (!r) throw EMalformedRecord("record kind and layout disagree");
    return *r;
}

XFORM Multiply(const XFORM& a, const XFORM& b) {
    // Affine 3x3 matrices [[eM11, eM12, 0], [eM21, eM22, 0], [eDx, eDy, 1]].
    XFORM r;
    r.eM11 = float(double(a.eM11) * b.eM11 + double(a.eM12) * b.eM21);
    r.eM12 = float(double(a.eM11) * b.eM12 + double(a.eM12) * b.eM22);
    r.eM21 = float(double(a.eM21) * b.eM11 + double(a.eM22) * b.eM21);
    r.eM22 = float(double(a.eM21) * b.eM12 + double(a.eM22) * b.eM22);
    r.eDx = float(double(a.eDx) * b.eM11 + double(a.eDy) * b.eM21 + b.eDx);
    r.eDy = float(double(a.eDx) * b.eM12 + double(a.eDy) * b.eM22 + b.eDy);
    return r;
}

struct TLineType {
    const char* Name;
    std::vector<float> Elements;
};

const TLineType& DashType(int style) {
    static const TLineType types[] = {
        {"_DASH", {8, -2}},
        {"_DOT", {2, -2}},
        {"_DASHDOT", {8, -2, 2, -2}},
        {"_DASHDOTDOT", {8, -2, 2, -2, 2, -2}},
    };
    return types[style - 1];
}

}  // namespace

std::int32_t ColorToACI(std::uint32_t c) {
    switch (c) {
        case 0x000000: return 7;
        case 0x000080: return 14;
        case 0x0000FF: return 1;
        case 0x008000: return 74;
        case 0x008080: return 44;
        case 0x00FF00: return 3;
        case 0x00FFFF: return 2;
        case 0x800000: return 154;
        case 0x800080: return 224;
        case 0x808000: return 135;
        case 0x808080: return 8;
        case 0xC0C0C0: return 9;
        case 0xFF0000: return 5;
        case 0xFF00FF: return 6;
        case 0xFFFF00: return 4;
        case 0xFFFFFF: return 255;
        case 0x1FFFFFFF: return 0;
        default: break;
    }
    std::uint32_t i = ((c & 0xE0) >> 5) + ((c & 0xE000) >> 10) + ((c & 0xC00000) >> 16);
    return kAciTable[i];
}

TkrPen::TkrPen(const EMRCREATEPEN& rec)
    : Color(ColorToACI(rec.lopn.lopnColor)),
      Width(rec.lopn.lopnWidth.x),
      Style(static_cast<std::uint8_t>(rec.lopn.lopnStyle & 0xFF)) {}

TkrExtPen::TkrExtPen(const EMREXTCREATEPEN& rec) {
    Color = ColorToACI(rec.elp.elpColor);
    Width = static_cast<std::int32_t>(rec.elp.elpWidth);
    Style = static_cast<std::uint8_t>(rec.elp.elpPenStyle & 0xFF);
}

TkrBrush::TkrBrush(const EMRCREATEBRUSHINDIRECT& rec) : Color(ColorToACI(rec.lb.lbColor)) {
    // Every style but the hatched one, the hollow style included, is a solid fill.
    if (rec.lb.lbStyle == BS_HATCHED && rec.lb.lbHatch <= HS_DIAGCROSS)
        FillStyle = static_cast<std::uint8_t>(rec.lb.lbHatch + 2);
}

TkrFont::TkrFont(const EMREXTCREATEFONTINDIRECTW& rec)
    : Height(rec.elfw.lfHeight),
      Width(rec.elfw.lfWidth),
      Escapement(rec.elfw.lfEscapement),
      Bold(rec.elfw.lfWeight >= 700),
      Italic(rec.elfw.lfItalic != 0),
      Underline(rec.elfw.lfUnderline != 0) {
    std::u16string_view face(rec.elfw.lfFaceName, 32);
    face = face.substr(0, std::min<std::size_t>(face.find(u'\0'), 32));
    FaceName = Utf16ToCp1252(face);
}

TkrMetafile::TkrMetafile(TkrDXFExport& writer, const TTextMeasure& measure)
    : FWriter(writer), FMeasure(measure) {
    FSavedTransform = {0, 0, 0, 0, 0, 0};
}

TkrMetafile::~TkrMetafile() = default;

void TkrMetafile::Enumerate(const TEmfRecording& records) {
    for (const TEmfRecord& rec : records) EnumerateRecord(rec);
}

void TkrMetafile::Enumerate(const TEmfRecordBuffer& records) {
    records.ForEach([this](const TEmfRecord& rec) { EnumerateRecord(rec); },
                    [this](const EMRLINETO& move, const EMRLINETO& line) {
                        CurrentPos = T(move.ptl);
                        LineRecord(line);
                    });
}

// ---- coordinates -------------------------------------------------------------

TPoint TkrMetafile::T(std::int32_t x, std::int32_t y) const {
    return FWorldMap.Map(WorldTransform, x, y);
}

TExpPoint3F TkrMetafile::C(const TPoint& p) const {
    return {static_cast<float>(std::int64_t(p.X) - WindowOrigin.X),
            static_cast<float>(-std::int64_t(p.Y) + WindowOrigin.Y), 0.0f};
}

// ---- pen and fill ------------------------------------------------------------

void TkrMetafile::ApplyPen() {
    if (!FPen) return;
    FData.Color = FPen->Color;
    FData.PenWidth = static_cast<float>(FPen->Width);
    DefinePenLineType();
    const int s = FPen->Style;
    if (s >= 1 && s <= 4) FData.Text = DashType(s).Name;
}

void TkrMetafile::DefinePenLineType() {
    const int s = FPen->Style;
    if (s >= 1 && s <= 4) {
        if (!(DefinedLineTypes & (1u << s))) {
            const TLineType& lt = DashType(s);
            DefinedLineTypes |= std::uint8_t(1u << s);
            FWriter.AddLineType(lt.Name, lt.Elements);
        }
    } else if (s > 6) {
        // Styles above 6 define "_DASH" but draw solid. Guarded by the
        // "_DASH" bit so the table never holds two records of one name.
        if (!(DefinedLineTypes & 2u)) {
            DefinedLineTypes |= 2u;
            const TLineType& lt = DashType(1);
            FWriter.AddLineType(lt.Name, lt.Elements);
        }
    }
}

bool TkrMetafile::SameColourSolid() const {
    return FBrush && FBrush->FillStyle == 0 && FPen && FBrush->Color == FPen->Color;
}

// ---- dispatch -----------------------------------------------------------------

void TkrMetafile::LineRecord(const EMRLINETO& line) {
    // While the writer only measures, a line counts its handle and its ends
    // and defines its pen's line type, which is all that LineTo and the
    // line's figure leave behind then; the export record is not filled.
    if (FWriter.MeasuringEntities()) {
        const TPoint from = CurrentPos, p = T(line.ptl);
        CurrentPos = p;
        if (!FPen || FPen->Style == 5) return;
        DefinePenLineType();
        FWriter.MeasureLine(C(from), C(p));
        return;
    }
    // A line after a line only needs the line type name emptied: since the
    // last full reset only the fields a line sets (colour, pen width, line
    // type name, both points) were written, and it sets them all again.
    if (FDataLineOnly) {
        FData.Text.clear();
    } else {
        FData = TdxfExportData{};
        FDataLineOnly = true;
    }
    LineTo(line);
}

void TkrMetafile::EnumerateRecord(const TEmfRecord& rec) {
    // Moves and lines first. A move leaves the export record alone (no
    // record reads it before setting it afresh).
    if (const EMRLINETO* line = std::get_if<EMRLINETO>(&rec)) {
        if (line->iType == EmrType::EMR_MOVETOEX) {
            CurrentPos = T(line->ptl);
            return;
        }
        if (line->iType == EmrType::EMR_LINETO) {
            LineRecord(*line);
            return;
        }
    }
    FData = TdxfExportData{};
    FDataLineOnly = false;
    const EmrType type = RecordType(rec);
    switch (type) {
        case EmrType::EMR_POLYLINE: case EmrType::EMR_POLYLINE16:
        case EmrType::EMR_POLYGON: case EmrType::EMR_POLYGON16:
        case EmrType::EMR_POLYBEZIER: case EmrType::EMR_POLYBEZIER16:
        case EmrType::EMR_POLYLINETO: case EmrType::EMR_POLYLINETO16:
        case EmrType::EMR_POLYBEZIERTO: case EmrType::EMR_POLYBEZIERTO16:
            Poly(rec, type);
            break;
        case EmrType::EMR_POLYPOLYLINE16:
            PolyPoly(As<EMRPOLYPOLYLINE16>(rec), false);
            break;
        case EmrType::EMR_POLYPOLYGON16:
            PolyPoly(As<EMRPOLYPOLYLINE16>(rec), true);
            break;
        case EmrType::EMR_POLYPOLYGON:
            PolyPoly(As<EMRPOLYPOLYLINE>(rec), true);
            break;
        case EmrType::EMR_MOVETOEX:
            CurrentPos = T(As<EMRLINETO>(rec).ptl);
            break;
        case EmrType::EMR_LINETO:
            LineTo(As<EMRLINETO>(rec));
            break;
        case EmrType::EMR_RECTANGLE:
            Rectangle(As<EMRRECTANGLE>(rec));
            break;
        case EmrType::EMR_ROUNDRECT:
            RoundRect(As<EMRROUNDRECT>(rec));
            break;
        case EmrType::EMR_ELLIPSE:
            Ellipse(As<EMRRECTANGLE>(rec));
            break;
        case EmrType::EMR_ARC: case EmrType::EMR_CHORD: case EmrType::EMR_PIE:
        case EmrType::EMR_ARCTO:
            Arc(As<EMRARC>(rec));
            break;
        case EmrType::EMR_ANGLEARC:
            AngleArc(As<EMRANGLEARC>(rec));
            break;
        case EmrType::EMR_SETPIXELV:
            Pixel(As<EMRSETPIXELV>(rec));
            break;
        case EmrType::EMR_EXTTEXTOUTW:
            Text(As<EMREXTTEXTOUTW>(rec));
            break;
        case EmrType::EMR_SETTEXTALIGN:
            TextAlign = As<EMRSETTEXTALIGN>(rec).iMode;
            break;
        case EmrType::EMR_SETTEXTCOLOR:
            TextColor = ColorToACI(As<EMRSETTEXTCOLOR>(rec).crColor);
            break;
        case EmrType::EMR_SETWINDOWORGEX:
            WindowOrigin = T(As<EMRSETWINDOWORGEX>(rec).ptlOrigin);
            break;
        case EmrType::EMR_SETWORLDTRANSFORM:
            WorldTransform = As<EMRSETWORLDTRANSFORM>(rec).xform;
            break;
        case EmrType::EMR_MODIFYWORLDTRANSFORM:
            ModifyWorldTransform(As<EMRMODIFYWORLDTRANSFORM>(rec));
            break;
        case EmrType::EMR_SAVEDC:
            SaveDC();
            break;
        case EmrType::EMR_RESTOREDC:
            RestoreDC();
            break;
        case EmrType::EMR_CREATEPEN: {
            const auto& r = As<EMRCREATEPEN>(rec);
            CreateObject(r.ihPen, std::make_unique<TkrPen>(r));
            break;
        }
        case EmrType::EMR_EXTCREATEPEN: {
            const auto& r = As<EMREXTCREATEPEN>(rec);
            CreateObject(r.ihPen, std::make_unique<TkrExtPen>(r));
            break;
        }
        case EmrType::EMR_CREATEBRUSHINDIRECT: {
            const auto& r = As<EMRCREATEBRUSHINDIRECT>(rec);
            CreateObject(r.ihBrush, std::make_unique<TkrBrush>(r));
            break;
        }
        case EmrType::EMR_EXTCREATEFONTINDIRECTW: {
            const auto& r = As<EMREXTCREATEFONTINDIRECTW>(rec);
            CreateObject(r.ihFont, std::make_unique<TkrFont>(r));
            break;
        }
        case EmrType::EMR_SELECTOBJECT:
            SelectObject(As<EMRSELECTOBJECT>(rec).ihObject);
            break;
        case EmrType::EMR_DELETEOBJECT:
            DeleteObject(As<EMRSELECTOBJECT>(rec).ihObject);
            break;
        default:
            // Header, end of file, mapping mode, extents, 32-bit poly-polygons,
            // 8-bit text, paths, clipping, bitmaps: no effect.
            break;
    }
}

// ---- drawing records --------------------------------------------------------------

void TkrMetafile::Poly(const TEmfRecord& rec, EmrType type) {
    using enum EmrType;
    const bool closed = type == EMR_POLYGON || type == EMR_POLYGON16;
    const bool bezier = type == EMR_POLYBEZIER || type == EMR_POLYBEZIER16 ||
                        type == EMR_POLYBEZIERTO || type == EMR_POLYBEZIERTO16;
    const bool moves = type == EMR_POLYLINETO || type == EMR_POLYLINETO16 ||
                       type == EMR_POLYBEZIERTO || type == EMR_POLYBEZIERTO16;
    FParts.clear();
    ApplyPen();
    TExpPointList list;
    TPoint last{};
    bool any = false;
    if (const auto* r16 = std::get_if<EMRPOLYLINE16>(&rec)) {
        if (r16->cpts != r16->apts.size()) throw EMalformedRecord("point count");
        list.reserve(r16->apts.size());
        for (const POINTS& p : r16->apts) {
            // 16-bit points are sign-extended.
            list.push_back(C(T(p.x, p.y)));
            last = {p.x, p.y};
            any = true;
        }
    } else {
        const auto& r = As<EMRPOLYLINE>(rec);
        if (r.cptl != r.aptl.size()) throw EMalformedRecord("point count");
        list.reserve(r.aptl.size());
        for (const POINTL& p : r.aptl) {
            list.push_back(C(T(p)));
            last = {p.x, p.y};
            any = true;
        }
    }
    FParts.push_back(std::move(list));
    FData.Parts = &FParts;
    FData.PartCount = 1;
    FData.Closed = closed;
    // The position moves to the last point as recorded, without the transform.
    if (moves && any) CurrentPos = last;
    if (FBrush && closed) {
        FData.Color = FBrush->Color;
        FData.FillStyle = FBrush->FillStyle;
        FData.CurveKind = 0;
        FWriter.AddHatch(FData);
    }
    if (FPen && !(closed && SameColourSolid())) {
        FData.Color = FPen->Color;
        if (bezier)
            FWriter.AddPolyBezier(FData, 0);
        else
            FWriter.AddPolyline(FData, 0);
    }
}

namespace {
std::uint32_t PointCountOf(const EMRPOLYPOLYLINE16& r) { return r.cpts; }
std::uint32_t PointCountOf(const EMRPOLYPOLYLINE& r) { return r.cptl; }
const std::vector<POINTS>& PointsOf(const EMRPOLYPOLYLINE16& r) { return r.apts; }
const std::vector<POINTL>& PointsOf(const EMRPOLYPOLYLINE& r) { return r.aptl; }
}  // namespace

template <class R>
void TkrMetafile::PolyPoly(const R& rec, bool closed) {
    // The counts must agree with what the record carries; the part count is
    // a 16-bit field, so more than 65535 parts is refused as well.
    if (rec.nPolys != rec.aPolyCounts.size() || rec.nPolys > 0xFFFF)
        throw EMalformedRecord("polygon count");
    std::uint64_t total = 0;
    for (std::uint32_t c : rec.aPolyCounts) total += c;
    const auto& points = PointsOf(rec);
    if (total != PointCountOf(rec) || PointCountOf(rec) != points.size()) throw EMalformedRecord("point count");
    ApplyPen();
    FParts.clear();
    FParts.reserve(rec.nPolys);
    std::size_t k = 0;
    for (std::uint32_t c : rec.aPolyCounts) {
        TExpPointList list;
        list.reserve(c);
        for (std::uint32_t j = 0; j < c; ++j, ++k) list.push_back(C(T(points[k].x, points[k].y)));
        FParts.push_back(std::move(list));
    }
    FData.Parts = &FParts;
    FData.PartCount = static_cast<std::uint16_t>(rec.nPolys);
    FData.Closed = closed;
    if (FBrush && closed) {
        FData.Color = FBrush->Color;
        FData.FillStyle = FBrush->FillStyle;
        FData.CurveKind = 0;
        FWriter.AddHatch(FData);
    }
    if (FPen && !(closed && SameColourSolid())) {
        FData.Color = FPen->Color;
        for (int i = 0; i < static_cast<int>(FParts.size()); ++i) FWriter.AddPolyline(FData, i);
    }
}

void TkrMetafile::LineTo(const EMRLINETO& rec) {
    TPoint p = T(rec.ptl);
    if (!FPen || FPen->Style == 5) {
        CurrentPos = p;
        return;
    }
    ApplyPen();
    FData.Point1 = C(CurrentPos);
    FData.Point2 = C(p);
    CurrentPos = p;
    FWriter.AddLine(FData);
}

void TkrMetafile::Rectangle(const EMRRECTANGLE& rec) {
    FParts.clear();
    ApplyPen();
    FData.Point1 = C(T(rec.rclBox.left, rec.rclBox.top));
    FData.Point2 = C(T(rec.rclBox.right, rec.rclBox.bottom));
    if (FBrush) {
        const TExpPoint3F& a = FData.Point1;
        const TExpPoint3F& b = FData.Point2;
        FParts.push_back({{a.X, a.Y, 0}, {b.X, a.Y, 0}, {b.X, b.Y, 0}, {a.X, b.Y, 0}});
        FData.Parts = &FParts;
        FData.PartCount = 1;
        FData.Color = FBrush->Color;
        FData.FillStyle = FBrush->FillStyle;
        FData.CurveKind = 0;
        FWriter.AddHatch(FData);
    }
    if (FPen && !SameColourSolid()) {
        FData.Color = FPen->Color;
        FWriter.AddRectangle(FData);
    }
}

void TkrMetafile::RoundRect(const EMRROUNDRECT& rec) {
    TPoint lt = T(rec.rclBox.left, rec.rclBox.top);
    TPoint rb = T(rec.rclBox.right, rec.rclBox.bottom);
    const std::int64_t L = lt.X, Tp = lt.Y, R = rb.X, B = rb.Y;
    // The box sides are halved as unsigned shifts.
    auto half = [](std::int64_t side) {
        return std::int64_t(static_cast<std::uint32_t>(side) >> 1);
    };
    const std::int64_t d = std::min(half(R - L), std::int64_t(rec.szlCorner.cx / 2));
    const std::int64_t f = std::min(half(B - Tp), std::int64_t(rec.szlCorner.cy / 2));
    auto pt = [&](std::int64_t x, std::int64_t y) {
        return TExpPoint3F{static_cast<float>(x - WindowOrigin.X),
                           static_cast<float>(WindowOrigin.Y - y), 0.0f};
    };
    FParts.clear();
    FParts.push_back({pt(L + d, Tp), pt(R - d, Tp), pt(R, Tp + f), pt(R, B - f), pt(R - d, B),
                      pt(L + d, B), pt(L, B - f), pt(L, Tp + f)});
    ApplyPen();
    FData.Parts = &FParts;
    FData.Closed = 1;
    FData.PartCount = 1;
    FWriter.AddPolyline(FData, 0);
}

void TkrMetafile::EllipseGeometry(const RECTL& box, bool& circle, double& r, double& sx,
                                  double& sy) {
    TPoint lt = T(box.left, box.top);
    TPoint rb = T(box.right, box.bottom);
    const double L = lt.X, Tp = lt.Y, R1 = double(rb.X) + 1, B1 = double(rb.Y) + 1;
    circle = std::fabs((R1 - L) - (B1 - Tp)) <= 1;
    double cx = (L + R1) / 2, cy = -(Tp + B1) / 2;
    FData.Point1 = {static_cast<float>(cx - WindowOrigin.X),
                    static_cast<float>(cy + WindowOrigin.Y), 0.0f};
    const double rx = (R1 - L) / 2, ry = (B1 - Tp) / 2;
    r = std::max(rx, ry);
    FData.Radius = static_cast<float>(r);
    // A box of no size has no axis ratio; it is taken as a point-sized circle.
    sx = r != 0 ? rx / r : 1.0;
    sy = r != 0 ? ry / r : 1.0;
    FData.StartAngle = 0;
    FData.EndAngle = 360;
}

void TkrMetafile::Ellipse(const EMRRECTANGLE& rec) {
    ApplyPen();
    bool circle;
    double r, sx, sy;
    EllipseGeometry(rec.rclBox, circle, r, sx, sy);
    if (circle) {
        FData.CurveKind = 1;
        FWriter.AddCircle(FData);
    } else {
        if (sx > sy) {
            FData.Point2 = {static_cast<float>(r), 0, 0};
            FData.Radius = static_cast<float>(sy);
        } else {
            FData.Point2 = {0, static_cast<float>(r), 0};
            FData.Radius = static_cast<float>(sx);
        }
        FData.CurveKind = 2;
        FWriter.AddEllipse(FData);
    }
    if (FBrush) {
        FData.Color = FBrush->Color;
        FData.FillStyle = FBrush->FillStyle;
        FWriter.AddHatch(FData);
    }
}

void TkrMetafile::Arc(const EMRARC& rec) {
    ApplyPen();
    bool circle;
    double r, sx, sy;
    EllipseGeometry(rec.rclBox, circle, r, sx, sy);
    const double cx = FData.Point1.X, cy = FData.Point1.Y;
    const TPoint S = T(rec.ptlStart), E = T(rec.ptlEnd);
    constexpr double kDeg = 57.29577951308232;
    if (circle) {
        FData.StartAngle = static_cast<float>(std::atan2((-double(S.Y) - cy) * sy, (S.X - cx) * sx) * kDeg);
        FData.EndAngle = static_cast<float>(std::atan2((-double(E.Y) - cy) * sy, (E.X - cx) * sx) * kDeg);
        FData.CurveKind = 0;
    } else {
        auto param = [&](const TPoint& P) {
            const double c = (P.X - cx) * sy, d = (-double(P.Y) - cy) * sx;
            return sx < sy ? std::atan2(d, c) - std::numbers::pi / 2
                           : std::numbers::pi / 2 - std::atan2(c, d);
        };
        FData.StartAngle = static_cast<float>(param(S));
        FData.EndAngle = static_cast<float>(param(E));
        if (sx > sy) {
            FData.Point2 = {static_cast<float>(r), 0, 0};
            FData.Radius = static_cast<float>(sy);
        } else {
            FData.Point2 = {0, static_cast<float>(r), 0};
            FData.Radius = static_cast<float>(sx);
        }
        FData.CurveKind = 1;
    }
    FWriter.AddArc(FData);
}

void TkrMetafile::AngleArc(const EMRANGLEARC& rec) {
    ApplyPen();
    FData.Point1 = C(T(rec.ptlCenter));
    FData.Radius = static_cast<float>(rec.nRadius);
    FData.StartAngle = rec.eStartAngle;
    FData.EndAngle = rec.eStartAngle + rec.eSweepAngle;
    FData.CurveKind = 0;
    FWriter.AddArc(FData);
}

void TkrMetafile::Pixel(const EMRSETPIXELV& rec) {
    FData.Color = ColorToACI(rec.crColor);
    FData.Point1 = C(T(rec.ptlPixel));
    FWriter.AddPixel(FData);
}

void TkrMetafile::Text(const EMREXTTEXTOUTW& rec) {
    const bool updateCP = (TextAlign & TA_UPDATECP) != 0;
    TPoint ref = updateCP ? CurrentPos : T(rec.emrtext.ptlReference);
    FData.Point1 = {static_cast<float>(ref.X), static_cast<float>(-double(ref.Y)), 0.0f};
    FData.Color = TextColor;
    FData.TextHeight = 11;
    if (FFont) {
        FData.TextHeight =
            static_cast<float>(std::fabs(double(FFont->Height) * WorldTransform.eM22) / 1.6);
        FData.Angle = static_cast<float>(FFont->Escapement / 10.0);
        FData.Closed = FFont->Italic;
    }
    FData.Attachment = (TextAlign & TA_BASELINE) ? 6 : 0;
    if ((TextAlign & TA_CENTER) == TA_CENTER)
        FData.Attachment += 1;
    else if (TextAlign & TA_RIGHT)
        FData.Attachment += 2;

    const std::uint32_t nChars = rec.emrtext.nChars;
    const bool symbol = FFont && FFont->FaceName == "Symbol";
    std::string text;
    // The characters Windows-1252 lacks (their places in text, where they
    // read as "?"), written as the MTEXT code "\U+XXXX".
    std::vector<std::pair<std::size_t, char16_t>> wide;
    if (symbol) {
        // Read as bytes up to the first zero byte; of every character in the
        // symbol area (high byte 0xF0) the low byte is the text.
        for (char16_t c : rec.String) {
            unsigned lo = c & 0xFF, hi = c >> 8;
            if (lo == 0 || hi == 0) break;
            if (hi == 0xF0) text += static_cast<char>(lo);
        }
    } else {
        text = Utf16ToCp1252(rec.String);
        if (text.size() > nChars) text.resize(nChars);
        for (std::size_t i = 0, at = 0; i < rec.String.size() && at < text.size(); ++i, ++at) {
            const char16_t u = rec.String[i];
            if (u >= 0xD800 && u <= 0xDBFF && i + 1 < rec.String.size() && rec.String[i + 1] >= 0xDC00 &&
                rec.String[i + 1] <= 0xDFFF)
                ++i;  // one "?": a character past U+FFFF, which the code takes no four digits for
            else if (u >= 0xA0 && !(u >= 0xD800 && u <= 0xDFFF) && text[at] == '?')
                wide.emplace_back(at, u);
        }
    }
    if (nChars > 0 && !text.empty() && text.back() == '\0') text.pop_back();
    if (nChars == 0 || text.empty()) return;

    if (updateCP && FFont) {
        const double w = FMeasure.TextWidth(text, FFont->FaceName, FFont->Height, 0);
        std::int64_t dx = static_cast<std::int64_t>(w), dy = 0;
        if (FFont->Escapement != 0) {
            const double a = FFont->Escapement * std::numbers::pi / 1800;
            dx = static_cast<std::int64_t>(std::nearbyint(std::cos(a) * w));
            dy = -static_cast<std::int64_t>(std::nearbyint(std::sin(a) * w));
        }
        CurrentPos = {CheckedInt(double(CurrentPos.X + dx)), CheckedInt(double(CurrentPos.Y + dy))};
    }
    // In an MTEXT a backslash starts a formatting code and braces group:
    // those of the text itself are written escaped, so that "C:\plan" stays
    // a path and "{x}" stays braces.
    if (text.find_first_of("\\{}") != std::string::npos || !wide.empty()) {
        static constexpr char kHex[] = "0123456789ABCDEF";
        std::string escaped;
        escaped.reserve(text.size() + 8 + 6 * wide.size());
        auto next = wide.begin();
        for (std::size_t i = 0; i < text.size(); ++i) {
            const char c = text[i];
            if (next != wide.end() && next->first == i) {
                const unsigned u = next++->second;
                escaped += "\\U+";
                for (int shift = 12; shift >= 0; shift -= 4) escaped += kHex[(u >> shift) & 0xF];
                continue;
            }
            if (c == '\\' || c == '{' || c == '}') escaped += '\\';
            escaped += c;
        }
        text = std::move(escaped);
    }
    if (FFont) {
        if (FFont->Underline) text = "\\L" + text;
        if (FFont->FaceName == "Symbol") {
            text = "|b0|i0|c2;" + text;
        } else {
            text = ";" + text;
            text = (FFont->Bold ? "|b1" : "|b0") + text;
            text = (FFont->Italic ? "|i1" : "|i0") + text;
        }
        text = "{\\f" + FFont->FaceName + text + "}";
    }
    FData.Text = std::move(text);
    FData.Point1.X = static_cast<float>(double(FData.Point1.X) - WindowOrigin.X);
    FData.Point1.Y = static_cast<float>(double(FData.Point1.Y) + WindowOrigin.Y);
    FWriter.AddText(FData);
}

// ---- state records -------------------------------------------------------------

void TkrMetafile::ModifyWorldTransform(const EMRMODIFYWORLDTRANSFORM& rec) {
    switch (rec.iMode) {
        case MWT_IDENTITY: WorldTransform = XFORM{}; break;
        case MWT_LEFTMULTIPLY: WorldTransform = Multiply(rec.xform, WorldTransform); break;
        case MWT_RIGHTMULTIPLY: WorldTransform = Multiply(WorldTransform, rec.xform); break;
        default: WorldTransform = rec.xform; break;
    }
}

void TkrMetafile::SaveDC() {
    // One save slot, no stack: a second save overwrites the first.
    FSaved = true;
    FSavedTransform = WorldTransform;
    FSavedTextAlign = TextAlign;
    FSavedPos = CurrentPos;
    FSavedOrigin = WindowOrigin;
    FSavedPen = FPen;
    FSavedBrush = FBrush;
    FSavedFont = FFont;
}

void TkrMetafile::RestoreDC() {
    // The relative level is not looked at. A restore with nothing saved
    // changes nothing (copying the empty slot would zero the transform).
    if (!FSaved) return;
    WorldTransform = FSavedTransform;
    TextAlign = FSavedTextAlign;
    CurrentPos = FSavedPos;
    WindowOrigin = FSavedOrigin;
    FPen = FSavedPen;
    FBrush = FSavedBrush;
    FFont = FSavedFont;
}

void TkrMetafile::CreateObject(std::uint32_t index, std::unique_ptr<TkrGDI> object) {
    if (index > kMaxObjectIndex) throw EMalformedRecord("object index");
    if (index >= FObjects.size()) FObjects.resize(std::size_t(index) + 1);
    if (TkrGDI* old = FObjects[index].get()) {
        // Any current or saved selection of the replaced object is dropped.
        if (FPen == old) FPen = nullptr;
        if (FBrush == old) FBrush = nullptr;
        if (FFont == old) FFont = nullptr;
        if (FSavedPen == old) FSavedPen = nullptr;
        if (FSavedBrush == old) FSavedBrush = nullptr;
        if (FSavedFont == old) FSavedFont = nullptr;
    }
    FObjects[index] = std::move(object);
}

void TkrMetafile::SelectObject(std::uint32_t index) {
    if (index & 0x80000000u) {
        switch (index) {
            case WHITE_BRUSH: FDefaultBrush.Color = 255; FBrush = &FDefaultBrush; break;
            case LTGRAY_BRUSH: FDefaultBrush.Color = 254; FBrush = &FDefaultBrush; break;
            case GRAY_BRUSH: FDefaultBrush.Color = 8; FBrush = &FDefaultBrush; break;
            case DKGRAY_BRUSH: FDefaultBrush.Color = 251; FBrush = &FDefaultBrush; break;
            case BLACK_BRUSH: FDefaultBrush.Color = 7; FBrush = &FDefaultBrush; break;
            case NULL_BRUSH: FBrush = nullptr; break;
            case WHITE_PEN: FDefaultPen.Color = 255; FPen = &FDefaultPen; break;
            case BLACK_PEN: FDefaultPen.Color = 7; FPen = &FDefaultPen; break;
            case NULL_PEN: FPen = nullptr; break;
            default: break;
        }
        return;
    }
    if (index >= FObjects.size() || !FObjects[index]) return;
    TkrGDI* obj = FObjects[index].get();
    if (auto* pen = dynamic_cast<TkrPen*>(obj))
        FPen = pen;
    else if (auto* font = dynamic_cast<TkrFont*>(obj))
        FFont = font;
    else if (auto* brush = dynamic_cast<TkrBrush*>(obj))
        FBrush = brush;
}

void TkrMetafile::DeleteObject(std::uint32_t index) {
    if (index >= FObjects.size() || !FObjects[index]) return;
    TkrGDI* obj = FObjects[index].get();
    if (obj == FSavedPen || obj == FSavedBrush || obj == FSavedFont) return;
    if (FPen == obj) FPen = nullptr;
    if (FBrush == obj) FBrush = nullptr;
    if (FFont == obj) FFont = nullptr;
    FObjects[index].reset();
}
