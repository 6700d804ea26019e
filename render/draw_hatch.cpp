#include "render/draw_hatch.h"

#include "model/entities/hatch.h"
#include "platform/recording_canvas.h"
#include "render/draw_entities.h"
#include "render/dxf_image.h"
#include "platform/scoped.h"

void DrawHatch(TkrDXFImage& g, TkrDXFEntity& e) {
    auto& h = static_cast<TkrDXFHatch&>(e);
    TPDFCanvas& sink = *g.Sink;
    // The brush is clear again on every way out.
    TOnExit clearBrush([&sink] { sink.Brush.Style = bsClear; });
    SetEntityPen(g, h);
    // Every boundary path: in text form its outline without the closing
    // segment. In simplified DXF form a solid fill's paths are one filled
    // area in the pen colour, every path a loop of it, so that islands stay
    // open; a pattern hatch's paths are closed outlines, since a filled area
    // in the pattern's own colour would hide the pattern.
    if (h.Solid && !sink.TextMode) {
        if (h.Paths.size() > kMaxPolyPolygonParts) ++g.Converter->Bounds.HatchLoops;
        g.PartList.clear();
        g.PartCounts.clear();
        for (const std::vector<TPoint3F>& path : h.Paths) {
            g.WorkDone += path.size() * g.WorkPerPoint;
            for (const TPoint3F& p : path) g.PartList.push_back(g.MapPoint({p.X, p.Y, 0}));
            g.PartCounts.push_back(int(path.size()));
        }
        sink.PolyPolygonArea(g.PartList.data(), g.PartCounts.data(), int(g.PartCounts.size()));
    } else {
        for (const std::vector<TPoint3F>& path : h.Paths) {
            g.PartList.clear();
            g.WorkDone += path.size() * g.WorkPerPoint;
            for (const TPoint3F& p : path) g.PartList.push_back(g.MapPoint({p.X, p.Y, 0}));
            if (sink.TextMode) {
                sink.Polygon(g.PartList.data(), int(g.PartList.size()));
                continue;
            }
            // Closed: back to the first point (unless the path ends there).
            if (g.PartList.size() > 1 && !(g.PartList.back() == g.PartList.front()))
                g.PartList.push_back(g.PartList.front());
            sink.Polyline(g.PartList.data(), int(g.PartList.size()));
        }
    }
    if (h.Solid) {
        sink.Brush.Style = bsSolid;
        sink.Brush.Color = sink.Pen.Color;
        return;
    }
    {
        g.KeepAllPoints = true;
        TOnExit keep([&g] { g.KeepAllPoints = false; });
        BuildPointList(g, h.Segments);
    }
    if (h.FamilyKind != fkNone) DrawSegmentPairs(g);
    else sink.Polyline(g.PointList.data(), int(g.PointList.size()));
}
