#include "output/figures.h"

#include <cmath>

#include "output/dxf_writer.h"

namespace {
// The kinds of entity record the figures write.
constexpr TRecordKind kLineRecord{"LINE", "AcDbLine"};
constexpr TRecordKind kPointRecord{"POINT", "AcDbPoint"};
constexpr TRecordKind kMTextRecord{"MTEXT", "AcDbMText"};
constexpr TRecordKind kSplineRecord{"SPLINE", "AcDbSpline"};
constexpr TRecordKind kCircleRecord{"CIRCLE", "AcDbCircle"};
constexpr TRecordKind kEllipseRecord{"ELLIPSE", "AcDbEllipse"};
constexpr TRecordKind kArcRecord{"ARC", "AcDbCircle"};
}  // namespace

TkrExpDXFFigure::TkrExpDXFFigure(const TdxfExportData& data) : Data(data) {
    Data.Parts = nullptr;  // the reader's lists are gone once the record is handled
}

void TkrExpDXFLine::Write(TkrDXFExport& w, const TdxfExportData& data) {
    if (w.MeasureLine(data.Point1, data.Point2)) return;
    w.BeginRecord<kLineRecord>();
    w.AddColor(data);
    w.AddLineTypeAndWeight(data);
    w.AddLinePoints(data.Point1, data.Point2);
}

void TkrExpDXFPixel::WriteEntity(TkrDXFExport& w) const {
    w.BeginRecord<kPointRecord>();
    w.AddColor(Data);
    w.AddPoint(10, Data.Point1);
}

void TkrExpDXFMText::WriteEntity(TkrDXFExport& w) const {
    w.BeginRecord<kMTextRecord>();
    w.AddColor(Data);
    w.AddPoint(10, Data.Point1);
    w.AddPair(40, double(Data.TextHeight));
    if (Data.Angle != 0) w.AddPair(50, double(Data.Angle));
    if (Data.Attachment != 0) w.AddPair(71, std::int32_t(Data.Attachment) + 1);
    w.AddPair(1, Data.Text);
}

void TkrExpDXFRectangle::WriteEntity(TkrDXFExport& w) const {
    // The outline is written as the four corners with the closed flag
    // (group 70 = 1) and vertex count 4, rather than repeating the first
    // corner as a fifth vertex, so count and vertices agree and the shape is
    // the closed rectangle through (X1,Y1), (X2,Y1), (X2,Y2), (X1,Y2).
    TdxfExportData d = Data;
    d.Closed = 1;
    w.BeginLWPolyline(d, 4);
    const TExpPoint3F& a = Data.Point1;
    const TExpPoint3F& b = Data.Point2;
    w.AddPoint(10, a.X, a.Y);
    w.AddPoint(10, b.X, a.Y);
    w.AddPoint(10, b.X, b.Y);
    w.AddPoint(10, a.X, b.Y);
}

TkrExpDXFPolyline::TkrExpDXFPolyline(const TdxfExportData& data, int partIndex)
    : TkrExpDXFFigure(data) {
    if (data.Parts && data.PartCount != 0 && partIndex >= 0 && partIndex < data.PartCount &&
        static_cast<std::size_t>(partIndex) < data.Parts->size())
        Points = (*data.Parts)[partIndex];
}

void TkrExpDXFPolyline::WriteEntity(TkrDXFExport& w) const {
    w.BeginLWPolyline(Data, static_cast<std::int32_t>(Points.size()));
    for (const TExpPoint3F& p : Points) w.AddPoint(10, p);
}

