// Value types of the drawing model (points, boxes, affine matrices, the draw
// context carried down through inserts) and the stateless helpers every entity,
// the reader and the renderer share. Geometry is stored in 32-bit floats and
// computed in double; a routine rounds to float only where it stores a result.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

struct TPoint3F {
    float X = 0, Y = 0, Z = 0;
    friend bool operator==(const TPoint3F&, const TPoint3F&) = default;
};

// A point of a plane figure (z = 0), kept in two thirds of the room.
struct TPoint2F {
    float X = 0, Y = 0;
    friend bool operator==(const TPoint2F&, const TPoint2F&) = default;
};

// Left/Top/Z1 is the corner with the smallest X, largest Y, smallest Z;
// Right/Bottom/Z2 the opposite one (Y grows upwards).
struct TBox3F {
    float Left = 0, Top = 0, Z1 = 0, Right = 0, Bottom = 0, Z2 = 0;
    friend bool operator==(const TBox3F&, const TBox3F&) = default;
};

// Rows 0..2 are the linear part, row 3 the translation; points are row vectors.
struct TMatrix4x3F {
    float M[4][3] = {};
};

class TkrDXFInsert;

// Colour values of the model: 0x00BBGGRR or one of the sentinels below
// (signed: a layer holds a negative colour number until it is finished).
using TColorValue = int32_t;
constexpr TColorValue clForeground = 0x1FFFFFFF;
constexpr TColorValue clFromLayer = 0x2FFFFFFF;
constexpr TColorValue clFromBlock = 0x3FFFFFFF;
constexpr TColorValue clBlack = 0x000000;
constexpr TColorValue clIndexFlag = 0x02000000;  // colours computed from indices 10..249

struct TDrawContext {
    TMatrix4x3F Matrix{};
    TkrDXFInsert* Insert = nullptr;
    TColorValue BlockColor = clFromLayer;
    float ScaleX = 0, ScaleY = 0;  // both 0: not computed yet
    float Rotation = 0;            // degrees
    bool MatrixHasRotation = false;
    // While a dashed line cut at the clip rectangle is visited: its dash
    // pairs as cut (canvas coordinates), drawn instead of its own.
    const std::vector<TPoint3F>* CutLinePoints = nullptr;
};

// The cosines and sines of an angle sequence (start, step, count), kept to
// be reused by the next curve that walks the same angles.
struct TAngleTable {
    double Start = 0, Step = 0;
    size_t Count = 0;
    std::vector<double> Cos, Sin;
    // The entries of the smallest and the largest cosine and sine (the first
    // of equal ones), found when the table is made.
    size_t CosMin = 0, CosMax = 0, SinMin = 0, SinMax = 0;
};

constexpr double kPi = 3.1415926535897932385;
constexpr float kBoxInfinity = 1e20f;
constexpr TBox3F EmptyBox{kBoxInfinity, -kBoxInfinity, kBoxInfinity, -kBoxInfinity, kBoxInfinity, -kBoxInfinity};
// The box of geometry that has no sound box (see SoundBox): a coordinate
// that is not a number. Every box operation takes it for empty; SoundBox
// tells it from EmptyBox.
constexpr float kNoNumber = std::numeric_limits<float>::quiet_NaN();
constexpr TBox3F UnsoundBox{kNoNumber, kNoNumber, kNoNumber, kNoNumber, kNoNumber, kNoNumber};
constexpr TBox3F UnitBox{0, 1, 0, 1, 0, 0};

inline TPoint3F Point3F(double x, double y, double z) { return {float(x), float(y), float(z)}; }
inline TPoint3F Point2F(double x, double y) { return {float(x), float(y), 0.0f}; }
inline double DegToRad(double a) { return a * (kPi / 180.0); }
inline double RadToDeg(double a) { return a * (180.0 / kPi); }
int32_t FloorInt(double v);
// The points (chords + 1) an arc of radius r sweeping the angle sweep
// (radians) needs so that no chord strays more than tolerance from it; 0
// when any count will do (no tolerance, or the tolerance covers the radius).
// A chord over the angle a strays r (1 - cos(a/2)) = 2 r sin^2(a/4).
double ChordPointsForTolerance(double r, double sweep, double tolerance);

