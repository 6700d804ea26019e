// The pattern of a hatch: every pattern line generates a family of parallel
// lines across the boundary's box; the lines are clipped to the boundary
// (model/hatch_clip.cpp) and the inside pieces, cut into the pattern line's
// dashes, become the hatch's segments.
#include <algorithm>
#include <cmath>

#include "model/converter.h"
#include "model/hatch_clip.h"

double HatchDashLength(const THatchPatternLine& line) {
    double sum = 0;
    if (line.Dashes)
        for (float t : line.Dashes->FTicks) sum += std::fabs(double(t));
    return sum;
}

namespace {
bool Finite(double a, double b, double c, double d, double e) {
    return std::isfinite(a) && std::isfinite(b) && std::isfinite(c) && std::isfinite(d) && std::isfinite(e);
}

// Appends family lines while fewer than maxLines are there; false once full.
struct TFamilyOut {
    std::vector<THatchFamilyLine>& Out;
    size_t Left;
    bool Over = false;
    bool Add(double x1, double y1, double x2, double y2, double px, double py) {
        if (Left == 0) {
            Over = true;
            return false;
        }
        --Left;
        Out.push_back({float(x1), float(y1), float(x2), float(y2), Point2F(px, py)});
        return true;
    }
};
}  // namespace

namespace {
// The direction of a pattern line's family: its kind, or fkNone for a line
// that makes no progress across a box or has no finite angle, base or
// offset (GenerateFamily refuses it).
struct TFamilyStep {
    uint8_t Kind = fkNone;
    double Cos = 1, Sin = 0, Tan = 0;
};

TFamilyStep FamilyStep(const THatchPatternLine& pl) {
    TFamilyStep f;
    const double theta = DegToRad(pl.Angle);
    const double bx = pl.BaseX, by = pl.BaseY, ox = pl.OffsetX, oy = pl.OffsetY;
    if (!Finite(theta, bx, by, ox, oy)) return f;
    const bool halfPi = std::fabs(theta - kPi / 2) < 1e-6;
    if (ox == 0) {
        if (halfPi || oy == 0) return f;
    } else if (!halfPi && std::fabs(oy / ox - std::tan(theta)) < 1e-5) {
        return f;
    }
    f.Cos = std::cos(theta), f.Sin = std::sin(theta), f.Tan = std::tan(theta);
    const uint8_t kind = std::fabs(f.Cos) < 0.001 ? fkVertical
                         : std::fabs(f.Sin) < 0.001 ? fkHorizontal
                         : (f.Cos > 0) == (f.Sin > 0) ? fkRising
                                                      : fkFalling;
    // Left to the implementer, decided: the lines step across the box by the
    // offset's x (vertical lines), its y (horizontal lines) or the shift of
    // the line along x (oblique lines). The check above misses a zero step
    // for vertical lines other than exactly 90 degrees (270 degrees with
    // offset x 0) and for nearly horizontal lines with offset y 0 (0.05
    // degrees with offset (1, 0)); such a family never crosses the box and
    // is rejected the same way. A step that is tiny but not zero is bounded
    // by maxLines instead.
    const double shift = kind >= fkRising ? ox - oy / f.Tan : 0;
    if ((kind == fkVertical && ox == 0) || (kind == fkHorizontal && oy == 0) ||
        (kind >= fkRising && !(shift != 0 && std::isfinite(shift))))
        return f;
    f.Kind = kind;
    return f;
}
}  // namespace

bool PatternLineSound(const THatchPatternLine& line) { return FamilyStep(line).Kind != fkNone; }

