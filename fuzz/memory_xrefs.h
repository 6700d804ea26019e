// External references for the fuzz targets: never from the disk. Every
// reference loads the fuzz input itself once more as the nested drawing (up
// to two levels, at most four drawings), so that nested drawings are read,
// finished and drawn through the referencing drawing without a file being
// opened; image files never exist.
#pragma once

#include <memory>
#include <string>

#include "model/errors.h"
#include "model/xref.h"
#include "render/dxf_image.h"

class TMemoryXrefs final : public TXrefLoader {
public:
    explicit TMemoryXrefs(std::string text) : FText(std::move(text)) {}

    TXrefLoadResult LoadXref(TkrDXFConverter&, const std::string&) override {
        if (FDepth >= 2 || FLoaded >= 4) return {};
        ++FLoaded;
        ++FDepth;
        struct Pop {
            int& d;
            ~Pop() { --d; }
        } pop{FDepth};
        auto d = std::make_shared<TDrawing>();
        try {
            d->Image.LoadNested(FText, "", this);
        } catch (const EkrError&) {
            return {};
        }
        return {TXrefLoadResult::xrLoaded, d};
    }
    bool ImageFileExists(TkrDXFConverter&, const std::string&) override { return false; }

private:
    struct TDrawing final : TXrefDrawing {
        TkrDXFImage Image;
        TkrDXFConverter& Reader() override { return *Image.Converter; }
    };
    std::string FText;
    int FDepth = 0, FLoaded = 0;
};
