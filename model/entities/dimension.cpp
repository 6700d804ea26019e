#include "model/entities/dimension.h"

#include "model/converter.h"

void ReadAsInsert(TkrDXFInsert& ins, TkrDXFConverter& conv, int code) {
    TGroupCodeAs as(conv, code);
    ins.TkrDXFInsert::ReadProperty(conv);
}

void TkrDXFDimension::ReadProperty(TkrDXFConverter& conv) {
    switch (conv.Code) {
        // 10/20/30, the definition point, is ignored; 12/22/32 (the insertion
        // point) places the block; 54 is the rotation.
        case 12: case 22: case 32: ReadAsInsert(*this, conv, conv.Code - 2); break;
        case 54: ReadAsInsert(*this, conv, 50); break;
        case 2: case 8: case 62: case 67: case 210: case 220: case 230: ReadAsInsert(*this, conv, conv.Code); break;
        default: break;
    }
}
