#include "model/entities/wipeout.h"

#include <cmath>

#include "model/converter.h"

void TkrDXFWipeoutVariables::ReadProperty(TkrDXFConverter& conv) {
    TkrDXFEntity::ReadProperty(conv);
    if (conv.Code == 70) Frame = conv.ValueAsInt();
}

void TkrDXFWipeoutVariables::Loaded(TkrDXFConverter& conv) {
    Register(conv);
    if (conv.Objects.WipeoutFrame < 0) conv.Objects.WipeoutFrame = Frame != 0 ? 1 : 0;
}

void TkrDXFWipeout::ReadProperty(TkrDXFConverter& conv) {
    auto value = [&] { return float(conv.ValueAsFloat()); };
    switch (conv.Code) {
        case 10: Insertion.X = value(); return;
        case 20: Insertion.Y = value(); return;
        case 30: Insertion.Z = value(); return;
        case 11: U.X = value(); return;
        case 21: U.Y = value(); return;
        case 31: U.Z = value(); return;
        case 12: V.X = value(); return;
        case 22: V.Y = value(); return;
        case 32: V.Z = value(); return;
        case 13: Width = conv.ValueAsFloat(); return;
        case 23: Height = conv.ValueAsFloat(); return;
        case 14: Boundary.push_back({value(), 0, 0}); return;
        case 24:
            if (!Boundary.empty()) Boundary.back().Y = value();
            return;
        // Class version, definition, flags, clipping, brightness, contrast,
        // fade, reactor, boundary kind and count, clip mode.
        case 90: case 340: case 70: case 280: case 281: case 282: case 283: case 360: case 71: case 91: case 290:
            return;
        default: TkrDXFCompound::ReadProperty(conv); return;
    }
}

void TkrDXFWipeout::Loaded(TkrDXFConverter& conv) {
    ClearParts();
    if (!Layer) Layer = conv.FindOrCreateLayer("0");
    // The image's outline when no boundary is given; two points are the
    // corners of a rectangle.
    std::vector<TPoint3F> b = Boundary;
    if (b.size() < 2) b = {{-0.5f, -0.5f, 0}, {float(Width - 0.5), float(Height - 0.5), 0}};
    if (b.size() == 2) b = {b[0], {b[1].X, b[0].Y, 0}, b[1], {b[0].X, b[1].Y, 0}};
    std::vector<TPoint3F> outline;
    outline.reserve(b.size());
    for (const TPoint3F& p : b) {
        const double x = double(p.X) + 0.5, y = Height - 0.5 - double(p.Y);
        outline.push_back(Point3F(Insertion.X + U.X * x + V.X * y, Insertion.Y + U.Y * x + V.Y * y,
                                  Insertion.Z + U.Z * x + V.Z * y));
    }
    // A boundary that repeats its first point closes there.
    if (outline.size() > 2 && outline.front() == outline.back()) outline.pop_back();
    TPartMaker make(conv, *this);
    make.Polyline(outline, true);
    std::vector<TPoint3F>().swap(Boundary);
    // Whether frames show is known once the OBJECTS section is read.
    AwaitObjects(conv);
}

void TkrDXFWipeout::ObjectsLoaded(TkrDXFConverter& conv) { ShowParts = conv.Objects.WipeoutFrame != 0; }
