// The typed records of a recorded drawing. Record kinds, structure names and
// field names follow the published Enhanced Metafile Format (EMF); every
// record carries its kind in iType, so one structure can serve the several
// kinds EMF gives the same layout (EMRPOLYLINE16 holds EMR_POLYGON16 as well).
// Variable-length parts are vectors; the count fields stay as recorded, so a
// reader must check them against what the record actually carries.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <span>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include "platform/write_ahead.h"

enum class EmrType : std::uint32_t {
    EMR_HEADER = 1,
    EMR_POLYBEZIER = 2,
    EMR_POLYGON = 3,
    EMR_POLYLINE = 4,
    EMR_POLYBEZIERTO = 5,
    EMR_POLYLINETO = 6,
    EMR_POLYPOLYLINE = 7,
    EMR_POLYPOLYGON = 8,
    EMR_SETWINDOWEXTEX = 9,
    EMR_SETWINDOWORGEX = 10,
    EMR_SETVIEWPORTEXTEX = 11,
    EMR_SETVIEWPORTORGEX = 12,
    EMR_EOF = 14,
    EMR_SETPIXELV = 15,
    EMR_SETMAPMODE = 17,
    EMR_SETBKMODE = 18,
    EMR_SETTEXTALIGN = 22,
    EMR_SETTEXTCOLOR = 24,
    EMR_SETBKCOLOR = 25,
    EMR_MOVETOEX = 27,
    EMR_SAVEDC = 33,
    EMR_RESTOREDC = 34,
    EMR_SETWORLDTRANSFORM = 35,
    EMR_MODIFYWORLDTRANSFORM = 36,
    EMR_SELECTOBJECT = 37,
    EMR_CREATEPEN = 38,
    EMR_CREATEBRUSHINDIRECT = 39,
    EMR_DELETEOBJECT = 40,
    EMR_ANGLEARC = 41,
    EMR_ELLIPSE = 42,
    EMR_RECTANGLE = 43,
    EMR_ROUNDRECT = 44,
    EMR_ARC = 45,
    EMR_CHORD = 46,
    EMR_PIE = 47,
    EMR_LINETO = 54,
    EMR_ARCTO = 55,
    EMR_BEGINPATH = 59,
    EMR_ENDPATH = 60,
    EMR_EXTSELECTCLIPRGN = 75,
    EMR_EXTCREATEFONTINDIRECTW = 82,
    EMR_EXTTEXTOUTA = 83,
    EMR_EXTTEXTOUTW = 84,
    EMR_POLYBEZIER16 = 85,
    EMR_POLYGON16 = 86,
    EMR_POLYLINE16 = 87,
    EMR_POLYBEZIERTO16 = 88,
    EMR_POLYLINETO16 = 89,
    EMR_POLYPOLYLINE16 = 90,
    EMR_POLYPOLYGON16 = 91,
    EMR_EXTCREATEPEN = 95,
};

struct POINTL { std::int32_t x = 0, y = 0; };
struct POINTS { std::int16_t x = 0, y = 0; };
struct SIZEL { std::int32_t cx = 0, cy = 0; };
struct RECTL { std::int32_t left = 0, top = 0, right = 0, bottom = 0; };
struct XFORM { float eM11 = 1, eM12 = 0, eM21 = 0, eM22 = 1, eDx = 0, eDy = 0; };

// Stock object indices (high bit set) as selected by EMR_SELECTOBJECT.
constexpr std::uint32_t WHITE_BRUSH = 0x80000000;
constexpr std::uint32_t LTGRAY_BRUSH = 0x80000001;
constexpr std::uint32_t GRAY_BRUSH = 0x80000002;
constexpr std::uint32_t DKGRAY_BRUSH = 0x80000003;
constexpr std::uint32_t BLACK_BRUSH = 0x80000004;
constexpr std::uint32_t NULL_BRUSH = 0x80000005;
constexpr std::uint32_t WHITE_PEN = 0x80000006;
constexpr std::uint32_t BLACK_PEN = 0x80000007;
constexpr std::uint32_t NULL_PEN = 0x80000008;
constexpr std::uint32_t SYSTEM_FONT = 0x8000000D;

