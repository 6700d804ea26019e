// Export figures: one drawing primitive each, captured from the recording
// and written as one DXF entity (or none) through the writer's line writers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "output/export_data.h"

class TkrDXFExport;

class TkrExpDXFFigure {
public:
    explicit TkrExpDXFFigure(const TdxfExportData& data);
    virtual ~TkrExpDXFFigure() = default;
    TkrExpDXFFigure(const TkrExpDXFFigure&) = delete;
    TkrExpDXFFigure& operator=(const TkrExpDXFFigure&) = delete;

    virtual void WriteEntity(TkrDXFExport& writer) const = 0;

    std::string LayerName = "0";
    TdxfExportData Data;  // own copy; Parts is cleared
};

class TkrExpDXFLine : public TkrExpDXFFigure {
public:
    using TkrExpDXFFigure::TkrExpDXFFigure;
    void WriteEntity(TkrDXFExport& writer) const override { Write(writer, Data); }
    // The record of a line with data, written without a figure of it (the
    // writer streams most lines so).
    static void Write(TkrDXFExport& writer, const TdxfExportData& data);
};

class TkrExpDXFPixel : public TkrExpDXFFigure {
public:
    using TkrExpDXFFigure::TkrExpDXFFigure;
    void WriteEntity(TkrDXFExport& writer) const override;
};

class TkrExpDXFMText : public TkrExpDXFFigure {
public:
    using TkrExpDXFFigure::TkrExpDXFFigure;
    void WriteEntity(TkrDXFExport& writer) const override;
};

class TkrExpDXFRectangle : public TkrExpDXFFigure {
public:
    using TkrExpDXFFigure::TkrExpDXFFigure;
    void WriteEntity(TkrDXFExport& writer) const override;
};

class TkrExpDXFPolyline : public TkrExpDXFFigure {
public:
    // Copies point list partIndex of data.Parts when it exists.
    TkrExpDXFPolyline(const TdxfExportData& data, int partIndex);
    void WriteEntity(TkrDXFExport& writer) const override;
    TExpPointList Points;  // empty when the record had no such list
};

class TkrExpDXFPolyBezier : public TkrExpDXFPolyline {
public:
    using TkrExpDXFPolyline::TkrExpDXFPolyline;
    void WriteEntity(TkrDXFExport& writer) const override;
};

class TkrExpDXFEllipse : public TkrExpDXFFigure {
public:
    TkrExpDXFEllipse(const TdxfExportData& data, std::uint8_t flag);
    void WriteEntity(TkrDXFExport& writer) const override;
    std::uint8_t Flag;  // 0 circle, 1 ellipse
};

class TkrExpDXFArc : public TkrExpDXFFigure {
public:
    explicit TkrExpDXFArc(const TdxfExportData& data);
    void WriteEntity(TkrDXFExport& writer) const override;
    std::uint8_t ArcKind;  // 0 circular ARC, 1 elliptic arc
};

class TkrExpDXFHatch : public TkrExpDXFFigure {
public:
    explicit TkrExpDXFHatch(const TdxfExportData& data);
    void WriteEntity(TkrDXFExport& writer) const override;
    std::uint8_t FillStyle;
    std::uint8_t BoundaryKind;       // 0 point loops, 1 circle, 2 ellipse
    std::vector<TExpPointList> Loops;
    std::int32_t BoundaryCount = 0;
    std::string PatternName;
};

class TkrExpDXFLayer {
public:
    explicit TkrExpDXFLayer(std::string name) : Name(std::move(name)) {}
    std::string Name;
    std::string LineTypeName = "Continuous";
    std::int32_t Flags = 0;
    std::int32_t Color = 7;
    std::int32_t LineWeight = -3;
};
