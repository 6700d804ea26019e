// The pattern of a hatch: the family of parallel lines one pattern line
// generates across the boundary's box (model/hatch_family.cpp), and the
// clipping of those lines against the boundary paths with the even-odd rule
// (model/hatch_clip.cpp).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "model/entities/hatch.h"

// The boundary as the clipping sees it: the points of every path, path after
// path, each path closed from its last point back to its first. A point
// equal to the one before it is left out (also the last point when it equals
// the first): a segment of length zero meets no line, and leaving it out
// makes the two segments around a vertex neighbours.
struct THatchClipBoundary {
    std::vector<TPoint3F> Points;
    std::vector<uint32_t> PathStart;  // first point of every path, then Points.size()
    std::vector<uint32_t> PathOf;     // the path of every point

    // Segment k runs from point k to point Next(k) of the same path.
    uint32_t Next(uint32_t k) const {
        uint32_t p = PathOf[k];
        return k + 1 < PathStart[p + 1] ? k + 1 : PathStart[p];
    }
    uint32_t Prev(uint32_t k) const {
        uint32_t p = PathOf[k];
        return k > PathStart[p] ? k - 1 : PathStart[p + 1] - 1;
    }
};

THatchClipBoundary MakeClipBoundary(const std::vector<std::vector<TPoint3F>>& paths);

// The intersection points of each line (x1, y1, x2, y2: four numbers a line)
// with a boundary given as one array: per path a header record whose X is the
// number of points + 1, then the path's points, then its first point again.
// Each line's points are sorted and follow those of the line before. Tests
// every boundary segment against every line; the hatch itself uses the
// sweep of ClipFamily, which gives the same points. A line list whose length
// is not a multiple of 4 raises EListError.
std::vector<TPoint3F> ParseLinesHatch(std::span<const TPoint3F> boundary, std::span<const float> lines);

// Working lists of the clipping, kept by the caller so that clipping many
// lines allocates once.
struct THatchClipScratch {
    struct THit {
        float X, Y;
        double T;
    };
    std::vector<THit> Hits;
    std::vector<uint32_t> Candidates;
};

// The points where one family line meets the boundary segments cand (segment
// indices in ascending order; segments not listed must not meet the line),
// sorted along the line and appended to out.
void FamilyLineHits(const THatchClipBoundary& b, std::span<const uint32_t> cand, const THatchFamilyLine& line,
                    THatchClipScratch& scratch, std::vector<TPoint3F>& out);

// The points of every line of one family (parallel lines with the unit
// normal (nx, ny)): a sweep across the family direction tests each line only
// against the segments whose extent across that direction it meets. Line i's
// points end up at hits[ends[i - 1] .. ends[i]) (from 0 for line 0), in the
// order of lines. False, with hits incomplete, when the segment tests would
// pass tests (which counts down) or the points would pass maxHits.
bool ClipFamily(const THatchClipBoundary& b, std::span<const THatchFamilyLine> lines, double nx, double ny,
                size_t& tests, size_t maxHits, std::vector<TPoint3F>& hits, std::vector<uint32_t>& ends);

// The family of one pattern line across a box (x1 = Left <= x2 = Right,
// y2 = Bottom <= y1 = Top): its lines are appended to out, at most maxLines
// of them. Raises EkrDXFHatchError for a line that makes no progress across
// the box (an offset along the lines, or none at all) or has no finite angle,
// base or offset.
struct THatchFamily {
    uint8_t Kind = fkNone;  // fkNone: the box has no height (or no finite size)
    bool Over = false;      // more than maxLines lines (out is incomplete)
    double NormalX = 0, NormalY = 1;  // unit normal of the lines
};
// False for a pattern line GenerateFamily refuses (whatever the box).
bool PatternLineSound(const THatchPatternLine& line);
THatchFamily GenerateFamily(const THatchPatternLine& line, const TBox3F& box, size_t maxLines,
                            std::vector<THatchFamilyLine>& out);

// The sum of the absolute dash lengths of a pattern line (0 without dashes).
double HatchDashLength(const THatchPatternLine& line);
