// What lines, polylines and curves draw, made the way the drawing makes it
// (the entities keep no point lists of their own).
#pragma once

#include <vector>

#include "model/entities/linear.h"

inline std::vector<TPoint3F> DrawnPoints(const TkrDXFLine& l) {
    std::vector<TPoint3F> out;
    l.MakePoints(out);
    return out;
}

inline std::vector<TPoint3F> DrawnPoints(const TkrDXFPolyline& p) {
    TPointWork work;
    p.MakePoints(work);
    return work.Points;
}

// The finished vertex points (the input of the dashing when dashed).
inline std::vector<TPoint3F> VertexPointsOf(const TkrDXFPolyline& p) {
    TPointWork work;
    p.MakePoints(work);
    return p.GetVertexPoints(work);
}
