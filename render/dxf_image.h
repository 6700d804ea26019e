// The drawing graphic: holds one loaded drawing, chooses the current layout,
// computes its extents (with a margin of one eighth on every side) and its
// natural size, maps drawing coordinates into an integer target rectangle
// (one uniform scale, centre to centre, y flipped) and draws the layout's
// entities onto a drawing sink. Everything the entity procedures need is held
// here and passed to them explicitly: nothing is process-wide.
#pragma once

#include <atomic>
#include <cmath>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "model/converter.h"
#include "model/entities/linear.h"  // TPointWork
#include "output/sink.h"
#include "render/loading.h"
#include "render/points_ahead.h"
#include "render/repeated_points.h"
#include "platform/gdi_attributes.h"
#include "platform/stroke_text.h"

// The work the drawing of one loaded drawing may do, all its layouts
// together, counted in entities visited plus points handed to the sink:
// kDrawWorkBase plus kDrawWorkPerByte for every byte of the drawing's text.
// Drawing time, and the output written, thus grow at most linearly with the
// file size, also for a few kilobytes of blocks that insert each other ten
// times a level (10^9 entities when drawn in full), and for thousands of
// layouts that each show the whole model through a few viewports. A drawing
// that reaches the bound keeps what was drawn up to there; the rest of the
// layout, and every layout after it, is left out and DrawTruncated is set,
// which the conversion reports on standard error.
// A point costs one unit in text form, where it is well below a microsecond
// and writes at most one line, and kDrawWorkPerDxfPoint units in simplified
// DXF form, where every segment is recorded, read back and written as an
// entity of its own (about ten times the work). A file of a few kilobytes is
// thus drawn well within a second in either form.
constexpr uint64_t kDrawWorkBase = 250'000;
constexpr uint64_t kDrawWorkPerByte = 32;
constexpr uint64_t kDrawWorkPerDxfPoint = 4;
// A text drawn (a single-line text, or one run of a multi-line text) costs
// the work of kDrawWorkPerText points plus one point per 16 bytes of its
// string: in simplified DXF form each becomes a font and a text record and
// an MTEXT entity.
constexpr uint64_t kDrawWorkPerText = 4;
// The most bytes a unit of that work writes, so that the output of a drawing
// is bounded with its work: in text form a point ends at most one line of
// four numbers of at most 11 characters (49 bytes); in simplified DXF form
// the figures written for what a unit pays stay below 64 bytes a unit (the
// largest: a point's filled square, a tiny text's filled box and outline, the
// short segments of a small circle). Each DXF file adds its fixed frame.
constexpr uint64_t kMaxTextBytesPerWork = 49;
constexpr uint64_t kMaxDxfBytesPerWork = 64;

enum class TProgressStage { psStarting, psRunning, psEnding };

// Receives progress notifications: the stage, the percent of the file read
// and the graphic's ProgressText.
using TProgressListener = std::function<void(TProgressStage stage, int percent, const std::string& text)>;

class TkrDXFImage {
public:
    TkrDXFImage();
    ~TkrDXFImage();
    TkrDXFImage(const TkrDXFImage&) = delete;
    TkrDXFImage& operator=(const TkrDXFImage&) = delete;

    // Loading. External references (blocks that refer to other drawing
    // files) are loaded unless LoadXrefs is false; their paths resolve
    // against the folder of the file being loaded (a drawing loaded from a
    // stream or a text resolves them against the current folder).
    void LoadFromFile(const std::string& path);
    void LoadFromStream(std::istream& stream);
    void LoadFromText(std::string text);
    // Reads the loaded drawing again, with the reader's settings as they are
    // now (a chord tolerance set after the first load, for example): a file
    // from the file again, a text from the copy the graphic keeps of it.
    void Reload();
    // Loads text as the drawing of a file in folder, its external references
    // through loader (none: no external drawing is loaded). The loading of
    // external drawings uses it for the drawings it reads.
    void LoadNested(std::string text, const std::string& folder, TXrefLoader* loader);
    bool LoadXrefs = true;
    // Writes the loaded text back unchanged (a file's bytes copied from it).
    void SaveToStream(std::ostream& stream) const;
    // Shares the reader of another graphic and takes its layout state.
    void Assign(const TkrDXFImage& source);

