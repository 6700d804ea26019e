// Paper-space viewports, which draw the model space into a rectangle of a
// layout, and the top-level draw entry their content walks.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "model/entity.h"

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

// The top-level draw entry: the context's insert becomes none, its BYBLOCK
// colour BYLAYER and its cached scales 0; then the ENTITIES section's
// children of the reader's current space are visited.
void IterateTopLevel(TkrDXFConverter& conv, TVisitProc visit, void* receiver);
