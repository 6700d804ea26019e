// The recording canvas: a canvas with assignable pen, brush and font whose
// drawing calls are recorded as typed metafile records (emf_records.h)
// instead of being painted. It manages drawing objects the way a GDI canvas
// on a metafile device context does: before a call that uses the pen, brush
// or font, an attribute change creates a new object, selects it and deletes
// the object it replaces. Object index 0 belongs to the metafile itself, so
// created objects take the lowest free index from 1 on.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string_view>
#include <vector>

#include "platform/emf_records.h"
#include "platform/gdi_attributes.h"
#include "platform/plane.h"

// The most polygons one multi-part poly record holds (its reader takes the
// part count as 16 bits).
constexpr std::size_t kMaxPolyPolygonParts = 0xFFFF;

class TRecordingCanvas {
public:
    TRecordingCanvas();

    TPen Pen;
    TBrush Brush;
    TFont Font;

    void MoveTo(std::int32_t x, std::int32_t y);
    void LineTo(std::int32_t x, std::int32_t y);
    // MoveTo(x0, y0), then LineTo(x1, y1): the same records in one go.
    void Segment(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1) {
        if (FPenIndex != 0 && Pen == FSelectedPen) [[likely]] {
            // The pen stays: the move and the line follow each other.
            FRecords.AppendSegment(x0, y0, x1, y1);
            Drain();
            return;
        }
        SegmentWithNewPen(x0, y0, x1, y1);
    }
    // Segment from each point to the next: the records of those calls one
    // by one, handed over at the same places.
    void Segments(std::span<const TPoint> points);
    // A filled polygon; recorded in the 16-bit form when every coordinate
    // fits into 16 bits, otherwise in the 32-bit form (as GDI records it).
    void Polygon(std::span<const TPoint> points);
    // One filled area of several polygons (counts[i] points each, one after
    // another in points), filled together: a polygon inside another is a
    // hole. Recorded as EMR_POLYPOLYGON16 or EMR_POLYPOLYGON as Polygon
    // chooses its form; a record holds at most kMaxPolyPolygonParts
    // polygons, more go into further records.
    void PolyPolygon(std::span<const TPoint> points, std::span<const std::uint32_t> counts);
    void Rectangle(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2);
    void Ellipse(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2);
    // Drawn text (Windows-1252 with the characters the code page lacks, see
    // platform/codepage.h); recorded as UTF-16 in EMR_EXTTEXTOUTW.
    void TextOut(std::int32_t x, std::int32_t y, std::string_view text);
    void SetTextAlign(std::uint32_t mode);

    // When set, the records so far are handed to it whenever they pass
    // DrainWords words of the compact buffer, and the buffer is emptied
    // afterwards: a reader that takes the records as they come keeps the
    // recording small (it reads the records in order, in pieces that end
    // between records). It may take the records by swapping the buffer with
    // one of its own.
    std::function<void(TEmfRecordBuffer&)> OnDrain;
    std::size_t DrainWords = std::size_t(1) << 16;

    // The records so far (EMR_HEADER first), as TEmfRecord values made from
    // the compact buffer on request; valid until the next drawing call.
    const TEmfRecording& Records() const;
    // Ends the recording with EMR_EOF and hands the records over; the canvas
    // is empty afterwards and must not be drawn on again.
    TEmfRecording Close();
    // The same, handing over the compact buffer itself.
    TEmfRecordBuffer CloseBuffer();

private:
    void SegmentWithNewPen(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1);
    void Drain() {
        if (OnDrain && FRecords.Words() >= DrainWords) {
            OnDrain(FRecords);
            FRecords.Clear();
        }
    }
    // Records a pen of the current attributes unless the one selected has them.
    void RequirePen() {
        if (FPenIndex != 0 && Pen == FSelectedPen) return;
        SelectNewPen();
    }
    void SelectNewPen();
    void RequireBrush();
    void RequireFont();
    std::uint32_t AllocateIndex();
    void Replace(std::uint32_t& current, std::uint32_t created);

    TEmfRecordBuffer FRecords;
    mutable TEmfRecording FView;  // what Records() last returned
    std::vector<bool> FUsed;  // object index -> in use
    std::uint32_t FPenIndex = 0, FBrushIndex = 0, FFontIndex = 0;
    TPen FSelectedPen;
    TBrush FSelectedBrush;
    TFont FSelectedFont;
    bool FTextColorSet = false;
    TColor FTextColor = 0;
};
