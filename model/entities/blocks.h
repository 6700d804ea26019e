// Block definitions and block references (inserts).
#pragma once

#include <string>

#include "model/entity.h"

class TkrDXFBlock : public TkrDXFGroup {
public:
    TkrDXFBlock() : TkrDXFGroup(TEntityClass::Block) { HasChildren = true; }
    std::string Name;
    void ReadProperty(TkrDXFConverter& conv) override;
    bool AddEntity(TkrDXFConverter& conv, std::unique_ptr<TkrDXFEntity>& child) override;
};

class TkrDXFInsert : public TkrDXFCustomVertex {
public:
    explicit TkrDXFInsert(TEntityClass cls = TEntityClass::Insert) : TkrDXFCustomVertex(cls) {}
    TColorValue Color = clFromLayer;
    TkrDXFInsert* ParentInsert = nullptr;
    TColorValue EntityColor() const override { return Color; }
};
