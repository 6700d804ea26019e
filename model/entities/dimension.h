// Dimensions: references to the anonymous block that holds what they show.
#pragma once

#include "model/entities/blocks.h"

// DIMENSION (and ARC_DIMENSION): a reference to the dimension's anonymous
// block (group 2), which holds everything the dimension shows. The insertion
// point is read from 12/22/32; the definition point (10/20/30) is ignored.
class TkrDXFDimension : public TkrDXFInsert {
public:
    explicit TkrDXFDimension(TEntityClass cls = TEntityClass::Dimension) : TkrDXFInsert(cls) {}
    void ReadProperty(TkrDXFConverter& conv) override;
};

// Passes the current group to the block-reference reading as code (the
// dimension and table kinds read their block reference part so).
void ReadAsInsert(TkrDXFInsert& ins, TkrDXFConverter& conv, int code);