// Brush styles, hatch styles, pen style flags, text alignment.
constexpr std::uint32_t BS_SOLID = 0, BS_NULL = 1, BS_HOLLOW = 1, BS_HATCHED = 2;
constexpr std::uint32_t HS_HORIZONTAL = 0, HS_VERTICAL = 1, HS_FDIAGONAL = 2,
                        HS_BDIAGONAL = 3, HS_CROSS = 4, HS_DIAGCROSS = 5;
constexpr std::uint32_t PS_GEOMETRIC = 0x00010000, PS_ENDCAP_FLAT = 0x00000200,
                        PS_JOIN_BEVEL = 0x00001000;
constexpr std::uint32_t TA_UPDATECP = 1, TA_RIGHT = 2, TA_CENTER = 6, TA_BOTTOM = 8,
                        TA_BASELINE = 24;
constexpr std::uint32_t MWT_IDENTITY = 1, MWT_LEFTMULTIPLY = 2, MWT_RIGHTMULTIPLY = 3;

struct EMRHEADER { EmrType iType = EmrType::EMR_HEADER; RECTL rclBounds; RECTL rclFrame; std::uint32_t nRecords = 0; std::uint16_t nHandles = 0; };
struct EMREOF { EmrType iType = EmrType::EMR_EOF; };
// EMR_POLYBEZIER, EMR_POLYGON, EMR_POLYLINE, EMR_POLYBEZIERTO, EMR_POLYLINETO.
struct EMRPOLYLINE { EmrType iType = EmrType::EMR_POLYLINE; RECTL rclBounds; std::uint32_t cptl = 0; std::vector<POINTL> aptl; };
// The 16-bit forms of the above.
struct EMRPOLYLINE16 { EmrType iType = EmrType::EMR_POLYLINE16; RECTL rclBounds; std::uint32_t cpts = 0; std::vector<POINTS> apts; };
// EMR_POLYPOLYLINE, EMR_POLYPOLYGON.
struct EMRPOLYPOLYLINE { EmrType iType = EmrType::EMR_POLYPOLYLINE; RECTL rclBounds; std::uint32_t nPolys = 0; std::uint32_t cptl = 0; std::vector<std::uint32_t> aPolyCounts; std::vector<POINTL> aptl; };
// EMR_POLYPOLYLINE16, EMR_POLYPOLYGON16.
struct EMRPOLYPOLYLINE16 { EmrType iType = EmrType::EMR_POLYPOLYLINE16; RECTL rclBounds; std::uint32_t nPolys = 0; std::uint32_t cpts = 0; std::vector<std::uint32_t> aPolyCounts; std::vector<POINTS> apts; };
// EMR_MOVETOEX, EMR_LINETO.
struct EMRLINETO { EmrType iType = EmrType::EMR_LINETO; POINTL ptl; };
// EMR_SETWINDOWORGEX, EMR_SETVIEWPORTORGEX.
struct EMRSETWINDOWORGEX { EmrType iType = EmrType::EMR_SETWINDOWORGEX; POINTL ptlOrigin; };
// EMR_SETWINDOWEXTEX, EMR_SETVIEWPORTEXTEX.
struct EMRSETWINDOWEXTEX { EmrType iType = EmrType::EMR_SETWINDOWEXTEX; SIZEL szlExtent; };
// EMR_RECTANGLE, EMR_ELLIPSE.
struct EMRRECTANGLE { EmrType iType = EmrType::EMR_RECTANGLE; RECTL rclBox; };
struct EMRROUNDRECT { EmrType iType = EmrType::EMR_ROUNDRECT; RECTL rclBox; SIZEL szlCorner; };
// EMR_ARC, EMR_CHORD, EMR_PIE, EMR_ARCTO.
struct EMRARC { EmrType iType = EmrType::EMR_ARC; RECTL rclBox; POINTL ptlStart; POINTL ptlEnd; };
struct EMRANGLEARC { EmrType iType = EmrType::EMR_ANGLEARC; POINTL ptlCenter; std::uint32_t nRadius = 0; float eStartAngle = 0; float eSweepAngle = 0; };
struct EMRSETPIXELV { EmrType iType = EmrType::EMR_SETPIXELV; POINTL ptlPixel; std::uint32_t crColor = 0; };
struct EMRTEXT { POINTL ptlReference; std::uint32_t nChars = 0; std::uint32_t fOptions = 0; RECTL rcl; };
// EMR_EXTTEXTOUTW (and EMR_EXTTEXTOUTA, whose 8-bit text is kept widened).
struct EMREXTTEXTOUTW { EmrType iType = EmrType::EMR_EXTTEXTOUTW; RECTL rclBounds; std::uint32_t iGraphicsMode = 1; float exScale = 0; float eyScale = 0; EMRTEXT emrtext; std::u16string String; };
// EMR_SETTEXTALIGN, EMR_SETMAPMODE, EMR_SETBKMODE.
struct EMRSETTEXTALIGN { EmrType iType = EmrType::EMR_SETTEXTALIGN; std::uint32_t iMode = 0; };
// EMR_SETTEXTCOLOR, EMR_SETBKCOLOR.
struct EMRSETTEXTCOLOR { EmrType iType = EmrType::EMR_SETTEXTCOLOR; std::uint32_t crColor = 0; };
struct EMRSAVEDC { EmrType iType = EmrType::EMR_SAVEDC; };
struct EMRRESTOREDC { EmrType iType = EmrType::EMR_RESTOREDC; std::int32_t iRelative = -1; };
struct EMRSETWORLDTRANSFORM { EmrType iType = EmrType::EMR_SETWORLDTRANSFORM; XFORM xform; };
struct EMRMODIFYWORLDTRANSFORM { EmrType iType = EmrType::EMR_MODIFYWORLDTRANSFORM; XFORM xform; std::uint32_t iMode = MWT_IDENTITY; };
// EMR_SELECTOBJECT, EMR_DELETEOBJECT.
struct EMRSELECTOBJECT { EmrType iType = EmrType::EMR_SELECTOBJECT; std::uint32_t ihObject = 0; };
struct LOGPEN { std::uint32_t lopnStyle = 0; POINTL lopnWidth; std::uint32_t lopnColor = 0; };
struct EMRCREATEPEN { EmrType iType = EmrType::EMR_CREATEPEN; std::uint32_t ihPen = 0; LOGPEN lopn; };
struct EXTLOGPEN { std::uint32_t elpPenStyle = 0; std::uint32_t elpWidth = 0; std::uint32_t elpBrushStyle = BS_SOLID; std::uint32_t elpColor = 0; std::uint32_t elpHatch = 0; std::uint32_t elpNumEntries = 0; };
struct EMREXTCREATEPEN { EmrType iType = EmrType::EMR_EXTCREATEPEN; std::uint32_t ihPen = 0; EXTLOGPEN elp; };
struct LOGBRUSH32 { std::uint32_t lbStyle = BS_SOLID; std::uint32_t lbColor = 0; std::uint32_t lbHatch = 0; };
struct EMRCREATEBRUSHINDIRECT { EmrType iType = EmrType::EMR_CREATEBRUSHINDIRECT; std::uint32_t ihBrush = 0; LOGBRUSH32 lb; };
struct LOGFONTW {
    std::int32_t lfHeight = 0, lfWidth = 0, lfEscapement = 0, lfOrientation = 0, lfWeight = 400;
    std::uint8_t lfItalic = 0, lfUnderline = 0, lfStrikeOut = 0, lfCharSet = 1;
    std::uint8_t lfOutPrecision = 0, lfClipPrecision = 0, lfQuality = 0, lfPitchAndFamily = 0;
    char16_t lfFaceName[32] = {};
};
struct EMREXTCREATEFONTINDIRECTW { EmrType iType = EmrType::EMR_EXTCREATEFONTINDIRECTW; std::uint32_t ihFont = 0; LOGFONTW elfw; };
struct EMREXTSELECTCLIPRGN { EmrType iType = EmrType::EMR_EXTSELECTCLIPRGN; std::uint32_t iMode = 0; };
// Any record kind the drawing side never looks into (paths, bitmaps, ...).
struct EMRGENERIC { EmrType iType = EmrType::EMR_BEGINPATH; };

