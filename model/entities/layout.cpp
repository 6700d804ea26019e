#include "model/entities/layout.h"

#include "model/converter.h"
#include "model/entities/blocks.h"
#include "model/parsing.h"

void TkrDXFLayout::ReadProperty(TkrDXFConverter& conv) {
    TkrDXFEntity::ReadProperty(conv);
    if (conv.Code == 1) Name = std::string(conv.TextValue());
    else if (conv.Code == 330) OwnerHandle = HexHandle(conv.Value);
}

void TkrDXFLayout::Loaded(TkrDXFConverter& conv) {
    // Only a layout that its section has just accepted is filed; a LAYOUT met
    // anywhere else stays a plain child of its container.
    if (conv.PendingLayout.get() != this) return;
    std::unique_ptr<TkrDXFLayout> self(static_cast<TkrDXFLayout*>(conv.PendingLayout.release()));
    if (Block) {
        BlockName = std::string(TrimBlanks(Block->Name));
    } else {
        // Both looked up through the reader's indexes: a drawing of many
        // layouts loads in time linear in its size.
        BlockName = UpperAscii(TrimBlanks(conv.BlockRecordName(OwnerHandle)));
        Block = conv.FindBlockUpper(BlockName);
    }
    // Only a paper-space block with entities is a layout's own block. The
    // model space block is dropped as well: the model layout shows the
    // ENTITIES section (in DXF files its block is empty, and drawing the
    // block instead would draw nothing).
    if (Block && !Block->HasContent) Block = nullptr;
    if (Block) {
        // A paper-space block is boxed as soon as it is read, possibly before
        // the blocks it inserts were defined; now that the blocks are known,
        // its box is computed again so that those inserts count.
        if (Block->PendingAtRead > 0 && !Block->Resolving() && Block->ComputeBox(conv, 0))
            Block->PendingAtRead = 0;
        Box = Block->GetBox();
        Empty = IsEmptyBox(Box);
        Block->AttachLayoutOwner(&conv);
    }
    if (UpperAscii(BlockName) == "*MODEL_SPACE") {
        conv.SetModelLayout(std::move(self));
    } else if (Block) {
        conv.Layouts.push_back(std::move(self));
    } else {
        // A layout without a block of its own shows the paper-space entities
        // of the ENTITIES section: it becomes the first paper layout. It
        // replaces the default paper layout, or a first paper layout filed
        // earlier only when it is the active paper space itself (block
        // *PAPER_SPACE); another layout whose block is empty is appended and,
        // having no extents, pruned with the empty layouts. So an empty
        // layout never takes the name of the active one.
        TkrDXFLayout* first = conv.LayoutAt(1);
        if (!first || first->IsDefault || BlockName == "*PAPER_SPACE") conv.SetPaperLayout(std::move(self));
        else conv.Layouts.push_back(std::move(self));
    }
}
