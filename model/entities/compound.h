// Entities drawn as parts of their own: a multileader, a multiline, the
// frame of a wipeout and the graphics a proxy entity carries are finished
// into ordinary entities of the model (polylines, bulged polylines, splines,
// arcs, solids, filled areas, texts, multi-line texts, inserts, meshes,
// construction lines) in world coordinates, each with its own colour, line
// type and line weight. The compound is drawn by drawing its parts through
// the procedures every entity of the drawing is drawn with: dashes, pens,
// curve tolerance, text runs and the work bound all apply to them alike.
//
// Some compounds take what they draw from objects of the OBJECTS section
// (a multiline its style), which the file holds after the entities: such a
// compound is finished with what it has when it is read and again when the
// whole file is read (ObjectsLoaded, see model/objects.h).
#pragma once

#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "model/entities/linear.h"

class TkrDXFBlock;

class TkrDXFCompound : public TkrDXFPenEntity {
public:
    explicit TkrDXFCompound(TEntityClass cls = TEntityClass::Compound);
    ~TkrDXFCompound() override;

    std::vector<std::unique_ptr<TkrDXFEntity>> Parts;
    TBox3F Box = EmptyBox;              // of the parts
    const TkrLines* Pattern = nullptr;  // group 6 (none: the layer's); BYBLOCK parts take it
    float LineWeight = 0;               // group 370 in millimetres; BYBLOCK parts take it
    // Set by the draw procedure when the parts are to be drawn (as an
    // insert's Expanding): a compound that is not drawn (its layer off, the
    // work bound reached) draws none of its parts.
    bool Expanding = false;
    // False while the parts are not to be shown at all (a wipeout's frame
    // when the drawing hides frames); the box counts either way.
    bool ShowParts = true;
    // A part reaches beyond any box (a construction line of a proxy graphic).
    bool Unbounded = false;
    // Finished again once the OBJECTS section is read (see ObjectsLoaded).
    bool AwaitsObjects = false;

    TBox3F GetBox() const override { return Box; }
    bool InView(TkrDXFConverter& conv) const override;
    void ReadProperty(TkrDXFConverter& conv) override;
    // The compound is visited first; when its draw procedure marked it (or
    // inserts are expanded anyway), its parts follow, in the compound's space.
    void Iterate(TkrDXFConverter& conv, TVisitProc visit, void* receiver) override;
    // Called once the whole file is read when AwaitsObjects is set: the
    // objects the compound refers to are known now.
    virtual void ObjectsLoaded(TkrDXFConverter&) {}

protected:
    void ClearParts();
    // Asks the reader to finish this compound again after the load. What
    // the objects add to the box counts for the extents of the layouts; a
    // block holding the compound was boxed when it was read, with what the
    // compound had then (a multiline's round caps, which only its style
    // asks for, are left out of that block's box: they reach half the
    // multiline's width beyond its ends).
    void AwaitObjects(TkrDXFConverter& conv);
    friend class TPartMaker;
};

// What a part is drawn with: its colour (BYBLOCK and BYLAYER as for any
// entity), its line type (none: the layer's), its weight in millimetres and
// its layer.
struct TPartPen {
    TColorValue Color = clFromLayer;
    const TkrLines* Pattern = nullptr;
    float LineWeight = 0;
    TkrDXFLayer* Layer = nullptr;
};

// Makes the parts of a compound: each is created as the reader creates
// entities (its draw procedure attached), given the pen, finished and added,
// and its box joins the compound's.
class TPartMaker {
public:
    TPartMaker(TkrDXFConverter& conv, TkrDXFCompound& owner);

    TkrDXFConverter& Conv;
    TkrDXFCompound& Owner;
    TPartPen Pen;

    // The pen traits of the compound itself: BYBLOCK parts take these.
    TColorValue OwnerColor(TColorValue c) const { return c == clFromBlock ? Owner.Color : c; }
    // A line type by name: BYLAYER none (the layer's), BYBLOCK the owner's.
    const TkrLines* PatternNamed(std::string_view name) const;
    // A line type by the handle of its LTYPE entry (0: BYLAYER).
    const TkrLines* PatternOfHandle(uint32_t handle) const;
    // A line weight in hundredths of a millimetre (-1 BYLAYER, -2 BYBLOCK,
    // -3 the default) in millimetres.
    float WeightOf(int32_t w) const;

    // A straight polyline through the points (not finite ones break it).
    void Polyline(std::span<const TPoint3F> points, bool closed);
    // A polyline with bulges in the x-y plane (elevation: the first z).
    void BulgePolyline(std::span<const TPolyVertex> vertices, bool closed);
    // The cubic through the fit points with the given end tangents (zero:
    // estimated), as splines with fit points are drawn.
    void FitSpline(std::span<const TPoint3F> fit, const TPoint3F& startTangent, const TPoint3F& endTangent);
    // A filled triangle or quadrilateral (corners in the order of a SOLID).
    void Solid(const TPoint3F& a, const TPoint3F& b, const TPoint3F& c, const TPoint3F& d);
    // A filled area of closed paths (even-odd), each a polyline with bulges.
    void Fill(const std::vector<std::vector<TPolyVertex>>& paths);
    // A circle, or an arc counter-clockwise from start to end (degrees),
    // about the normal.
    void Circle(const TPoint3F& centre, double radius, const TPoint3F& normal);
    void Arc(const TPoint3F& centre, double radius, const TPoint3F& normal, double startDeg, double endDeg);
    // A single-line text at its start point (left and baseline).
    void Text(std::string text, const TPoint3F& at, double height, double widthFactor, double rotationDeg,
              double obliqueDeg, const TPoint3F& normal);
    // A multi-line text, laid out as MTEXT entities are.
    class TkrDXFMText& MText(std::string text, const TPoint3F& at, double height, const TPoint3F& direction,
                             double refWidth, int attachment, const TPoint3F& normal);
    // An insert of a block (none: nothing is added).
    class TkrDXFInsert* Insert(TkrDXFBlock* block, const TPoint3F& at, const TPoint3F& scale, double rotationDeg,
                               const TPoint3F& normal);
    // The edges of a mesh (pairs of vertex indices, each drawn once).
    void Edges(std::vector<TPoint3F> vertices, std::vector<std::pair<uint32_t, uint32_t>> edges);
    // A construction line (both ways) or a ray from the point.
    void XLine(const TPoint3F& at, const TPoint3F& direction, bool ray);

private:
    // Fires the reader's creation event, takes the layer, finishes the part
    // and adds it with its box.
    TkrDXFEntity& Add(std::unique_ptr<TkrDXFEntity> part);
    template <class T>
    std::unique_ptr<T> New();
    void PenOf(TPolylinePen& pen) const;
    void PenOf(TkrDXFPenLine& pen) const;
};

// The block of the BLOCK_RECORD entry whose handle is given (a block is
// found by its owner handle, group 330, or by the entry's name), or none.
TkrDXFBlock* BlockOfRecord(TkrDXFConverter& conv, uint32_t handle);
// The name of that BLOCK_RECORD entry, as written; empty when there is none.
std::string BlockRecordNameOf(const TkrDXFConverter& conv, uint32_t handle);
