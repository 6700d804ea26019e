// External references: the blocks that draw another drawing file.
#pragma once

#include <memory>
#include <string>

#include "model/entity.h"
#include "model/xref.h"

// An external reference: the drawing a block refers to (flags 4 or 32 and a
// path), loaded through the reader's loader and drawn with the parent's
// drawing context.
class TkrDXFXref : public TkrDXFEntity {
public:
    TkrDXFXref() : TkrDXFEntity(TEntityClass::Xref) {}
    // Shared: a drawing referenced several times in one conversion is loaded once.
    std::shared_ptr<TXrefDrawing> Drawing;
    std::string Name;      // the file name without folder and extension
    std::string FileName;  // as the block gives it

    // Loads the drawing fileName names; false when it is missing (or may not
    // be loaded), true also for a file that exists but holds no DXF drawing.
    bool LoadDrawing(TkrDXFConverter& conv, const std::string& fileName);
    TBox3F GetBox() const override;
    // The nested reader takes over the line type scale and the resolutions.
    void Loaded(TkrDXFConverter& conv) override;
    void Iterate(TkrDXFConverter& conv, TVisitProc visit, void* receiver) override;

private:
    bool FDrawing = false;
};

// The text that stands for an external reference whose drawing is missing:
// its path, 0.2 high, at the block's origin.
std::unique_ptr<TkrDXFEntity> MakeXrefPathText(TkrDXFConverter& conv, const std::string& path);