TMatrix4x3F IdentityMatrix();
TMatrix4x3F ScaleTranslateMatrix(const TPoint3F& s, const TPoint3F& t);
TPoint3F TransformPoint(const TPoint3F& p, const TMatrix4x3F& m);
TMatrix4x3F MultiplyMatrix(const TMatrix4x3F& a, const TMatrix4x3F& b);
bool MatrixHasRotation(const TMatrix4x3F& m);

TPoint3F CrossProduct(const TPoint3F& a, const TPoint3F& b);
TPoint3F NormalizeVector(const TPoint3F& v);
inline bool IsDefaultExtrusion(const TPoint3F& n) { return n.X == 0 && n.Y == 0 && n.Z == 1; }
void ArbitraryAxis(const TPoint3F& n, TPoint3F& ax, TPoint3F& ay, TPoint3F& az);
TPoint3F WCSToOCS(const TPoint3F& p, const TPoint3F& n);
TPoint3F OCSToWCS(const TPoint3F& p, const TPoint3F& n);
TMatrix4x3F ExtrusionMatrix(const TPoint3F& n, double angleDeg);
TPoint3F RotateAroundAxis(const TPoint3F& v, const TPoint3F& k, double angleRad);
TMatrix4x3F ViewMatrix(const TPoint3F& n, double twistDeg);
TPoint3F RotatePoint2D(const TPoint3F& p, double angleDeg);

// Inline: called for every point of every entity while a drawing is loaded.
// A point with a coordinate that is not a number (binary DXF stores NaN as
// it is) makes the box unsound for good: its Left becomes NaN, so that the
// box is empty to every box operation and SoundBox refuses it, instead of
// the point being passed over unseen.
inline void ExpandBox(TBox3F& b, const TPoint3F& p) {
    if (p.X < b.Left) b.Left = p.X;
    if (p.X > b.Right) b.Right = p.X;
    if (p.Y > b.Top) b.Top = p.Y;
    if (p.Y < b.Bottom) b.Bottom = p.Y;
    if (p.Z < b.Z1) b.Z1 = p.Z;
    if (p.Z > b.Z2) b.Z2 = p.Z;
    if (p.X != p.X || p.Y != p.Y || p.Z != p.Z) b.Left = kNoNumber;
}
inline bool IsEmptyBox(const TBox3F& b) { return !(b.Right >= b.Left && b.Top >= b.Bottom) || !(b.Z2 >= b.Z1); }
// True for the boxes geometry may have: EmptyBox (or another empty box of
// finite numbers), or a box whose every coordinate is finite and inside
// +-kBoxInfinity, the float range boxes are compared in. A coordinate that is
// not a number, infinite, or at or beyond kBoxInfinity (a float overflowed
// from an ASCII value, a scale of 1e30) makes a box unsound: such geometry
// counts for no extents and is not drawn.
bool SoundBox(const TBox3F& b);
inline void UnionBox(TBox3F& box, const TBox3F& o) {
    if (IsEmptyBox(o)) return;
    ExpandBox(box, {o.Left, o.Top, o.Z1});
    ExpandBox(box, {o.Right, o.Bottom, o.Z2});
}
void OffsetBox(TBox3F& box, double dx, double dy, double dz);
void RotateBox(TBox3F& box, double angleDeg);
int ClassifyBox(const TBox3F& box, const TBox3F& clip, const TMatrix4x3F& m);
int SegmentInBox(const TPoint3F& p1, const TPoint3F& p2, const TBox3F& clip, const TMatrix4x3F& m, bool withZ);
void CacheScaleAndAngle(TDrawContext& dc);

// A zero extrusion vector (all of 210/220/230 zero, or not finite) has no
// direction; it is read as the default (0, 0, 1) so that no NaN reaches the
// geometry.
TPoint3F SanitizeExtrusion(const TPoint3F& n);