THatchFamily GenerateFamily(const THatchPatternLine& pl, const TBox3F& box, size_t maxLines,
                            std::vector<THatchFamilyLine>& out) {
    THatchFamily r;
    const double x1 = box.Left, x2 = box.Right, y1 = box.Top, y2 = box.Bottom;
    // A box without height gets no lines; nor does one without a finite
    // size (a boundary point beyond the float range).
    if (!Finite(x1, x2, y1, y2, 0) || y1 == y2) return r;
    const double bx = pl.BaseX, by = pl.BaseY, ox = pl.OffsetX, oy = pl.OffsetY;
    const TFamilyStep direction = FamilyStep(pl);
    if (direction.Kind == fkNone) throw EkrDXFHatchError();
    const double cs = direction.Cos, sn = direction.Sin, tn = direction.Tan;
    const uint8_t kind = direction.Kind;
    r.Kind = kind;
    if (kind == fkVertical) r.NormalX = 1, r.NormalY = 0;
    else if (kind == fkHorizontal) r.NormalX = 0, r.NormalY = 1;
    else r.NormalX = -sn, r.NormalY = cs;

    // Anchor K near the top-left corner C on the line through B along O:
    // at x = x1 for vertical lines, else where that line meets the line
    // through C at the pattern angle. (With an offset x of 0 the corner
    // itself was taken, which lies off that line: a base point far from the
    // box then started the family far beyond it, so that its lines ran out
    // before reaching the box. The meeting point exists for every line that
    // is not vertical.)
    double kx, ky;
    if (kind == fkVertical) {
        kx = x1;
        ky = by + (x1 - bx) / ox * oy;
    } else {
        const double sp = ((x1 - bx) * sn - (y1 - by) * cs) / (ox * sn - oy * cs);
        kx = bx + sp * ox;
        ky = by + sp * oy;
    }
    // Whole offsets from B towards K (per coordinate).
    const double n = std::trunc(std::hypot(kx - bx, ky - by) / std::hypot(ox, oy));
    const double sx = bx + (kx >= bx ? 1 : -1) * n * std::fabs(ox);
    const double sy = by + (ky >= by ? 1 : -1) * n * std::fabs(oy);
    // Phase: along the line by whole pattern lengths towards the corner.
    const double len = HatchDashLength(pl);
    const double m = len > 0 ? std::trunc(std::hypot(x1 - kx, y1 - ky) / len) * len : std::hypot(kx - sx, ky - sy);
    const double ax = sx + m * cs, ay = sy + m * sn, bx2 = sx - m * cs, by2 = sy - m * sn;
    const bool firstNearer = std::hypot(ax - x1, ay - y1) <= std::hypot(bx2 - x1, by2 - y1);
    const double p0x = firstNearer ? ax : bx2, p0y = firstNearer ? ay : by2;
    TFamilyOut f{out, maxLines};
    if (!Finite(p0x, p0y, 0, 0, 0) || (p0x + ox == p0x && p0y + oy == p0y)) {
        // An anchor lost in rounding, or one so far out (a box of 1e38) that
        // adding the offset leaves it where it is: the family would need more
        // lines than any bound.
        r.Over = true;
        return r;
    }

    if (kind == fkVertical || kind == fkHorizontal) {
        // The offset pointing to rising x (vertical) or rising y (horizontal).
        const bool vertical = kind == fkVertical;
        double dx = ox, dy = oy;
        if ((vertical ? dx : dy) < 0) dx = -dx, dy = -dy;
        const double hi = vertical ? x2 : y1, lo = vertical ? x1 : y2;
        auto add = [&](double px, double py) {
            return vertical ? f.Add(px, y2, px, y1, px, py) : f.Add(x1, py, x2, py, px, py);
        };
        for (double px = p0x, py = p0y; (vertical ? px : py) <= hi; px += dx, py += dy)
            if (!add(px, py)) break;
        for (double px = p0x - dx, py = p0y - dy; !f.Over && (vertical ? px : py) >= lo; px -= dx, py -= dy)
            if (!add(px, py)) break;
    } else {
        // Each line runs between its points at y = y2 and y = y1.
        auto xAt = [&](double px, double py, double y) { return (y - py) / tn + px; };
        auto reaches = [&](double px, double py) {
            double a = xAt(px, py, y2), b = xAt(px, py, y1);
            return std::max(a, b) >= x1 && std::min(a, b) <= x2;
        };
        // A first line beside the box moves towards it: a base point beyond
        // the line through the corner, with the offset pointing to the box,
        // started the family on a line that misses the box, and the family
        // ended there without a line. Each step that brings the line nearer
        // is taken, up to the bound of lines.
        auto approach = [&](double& px, double& py, double dx, double dy) {
            const double step = dx - dy / tn;
            for (size_t guard = 0; !reaches(px, py); ++guard) {
                double a = xAt(px, py, y2), b = xAt(px, py, y1);
                bool left = std::max(a, b) < x1;
                if (!(left ? step > 0 : step < 0)) return;
                if (guard == maxLines) {
                    f.Over = true;
                    return;
                }
                px += dx, py += dy;
            }
        };
        double px = p0x, py = p0y;
        approach(px, py, ox, oy);
        for (; !f.Over && reaches(px, py); px += ox, py += oy)
            if (!f.Add(xAt(px, py, y2), y2, xAt(px, py, y1), y1, px, py)) break;
        px = p0x - ox, py = p0y - oy;
        approach(px, py, -ox, -oy);
        for (; !f.Over && reaches(px, py); px -= ox, py -= oy)
            if (!f.Add(xAt(px, py, y2), y2, xAt(px, py, y1), y1, px, py)) break;
    }
    r.Over = f.Over;
    return r;
}

// ---- the hatch's pattern ----

