#include "render/dxf_image.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <istream>
#include <limits>
#include <optional>
#include <ostream>

#include "model/entities/blocks.h"
#include "model/entities/layout.h"
#include "model/errors.h"
#include "model/parsing.h"
#include "render/draw_entities.h"
#include "render/loading.h"
#include "platform/scoped.h"

namespace {
uint32_t SteadyMilliseconds() {
    using namespace std::chrono;
    return uint32_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

bool IsModelLayout(const TkrDXFLayout* l) { return l && UpperAscii(l->BlockName) == "*MODEL_SPACE"; }

// Saturating conversion of a mapped coordinate: a point far outside the
// layout (an entity beyond the extents) lands on the edge of the 32-bit range
// instead of wrapping around; a NaN lands on 0.
int32_t ToTarget(long double v) {
    if (!(v == v)) return 0;
    if (v >= 2147483647.0L) return INT32_MAX;
    if (v <= -2147483648.0L) return INT32_MIN;
    // Rounded to nearest, ties to even: the x87 store in the default
    // rounding mode. The compiler's conversion truncates instead, switching
    // the control word twice a coordinate, which stalls the processor (more
    // than half the time of a text conversion went into it).
    static_assert(std::numeric_limits<long double>::digits == 64, "x87 extended precision expected");
    int64_t r;
    __asm__("fistpll %0" : "=m"(r) : "t"(v) : "st");
    return int32_t(r);
}

// p under m in extended precision, before any rounding.
inline void MapExact(const TMatrix4x3F& matrix, const TPoint3F& p, long double& x, long double& y) {
    const auto& m = matrix.M;
    x = (long double)p.X * m[0][0] + (long double)p.Y * m[1][0] + (long double)p.Z * m[2][0] + m[3][0];
    y = (long double)p.X * m[0][1] + (long double)p.Y * m[1][1] + (long double)p.Z * m[2][1] + m[3][1];
}
}  // namespace

std::shared_ptr<TkrDXFConverter> TkrDXFImage::CreateConverter() { return std::make_shared<TkrDXFConverter>(); }

TkrDXFImage::TkrDXFImage() : Converter(CreateConverter()), TickCount(SteadyMilliseconds) {
    DrawContext.Matrix = IdentityMatrix();
    InstallReaderEvents();
}

TkrDXFImage::~TkrDXFImage() {
    // The reader may be shared with another graphic: leave no reference to this one.
    if (Converter && Converter.use_count() == 1) return;
    if (Converter) {
        Converter->OnStart = nullptr;
        Converter->OnProgress = nullptr;
        Converter->OnEnd = nullptr;
        Converter->OnCreateEntity = nullptr;
        Converter->OnInsert = nullptr;
        // The entities keep their procedure (any graphic draws them with it),
        // but no longer name this graphic as its receiver.
        if (Converter->DrawEvent.Receiver == this) Converter->DrawEvent.Receiver = nullptr;
        if (Converter->DrawContext == &DrawContext) Converter->DrawContext = nullptr;
    }
}

void TkrDXFImage::InstallReaderEvents() {
    TkrDXFConverter& c = *Converter;
    c.OnStart = [this](TkrDXFConverter&) { Progress(TProgressStage::psStarting); };
    c.OnProgress = [this](TkrDXFConverter&) {
        if (OnProgress) Progress(TProgressStage::psRunning);
    };
    c.OnEnd = [this](TkrDXFConverter&) {
        Progress(TProgressStage::psEnding);
        ProgressText = "Load entities...";
    };
    InstallDrawEvent(*this);
    c.OnCreateEntity = [this](TkrDXFEntity& e) { AttachDrawProcedure(*this, e); };
}

void TkrDXFImage::Progress(TProgressStage stage) {
    if (!OnProgress || !ProgressEnabled) return;
    if (stage == TProgressStage::psRunning) {
        // Called for every entity read: the clock is asked at the first call
        // and then at every 64th (thousands of entities pass in 256 ms).
        if ((FProgressCalls++ & 63) != 0) return;
        uint32_t tick = TickCount() & ~uint32_t(0xFF);
        if (tick == LastProgressTick) return;
        LastProgressTick = tick;
    }
    const TkrDXFConverter& c = *Converter;
    int64_t len = std::max<int64_t>(1, int64_t(c.TextEnd));
    int percent = int(int64_t(c.ProgressPosition()) * 100 / len);
    OnProgress(stage, percent, ProgressText);
}

// ---- loading ----

void TkrDXFImage::LoadFromFile(const std::string& path) { FSource.LoadFile(path, Reading()); }

void TkrDXFImage::LoadFromStream(std::istream& stream) { LoadFromText(ReadWholeDrawing(stream)); }

void TkrDXFImage::LoadFromText(std::string text) { FSource.LoadText(std::move(text), Reading()); }

void TkrDXFImage::Reload() { FSource.Reload(Reading()); }

TDrawingReading TkrDXFImage::Reading() {
    return {*Converter, LoadXrefs,
            [this](const TReaderLoad& load, const std::string& folder, TXrefLoader* loader) {
                LoadWith(load, folder, loader);
            }};
}

void TkrDXFImage::LoadNested(std::string text, const std::string& folder, TXrefLoader* loader) {
    LoadWith([&](TkrDXFConverter& c) { c.LoadFromText(std::move(text)); }, folder, loader);
}

void TkrDXFImage::LoadWith(const std::function<void(TkrDXFConverter&)>& load, const std::string& folder,
                           TXrefLoader* loader) {
    ProgressText = "Load file...";
    CurrentLayout = nullptr;
    TkrDXFConverter& c = *Converter;
    c.SourceFolder = folder;
    c.XrefLoader = loader;
    // The loader serves this load only.
    TOnExit reset([&c] { c.XrefLoader = nullptr; });
    load(c);
    AfterLoad();
}

void TkrDXFImage::AfterLoad() {
    // External drawings count with their size: a small drawing that shows a
    // large one gets the work that one needs.
    WorkBudget = kDrawWorkBase + kDrawWorkPerByte * (uint64_t(Converter->TextEnd) + Converter->XrefBytes);
    WorkDone = 0;
    CharSet = Converter->HighChars1 > Converter->HighChars2 ? 255 : 1;
    Converter->ComputeExtents();
    SetCurrentLayout(GetLayout(0));
}

void TkrDXFImage::SaveToStream(std::ostream& stream) const { FSource.SaveTo(stream, Converter->TextEnd); }

void TkrDXFImage::Assign(const TkrDXFImage& src) {
    Converter = src.Converter;
    LayoutExtents = src.LayoutExtents;
    Box = src.Box;
    LayoutBox = src.LayoutBox;
    Centre = src.Centre;
    CharSet = src.CharSet;
    CurrentLayout = src.CurrentLayout;
    BackgroundColor = src.BackgroundColor;
    DefaultColor = src.DefaultColor;
    DefaultPenWidth = src.DefaultPenWidth;
    Measurement = src.Measurement;
    // The shared drawing's bound; this graphic's drawings start afresh.
    WorkBudget = src.WorkBudget;
    WorkDone = 0;
    ComputePixelScale();
}

bool TkrDXFImage::GetEmpty() const { return Converter->TableCount(tkEntities) == 0; }

int TkrDXFImage::GetHeaderInt(std::string_view name, int code) const {
    std::string v = Converter->HeaderValue(name, code);
    if (v.empty()) return 1;
    int32_t r = 0;
    if (!ParseInt32(TrimBlanks(v), r)) throw EConvertError("'" + v + "' ist kein gültiger Integerwert");
    return r;
}

bool TkrDXFImage::GetIsMetric() {
    if (Measurement == -1) Measurement = GetHeaderInt("$MEASUREMENT", 70);
    return Measurement != 0;
}

// ---- layouts and extents ----

void TkrDXFImage::SetCurrentLayout(TkrDXFLayout* layout) {
    CurrentLayout = layout;
    bool model = IsModelLayout(layout);
    Converter->CurrentSpace = !(model || (layout && layout->Block));
    ComputeExtents(layout ? layout->Box : EmptyBox, model);
}

void TkrDXFImage::ComputeExtents(const TBox3F& b, bool transform) {
    auto finite = [](const TBox3F& x) {
        return std::isfinite(x.Left) && std::isfinite(x.Right) && std::isfinite(x.Top) && std::isfinite(x.Bottom) &&
               std::isfinite(x.Z1) && std::isfinite(x.Z2);
    };
    auto unit = [&] {
        LayoutBox = UnitBox;
        LayoutExtents = {UnitBox.Right, UnitBox.Left, UnitBox.Top, UnitBox.Bottom, UnitBox.Z2, UnitBox.Z1};
    };
    // A box with an infinite side is as useless for fitting as an empty one.
    const TBox3F& viewBox = Converter->ModelViewBox;
    const bool turned = transform && (Converter->NonPlanView || Converter->ViewTwist != 0);
    if (IsEmptyBox(b) || !finite(b)) {
        unit();
    } else if (!(turned && !IsEmptyBox(viewBox) && finite(viewBox) && FitToView(viewBox))) {
        Centre = Point3F((double(b.Left) + b.Right) * 0.5, (double(b.Top) + b.Bottom) * 0.5,
                         (double(b.Z1) + b.Z2) * 0.5);
        TBox3F box = b;
        if (transform) {
            TMatrix4x3F m = MultiplyMatrix(Converter->ViewTransform, OwnMatrix);
            TBox3F t = EmptyBox;
            for (float x : {b.Left, b.Right})
                for (float y : {b.Top, b.Bottom})
                    for (float z : {b.Z1, b.Z2}) ExpandBox(t, TransformPoint({x, y, z}, m));
            box = t;
        }
        LayoutBox = box;
        double mx = (double(b.Right) - b.Left) / 8, my = (double(b.Top) - b.Bottom) / 8;
        if (IsEmptyBox(box) || !finite(box)) unit();
        else
            LayoutExtents = {box.Right + mx, box.Left - mx, box.Top + my, box.Bottom - my, double(box.Z2),
                             double(box.Z1)};
    }
    Box = {float(LayoutExtents.Left), float(LayoutExtents.Top), float(LayoutExtents.Zmin),
           float(LayoutExtents.Right), float(LayoutExtents.Bottom), float(LayoutExtents.Zmax)};
    ComputePixelScale();
}

void TkrDXFImage::ComputePixelScale() {
    double w = LayoutExtents.Right - LayoutExtents.Left, h = LayoutExtents.Top - LayoutExtents.Bottom;
    double big = std::max(w, h);
    if (big == 0) big = 1e-20;
    if (big < 10) PixelScale = 10;
    else PixelScale = std::min(1.0, 32767 / big);
}

namespace {
int NaturalSize(double extent, double scale) {
    double v = std::nearbyint(extent * scale + 0.5);
    if (!(v >= 1) || !std::isfinite(v)) return 1;
    return v > 32768 ? 32768 : int(v);
}
}  // namespace

int TkrDXFImage::GetWidth() const { return NaturalSize(LayoutExtents.Right - LayoutExtents.Left, PixelScale); }
int TkrDXFImage::GetHeight() const { return NaturalSize(LayoutExtents.Top - LayoutExtents.Bottom, PixelScale); }

// ---- mapping and drawing ----

std::optional<double> TkrDXFImage::MappingScale(const TIntRect& r) const {
    double W = double(r.Right) - r.Left, H = double(r.Bottom) - r.Top;
    double dx = double(Box.Right) - Box.Left, dy = double(Box.Top) - Box.Bottom;
    if (dx == 0) dx = W;
    if (dy == 0) dy = H;
    // A zero-sized rectangle with a zero-sized box has no scale: nothing is drawn.
    if (dx == 0 || dy == 0) return std::nullopt;
    double sx = W / dx, sy = H / dy;
    if (!std::isfinite(sx) || !std::isfinite(sy)) return std::nullopt;
    // One scale for both directions: the smaller.
    return std::fabs(sx) > std::fabs(sy) ? sy : sx;
}

bool TkrDXFImage::FitToView(const TBox3F& viewBox) {
    // The model seen through a view that turns it: fitted and centred like
    // any drawing, from the box of its geometry in view coordinates (the
    // reader's, under the view; this graphic's own matrix then applies to its
    // corners), with margins of an eighth of that box. The centre is the
    // model point the view maps onto the middle of that box.
    const TMatrix4x3F v = MultiplyMatrix(Converter->ViewTransform, OwnMatrix);
    TBox3F box = EmptyBox;
    for (float x : {viewBox.Left, viewBox.Right})
        for (float y : {viewBox.Top, viewBox.Bottom})
            for (float z : {viewBox.Z1, viewBox.Z2}) ExpandBox(box, TransformPoint({x, y, z}, OwnMatrix));
    const auto& m = v.M;
    const double det = double(m[0][0]) * (double(m[1][1]) * m[2][2] - double(m[2][1]) * m[1][2]) -
                       double(m[1][0]) * (double(m[0][1]) * m[2][2] - double(m[2][1]) * m[0][2]) +
                       double(m[2][0]) * (double(m[0][1]) * m[1][2] - double(m[1][1]) * m[0][2]);
    if (IsEmptyBox(box) || !(std::fabs(det) > 1e-12) || !std::isfinite(det)) return false;
    // The view point c = p M (p a row vector), so p = c M^-1 (cofactors over
    // the determinant); the view's translation is 0.
    const double cx = (double(box.Left) + box.Right) * 0.5, cy = (double(box.Top) + box.Bottom) * 0.5,
                 cz = (double(box.Z1) + box.Z2) * 0.5;
    double inv[3][3];
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            const int r0 = (j + 1) % 3, r1 = (j + 2) % 3, c0 = (i + 1) % 3, c1 = (i + 2) % 3;
            inv[i][j] = (double(m[r0][c0]) * m[r1][c1] - double(m[r0][c1]) * m[r1][c0]) / det;
        }
    Centre = Point3F(cx * inv[0][0] + cy * inv[1][0] + cz * inv[2][0], cx * inv[0][1] + cy * inv[1][1] + cz * inv[2][1],
                     cx * inv[0][2] + cy * inv[1][2] + cz * inv[2][2]);
    LayoutBox = box;
    const double mx = (double(box.Right) - box.Left) / 8, my = (double(box.Top) - box.Bottom) / 8;
    LayoutExtents = {box.Right + mx, box.Left - mx, box.Top + my, box.Bottom - my, double(box.Z2), double(box.Z1)};
    return true;
}

