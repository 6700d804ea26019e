// The simplified DXF writer: records a drawing on its recording canvas, reads
// the recording back into export figures and writes them framed by a fixed
// AC1015 skeleton with one layer "0". The whole file is built in memory, as
// lines each ended by CR LF in one growing buffer, and written once.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "output/export_data.h"
#include "output/figures.h"
#include "platform/emf_records.h"
#include "platform/font_metrics.h"
#include "platform/recording_canvas.h"

class TkrMetafile;

struct TExportExtents {
    float MinX = 0, MinY = 0, MaxX = 0, MaxY = 0;
};

class TkrDXFExport {
public:
    // measure: the text measurement used for texts that move the current
    // position; the built-in font tables when none is given. It must outlive
    // the writer.
    explicit TkrDXFExport(const TTextMeasure* measure = nullptr);
    ~TkrDXFExport();
    TkrDXFExport(const TkrDXFExport&) = delete;
    TkrDXFExport& operator=(const TkrDXFExport&) = delete;

    // The recording canvas, created on the first call and the same until
    // FinishDrawing.
    TRecordingCanvas& GetCanvas();
    // Closes the recording and reads it back into figures. The recording is
    // released in any case; figures made before an error stay.
    void FinishDrawing();
    void LoadFromMetafile(const TEmfRecording& records);
    void LoadFromMetafile(const TEmfRecordBuffer& records);
    // Writes the file through a temporary file in the same folder, renamed
    // to fileName only when complete, so no half-written file ever carries
    // the final name.
    void SaveToFile(const std::string& fileName);
    void SaveToStream(std::ostream& stream);
    // The complete file text (what SaveToStream writes).
    std::string SaveToString();

    void Clear();

    // The figure family, called by the reader.
    void AddPixel(const TdxfExportData& data);
    void AddLine(const TdxfExportData& data);
    void AddRectangle(const TdxfExportData& data);
    void AddHatch(const TdxfExportData& data);
    void AddPolyline(const TdxfExportData& data, int partIndex);
    void AddPolyBezier(const TdxfExportData& data, int partIndex);
    void AddCircle(const TdxfExportData& data);
    void AddEllipse(const TdxfExportData& data);
    void AddArc(const TdxfExportData& data);
    void AddText(const TdxfExportData& data);
    void AddLineType(std::string_view name, std::span<const float> elements);
    void SetCurrentLayer(std::unique_ptr<TkrExpDXFLayer> layer);
    void SetCurrentLayer(TkrExpDXFLayer* layer);  // one already in the list

    // Line writers: each pair is a group code line ("%3d") and a value line.
    void AddPair(int code, std::string_view text);
    void AddPair(int code, const char* text) { AddPair(code, std::string_view(text)); }
    void AddPair(int code, std::int32_t value);
    void AddPair(int code, double value);
    void AddHandle();
    void AddPoint(int code, float x, float y);
    void AddPoint(int code, const TExpPoint3F& p) { AddPoint(code, p.X, p.Y); }
    void AddPoint3(int code, const TExpPoint3F& p);
    void BeginRecord(std::string_view type, std::string_view subclass);
    void AddColor(const TdxfExportData& data);
    void AddLineTypeAndWeight(const TdxfExportData& data);
    void BeginLWPolyline(const TdxfExportData& data, std::int32_t vertexCount);

    std::int32_t HandleCounter = 32;
    TExportExtents Extents;
    float HatchPatternBase = 300.0f;

    const std::vector<std::unique_ptr<TkrExpDXFFigure>>& Figures() const { return FFigures; }
    const std::vector<std::unique_ptr<TkrExpDXFLayer>>& Layers() const { return FLayers; }
    const std::string& CurrentLayerName() const { return FCurrentLayerName; }
    // The entity lines written so far (after SaveToString or SaveToStream
    // those of the whole file; SaveToFile releases them).
    const std::string& EntityLines() const { return FEntityLines; }
    const std::string& LineTypeLines() const { return FLineTypeLines; }
    TkrMetafile* Reader() { return FReader.get(); }
    bool HasCanvas() const { return FCanvas != nullptr; }

private:
    template <class Fig, class... Args>
    void Append(const TdxfExportData& data, Args... args);
    void AddLine(std::string_view text);
    void AddCode(int code);
    void WriteLayer(const TkrExpDXFLayer& layer);
    void WriteEntities(bool chunked);
    void WriteHead(std::string& out);
    void WriteTail(std::string& out);
    void WriteFile(std::string& out);

    TkrExpDXFLayer* FCurrentLayer = nullptr;
    std::string FCurrentLayerName;
    std::vector<std::unique_ptr<TkrExpDXFLayer>> FLayers;
    std::vector<std::unique_ptr<TkrExpDXFFigure>> FFigures;
    std::string* FTarget = nullptr;
    // The entity lines; SaveToFile puts full chunks of them aside in
    // FEntityChunks and releases both once the file is written.
    std::string FEntityLines;
    std::vector<std::string> FEntityChunks;
    static constexpr std::size_t kChunkSize = std::size_t(1) << 22;
    std::string FLineTypeLines;
    std::int32_t FHandleAfterLoad = 32;
    std::unique_ptr<TFontTableMeasure> FOwnMeasure;
    const TTextMeasure* FMeasure = nullptr;
    std::unique_ptr<TkrMetafile> FReader;
    std::unique_ptr<TRecordingCanvas> FCanvas;
};
