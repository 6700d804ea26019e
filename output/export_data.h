// The record in which the recording reader describes one figure for the
// DXF writer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A drawing point of 32-bit floats (Z is 0 for everything drawn on a canvas).
struct TExpPoint3F {
    float X = 0;
    float Y = 0;
    float Z = 0;
    friend bool operator==(const TExpPoint3F&, const TExpPoint3F&) = default;
};

using TExpPointList = std::vector<TExpPoint3F>;

struct TdxfExportData {
    std::uint16_t PartCount = 0;   // number of point lists in Parts
    std::uint8_t Closed = 0;       // polylines: group 70; hatches: 1 solid; text: italic
    std::uint8_t FillStyle = 0;    // 0 solid, 2..7 hatch styles
    std::uint8_t CurveKind = 0;    // arcs: 0 circular, 1 elliptic; fills: 0 points, 1 circle, 2 ellipse
    std::int32_t Color = 0;        // AutoCAD colour index; 0 and 256 are not written
    float PenWidth = 0;            // source of group 370
    float Angle = 0;               // text rotation in degrees
    std::string Text;              // line type name, or the complete MTEXT text
    TExpPoint3F Point1;
    TExpPoint3F Point2;
    // Point lists, owned by the reader and valid only while its record is
    // handled; a figure copies what it needs and never keeps this.
    const std::vector<TExpPointList>* Parts = nullptr;
    float Radius = 0;              // radius, or minor/major ratio of an ellipse
    float StartAngle = 0;          // degrees (circular) or radians (elliptic)
    float EndAngle = 0;
    std::uint8_t Attachment = 0;   // 0..8, written as group 71 = code + 1 when not 0
    float TextHeight = 0;
};
