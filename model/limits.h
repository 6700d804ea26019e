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

// The most family lines one hatch pattern may generate over one hatch
// boundary. A pattern line family repeats at its offset across the
// boundary's extent; a tiny offset on a large boundary would produce lines
// without end. The hatch step draws at most this many lines per hatch (summed
// over its families) and leaves the hatch unfilled beyond it, keeping its
// boundary, with a warning.
constexpr std::size_t kMaxHatchLines = 100000;