using TEmfRecord = std::variant<
    EMRHEADER, EMREOF, EMRPOLYLINE, EMRPOLYLINE16, EMRPOLYPOLYLINE, EMRPOLYPOLYLINE16, EMRLINETO,
    EMRSETWINDOWORGEX, EMRSETWINDOWEXTEX, EMRRECTANGLE, EMRROUNDRECT, EMRARC, EMRANGLEARC,
    EMRSETPIXELV, EMREXTTEXTOUTW, EMRSETTEXTALIGN, EMRSETTEXTCOLOR, EMRSAVEDC, EMRRESTOREDC,
    EMRSETWORLDTRANSFORM, EMRMODIFYWORLDTRANSFORM, EMRSELECTOBJECT, EMRCREATEPEN,
    EMREXTCREATEPEN, EMRCREATEBRUSHINDIRECT, EMREXTCREATEFONTINDIRECTW, EMREXTSELECTCLIPRGN,
    EMRGENERIC>;

// The kind of any record.
inline EmrType RecordType(const TEmfRecord& r) {
    return std::visit([](const auto& rec) { return rec.iType; }, r);
}

// A whole recording: EMR_HEADER first, EMR_EOF last once closed.
using TEmfRecording = std::vector<TEmfRecord>;

// A recording kept compactly: the records one after another in one growing
// buffer of 32-bit words, each as its kind (the index of its structure in
// TEmfRecord) and its length in words, followed by its fields; the variable
// parts (points, text) follow the fixed fields directly. A line takes a few
// words instead of one TEmfRecord each, and appending allocates nothing once
// the buffer has grown. ForEach hands every record back as a TEmfRecord.
class TEmfRecordBuffer {
public:
    TEmfRecordBuffer() = default;
    TEmfRecordBuffer(const TEmfRecordBuffer&) = default;
    TEmfRecordBuffer& operator=(const TEmfRecordBuffer&) = default;
    // A buffer moved from is empty.
    TEmfRecordBuffer(TEmfRecordBuffer&& o) noexcept
        : FWords(std::move(o.FWords)), FUsed(std::exchange(o.FUsed, 0)), FCount(std::exchange(o.FCount, 0)) {}
    TEmfRecordBuffer& operator=(TEmfRecordBuffer&& o) noexcept {
        FWords = std::move(o.FWords);
        o.FWords.clear();
        FUsed = std::exchange(o.FUsed, 0);
        FCount = std::exchange(o.FCount, 0);
        return *this;
    }
    // Records of a fixed layout (every structure without vectors or strings).
    template <class R>
        requires std::is_trivially_copyable_v<R>
    void Append(const R& rec) {
        std::uint32_t* p = Begin(IndexOf<R>(), sizeof(R));
        std::memcpy(p, &rec, sizeof(R));
    }
    // The two records of a segment, EMR_MOVETOEX to (x0, y0) and EMR_LINETO
    // to (x1, y1), as ForEach gives them back: kept as a kind word and the
    // four numbers, half the room of the two records (most records of a
    // drawing are such pairs, and the buffer goes to another thread).
    static constexpr std::size_t kSegmentWords = 5;  // of the buffer, a segment's
    void AppendSegment(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1) {
        PutSegment(Take(kSegmentWords), x0, y0, x1, y1);
        FCount += 2;
    }
    // n segments at once, from each of points[0..n-1] to the point after
    // it: the records n calls of AppendSegment give.
    template <class Point>
    void AppendSegments(const Point* points, std::size_t n) {
        std::uint32_t* p = Take(kSegmentWords * n);
        const char* end = reinterpret_cast<const char*>(FWords.data() + FWords.size());
        for (std::size_t i = 0; i < n; ++i, p += kSegmentWords) {
            write_ahead::ClaimAhead(reinterpret_cast<const char*>(p), end);
            PutSegment(p, points[i].X, points[i].Y, points[i + 1].X, points[i + 1].Y);
        }
        FCount += 2 * n;
    }
    // A polygon or polyline in the 16-bit or 32-bit form, points taken from
    // any sequence of objects with X and Y.
    template <class Points>
    void AppendPoly(EmrType type, const Points& points, bool small) {
        const std::size_t n = std::size(points);
        if (small) {
            EMRPOLYLINE16 head;
            head.iType = type;
            head.cpts = static_cast<std::uint32_t>(n);
            std::uint32_t* p = Begin(IndexOf<EMRPOLYLINE16>(), kPolyHead + n * sizeof(POINTS));
            std::memcpy(p, &head.iType, kPolyHead);
            auto* out = reinterpret_cast<unsigned char*>(p) + kPolyHead;
            for (const auto& q : points) {
                const POINTS s{static_cast<std::int16_t>(q.X), static_cast<std::int16_t>(q.Y)};
                std::memcpy(out, &s, sizeof s);
                out += sizeof s;
            }
        } else {
            EMRPOLYLINE head;
            head.iType = type;
            head.cptl = static_cast<std::uint32_t>(n);
            std::uint32_t* p = Begin(IndexOf<EMRPOLYLINE>(), kPolyHead + n * sizeof(POINTL));
            std::memcpy(p, &head.iType, kPolyHead);
            auto* out = reinterpret_cast<unsigned char*>(p) + kPolyHead;
            for (const auto& q : points) {
                const POINTL l{q.X, q.Y};
                std::memcpy(out, &l, sizeof l);
                out += sizeof l;
            }
        }
    }
    // A multi-part polygon or polyline (EMR_POLYPOLYGON and its kin) in the
    // 16-bit or 32-bit form: counts.size() parts, their points one after
    // another in points.
    template <class Points>
    void AppendPolyPoly(EmrType type, std::span<const std::uint32_t> counts, const Points& points, bool small) {
        const std::size_t m = counts.size(), n = std::size(points);
        const std::size_t bytes = kPolyPolyHead + m * sizeof(std::uint32_t) + n * (small ? sizeof(POINTS) : sizeof(POINTL));
        std::uint32_t* p = Begin(small ? IndexOf<EMRPOLYPOLYLINE16>() : IndexOf<EMRPOLYPOLYLINE>(), bytes);
        TPolyPolyHead head{type, RECTL{}, static_cast<std::uint32_t>(m), static_cast<std::uint32_t>(n)};
        std::memcpy(p, &head, kPolyPolyHead);
        auto* out = reinterpret_cast<unsigned char*>(p) + kPolyPolyHead;
        if (m) std::memcpy(out, counts.data(), m * sizeof(std::uint32_t));
        out += m * sizeof(std::uint32_t);
        for (const auto& q : points) {
            if (small) {
                const POINTS s{static_cast<std::int16_t>(q.X), static_cast<std::int16_t>(q.Y)};
                std::memcpy(out, &s, sizeof s);
                out += sizeof s;
            } else {
                const POINTL l{q.X, q.Y};
                std::memcpy(out, &l, sizeof l);
                out += sizeof l;
            }
        }
    }
    void Append(const EMREXTTEXTOUTW& rec) {
        const std::size_t n = rec.String.size();
        std::uint32_t* p = Begin(IndexOf<EMREXTTEXTOUTW>(), sizeof(TTextHead) + n * sizeof(char16_t));
        const TTextHead head{rec.iType, rec.rclBounds, rec.iGraphicsMode, rec.exScale, rec.eyScale, rec.emrtext};
        std::memcpy(p, &head, sizeof head);
        if (n) std::memcpy(reinterpret_cast<unsigned char*>(p) + sizeof head, rec.String.data(), n * sizeof(char16_t));
    }

