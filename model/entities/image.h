// Raster images and their definitions (IMAGE, IMAGEDEF).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "model/entities/linear.h"

// IMAGEDEF: the file of a raster image. Images are never decoded (nothing of
// their pixels is drawn), so the file is only checked to exist as a regular
// file; that is all the "picture" of a definition is.
class TkrDXFImageDef : public TkrDXFEntity {
public:
    TkrDXFImageDef() : TkrDXFEntity(TEntityClass::ImageDef) {}
    ~TkrDXFImageDef() override;
    std::string FileName;      // group 1
    bool PictureFound = false;  // the file exists as a regular file
    void ReadProperty(TkrDXFConverter& conv) override;
    void Loaded(TkrDXFConverter& conv) override;

private:
    TkrDXFConverter* FOwner = nullptr;  // whose ImageDefs list holds this definition
};

// IMAGE: the solid's four corners become the image's corners (insertion
// point, u and v vectors times the size in pixels). With clipping on (group
// 280) and a clip boundary (group 14/24 points in pixels: two opposite
// corners of a rectangle, or a polygon), what shows is the part inside the
// boundary, and its box is the box of the image.
class TkrDXFImageEnt : public TkrDXFSolid {
public:
    TkrDXFImageEnt() : TkrDXFSolid(TEntityClass::ImageEnt) {}
    uint32_t ImageDefHandle = 0;  // group 340
    bool HasPicture = false;      // the definition's picture, once looked up
    bool LookedUp = false;
    bool Clipping = false;                   // group 280
    std::vector<TPoint3F> ClipBoundary;      // group 14/24, pixels as read (released when finished)
    TBox3F ClipBox = EmptyBox;               // of the boundary in world coordinates, once finished
    TBox3F GetBox() const override;
    void ReadProperty(TkrDXFConverter& conv) override;
    void Loaded(TkrDXFConverter& conv) override;
    // The picture of the definition whose handle is ImageDefHandle, looked up
    // on first use among the image definitions of the reader that read the
    // image (an external drawing's images look among its own).
    bool LookUpPicture();

private:
    const TkrDXFConverter* FReader = nullptr;
};