    bool GetEmpty() const;
    int LayoutCount() const { return Converter->LayoutCount(); }
    TkrDXFLayout* GetLayout(int index) const { return Converter->LayoutAt(index); }
    void SetCurrentLayout(TkrDXFLayout* layout);
    int GetWidth() const;
    int GetHeight() const;
    void SetWidth(int) {}
    void SetHeight(int) {}

    // Target units per drawing unit when the current layout is drawn into
    // rect; none when the layout has no scale there.
    std::optional<double> MappingScale(const TIntRect& rect) const;
    void DrawOnSink(TPDFCanvas& sink, const TIntRect& rect);
    TPoint MapPoint(const TPoint3F& p) const { return MapWith(DrawContext.Matrix, p); }
    // The target point of p under the matrix m (the rounding of MapPoint):
    // each coordinate is mapped in extended precision and rounded to the
    // nearest integer, ties to even, saturated to the 32-bit range.
    static TPoint MapWith(const TMatrix4x3F& m, const TPoint3F& p) {
        TPoint q;
        if (MapFast(m, p, q)) return q;
        return MapWithExtended(m, p);
    }
    // True when every corner of box b maps under m into the 32-bit range of
    // the target coordinates, so that MapWith keeps the points of b exact.
    static bool BoxInTarget(const TMatrix4x3F& m, const TBox3F& b);

    int GetHeaderInt(std::string_view name, int code) const;

private:
    // Coordinate k of p under m in double precision, where that gives the
    // integer the extended mapping gives, which is nearly always: every
    // product of two floats is exact in a double, so the double sum (three
    // roundings of at most 2^-53 each) and the extended one (three of 2^-64)
    // together stray less than 2^-51 of the sum of the terms' magnitudes
    // from the exact sum. Where the double sum lies further than twice that
    // from the midpoint between two integers, the exact sum and the
    // extended one lie on its side too and round alike. False (the caller
    // maps in extended precision) near a midpoint, outside +-2e9 and for
    // NaN.
    // Rounded to nearest, ties to even, by the addition of 1.5 * 2^52
    // (|v| < 2^51): no library call, no change of the rounding mode.
    static constexpr double kRoundShift = 6755399441055744.0;
    static bool MapCoordinateFast(const TMatrix4x3F& matrix, const TPoint3F& p, int k, int32_t& out) {
        const auto& m = matrix.M;
        const double a = double(p.X) * m[0][k], b = double(p.Y) * m[1][k], c = double(p.Z) * m[2][k];
        const double d = m[3][k];
        const double v = a + b + c + d;
        if (!(v < 2e9 && v > -2e9)) return false;
        const double n = (v + kRoundShift) - kRoundShift;
        const double margin = (std::fabs(a) + std::fabs(b) + std::fabs(c) + std::fabs(d)) * 0x1p-50;
        if (!(0.5 - std::fabs(v - n) > margin)) return false;
        out = int32_t(n);
        return true;
    }
    // Both coordinates as MapCoordinateFast maps each, side by side in one
    // register where the processor has two-lane doubles (the same operations
    // in the same order, so the same numbers).
#if defined(__SSE2__)
    // The x and y columns of each row of a matrix, side by side in doubles.
    struct TMapRows {
        __m128d R[4];
    };
    static TMapRows MapRows(const TMatrix4x3F& matrix) {
        const auto& m = matrix.M;
        return {{_mm_set_pd(m[0][1], m[0][0]), _mm_set_pd(m[1][1], m[1][0]), _mm_set_pd(m[2][1], m[2][0]),
                 _mm_set_pd(m[3][1], m[3][0])}};
    }
#endif
    static bool MapFast(const TMatrix4x3F& matrix, const TPoint3F& p, TPoint& out) {
#if defined(__SSE2__)
        return MapFast(MapRows(matrix), p, out);
#else
        return MapCoordinateFast(matrix, p, 0, out.X) && MapCoordinateFast(matrix, p, 1, out.Y);
#endif
    }
#if defined(__SSE2__)
    static bool MapFast(const TMapRows& rows, const TPoint3F& p, TPoint& out) {
        const __m128d a = _mm_mul_pd(_mm_set1_pd(p.X), rows.R[0]);
        const __m128d b = _mm_mul_pd(_mm_set1_pd(p.Y), rows.R[1]);
        const __m128d c = _mm_mul_pd(_mm_set1_pd(p.Z), rows.R[2]);
        const __m128d d = rows.R[3];
        const __m128d v = _mm_add_pd(_mm_add_pd(_mm_add_pd(a, b), c), d);
        const __m128d shift = _mm_set1_pd(kRoundShift);
        const __m128d n = _mm_sub_pd(_mm_add_pd(v, shift), shift);
        const __m128d sign = _mm_set1_pd(-0.0);
        auto abs = [&](__m128d x) { return _mm_andnot_pd(sign, x); };
        const __m128d margin =
            _mm_mul_pd(_mm_add_pd(_mm_add_pd(_mm_add_pd(abs(a), abs(b)), abs(c)), abs(d)), _mm_set1_pd(0x1p-50));
        // Per lane: -2e9 < v < 2e9 (false for NaN) and 0.5 - |v - n| > margin.
        const __m128d ok = _mm_and_pd(_mm_and_pd(_mm_cmplt_pd(v, _mm_set1_pd(2e9)), _mm_cmpgt_pd(v, _mm_set1_pd(-2e9))),
                                      _mm_cmpgt_pd(_mm_sub_pd(_mm_set1_pd(0.5), abs(_mm_sub_pd(v, n))), margin));
        if (_mm_movemask_pd(ok) != 3) return false;
        const __m128i q = _mm_cvttpd_epi32(n);
        out = {_mm_cvtsi128_si32(q), _mm_cvtsi128_si32(_mm_shuffle_epi32(q, 1))};
        return true;
    }
#endif
    static TPoint MapWithExtended(const TMatrix4x3F& m, const TPoint3F& p);

public:
    // MapWith under one matrix for many points, the matrix read once (made
    // for a run of points, not kept beyond it: it refers to the matrix).
    class TMapper {
    public:
        explicit TMapper(const TMatrix4x3F& m)
            : FMatrix(m)
#if defined(__SSE2__)
              ,
              FRows(MapRows(m))
#endif
        {
        }
        TPoint operator()(const TPoint3F& p) const {
#if defined(__SSE2__)
            TPoint q;
            if (MapFast(FRows, p, q)) return q;
            return MapWithExtended(FMatrix, p);
#else
            return MapWith(FMatrix, p);
#endif
        }

