// Curves: circles, arcs, ellipses and splines. Each keeps its defining
// parameters, fills the inherited vertex list with computed points and then
// runs the polyline finishing (extrusion, thickness, line type, box).
#pragma once

#include <vector>

#include "model/entities/linear.h"

// What GetArcParams gives: the radii along both axes, the direction of the
// first axis and the angles (degrees) the tessellation runs between.
struct TArcParams {
    double RadiusX = 0, RadiusY = 0;
    double Cos = 1, Sin = 0;
    double EndAngle = 360, StartAngle = 0;
};

class TkrDXFCircle : public TkrDXFPolyline {
public:
    explicit TkrDXFCircle(TEntityClass cls = TEntityClass::Circle) : TkrDXFPolyline(cls) {}
    int32_t Parts = 16;  // per half turn; the converter's CirclePoints at every finishing
    float Radius = 0;

    TPoint3F Centre() const { return PenLine.Point; }
    void SetCentre(const TPoint3F& p) { PenLine.Point = p; }

    virtual TArcParams GetArcParams() const;
    void Loaded(TkrDXFConverter& conv) override;
    void ReadProperty(TkrDXFConverter& conv) override;

protected:
    // Parts points a half turn (set when finished), more with the
    // converter's chord tolerance.
    void BaseVertices(const TkrDXFConverter& conv, std::vector<TPolyVertex>& out, TAngleTable& angles,
                      TBoundHits* bounds) const override;
    bool DashAsCurve() const override { return true; }

private:
    // The number of points of the tessellation of p (bounds counts a count
    // cut to kMaxEntityPoints) and the step between their angles.
    size_t PointCount(const TkrDXFConverter& conv, const TArcParams& p, double& step, TBoundHits* bounds) const;
    // The points a plain circle's box is made of, into verts: the four of
    // its extreme angles (count: the circle's number of points), or every
    // point where an extreme is 0 (count 0). False, with verts empty, for a
    // circle that is not plain.
    bool ExtremePoints(TkrDXFConverter& conv, std::vector<TPolyVertex>& verts, size_t& count);
};

class TkrDXFArc : public TkrDXFCircle {
public:
    explicit TkrDXFArc(TEntityClass cls = TEntityClass::Arc) : TkrDXFCircle(cls) {}
    float EndAngle = 0;
    TPoint3F StartPoint{};
    TPoint3F EndPoint{};
    float StartAngle = 0;

    TArcParams GetArcParams() const override;
    void Loaded(TkrDXFConverter& conv) override;
    void ReadProperty(TkrDXFConverter& conv) override;
};

class TkrDXFEllipse : public TkrDXFArc {
public:
    TkrDXFEllipse() : TkrDXFArc(TEntityClass::Ellipse) {}
    TPoint3F MajorAxis{};  // end of the major axis relative to the centre
    float Ratio = 0;       // minor to major axis
    // The start and end parameters are kept in StartAngle/EndAngle (degrees);
    // Radius holds the major radius once finished.

    TArcParams GetArcParams() const override;
    void Loaded(TkrDXFConverter& conv) override;
    void ReadProperty(TkrDXFConverter& conv) override;
};

class TkrDXFSpline : public TkrDXFLWPolyline {
public:
    explicit TkrDXFSpline(TEntityClass cls = TEntityClass::Spline) : TkrDXFLWPolyline(cls) {}
    int32_t Parts = 25;  // per span; the converter's SplineParts at every finishing
    TPoint3F StartTangent{};
    std::vector<TPoint3F> ControlPoints;
    TPoint3F EndTangent{};
    std::vector<TPoint3F> FitPoints;
    bool FitPointMode = false;  // set only by readers of fit-only formats
    std::vector<float> Knots;
    // The degree (group 71; 0: not given, a cubic) and the weights of the
    // control points (group 41, one per control point for a rational curve).
    int32_t Degree = 0;
    std::vector<double> Weights;

    int ControlCount() const { return int(ControlPoints.size()); }
    int FitCount() const { return int(FitPoints.size()); }

    void Loaded(TkrDXFConverter& conv) override;
    void ReadProperty(TkrDXFConverter& conv) override;

    // Lets go of the finished points (a hatch that took them for its path).
    void ReleaseCurve() { std::vector<TPoint3F>().swap(FCurve); }

protected:
    // Only called while finishing (bounds set): the drawing takes the
    // points kept in FCurve.
    void BaseVertices(const TkrDXFConverter& conv, std::vector<TPolyVertex>& out, TAngleTable& angles,
                      TBoundHits* bounds) const override;
    bool DashAsCurve() const override { return true; }
    void FinishedRun(TkrDXFConverter& conv, std::vector<TPoint3F>&& run, bool closeRun = true) override;
    bool MakeRun(TPointWork& work) const override;

private:
    // The finished points of the curve (evaluated, or the polygon as
    // finished): a spline's are costly to make, so they are kept; whether
    // a continuous closed run gets its first point again.
    std::vector<TPoint3F> FCurve;
    bool FCloseRun = true;
    // What the control points and knots give: the plain cubic, another
    // degree or a rational curve (in general), or nothing that can be
    // evaluated (the control polygon is drawn, with a warning).
    enum class TForm { Cubic, General, Polygon };
    TForm Form(TkrDXFConverter& conv, bool& useWeights) const;
    // Fills out with the cubic through the fit points sampled, or false.
    bool FitCurve(const TkrDXFConverter& conv, TBoundHits& bounds, std::vector<TPoint3F>& out) const;
    void Evaluate(TkrDXFConverter& conv);
    void EvaluateGeneral(TkrDXFConverter& conv, bool useWeights);
};

// Interpolating cubic spline through fit points (parameter step 1 per point),
// parts + 1 points per span; out is replaced. Fewer than 2 points: out unchanged.
// True when parts was lowered to keep the curve within kMaxEntityPoints.
bool InterpolateFitPoints(const std::vector<TPoint3F>& fit, const TPoint3F& startTangent,
                          const TPoint3F& endTangent, int parts, std::vector<TPoint3F>& out);