void TkrDXFHatch::ClipPattern(THatchShape& shape) const {
    if (Solid) return;
    const TBox3F& box = shape.Box;
    // Left to the implementer, decided: group 78 may announce more pattern
    // lines than were read; only those read are used (a negative count is 0).
    const size_t count = std::min<size_t>(size_t(std::max(PatternLineCount, 0)), PatternLines.size());

    // Every family first: the bound of lines is for the whole hatch.
    std::vector<std::vector<THatchFamilyLine>> families(count);
    std::vector<THatchFamily> kinds(count);
    size_t lines = 0;
    bool over = false;
    for (size_t i = 0; i < count && !over; ++i) {
        kinds[i] = GenerateFamily(PatternLines[i], box, kMaxHatchLines - lines, families[i]);
        if (kinds[i].Kind != fkNone) shape.FamilyKind = kinds[i].Kind;
        lines += families[i].size();
        over = kinds[i].Over;
    }

    // The inside pieces of every family line: its sorted points in pairs
    // (an odd last point is dropped), with the line's phase point.
    std::vector<std::vector<THatchPatternPiece>>& pieces = shape.Pieces;
    pieces.assign(count, {});
    if (!over && lines > 0) {
        THatchClipBoundary boundary = MakeClipBoundary(shape.Paths);
        size_t tests = kMaxHatchSegmentTests;
        size_t points = 0;
        std::vector<TPoint3F> hits;
        std::vector<uint32_t> ends;
        for (size_t i = 0; i < count && !over; ++i) {
            if (families[i].empty()) continue;
            if (!ClipFamily(boundary, families[i], kinds[i].NormalX, kinds[i].NormalY, tests,
                            kMaxEntityPoints - points, hits, ends)) {
                over = true;
                break;
            }
            for (size_t j = 0, from = 0; j < families[i].size(); from = ends[j++])
                for (size_t k = from; k + 1 < ends[j]; k += 2) pieces[i].push_back({hits[k], hits[k + 1], families[i][j].Phase});
            points += 2 * pieces[i].size();
        }
    }
    shape.Over = over;
    if (over) pieces.clear();
}

void TkrDXFHatch::CutPattern(TkrDXFConverter& conv, const THatchShape& shape) {
    if (Solid) return;
    FamilyKind = shape.FamilyKind;
    if (shape.Over) {
        ++conv.Bounds.HatchPatterns;
        return;
    }
    const std::vector<std::vector<THatchPatternPiece>>& pieces = shape.Pieces;
    const size_t count = pieces.size();

    // Dashes, cut into the converter's working list, of which the hatch then
    // keeps an exact-size copy. False when the dash points would pass limit.
    std::vector<TPoint3F>& out = conv.DashScratch;
    std::vector<TPoint3F> cut;
    uint64_t dashPoints = 0;
    auto emit = [&](bool solid, uint64_t limit) {
        out.clear();
        dashPoints = 0;
        for (size_t i = 0; i < count; ++i) {
            if (pieces[i].empty()) continue;
            const THatchPatternLine& pl = PatternLines[i];
            const std::vector<float> none;
            const std::vector<float>& ticks = pl.HasDashes && pl.Dashes ? pl.Dashes->FTicks : none;
            // A single element cannot be cut: it is a dash that never ends
            // (drawn solid) or a gap that never ends (nothing). No element at
            // all, though announced, draws solid as well.
            if (ticks.size() == 1 && !(ticks[0] >= 0)) continue;
            if (solid || ticks.size() < 2) {
                for (const THatchPatternPiece& p : pieces[i]) {
                    out.push_back(p.A);
                    out.push_back(p.B);
                }
                continue;
            }
            // A line at 180 degrees or more runs against the order of its
            // dashes: they are taken in reverse.
            TkrLines dashes;
            dashes.FTicks = ticks;
            if (double(pl.Angle) - 360 * std::floor(double(pl.Angle) / 360) >= 180)
                std::reverse(dashes.FTicks.begin(), dashes.FTicks.end());
            for (const THatchPatternPiece& p : pieces[i]) {
                cut.clear();
                dashes.Line(1.0, p.A, p.B, cut, p.Phase);
                dashPoints += cut.size();
                if (dashPoints > limit) return false;
                out.insert(out.end(), cut.begin(), cut.end());
            }
        }
        return true;
    };
    const uint64_t limit = std::min<uint64_t>(kMaxEntityPoints, conv.DashPointLimit());
    if (!emit(false, limit)) {
        ++conv.Bounds.DashPoints;
        emit(true, 0);
    }
    conv.DashPointsLeft -= std::min<uint64_t>(conv.DashPointsLeft, dashPoints);
    Segments.resize(out.size());
    for (size_t i = 0; i < out.size(); ++i) Segments[i] = {out[i].X, out[i].Y};
    out.clear();
    // A working list grown past 64 Ki points (a huge pattern) is not kept.
    if (out.capacity() > 65536) std::vector<TPoint3F>().swap(out);
}