    std::size_t Count() const { return FCount; }
    std::size_t Words() const { return FUsed; }
    bool Empty() const { return FCount == 0; }
    void Clear() {
        FUsed = 0;
        FCount = 0;
    }
    // Gives the memory back.
    void Release() {
        std::vector<std::uint32_t>().swap(FWords);
        FUsed = 0;
        FCount = 0;
    }

    // Calls f(const TEmfRecord&) for every record in order. The record handed
    // over is valid only during the call.
    template <class F>
    void ForEach(F&& f) const {
        ForEach(f, [&](const EMRLINETO& move, const EMRLINETO& line) {
            f(TEmfRecord(move));
            f(TEmfRecord(line));
        });
    }
    // The same, but the two records of each segment (AppendSegment) handed
    // to segment(move, line) together.
    template <class F, class S>
    void ForEach(F&& f, S&& segment) const {
        TEmfRecord fixed;  // records of a fixed layout
        // Moves and lines, most of any drawing's records, are copied straight
        // into a record kept for them, past the search over all kinds.
        TEmfRecord line{EMRLINETO{}};
        EMRLINETO& lineRec = *std::get_if<EMRLINETO>(&line);
        TEmfRecord poly16{EMRPOLYLINE16{}}, poly32{EMRPOLYLINE{}}, text{EMREXTTEXTOUTW{}};
        TEmfRecord polyPoly16{EMRPOLYPOLYLINE16{}}, polyPoly32{EMRPOLYPOLYLINE{}};
        const std::uint32_t* p = FWords.data();
        const std::uint32_t* end = p + FUsed;
        while (p < end) {
            if (p[0] == kSegmentKind) {
                std::int32_t v[4];
                std::memcpy(v, p + 1, sizeof v);
                p += kSegmentWords;
                segment(EMRLINETO{EmrType::EMR_MOVETOEX, {v[0], v[1]}}, EMRLINETO{EmrType::EMR_LINETO, {v[2], v[3]}});
                continue;
            }
            const std::uint32_t kind = p[0], bytes = p[1];
            const unsigned char* data = reinterpret_cast<const unsigned char*>(p + 2);
            p += 2 + (std::size_t(bytes) + 3) / 4;
            if (kind == IndexOf<EMRLINETO>()) {
                std::memcpy(&lineRec, data, sizeof lineRec);
                f(std::as_const(line));
            } else if (kind == IndexOf<EMRPOLYLINE16>()) {
                auto& r = std::get<EMRPOLYLINE16>(poly16);
                std::memcpy(&r.iType, data, kPolyHead);
                r.apts.resize(r.cpts);
                if (r.cpts) std::memcpy(r.apts.data(), data + kPolyHead, r.cpts * sizeof(POINTS));
                f(std::as_const(poly16));
            } else if (kind == IndexOf<EMRPOLYLINE>()) {
                auto& r = std::get<EMRPOLYLINE>(poly32);
                std::memcpy(&r.iType, data, kPolyHead);
                r.aptl.resize(r.cptl);
                if (r.cptl) std::memcpy(r.aptl.data(), data + kPolyHead, r.cptl * sizeof(POINTL));
                f(std::as_const(poly32));
            } else if (kind == IndexOf<EMRPOLYPOLYLINE16>() || kind == IndexOf<EMRPOLYPOLYLINE>()) {
                TPolyPolyHead head;
                std::memcpy(&head, data, kPolyPolyHead);
                const unsigned char* counts = data + kPolyPolyHead;
                const unsigned char* pts = counts + head.Parts * sizeof(std::uint32_t);
                auto fill = [&](auto& r, auto& list) {
                    r.iType = head.iType;
                    r.rclBounds = head.rclBounds;
                    r.nPolys = head.Parts;
                    r.aPolyCounts.resize(head.Parts);
                    if (head.Parts) std::memcpy(r.aPolyCounts.data(), counts, head.Parts * sizeof(std::uint32_t));
                    list.resize(head.Points);
                    if (head.Points) std::memcpy(list.data(), pts, head.Points * sizeof(list[0]));
                };
                if (kind == IndexOf<EMRPOLYPOLYLINE16>()) {
                    auto& r = std::get<EMRPOLYPOLYLINE16>(polyPoly16);
                    fill(r, r.apts);
                    r.cpts = head.Points;
                    f(std::as_const(polyPoly16));
                } else {
                    auto& r = std::get<EMRPOLYPOLYLINE>(polyPoly32);
                    fill(r, r.aptl);
                    r.cptl = head.Points;
                    f(std::as_const(polyPoly32));
                }
            } else if (kind == IndexOf<EMREXTTEXTOUTW>()) {
                auto& r = std::get<EMREXTTEXTOUTW>(text);
                TTextHead head;
                std::memcpy(&head, data, sizeof head);
                r.iType = head.iType;
                r.rclBounds = head.rclBounds;
                r.iGraphicsMode = head.iGraphicsMode;
                r.exScale = head.exScale;
                r.eyScale = head.eyScale;
                r.emrtext = head.emrtext;
                r.String.resize((bytes - sizeof head) / sizeof(char16_t));
                if (!r.String.empty())
                    std::memcpy(r.String.data(), data + sizeof head, r.String.size() * sizeof(char16_t));
                f(std::as_const(text));
            } else {
                DecodeFixed(kind, data, fixed, std::make_index_sequence<std::variant_size_v<TEmfRecord>>{});
                f(std::as_const(fixed));
            }
        }
    }

