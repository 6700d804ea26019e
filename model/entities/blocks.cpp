#include "model/entities/blocks.h"

#include "model/converter.h"

void TkrDXFBlock::ReadProperty(TkrDXFConverter& conv) {
    TkrDXFGroup::ReadProperty(conv);
    if (conv.Code == 2) Name = conv.Value;
}

bool TkrDXFBlock::AddEntity(TkrDXFConverter&, std::unique_ptr<TkrDXFEntity>& child) {
    if (child->Class == TEntityClass::Seqend) return false;
    Entities.push_back(std::move(child));
    return true;
}

TkrDXFBlock* TkrDXFConverter::FindBlock(std::string_view name) const {
    TkrDXFGroup* blocks = GetTable(tkBlocks);
    if (!blocks) return nullptr;
    for (auto& b : blocks->Entities)
        if (b->Is(TEntityClass::Block) && static_cast<TkrDXFBlock*>(b.get())->Name == name)
            return static_cast<TkrDXFBlock*>(b.get());
    return nullptr;
}
