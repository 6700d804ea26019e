// Drawing of meshes (the edges of their faces, each once) and of
// construction lines and rays (clipped at the layout's target rectangle).
#pragma once

class TkrDXFImage;
class TkrDXFEntity;

void DrawMesh(TkrDXFImage& g, TkrDXFEntity& e);
void DrawXLine(TkrDXFImage& g, TkrDXFEntity& e);
