// The points of polylines and curves that are parts of blocks drawn again
// and again (symbols, doors, bolts): a block entity's points depend on the
// entity alone (they are made in block coordinates, the insert only maps
// them), so the points made at one insert of its block serve every later
// one. Only blocks walked more than once during a drawing are kept, up to a
// bound of points; everything else is made as it is drawn, as always.
#pragma once

#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "model/entities/linear.h"

class TkrDXFBlock;
class TkrDXFInsert;

class TRepeatedPoints {
public:
    // Forgets everything (and gives the memory back): at the start and end
    // of a drawing, so that a reloaded or refined drawing is made anew.
    void Clear();
    // An insert starts a walk of its block.
    void BlockWalked(const TkrDXFBlock* block) { ++FWalks[block]; }
    // The points p.MakePoints gives, for p drawn inside insert (none at the
    // top level): kept ones, or made in work (and kept when p's block has
    // been walked before and the bound allows).
    const std::vector<TPoint3F>& PointsOf(const TkrDXFPolyline& p, const TkrDXFInsert* insert, TPointWork& work);

    // Points kept at most (12 MiB of them).
    static constexpr size_t kMaxKeptPoints = size_t(1) << 20;

private:
    std::unordered_map<const TkrDXFBlock*, uint32_t> FWalks;
    std::unordered_map<const TkrDXFPolyline*, std::vector<TPoint3F>> FKept;
    size_t FKeptPoints = 0;
};