    private:
        const TMatrix4x3F& FMatrix;
#if defined(__SSE2__)
        TMapRows FRows;
#endif
    };

    bool GetIsMetric();
    void SetIsMetric(int32_t measurement) { Measurement = measurement; }

    // Fields that carry behaviour.
    TColor BackgroundColor = 0xFFFFFF;
    TPDFCanvas* Sink = nullptr;
    // The rectangle of the current or last DrawOnSink (construction lines
    // are cut at it).
    TIntRect TargetRect{};
    TPoint3F Centre{};
    uint8_t CharSet = 1;
    std::shared_ptr<TkrDXFConverter> Converter;
    TkrDXFLayout* CurrentLayout = nullptr;
    TColor DefaultColor = 0;
    TDrawContext DrawContext;
    TBox3F Box{};
    // Scratch lists reused by every entity, so that drawing allocates nothing
    // per entity once they have grown: target points, a second list of target
    // points, the point counts of the polylines in it, and dash points.
    std::vector<TPoint> PointList;
    std::vector<TPoint> PartList;
    std::vector<int> PartCounts;
    std::vector<TPoint3F> DashScratch;
    // The points of the polyline or curve being drawn, made as it is drawn,
    // and those of block parts drawn again and again, kept while drawing.
    TPointWork PointWork;
    TRepeatedPoints RepeatedPoints;
    // Set by a caller whose output is written on a thread of its own (none:
    // every point is made here): in text form, that thread makes the points
    // of the polylines and curves of the layout's top level ahead of the
    // drawing (render/points_ahead.h).
    TPointsAhead* PointsAhead = nullptr;
    // Texts drawn as lines (none: as texts): the stroke fonts of the run,
    // shared by every drawing of it, and the strokes of the text being drawn.
    const TStrokeFonts* Lettering = nullptr;
    TStrokeText StrokeText;
    std::vector<TPoint> StrokePoints;
    // In text form a multi-line text whose runs would all be drawn as
    // strings, which leave nothing there, is not laid out again: its runs'
    // work is taken from what finishing recorded (render/draw_entities.cpp).
    // Set, every text is walked run by run, as in the other form: the same
    // output, work and counts, only slower (to check the one by the other).
    bool WalkEveryRun = false;
    // In text form, wide polylines, wide geometric pens, solids and traces
    // are drawn as the closed outlines of their bands (render/draw_widths.cpp).
    bool TrueWidths = false;
    bool ProgressEnabled = true;
    uint32_t LastProgressTick = 0;
    int32_t Measurement = -1;
    double LineWeightScale = 2.834651249313483;
    std::string ProgressText;
    int32_t DefaultPenWidth = 0;
    bool KeepAllPoints = false;
    TBox3F LayoutBox{};
    TMatrix4x3F OwnMatrix = IdentityMatrix();
    float ScaleX = 0, ScaleY = 0, ScaleMin = 0;
    struct TExtents {
        double Right = 0, Left = 0, Top = 0, Bottom = 0, Zmax = 0, Zmin = 0;
    } LayoutExtents;
    double PixelScale = 1;