bool TkrDXFImage::ComputeMapping(const TIntRect& r) {
    std::optional<double> scale = MappingScale(r);
    if (!scale) return false;
    double W = double(r.Right) - r.Left, H = double(r.Bottom) - r.Top;
    double sx = *scale, sy = *scale;
    ScaleX = float(sx);
    ScaleY = float(sy);
    ScaleMin = float(sx);
    TMatrix4x3F v = IdentityMatrix();
    if (CurrentLayout && !CurrentLayout->Block && !Converter->CurrentSpace)
        v = MultiplyMatrix(Converter->ViewTransform, OwnMatrix);
    v.M[3][0] = v.M[3][1] = v.M[3][2] = 0;
    TMatrix4x3F m = MultiplyMatrix(v, ScaleTranslateMatrix({ScaleX, ScaleY, ScaleMin}, {}));
    m = MultiplyMatrix(m, ScaleTranslateMatrix({1, -1, 1}, {}));
    DrawContext.Matrix = m;
    // The centre is mapped without the saturation of MapPoint: a drawing far
    // from the origin (coordinates of a million at a fine scale) maps its
    // centre far beyond the 32-bit target range, and only the offset brings
    // it back into the rectangle. Within that range the result is MapPoint's.
    long double cx, cy;
    MapExact(m, Centre, cx, cy);
    if (!std::isfinite(cx) || !std::isfinite(cy)) return false;
    cx = std::nearbyint(cx);  // to nearest, ties to even
    cy = std::nearbyint(cy);
    DrawContext.Matrix.M[3][0] = float((long double)(int64_t(W) / 2) - cx + r.Left);
    DrawContext.Matrix.M[3][1] = float((long double)(int64_t(H) / 2) - cy + r.Top);
    DrawContext.ScaleX = DrawContext.ScaleY = 0;
    return true;
}

