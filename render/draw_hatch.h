// Drawing of hatches: boundaries and pattern segments.
#pragma once

class TkrDXFImage;
class TkrDXFEntity;

void DrawHatch(TkrDXFImage& g, TkrDXFEntity& e);