    // The records as TEmfRecord values.
    TEmfRecording ToRecording() const {
        TEmfRecording out;
        out.reserve(FCount);
        ForEach([&](const TEmfRecord& r) { out.push_back(r); });
        return out;
    }

private:
    // The kind word of a segment (AppendSegment): no index of a record type.
    static constexpr std::uint32_t kSegmentKind = 0xFFFFFFFFu;
    static void PutSegment(std::uint32_t* p, std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1) {
        p[0] = kSegmentKind;
        const std::int32_t v[4] = {x0, y0, x1, y1};
        std::memcpy(p + 1, v, sizeof v);
    }
    static_assert(std::variant_size_v<TEmfRecord> < kSegmentKind);
    // The fixed fields of the poly records (iType, rclBounds, count) lie
    // one after another without padding.
    static constexpr std::size_t kPolyHead = sizeof(EmrType) + sizeof(RECTL) + sizeof(std::uint32_t);
    static_assert(offsetof(EMRPOLYLINE16, cpts) + sizeof(std::uint32_t) == kPolyHead);
    static_assert(offsetof(EMRPOLYLINE, cptl) + sizeof(std::uint32_t) == kPolyHead);
    // The fixed fields of the multi-part poly records (iType, rclBounds,
    // the part count and the point count), followed by the counts, then the points.
    struct TPolyPolyHead {
        EmrType iType;
        RECTL rclBounds;
        std::uint32_t Parts;
        std::uint32_t Points;
    };
    static constexpr std::size_t kPolyPolyHead = sizeof(TPolyPolyHead);
    static_assert(kPolyPolyHead == sizeof(EmrType) + sizeof(RECTL) + 2 * sizeof(std::uint32_t));
    struct TTextHead {
        EmrType iType;
        RECTL rclBounds;
        std::uint32_t iGraphicsMode;
        float exScale, eyScale;
        EMRTEXT emrtext;
    };

