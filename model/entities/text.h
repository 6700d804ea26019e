// Single-line texts, attribute definitions, attributes and multi-line texts.
#pragma once

#include "model/entities/blocks.h"

class TkrDXFText : public TkrDXFCustomVertex {
public:
    explicit TkrDXFText(TEntityClass cls = TEntityClass::Text) : TkrDXFCustomVertex(cls) {}
};

class TkrDXFAttdef : public TkrDXFText {
public:
    explicit TkrDXFAttdef(TEntityClass cls = TEntityClass::Attdef) : TkrDXFText(cls) {}
};

class TkrDXFAttrib : public TkrDXFAttdef {
public:
    TkrDXFAttrib() : TkrDXFAttdef(TEntityClass::Attrib) {}
};

class TkrDXFMText : public TkrDXFInsert {
public:
    TkrDXFMText() : TkrDXFInsert(TEntityClass::MText) {}
};