TPoint TkrDXFImage::MapWithExtended(const TMatrix4x3F& matrix, const TPoint3F& p) {
    long double x, y;
    MapExact(matrix, p, x, y);
    return {ToTarget(x), ToTarget(y)};
}

bool TkrDXFImage::BoxInTarget(const TMatrix4x3F& matrix, const TBox3F& b) {
    // The least and greatest of each mapped coordinate over the corners, in
    // the precision MapExact maps with.
    const auto& m = matrix.M;
    // First in double precision, as MapCoordinateFast maps: each product of
    // two floats is exact, and the double sums (three roundings of 2^-53)
    // and the extended ones (three of 2^-64) stray less than 2^-50 of the
    // sum of the terms' magnitudes from the exact sums. A box whose double
    // extremes lie inside the range by more than that lies inside in the
    // extended precision too; any other box (near an edge or outside) is
    // decided in extended precision below.
    {
        const double dlo[3] = {b.Left, b.Bottom, b.Z1}, dhi[3] = {b.Right, b.Top, b.Z2};
        bool inside = true;
        for (int k = 0; k < 2; ++k) {
            double least = m[3][k], most = m[3][k], size = std::fabs(double(m[3][k]));
            for (int i = 0; i < 3; ++i) {
                const double p = dlo[i] * m[i][k], q = dhi[i] * m[i][k];
                least += std::min(p, q);
                most += std::max(p, q);
                size += std::max(std::fabs(p), std::fabs(q));
            }
            const double margin = size * 0x1p-50;
            inside = inside && least - margin >= -2147483648.0 && most + margin <= 2147483647.0;
        }
        if (inside) return true;
    }
    const long double lo[3] = {b.Left, b.Bottom, b.Z1}, hi[3] = {b.Right, b.Top, b.Z2};
    for (int k = 0; k < 2; ++k) {
        long double least = m[3][k], most = m[3][k];
        for (int i = 0; i < 3; ++i) {
            const long double p = lo[i] * m[i][k], q = hi[i] * m[i][k];
            least += std::min(p, q);
            most += std::max(p, q);
        }
        // A NaN fails both comparisons.
        if (!(least >= -2147483648.0L && most <= 2147483647.0L)) return false;
    }
    return true;
}

