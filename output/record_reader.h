// Reads a recorded drawing back record by record and turns every drawing
// record into export figures of the DXF writer. Keeps the small part of the
// device-context state that matters for the output: selected pen, brush and
// font, text colour and alignment, current position, window origin, world
// transform and the table of created drawing objects.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "output/export_data.h"
#include "output/world_point.h"
#include "platform/emf_records.h"
#include "platform/font_metrics.h"
#include "platform/recording_canvas.h"

class TkrDXFExport;

// AutoCAD colour index of a 0x00BBGGRR colour (clForeground 0x1FFFFFFF gives 0).
std::int32_t ColorToACI(std::uint32_t color);

class TkrGDI {
public:
    virtual ~TkrGDI() = default;
};

class TkrPen : public TkrGDI {
public:
    TkrPen() = default;  // the default pen: colour -1, width 0, style 0
    explicit TkrPen(const EMRCREATEPEN& rec);
    std::int32_t Color = -1;
    std::int32_t Width = 0;
    std::uint8_t Style = 0;
};

class TkrExtPen : public TkrPen {
public:
    explicit TkrExtPen(const EMREXTCREATEPEN& rec);
};

class TkrBrush : public TkrGDI {
public:
    TkrBrush() = default;
    explicit TkrBrush(const EMRCREATEBRUSHINDIRECT& rec);
    std::int32_t Color = -1;
    std::uint8_t FillStyle = 0;
};

class TkrFont : public TkrGDI {
public:
    explicit TkrFont(const EMREXTCREATEFONTINDIRECTW& rec);
    std::string FaceName;
    std::int32_t Height = 0;
    std::int32_t Width = 0;
    std::int32_t Escapement = 0;
    std::uint8_t Bold = 0;
    std::uint8_t Italic = 0;
    std::uint8_t Underline = 0;
};

class TkrMetafile {
public:
    TkrMetafile(TkrDXFExport& writer, const TTextMeasure& measure);
    ~TkrMetafile();
    TkrMetafile(const TkrMetafile&) = delete;
    TkrMetafile& operator=(const TkrMetafile&) = delete;

    void Enumerate(const TEmfRecording& records);
    void Enumerate(const TEmfRecordBuffer& records);
    void EnumerateRecord(const TEmfRecord& record);

    // Bit s set: the dash line type of pen style s was handed to the writer.
    std::uint8_t DefinedLineTypes = 0;

    XFORM WorldTransform;
    TPoint CurrentPos;
    TPoint WindowOrigin;
    std::int32_t TextColor = 0;
    std::uint32_t TextAlign = 0;

    // Upper bound for object indices: a create record beyond it is refused
    // as malformed instead of growing the table without bound.
    static constexpr std::uint32_t kMaxObjectIndex = 0xFFFF;

    const TkrPen* CurrentPen() const { return FPen; }
    const TkrBrush* CurrentBrush() const { return FBrush; }
    const TkrFont* CurrentFont() const { return FFont; }
    const TkrGDI* Object(std::size_t index) const {
        return index < FObjects.size() ? FObjects[index].get() : nullptr;
    }

private:
    // An EMR_LINETO record (EnumerateRecord's way for it).
    void LineRecord(const EMRLINETO& line);
    TPoint T(std::int32_t x, std::int32_t y) const;
    TPoint T(const POINTL& p) const { return T(p.x, p.y); }
    TExpPoint3F C(const TPoint& p) const;
    void ApplyPen();
    // The part of ApplyPen the writer keeps beyond the record: the dash line
    // type of the pen's style handed over the first time it is used.
    void DefinePenLineType();
    bool SameColourSolid() const;

    void Poly(const TEmfRecord& rec, EmrType type);
    // The 16-bit and the 32-bit form (the sink records the 32-bit one for
    // filled areas whose coordinates pass 16 bits).
    template <class R>
    void PolyPoly(const R& rec, bool closed);
    void LineTo(const EMRLINETO& rec);
    void Rectangle(const EMRRECTANGLE& rec);
    void RoundRect(const EMRROUNDRECT& rec);
    void EllipseGeometry(const RECTL& box, bool& circle, double& r, double& sx, double& sy);
    void Ellipse(const EMRRECTANGLE& rec);
    void Arc(const EMRARC& rec);
    void AngleArc(const EMRANGLEARC& rec);
    void Pixel(const EMRSETPIXELV& rec);
    void Text(const EMREXTTEXTOUTW& rec);
    void ModifyWorldTransform(const EMRMODIFYWORLDTRANSFORM& rec);
    void SaveDC();
    void RestoreDC();
    void CreateObject(std::uint32_t index, std::unique_ptr<TkrGDI> object);
    void SelectObject(std::uint32_t index);
    void DeleteObject(std::uint32_t index);

    TkrDXFExport& FWriter;
    const TTextMeasure& FMeasure;

    // The single save slot.
    bool FSaved = false;
    XFORM FSavedTransform;
    std::uint32_t FSavedTextAlign = 0;
    TPoint FSavedPos;
    TPoint FSavedOrigin;
    TkrPen* FSavedPen = nullptr;
    TkrBrush* FSavedBrush = nullptr;
    TkrFont* FSavedFont = nullptr;

    std::vector<std::unique_ptr<TkrGDI>> FObjects;
    TkrPen* FPen = nullptr;
    TkrPen FDefaultPen;
    TkrBrush* FBrush = nullptr;
    TkrBrush FDefaultBrush;
    TkrFont* FFont = nullptr;

    TdxfExportData FData;
    // FData holds nothing but what LineTo writes over a fresh record.
    bool FDataLineOnly = false;
    mutable world_point::TWorldMap FWorldMap;
    std::vector<TExpPointList> FParts;
};
