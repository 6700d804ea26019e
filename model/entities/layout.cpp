#include "model/entities/layout.h"

#include "model/converter.h"
#include "model/entities/blocks.h"

void TkrDXFLayout::ReadProperty(TkrDXFConverter& conv) {
    TkrDXFEntity::ReadProperty(conv);
    if (conv.Code == 1) Name = conv.Value;
    else if (conv.Code == 330) OwnerHandle = HexHandle(conv.Value);
}

void TkrDXFLayout::Loaded(TkrDXFConverter& conv) {
    // Only a layout that its section has just accepted is filed.
    if (conv.PendingLayout.get() != this) return;
    std::unique_ptr<TkrDXFLayout> self(static_cast<TkrDXFLayout*>(conv.PendingLayout.release()));
    if (Block) {
        BlockName = std::string(TrimBlanks(Block->Name));
    } else {
        BlockName = UpperAscii(TrimBlanks(conv.BlockRecordName(OwnerHandle)));
        Block = nullptr;
        if (TkrDXFGroup* blocks = conv.GetTable(tkBlocks))
            for (auto& b : blocks->Entities)
                if (b->Is(TEntityClass::Block) && UpperAscii(static_cast<TkrDXFBlock*>(b.get())->Name) == BlockName) {
                    Block = static_cast<TkrDXFBlock*>(b.get());
                    break;
                }
    }
    if (Block) {
        Box = Block->GetBox();
        Empty = IsEmptyBox(Box);
    }
    if (UpperAscii(BlockName) == "*MODEL_SPACE") conv.SetModelLayout(std::move(self));
    else if (Block) conv.Layouts.push_back(std::move(self));
    else conv.SetPaperLayout(std::move(self));
}
