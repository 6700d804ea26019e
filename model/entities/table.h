// Tables (ACAD_TABLE), read and drawn as the block reference a dimension is.
#pragma once

#include "model/entities/dimension.h"

// ACAD_TABLE: like a dimension, a reference to an anonymous block with
// everything the table shows, placed at the table's insertion point
// (10/20/30 of its block reference part). The groups of the table part
// (after "100 AcDbTable": cell sizes, margins, colours) are not read.
class TkrDXFAcadTable : public TkrDXFDimension {
public:
    TkrDXFAcadTable() : TkrDXFDimension(TEntityClass::AcadTable) {}
    void ReadProperty(TkrDXFConverter& conv) override;

private:
    bool FTablePart = false;
};