    template <class R, std::size_t I = 0>
    static constexpr std::uint32_t IndexOf() {
        if constexpr (std::is_same_v<std::variant_alternative_t<I, TEmfRecord>, R>) return I;
        else return IndexOf<R, I + 1>();
    }

    template <std::size_t... I>
    static void DecodeFixed(std::uint32_t kind, const unsigned char* data, TEmfRecord& out,
                            std::index_sequence<I...>) {
        (void)((kind == I ? (DecodeOne<I>(data, out), true) : false) || ...);
    }
    template <std::size_t I>
    static void DecodeOne(const unsigned char* data, TEmfRecord& out) {
        using R = std::variant_alternative_t<I, TEmfRecord>;
        if constexpr (std::is_trivially_copyable_v<R>) {
            R r;
            std::memcpy(&r, data, sizeof r);
            out.template emplace<I>(r);
        }
    }

    std::uint32_t* Begin(std::uint32_t kind, std::size_t bytes) {
        if (bytes > 0xFFFFFFF0u) throw std::length_error("metafile record too large");
        std::uint32_t* p = Take(2 + (bytes + 3) / 4);
        p[0] = kind;
        p[1] = static_cast<std::uint32_t>(bytes);
        ++FCount;
        return p + 2;
    }
    // words more words at the end of those in use.
    std::uint32_t* Take(std::size_t words) {
        const std::size_t at = FUsed;
        // The words in use are the first FUsed; the rest of the vector is
        // room (grown to twice the need at a time), so that appending does
        // not clear each record's words first.
        if (FWords.size() < at + words) [[unlikely]]
            Grow(at + words);
        FUsed = at + words;
        // (A drained buffer comes back from the reading thread: see write_ahead.h.)
        write_ahead::ClaimAhead(reinterpret_cast<const char*>(FWords.data() + at),
                                reinterpret_cast<const char*>(FWords.data() + FWords.size()));
        return FWords.data() + at;
    }

    [[gnu::noinline]] void Grow(std::size_t need) { FWords.resize(std::max<std::size_t>(2 * need, 1024)); }

    std::vector<std::uint32_t> FWords;
    std::size_t FUsed = 0;
    std::size_t FCount = 0;
};