void TkrExpDXFPolyBezier::WriteEntity(TkrDXFExport& w) const {
    const int n = static_cast<int>(Points.size());
    // C++ % keeps the sign of the dividend, so n = 1 counts as a multiple.
    if ((n - 4) % 3 != 0) {
        TkrExpDXFPolyline::WriteEntity(w);
        return;
    }
    // Control points: four per segment, the shared points between segments twice.
    const int k = n / 3 + n - 1;
    const float step = k > 0 ? 1.0f / static_cast<float>(k) : 0.0f;
    w.BeginRecord<kSplineRecord>();
    w.AddColor(Data);
    w.AddLineTypeAndWeight(Data);
    w.AddPoint3(210, {0, 0, 1});
    w.AddPair(70, std::int32_t(8));
    w.AddPair(71, std::int32_t(3));
    w.AddPair(72, std::int32_t(k + 4));
    w.AddPair(73, std::int32_t(k));
    w.AddPair(74, std::int32_t(0));
    w.AddPair(42, 0.0000001);
    w.AddPair(43, 0.0000001);
    float v = 0;
    for (int block = 0; 4 * block < k; ++block) {
        for (int j = 0; j < 4; ++j) w.AddPair(40, double(v));
        v += step;
    }
    for (int j = 0; j < 4; ++j) w.AddPair(40, 1.0);
    for (int i = 0; i < n; ++i) {
        w.AddPoint3(10, Points[i]);
        if (i % 3 == 0 && i != 0 && i != n - 1) w.AddPoint3(10, Points[i]);
    }
}

TkrExpDXFEllipse::TkrExpDXFEllipse(const TdxfExportData& data, std::uint8_t flag)
    : TkrExpDXFFigure(data), Flag(flag) {}

void TkrExpDXFEllipse::WriteEntity(TkrDXFExport& w) const {
    if (Flag == 0) {
        w.BeginRecord<kCircleRecord>();
        w.AddColor(Data);
        w.AddLineTypeAndWeight(Data);
        w.AddPoint(10, Data.Point1);
        w.AddPair(40, double(Data.Radius));
    } else {
        w.BeginRecord<kEllipseRecord>();
        w.AddColor(Data);
        w.AddLineTypeAndWeight(Data);
        w.AddPoint(10, Data.Point1);
        w.AddPoint(11, Data.Point2);
        w.AddPair(40, double(Data.Radius));
    }
}

TkrExpDXFArc::TkrExpDXFArc(const TdxfExportData& data)
    : TkrExpDXFFigure(data), ArcKind(data.CurveKind) {}

void TkrExpDXFArc::WriteEntity(TkrDXFExport& w) const {
    if (ArcKind == 0) {
        w.BeginRecord<kArcRecord>();
        w.AddColor(Data);
        w.AddLineTypeAndWeight(Data);
        w.AddPoint(10, Data.Point1);
        w.AddPair(40, double(Data.Radius));
        w.AddPair(100, "AcDbArc");
        w.AddPair(50, double(Data.StartAngle));
        w.AddPair(51, double(Data.EndAngle));
    } else if (ArcKind == 1) {
        w.BeginRecord<kEllipseRecord>();
        w.AddColor(Data);
        w.AddLineTypeAndWeight(Data);
        w.AddPoint(10, Data.Point1);
        w.AddPoint(11, Data.Point2);
        w.AddPair(40, double(Data.Radius));
        if (std::fabs(double(Data.StartAngle) - double(Data.EndAngle)) > 0.000001) {
            w.AddPair(41, double(Data.StartAngle));
            w.AddPair(42, double(Data.EndAngle));
        }
    }
}

TkrExpDXFHatch::TkrExpDXFHatch(const TdxfExportData& data)
    : TkrExpDXFFigure(data), FillStyle(data.FillStyle), BoundaryKind(data.CurveKind) {
    PatternName = "SOLID";
    Data.Closed = 1;
    if (FillStyle != 0) {
        Data.Closed = 0;
        switch (FillStyle) {
            case 2: case 3: PatternName = "LINE"; break;
            case 4: case 5: PatternName = "ANSI31"; break;
            case 6: PatternName = "NET"; break;
            case 7: PatternName = "ANSI37"; break;
            default: break;
        }
    }
    if (BoundaryKind == 1 || BoundaryKind == 2) {
        BoundaryCount = 1;  // the circle or ellipse of the record is the boundary
    } else if (BoundaryKind == 0 && data.PartCount != 0 && data.Parts) {
        BoundaryCount = data.PartCount;
        for (const TExpPointList& src : *data.Parts) {
            if (src.size() < 3) continue;
            TExpPointList loop;
            loop.reserve(src.size());
            for (std::size_t i = 0; i < src.size(); ++i) {
                // A point that returns to the one two places before it is dropped.
                if (i >= 2 && src[i].X == src[i - 2].X && src[i].Y == src[i - 2].Y) continue;
                loop.push_back(src[i]);
            }
            if (loop.size() >= 3) Loops.push_back(std::move(loop));
        }
    }
}