void TkrDXFImage::DrawOnSink(TPDFCanvas& sink, const TIntRect& rect) {
    Sink = &sink;
    TargetRect = rect;
    WorkPerPoint = sink.TextMode ? 1 : kDrawWorkPerDxfPoint;
    DrawStopped = DrawTruncated = false;
    EntitiesDrawn = 0;
    if (!ComputeMapping(rect)) return;
    DrawContext.MatrixHasRotation = MatrixHasRotation(DrawContext.Matrix);
    LineWeightScale = 2.834651249313483;
    TPen savedPen = sink.Pen;
    TBrush savedBrush = sink.Brush;
    TFont savedFont = sink.Font;
    TkrDXFConverter& c = *Converter;
    TOnExit restore([&] {
        sink.Pen = savedPen;
        sink.Brush = savedBrush;
        sink.Font = savedFont;
        sink.Clipping = false;
        KeepAllPoints = false;
        RepeatedPoints.Clear();
        if (Converter->DrawContext == &DrawContext) Converter->DrawContext = nullptr;
    });
    sink.Brush.Style = bsSolid;
    sink.Brush.Color = BackgroundColor;
    sink.FillRect(rect);
    sink.Brush.Style = bsClear;
    c.ExpandInserts = false;
    RepeatedPoints.Clear();
    c.OnInsert = [this](TkrDXFInsert& insert, bool) {
        if (TDrawContext* d = Converter->DrawContext) d->MatrixHasRotation = MatrixHasRotation(d->Matrix);
        RepeatedPoints.BlockWalked(insert.Block);
    };
    c.DrawContext = &DrawContext;
    DrawContext.Insert = nullptr;
    DrawContext.ScaleX = DrawContext.ScaleY = 0;
    const bool ofBlock = CurrentLayout && CurrentLayout->Block;
    TkrDXFGroup* top = ofBlock ? static_cast<TkrDXFGroup*>(CurrentLayout->Block) : c.GetTable(tkEntities);
    if (!top) return;
    // Bands take more of a polyline's points than the drawn ones: with true
    // widths every point is made here.
    TPointsAhead* ahead = PointsAhead && !(sink.TextMode && TrueWidths) ? PointsAhead : nullptr;
    if (ahead) ahead->Begin(*top, c.CurrentSpace);
    TOnExit endAhead([&] {
        if (ahead) ahead->End();
    });
    if (!ofBlock) DrawContext.BlockColor = clFromLayer;
    IterateChildren(*top, c, EntityCallback, this);
}
