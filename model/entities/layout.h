// Layouts: the model space and the paper spaces of a drawing, each tied to the
// block whose entities it shows. LAYOUT objects are read from the OBJECTS
// section; finishing files each one into the converter's Layouts list (the
// model layout at index 0, the first paper layout at index 1, paper layouts
// with content of their own after them).
#pragma once

#include <string>

#include "model/entity.h"

class TkrDXFBlock;

class TkrDXFLayout : public TkrDXFEntity {
public:
    TkrDXFLayout() : TkrDXFEntity(TEntityClass::Layout) {}
    // One of the two layouts the converter installs before anything is read.
    TkrDXFLayout(std::string name, std::string blockName)
        : TkrDXFEntity(TEntityClass::Layout), Name(std::move(name)), BlockName(std::move(blockName)),
          IsDefault(true) {}

    TBox3F Box = EmptyBox;
    bool Empty = false;
    std::string Name = "Model";  // code 1
    TkrDXFBlock* Block = nullptr;  // owned by the BLOCKS section
    std::string BlockName = "*MODEL_SPACE";
    uint32_t OwnerHandle = 0;  // code 330: the handle of the layout's BLOCK_RECORD
    bool IsDefault = false;

    TBox3F GetBox() const override { return Box; }
    void ReadProperty(TkrDXFConverter& conv) override;
    void Loaded(TkrDXFConverter& conv) override;
};
