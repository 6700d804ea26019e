// HELIX: a spline (control points, knots, degree and fit points read as a
// SPLINE's) followed by the helix's own data after "100 AcDbHelix" (axis
// base point, start point, axis vector, radius, turns, turn height,
// handedness), which drawing does not need: the spline is the curve, drawn
// as a SPLINE is (the view from above flattens it to its circles).
#pragma once

#include "model/entities/curves.h"

class TkrDXFHelix : public TkrDXFSpline {
public:
    TkrDXFHelix() : TkrDXFSpline(TEntityClass::Helix) {}
    void ReadProperty(TkrDXFConverter& conv) override;

private:
    bool FHelixPart = false;
};
