#include "model/entities/helix.h"

#include "model/converter.h"
#include "model/parsing.h"

void TkrDXFHelix::ReadProperty(TkrDXFConverter& conv) {
    if (conv.Code == 100 && TrimBlanks(conv.Value) == "AcDbHelix") FHelixPart = true;
    // The helix's own groups reuse the spline's codes (10, 11, 12, 40, 41,
    // 42) for other things: they are not read.
    if (FHelixPart) return;
    TkrDXFSpline::ReadProperty(conv);
}
