// Hatches: boundaries and pattern lines.
#pragma once

#include "model/entity.h"

class TkrDXFHatch : public TkrDXFPenLine {
public:
    TkrDXFHatch() : TkrDXFPenLine(TEntityClass::Hatch) {}
};
