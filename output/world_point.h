// A recorded point through the world transform, rounded to whole device
// units, as the recording reader maps every coordinate.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>

#include "output/errors.h"
#include "platform/emf_records.h"
#include "platform/plane.h"

namespace world_point {

inline std::int32_t CheckedInt(double v) {
    if (!(v >= -2147483648.0 && v <= 2147483647.0)) throw ERangeError();
    return static_cast<std::int32_t>(v);
}

// The general form: the affine map in doubles, each coordinate rounded to
// nearest with ties to even (the default rounding mode), refused as a range
// error outside 32 bits.
inline TPoint MapGeneral(const XFORM& w, std::int32_t x, std::int32_t y) {
    const double X = double(x) * w.eM11 + double(y) * w.eM21 + w.eDx;
    const double Y = double(x) * w.eM12 + double(y) * w.eM22 + w.eDy;
    return {CheckedInt(std::nearbyint(X)), CheckedInt(std::nearbyint(Y))};
}

// The same result as MapGeneral, taken in whole numbers where the transform
// is the identity shifted by whole numbers (nearly every drawing): then each
// double sum there is x + 0 + eDx (the zero of either sign), whole and below
// 2^53, so exact; it needs no rounding, and a zero's sign is lost in the
// integer anyway. The shift is bounded (2^32) so that the 64-bit sum cannot
// overflow and the range check sees the same value; infinities and NaN take
// the general form. Which form a transform takes is worked out once and kept
// until the transform's bits change.
class TWorldMap {
public:
    TPoint Map(const XFORM& w, std::int32_t x, std::int32_t y) {
        if (!FKnown || !SameBits(w, FFor)) Classify(w);
        if (FShift) {
            const std::int64_t X = std::int64_t(x) + FDx, Y = std::int64_t(y) + FDy;
            if (X < INT32_MIN || X > INT32_MAX || Y < INT32_MIN || Y > INT32_MAX) throw ERangeError();
            return {static_cast<std::int32_t>(X), static_cast<std::int32_t>(Y)};
        }
        return MapGeneral(w, x, y);
    }

private:
    // The transform compared as its 24 bytes in three words, in line (the
    // library's comparison is a call for every point).
    static bool SameBits(const XFORM& a, const XFORM& b) {
        static_assert(sizeof(XFORM) == 3 * sizeof(std::uint64_t), "six floats, no padding");
        std::uint64_t x[3], y[3];
        std::memcpy(x, &a, sizeof x);
        std::memcpy(y, &b, sizeof y);
        return ((x[0] ^ y[0]) | (x[1] ^ y[1]) | (x[2] ^ y[2])) == 0;
    }
    void Classify(const XFORM& w) {
        FFor = w;
        FKnown = true;
        FShift = false;
        if (!(w.eM11 == 1.0f && w.eM22 == 1.0f && w.eM12 == 0.0f && w.eM21 == 0.0f)) return;
        constexpr double kBound = 4294967296.0;  // 2^32
        const double dx = w.eDx, dy = w.eDy;
        if (!(std::fabs(dx) <= kBound && std::fabs(dy) <= kBound)) return;  // NaN fails too
        FDx = static_cast<std::int64_t>(dx);
        FDy = static_cast<std::int64_t>(dy);
        FShift = double(FDx) == dx && double(FDy) == dy;  // whole
    }

    XFORM FFor;
    bool FKnown = false;
    bool FShift = false;
    std::int64_t FDx = 0, FDy = 0;
};

}  // namespace world_point