    // Progress: a listener (none by default) and the millisecond clock used to
    // pass on at most one running notification every 256 ms.
    TProgressListener OnProgress;
    std::function<uint32_t()> TickCount;

    // Work bound of the loaded drawing (see kDrawWorkBase) and the cancel
    // flag checked before every entity: once either stops a drawing, its
    // remaining entities are skipped (inserts are not expanded). Loading
    // sets the budget and starts WorkDone at 0; every DrawOnSink goes on
    // from there. A caller that draws a layout again for the same output
    // (the simplified DXF form is measured first, then written) sets
    // WorkDone back to what it was before the first drawing, so that both
    // stop at the same point; one that starts another output of the whole
    // drawing (the other form) sets it back to 0.
    const std::atomic<bool>* Cancel = nullptr;
    uint64_t WorkBudget = kDrawWorkBase;
    uint64_t WorkDone = 0;
    uint64_t WorkPerPoint = 1;  // units one mapped point costs on this sink
    bool DrawStopped = false;
    bool DrawTruncated = false;  // the last drawing reached the work bound (or began past it)
    // Visible entities the last drawing drew itself (containers such as
    // inserts count through the entities they show): 0 for a layout that
    // draws nothing.
    uint64_t EntitiesDrawn = 0;
    // Counts units of work; false once the drawing is to stop.
    bool TakeWork(uint64_t units) {
        if (DrawStopped) return false;
        WorkDone += units;
        if (WorkDone > WorkBudget) DrawTruncated = DrawStopped = true;
        else if (Cancel && Cancel->load(std::memory_order_relaxed)) DrawStopped = true;
        return !DrawStopped;
    }

    // A new reader; called once by the constructor.
    static std::shared_ptr<TkrDXFConverter> CreateConverter();

private:
    void LoadWith(const std::function<void(TkrDXFConverter&)>& load, const std::string& folder, TXrefLoader* loader);
    // One reading through this graphic (see TDrawingSource).
    TDrawingReading Reading();
    // The drawing's source: the file loaded (read again by Reload), or the
    // text handed over whole.
    TDrawingSource FSource;
    uint32_t FProgressCalls = 0;  // running notifications asked for
    void InstallReaderEvents();
    void AfterLoad();
    void ComputeExtents(const TBox3F& box, bool transform);
    // Extents and centre of the model layout from its box under a view that
    // turns it; false when the view cannot be inverted.
    bool FitToView(const TBox3F& viewBox);
    void ComputePixelScale();
    bool ComputeMapping(const TIntRect& rect);
    void Progress(TProgressStage stage);
};
