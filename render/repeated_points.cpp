#include "render/repeated_points.h"

#include "model/entities/blocks.h"

void TRepeatedPoints::Clear() {
    std::unordered_map<const TkrDXFBlock*, uint32_t>().swap(FWalks);
    std::unordered_map<const TkrDXFPolyline*, std::vector<TPoint3F>>().swap(FKept);
    FKeptPoints = 0;
}

const std::vector<TPoint3F>& TRepeatedPoints::PointsOf(const TkrDXFPolyline& p, const TkrDXFInsert* insert,
                                                       TPointWork& work) {
    const auto walks = insert && insert->Block ? FWalks.find(insert->Block) : FWalks.end();
    if (walks == FWalks.end() || walks->second < 2) {
        p.MakePoints(work);
        return work.Points;
    }
    if (auto kept = FKept.find(&p); kept != FKept.end()) return kept->second;
    p.MakePoints(work);
    if (FKeptPoints + work.Points.size() > kMaxKeptPoints) return work.Points;
    FKeptPoints += work.Points.size();
    return FKept.emplace(&p, work.Points).first->second;
}
