// Dimensions, leaders, viewports, the VPORT table entry, external references
// and raster images.
#pragma once

#include "model/entities/curves.h"
#include "model/entities/text.h"

class TkrDXFDimension : public TkrDXFInsert {
public:
    TkrDXFDimension() : TkrDXFInsert(TEntityClass::Dimension) {}
};

class TkrDXFLeader : public TkrDXFSpline {
public:
    TkrDXFLeader() : TkrDXFSpline(TEntityClass::Leader) {}
};

class TkrDXFViewport : public TkrDXFPenEntity {
public:
    TkrDXFViewport() : TkrDXFPenEntity(TEntityClass::Viewport) {}
    int32_t Number = 0;  // reading order in its container; the smallest handle gets 0
};

class TkrDXFVport : public TkrDXFEntity {
public:
    TkrDXFVport() : TkrDXFEntity(TEntityClass::Vport) {}
};

class TkrDXFXref : public TkrDXFEntity {
public:
    TkrDXFXref() : TkrDXFEntity(TEntityClass::Xref) {}
};

class TkrDXFImageDef : public TkrDXFEntity {
public:
    TkrDXFImageDef() : TkrDXFEntity(TEntityClass::ImageDef) {}
};

class TkrDXFImageEnt : public TkrDXFSolid {
public:
    TkrDXFImageEnt() : TkrDXFSolid(TEntityClass::ImageEnt) {}
};
