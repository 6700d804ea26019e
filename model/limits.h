// Resource bounds of the conversion that have no other home yet. The bounds
// already enforced live beside the code that enforces them:
//   kMaxDxfTextSize      model/converter.h     largest DXF text read (error)
//   kMaxContainerDepth   model/converter.h     nesting of containers (error)
//   kMaxInsertDepth      model/entities/blocks.h  nesting of inserts (deeper
//                                               levels are left out)
//   kMaxEntityPoints     model/entities/linear.h  points of one entity (fewer
//                                               points or straight chords)
//   kMaxRepetitions, kMaxCutPoints  model/lines_cut.cpp  dash cutting (solid)
//   kDrawWorkBase/PerByte render/dxf_image.h   work of one layout drawing
//                                               (the rest is left out, with a
//                                               warning)
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// How often the bounds that degrade a drawing quietly in the model were
// reached: the reader's converter keeps one record per drawing, the
// conversion reports it on standard error and clears it. The drawing-work
// bound has its own flag (TkrDXFImage::DrawTruncated); the dash cutting's
// point ceiling in lines_cut.cpp is only a safety net behind the per-entity
// point bound and is not counted.
struct TBoundHits {
    uint32_t EntityPoints = 0;  // curves and polylines made with fewer points
    uint32_t DashPoints = 0;    // dashed geometry drawn solid
    uint32_t InsertDepth = 0;   // inserts below the nesting bound left out
    uint32_t InsertCycles = 0;  // inserts of a block inside itself left out

    bool Any() const { return EntityPoints || DashPoints || InsertDepth || InsertCycles; }
    void Clear() { *this = TBoundHits{}; }
    // One message a bound reached, in the order of the fields.
    std::vector<std::string> Messages() const;
};

// The most family lines one hatch pattern may generate over one hatch
// boundary. A pattern line family repeats at its offset across the
// boundary's extent; a tiny offset on a large boundary would produce lines
// without end. The hatch step draws at most this many lines per hatch (summed
// over its families) and leaves the hatch unfilled beyond it, keeping its
// boundary, with a warning.
constexpr std::size_t kMaxHatchLines = 100000;
