// Curves: circles, arcs, ellipses and splines.
#pragma once

#include "model/entities/linear.h"

class TkrDXFCircle : public TkrDXFPolyline {
public:
    explicit TkrDXFCircle(TEntityClass cls = TEntityClass::Circle) : TkrDXFPolyline(cls) {}
};

class TkrDXFArc : public TkrDXFCircle {
public:
    explicit TkrDXFArc(TEntityClass cls = TEntityClass::Arc) : TkrDXFCircle(cls) {}
};

class TkrDXFEllipse : public TkrDXFArc {
public:
    TkrDXFEllipse() : TkrDXFArc(TEntityClass::Ellipse) {}
};

class TkrDXFSpline : public TkrDXFLWPolyline {
public:
    explicit TkrDXFSpline(TEntityClass cls = TEntityClass::Spline) : TkrDXFLWPolyline(cls) {}
};
