// Dimensions, leaders, viewports, the VPORT table entry, external references
// and raster images.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "model/entities/curves.h"
#include "model/entities/text.h"
#include "model/xref.h"

// DIMENSION (and ARC_DIMENSION): a reference to the dimension's anonymous
// block (group 2), which holds everything the dimension shows. The insertion
// point is read from 12/22/32; the definition point (10/20/30) is ignored.
class TkrDXFDimension : public TkrDXFInsert {
public:
    explicit TkrDXFDimension(TEntityClass cls = TEntityClass::Dimension) : TkrDXFInsert(cls) {}
    void ReadProperty(TkrDXFConverter& conv) override;
};

// ACAD_TABLE: like a dimension, a reference to an anonymous block with
// everything the table shows, placed at the table's insertion point
// (10/20/30 of its block reference part). The groups of the table part
// (after "100 AcDbTable": cell sizes, margins, colours) are not read.
class TkrDXFAcadTable : public TkrDXFDimension {
public:
    TkrDXFAcadTable() : TkrDXFDimension(TEntityClass::AcadTable) {}
    void ReadProperty(TkrDXFConverter& conv) override;

private:
    bool FTablePart = false;
};

// The block of the arrowhead made for leaders whose own arrow block is not
// found: a filled triangle with its tip at the origin, pointing along +x.
constexpr const char* kLeaderArrowBlockName = "Filled_arrow_for_leader";
constexpr const char* kLeaderArrowOwner = "#NEWBLOCKID";

// LEADER: a polyline (or spline) through its vertices with an arrowhead at
// the first vertex, drawn as an insert of an arrow block.
class TkrDXFLeader : public TkrDXFSpline {
public:
    TkrDXFLeader();
    ~TkrDXFLeader() override;

    bool Arrowhead = true;  // group 71 != 0
    TPoint3F Tip{};         // the first vertex
    float DimScale = 0;     // extended data: dimension variable 40
    float ArrowSize = 0;    // extended data: dimension variable 41
    int32_t PendingVarCode = -1;  // the last 1070 value
    std::string DimStyleName;     // group 3
    float ArrowAngle = 0;         // degrees
    std::string ArrowBlockHandle = "#";  // group 1005
    std::unique_ptr<TkrDXFInsert> Arrow;
    bool SplinePath = false;  // group 72 = 1
    TPoint3F End{};           // the last vertex

    void ReadProperty(TkrDXFConverter& conv) override;
    void Loaded(TkrDXFConverter& conv) override;
    // The leader is visited as a polyline; then, when its draw procedure
    // marked the arrow for expansion (or inserts are expanded anyway), the
    // arrow is iterated with inserts expanded.
    void Iterate(TkrDXFConverter& conv, TVisitProc visit, void* receiver) override;

private:
    void BuildArrow(TkrDXFConverter& conv);
    TkrDXFBlock* CreateArrowBlock(TkrDXFConverter& conv);
};

// VIEWPORT: a rectangle of a paper layout that shows the model space through
// a view (direction, twist, target, centre and height).
class TkrDXFViewport : public TkrDXFPenEntity {
public:
    TkrDXFViewport() : TkrDXFPenEntity(TEntityClass::Viewport) {}

    float BackClip = 0;                   // group 44
    TBox3F Rect{};                        // the rectangle in paper space (computed)
    std::vector<uint32_t> FrozenHandles;  // groups 341 and 331: layers hidden in this viewport
    std::vector<TkrDXFLayer*> FrozenLayers;  // extended data 1003: layers by name
    uint32_t ClipBoundary = 0;            // group 340
    int32_t XDataPoints = 0, XDataReals = 0;  // ACAD extended data counters
    int32_t StatusFlags = 0;              // group 90
    float FrontClip = 0;                  // group 43
    TMatrix4x3F Matrix{};                 // model space to paper space (computed)
    TPoint3F ViewCentre{};                // groups 12/22
    float ViewHeight = 0;                 // group 45
    int32_t Number = -1;                  // given by the container: the smallest handle gets 0
    TPoint3F Centre{};                    // groups 10/20/30
    float Height = 0, Width = 0;          // groups 41, 40
    TPoint3F Scale{};                     // computed, all three equal
    int32_t Status = 1;                   // group 68: 0 off
    int32_t Id = 1;                       // group 69
    TPoint3F ViewDirection{0, 0, 1};      // groups 16/26/36
    TPoint3F ViewTarget{};                // groups 17/27/37
    float Twist = 0;                      // group 51, degrees
    std::string XDataApp;                 // group 1001
    // Set by the drawing procedure when the content is to be drawn (as an
    // insert's Expanding): a drawing stopped by its work bound or cancelled
    // walks no further model through its remaining viewports.
    bool Expanding = false;
    // The entities the content walk goes through (the whole ENTITIES section,
    // paper space included), known to the drawing procedure when it is called.
    uint64_t ContentWalk = 0;

    // The viewport shows its content: status flag 0x20000 clear, status on,
    // and not the overall paper-space viewport (id 1, number 0).
    bool ViewportVisible() const;
    // Whether the content can be drawn at all: a finite rectangle and a
    // finite view matrix of non-zero scale. A degenerate viewport (a view
    // height of 1e-40 against a height of 100, a NaN centre) shows nothing
    // of the model rather than a collapsed or exploded copy of it.
    bool ContentDrawable() const;

    TBox3F GetBox() const override;
    void ReadProperty(TkrDXFConverter& conv) override;
    void Loaded(TkrDXFConverter& conv) override;
    void Iterate(TkrDXFConverter& conv, TVisitProc visit, void* receiver) override;

private:
    void DrawContent(TkrDXFConverter& conv, TVisitProc visit, void* receiver);
};

// VPORT table entry: the first one named "*ACTIVE" gives the model view
// direction and twist.
class TkrDXFVport : public TkrDXFEntity {
public:
    TkrDXFVport() : TkrDXFEntity(TEntityClass::Vport) {}
    std::string Name;  // group 2, upper case
    void ReadProperty(TkrDXFConverter& conv) override;
    void Loaded(TkrDXFConverter& conv) override;
};

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

// The text that stands for an external reference whose drawing is missing:
// its path, 0.2 high, at the block's origin.
std::unique_ptr<TkrDXFEntity> MakeXrefPathText(TkrDXFConverter& conv, const std::string& path);

// The top-level draw entry: the context's insert becomes none, its BYBLOCK
// colour BYLAYER and its cached scales 0; then the ENTITIES section's
// children of the reader's current space are visited.
void IterateTopLevel(TkrDXFConverter& conv, TVisitProc visit, void* receiver);
