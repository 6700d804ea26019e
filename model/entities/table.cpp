#include "model/entities/table.h"

#include "model/converter.h"
#include "model/parsing.h"

void TkrDXFAcadTable::ReadProperty(TkrDXFConverter& conv) {
    if (conv.Code == 100) {
        if (TrimBlanks(conv.Value) == "AcDbTable") FTablePart = true;
        return;
    }
    if (FTablePart) return;
    switch (conv.Code) {
        case 2: case 8: case 10: case 20: case 30: case 62: case 67: case 210: case 220: case 230:
            ReadAsInsert(*this, conv, conv.Code);
            break;
        default: break;
    }
}
