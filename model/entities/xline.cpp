#include "model/entities/xline.h"

#include <cmath>

#include "model/converter.h"

void TkrDXFXLine::ReadProperty(TkrDXFConverter& conv) {
    switch (conv.Code) {
        case 11: Direction.X = float(conv.ValueAsFloat()); break;
        case 21: Direction.Y = float(conv.ValueAsFloat()); break;
        case 31: Direction.Z = float(conv.ValueAsFloat()); break;
        default: TkrDXFPenLine::ReadProperty(conv); break;
    }
}

void TkrDXFXLine::Loaded(TkrDXFConverter& conv) {
    PreparePattern();
    if (!Layer) Layer = conv.FindOrCreateLayer("0");
    const double l = std::sqrt(double(Direction.X) * Direction.X + double(Direction.Y) * Direction.Y +
                               double(Direction.Z) * Direction.Z);
    FDrawable = l > 0 && std::isfinite(l) && std::isfinite(Point.X) && std::isfinite(Point.Y) &&
                std::isfinite(Point.Z);
    if (FDrawable) Direction = Point3F(Direction.X / l, Direction.Y / l, Direction.Z / l);
}
