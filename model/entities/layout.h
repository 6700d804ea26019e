// Layouts: the model space and the paper spaces of a drawing, each tied to the
// block whose entities it shows.
#pragma once

#include <string>

#include "model/entity.h"

class TkrDXFBlock;

class TkrDXFLayout : public TkrDXFEntity {
public:
    TkrDXFLayout() : TkrDXFEntity(TEntityClass::Layout) {}
    TkrDXFLayout(std::string name, std::string blockName)
        : TkrDXFEntity(TEntityClass::Layout), Name(std::move(name)), BlockName(std::move(blockName)) {}

    TBox3F Box = EmptyBox;
    bool Empty = false;
    std::string Name = "Model";
    TkrDXFBlock* Block = nullptr;
    std::string BlockName = "*MODEL_SPACE";
    uint32_t OwnerHandle = 0;

    TBox3F GetBox() const override { return Box; }
    void ReadProperty(TkrDXFConverter& conv) override;
    void Loaded(TkrDXFConverter& conv) override;
};
