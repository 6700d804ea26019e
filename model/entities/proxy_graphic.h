// Proxy graphics: the drawing a CAD program stores with an entity for
// readers that do not know it (ACAD_PROXY_ENTITY, and the objects of
// architecture, plant and civil applications). Group 92 (or 160 for the
// large form) announces them, the groups 310 that follow hold the bytes in
// hexadecimal.
//
// The stream (little endian, every value aligned to 4 bytes): a 32-bit size
// of the whole stream and a 32-bit count of commands; then the commands,
// each a 32-bit size (its 8-byte head included) and a 32-bit kind followed
// by its data. The kinds drawn: extents (1, not needed), circle (2), circle
// through three points (3), circular arc (4), arc through three points (5),
// polyline (6), polygon (7, filled while the fill trait is on), mesh (8),
// shell (9), text (10), text with style (11), construction line (12), ray
// (13), polyline with normal (32), and the Unicode texts (36, 38); the
// traits colour (14), layer (16, an index into the LAYER table), line type
// (18, an index into the LTYPE table), fill (20), true colour (22) and line
// weight (23); and the model transforms pushed (29, 30: a 4x4 matrix) and
// popped (31). Other kinds (clipping, markers, materials, bit-coded
// light-weight polylines) are skipped by their size.
//
// A stream whose sizes run past its data ends that entity's graphics where
// the damage starts, with a warning; so does a command whose own counts run
// past its size. What was drawn up to there stays.
#pragma once

#include <string>
#include <string_view>

#include "model/entities/compound.h"

// Limits of one entity's proxy graphics: the deepest nesting of model
// transforms kept (deeper pushes are counted, so that their pops match, but
// leave the transform as it is), with a warning.
constexpr int kMaxProxyTransformDepth = 64;

// Decodes the stream into parts of owner (which supplies the starting
// traits: its colour, layer, line type and weight). False when the stream
// was damaged (counted in the reader's bounds).
bool DrawProxyGraphic(TkrDXFConverter& conv, TkrDXFCompound& owner, std::string_view bytes);

// Appends the bytes a group 310 value holds in hexadecimal; false when the
// value is not whole pairs of hexadecimal digits (what comes before the
// fault is kept).
bool AppendHexBytes(std::string& out, std::string_view hex);

// ACAD_PROXY_ENTITY, and every entity of a name the converter has no class
// for that is read among the entities: drawn from its proxy graphics.
class TkrDXFProxyEntity : public TkrDXFCompound {
public:
    TkrDXFProxyEntity() : TkrDXFCompound(TEntityClass::ProxyEntity) {}
    // The bytes of the first run of groups 310 after a group 92 or 160,
    // released once they are drawn.
    std::string Graphics;

    void ReadProperty(TkrDXFConverter& conv) override;
    void Loaded(TkrDXFConverter& conv) override;

private:
    enum class TRun : uint8_t { None, Graphics, Done };
    TRun FRun = TRun::None;
    bool FBadHex = false;
};