void TkrExpDXFHatch::WriteEntity(TkrDXFExport& w) const {
    if (BoundaryKind == 0 && Loops.empty()) return;
    const double s = 0.05 * w.HatchPatternBase;
    w.BeginRecord("HATCH", "AcDbHatch");
    w.AddColor(Data);
    w.AddPoint(10, 0.0f, 0.0f);
    w.AddPair(30, 0.0);
    w.AddPair(210, 0.0);
    w.AddPair(220, 0.0);
    w.AddPair(230, 1.0);
    w.AddPair(2, PatternName);
    w.AddPair(70, std::int32_t(Data.Closed));
    w.AddPair(71, std::int32_t(0));
    switch (BoundaryKind) {
        case 0:
            w.AddPair(91, static_cast<std::int32_t>(Loops.size()));
            for (const TExpPointList& loop : Loops) {
                const std::size_t m = loop.size();
                w.AddPair(92, std::int32_t(1));
                w.AddPair(93, static_cast<std::int32_t>(m));
                for (std::size_t j = 1; j < m; ++j) {
                    w.AddPair(72, std::int32_t(1));
                    w.AddPoint(10, loop[j - 1]);
                    w.AddPoint(11, loop[j]);
                }
                w.AddPair(72, std::int32_t(1));
                w.AddPoint(10, loop[m - 1]);
                w.AddPoint(11, loop[0]);
                w.AddPair(97, std::int32_t(0));
            }
            break;
        case 1:
        case 2:
            w.AddPair(91, std::int32_t(1));
            w.AddPair(92, std::int32_t(1));
            w.AddPair(93, std::int32_t(1));
            w.AddPair(72, std::int32_t(BoundaryKind == 1 ? 2 : 3));
            w.AddPoint(10, Data.Point1);
            if (BoundaryKind == 2) w.AddPoint(11, Data.Point2);
            w.AddPair(40, double(Data.Radius));
            w.AddPair(50, double(Data.StartAngle));
            w.AddPair(51, double(Data.EndAngle));
            w.AddPair(73, std::int32_t(1));
            w.AddPair(97, std::int32_t(0));
            break;
        default:
            break;
    }
    w.AddPair(75, std::int32_t(0));
    w.AddPair(76, std::int32_t(1));
    if (Data.Closed == 0) {
        struct Line { double angle, dx, dy; };
        std::vector<Line> lines;
        switch (FillStyle) {
            case 2: lines = {{0, 0, s}}; break;
            case 3: lines = {{90, -s, 0}}; break;
            case 4: lines = {{135, -s, -s}}; break;
            case 5: lines = {{45, -s, s}}; break;
            case 6: lines = {{0, 0, s}, {90, -s, s}}; break;
            case 7: lines = {{45, -s, s}, {135, -s, -s}}; break;
            default: break;
        }
        w.AddPair(52, 0.0);
        w.AddPair(41, 1.0);
        w.AddPair(77, std::int32_t(0));
        w.AddPair(78, static_cast<std::int32_t>(lines.size()));
        for (const Line& l : lines) {
            w.AddPair(53, l.angle);
            w.AddPair(43, 0.0);
            w.AddPair(44, 0.0);
            w.AddPair(45, l.dx);
            w.AddPair(46, l.dy);
            w.AddPair(79, std::int32_t(0));
        }
    }
    w.AddPair(98, std::int32_t(1));
    w.AddPoint(10, 0.0f, 0.0f);
}
