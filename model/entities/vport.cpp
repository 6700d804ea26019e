#include "model/entities/vport.h"

#include <cmath>

#include "model/converter.h"
#include "model/parsing.h"

void TkrDXFVport::ReadProperty(TkrDXFConverter& conv) {
    TkrDXFEntity::ReadProperty(conv);
    if (conv.Code == 2) {
        Name = UpperAscii(conv.Value);
        return;
    }
    if (conv.ActiveVportRead || Name != "*ACTIVE") return;
    switch (conv.Code) {
        case 16: conv.ViewDirection.X = float(conv.ValueAsFloat()); break;
        case 26: conv.ViewDirection.Y = float(conv.ValueAsFloat()); break;
        case 36: conv.ViewDirection.Z = float(conv.ValueAsFloat()); break;
        case 51: {
            // A twist that is no finite number would turn the whole model
            // view into NaN: it counts as no twist.
            float t = float(conv.ValueAsFloat());
            conv.ViewTwist = std::isfinite(t) ? t : 0.0f;
            break;
        }
        default: break;
    }
}

void TkrDXFVport::Loaded(TkrDXFConverter& conv) {
    if (Name == "*ACTIVE") conv.ActiveVportRead = true;
}
