// The simplified DXF writer: records a drawing on its recording canvas, reads
// the recording back into export figures and writes them framed by a fixed
// AC1015 skeleton with one layer "0". Lines end in CR LF.
//
// Two ways to hold the entities until the file is saved:
//  - in memory (the default): the figures are kept and written at saving;
//  - streamed (StreamTo): the recording is read back in pieces while it is
//    drawn, every figure is written as it comes into an unnamed temporary
//    file beside the output and then dropped, so that memory stays bounded
//    whatever the size of the drawing. The header, which needs the extents
//    and the handle seed known only after the last figure, is written at
//    saving, followed by the entities copied from the temporary file;
//  - planned (MeasureOnly, then StreamDirect): a first drawing only measures
//    what the head needs (extents, handles, line types, layers) without
//    writing an entity, and gives the head and tail (Plan); the second
//    drawing writes head, entities and tail straight into the unnamed file,
//    which saving then links under the final name, so that the entities are
//    written once and never copied.
// All give the same bytes.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "output/export_data.h"
#include "output/figures.h"
#include "platform/emf_records.h"
#include "platform/errors.h"
#include "platform/font_metrics.h"
#include "platform/recording_canvas.h"

class TkrMetafile;
class TSideWork;

// What a measuring drawing found: the head and the tail of the file, and the
// number of line types (the entities' handles follow theirs).
struct TDxfStreamPlan {
    std::string Head, Tail;
    std::int32_t LineTypes = 0;
};

// A planned writer whose drawing did not give what its plan said (the head
// would differ): nothing is saved, and the layout is to be written another way.
class EDxfPlanMismatch : public EPlandropError {
public:
    EDxfPlanMismatch() : EPlandropError("the drawing differs from its measured plan") {}
};

struct TExportExtents {
    float MinX = 0, MinY = 0, MaxX = 0, MaxY = 0;
};

// The type and subclass names of an entity record. Only objects of static
// storage duration serve as a kind (BeginRecord takes them as a template
// argument), and their names are const: one address, one pair of names, for
// the whole run.
struct TRecordKind {
    const std::string_view Type;
    const std::string_view Subclass;
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
    // Streams the entities (see above) into an unnamed temporary file in the
    // folder of fileName, the file SaveToFile is to write. Call before
    // drawing; when no temporary file can be made there, the writer keeps
    // the figures in memory and SaveToFile reports what is wrong.
    void StreamTo(const std::string& fileName);
    bool Streaming() const;
    // Streaming or measuring: the records are read back on a thread of the
    // writer's own while the drawing goes on (the default), or by the
    // drawing thread itself each time a piece is full. Set before drawing;
    // the file is the same either way.
    void ReadOnThread(bool on) { FReadOnThread = on; }
    // Work the reading thread does for the drawing while it waits for
    // records (see TSideWork), or none. Set before drawing.
    void ShareThread(TSideWork* side) { FSide = side; }
    // Measuring (see above): call before drawing; after FinishDrawing, Plan
    // gives the head and tail. No file is made and no entity kept.
    void MeasureOnly();
    TDxfStreamPlan Plan();
    // Planned streaming into an unnamed file in the folder of fileName, the
    // head of plan written first. Call before drawing the same layout again;
    // false (the writer then keeps the figures in memory) when no such file
    // can be made. SaveToFile raises EDxfPlanMismatch when the drawing did
    // not give the plan's head.
    bool StreamDirect(const std::string& fileName, const TDxfStreamPlan& plan);
    // How much of a planned file stays in the system's cache before the rest
    // is written behind, and in what chunks (see output/write_behind.h; 1 GiB
    // and 64 MiB unless changed); set before StreamDirect (tests make them
    // small).
    off_t WriteBehindKeep;
    off_t WriteBehindChunk;
    // The size from which a planned file goes on straight to the disk where
    // the file system allows (see output/direct_write.h; 16 MiB unless
    // changed); past it the file is not written behind.
    off_t DirectFrom;
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
    // A line's two points: AddPoint(10, a) and AddPoint(11, b).
    void AddLinePoints(const TExpPoint3F& a, const TExpPoint3F& b);
    // While measuring: counts what a line's record from a to b adds (its
    // handle, its points in the extents) and is true; otherwise false.
    bool MeasureLine(const TExpPoint3F& a, const TExpPoint3F& b);
    // True while entity records are only measured (MeasureLine counts them).
    bool MeasuringEntities() const { return Skipping(); }
    void BeginRecord(std::string_view type, std::string_view subclass);
    // The same for a kind of record defined once for the program: its kept
    // head is known again by the kind's address, without comparing names.
    template <const TRecordKind& Kind>
    void BeginRecord() {
        BeginRecordOf(Kind.Type, Kind.Subclass, &Kind);
    }
    void AddColor(const TdxfExportData& data);
    void AddLineTypeAndWeight(const TdxfExportData& data);
    void BeginLWPolyline(const TdxfExportData& data, std::int32_t vertexCount);

    std::int32_t HandleCounter = 32;
    TExportExtents Extents;
    float HatchPatternBase = 300.0f;

    const std::vector<std::unique_ptr<TkrExpDXFFigure>>& Figures() const { return FFigures; }
    const std::vector<std::unique_ptr<TkrExpDXFLayer>>& Layers() const { return FLayers; }
    // The entity lines written so far (after SaveToString or SaveToStream
    // those of the whole file; SaveToFile releases them).
    const std::string& EntityLines() const {
        Sync();
        return FEntityLines;
    }
    const std::string& LineTypeLines() const {
        Sync();
        return FLineTypeLines;
    }
    // Appends the lines gathered in the stage to the current target (done by
    // every change of target and after every figure).
    void Sync() const {
        if (FStaged) {
            if (StagingToDisk() && FTarget == &FEntityLines)
                SyncToDisk();
            else
                FTarget->append(FStageAt, FStaged);
            FStaged = 0;
        }
    }
    TkrMetafile* Reader() { return FReader.get(); }

private:
    template <class Fig, class... Args>
    void Append(const TdxfExportData& data, Args... args);
    void EnsureReader();
    // Streaming: writes the entity lines gathered so far to the temporary file.
    void FlushEntities();
    // Staging straight to the disk: the stage is taken where it was written,
    // in the disk's buffer, and begins anew after it; LinesToDisk: the entity
    // lines gathered past the stage go there too. A failure is kept for
    // FlushEntities.
    void SyncToDisk() const;
    void LinesToDisk() const;
    bool StagingToDisk() const { return FStageAt != FStage; }
    // Streaming: the entity lines of the temporary file, handed to put in
    // pieces, the handles of entities written before a late line type
    // corrected.
    void CopyEntities(const std::function<void(const char*, std::size_t)>& put);
    // The same into a file descriptor at its position; false when writing fails.
    bool CopyEntitiesTo(int fd);
    // Planned streaming: appends the tail and links the unnamed file under
    // tmp; false when the system cannot link it (then it is copied).
    bool LinkDirect(const std::string& tmp);
    // Skips the entity lines while measuring (AddPoint still counts extents
    // and AddHandle handles).
    bool Skipping() const { return FMeasuring && FTarget == &FEntityLines; }
    // Room for n more characters in the stage (n at most its size); Used
    // takes the end of what was written there.
    char* Room(std::size_t n) {
        if (FStaged + n > sizeof FStage) Sync();
        return FStageAt + FStaged;
    }
    void Used(const char* end) { FStaged = std::size_t(end - FStageAt); }
    friend class TTargetGuard;
    void WriteStreamedEnds(std::string& head, std::string& tail);
    void AddLine(std::string_view text);
    void AddCode(int code);
    // kind: the record kind naming type and subclass, or null.
    void BeginRecordOf(std::string_view type, std::string_view subclass, const TRecordKind* kind);
    void WriteLayer(const TkrExpDXFLayer& layer);
    void WriteEntities(bool chunked);
    void WriteHead(std::string& out);
    void WriteTail(std::string& out);
    void WriteFile(std::string& out);

    TkrExpDXFLayer* FCurrentLayer = nullptr;
    std::string FCurrentLayerName;
    // The lines BeginRecord writes for an entity around its handle, as the
    // single pairs give them, kept for the type, layer and subclass they
    // were made for (most records repeat those of the one before).
    struct TRecordHead {
        std::string Type, Layer, Subclass;
        // Null, or a record kind whose names are Type and Subclass.
        const TRecordKind* Kind = nullptr;
        // The type's pair and the handle's code line (at most 5 + 102 + 2 +
        // 5 characters), and the end of the handle's line up to the
        // subclass's pair (at most 2 + 8 + 16 + 2 x (5 + 102 + 2)), each in
        // room for whole blocks of 16 copied at once.
        static constexpr std::size_t kBlock = 16;
        alignas(16) char Before[128];
        alignas(16) char After[256];
        std::size_t BeforeSize = 0, AfterSize = 0;
        // FLayerVersion when the head was last found to fit the current layer.
        std::uint64_t LayerVersion = 0;
    };
    // Counts the changes of FCurrentLayerName, so that a kept head is known
    // to be on the current layer without comparing the names.
    std::uint64_t FLayerVersion = 0;
    // The kept head, the record's handle in it, taken at the stage.
    void PutRecordHead(const TRecordHead& h);
    TRecordHead FRecordHead;
    // The colour pair last written, for the colour it was made for (most
    // entities have the colour of the one before), and the line weight
    // last worked out, for its pen width.
    std::int32_t FColorPairOf = 0;  // 0 is never written: none kept yet
    char FColorPair[24] = {};
    std::uint8_t FColorPairSize = 0;
    float FWeightOf = 0;
    std::int32_t FWeight = 0;  // what a pen width of 0 gives
    std::vector<std::unique_ptr<TkrExpDXFLayer>> FLayers;
    std::vector<std::unique_ptr<TkrExpDXFFigure>> FFigures;
    std::string* FTarget = nullptr;
    // Pairs are formed here, a few kilobytes at a time, and appended to the
    // target in one piece: one append per figure instead of one per line.
    mutable char FStage[8192];
    // Where the stage is: FStage, or room of the same size in the disk's
    // buffer when the entity lines are staged straight in the buffers of a
    // file written past the cache (see SyncToDisk) instead of being gathered
    // first.
    mutable char* FStageAt = FStage;
    mutable std::size_t FStaged = 0;
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
    // Streaming: the file, the thread reading back and the writing behind
    // (output/dxf_writer_detail.h).
    struct TStreamFile;
    const std::unique_ptr<TStreamFile> FStream;
    bool FReadOnThread = true;
    TSideWork* FSide = nullptr;
    // The number of line types, and of the entities written before each line
    // type that came after the first entity (their handles are one too low
    // for each such line type).
    std::int32_t FLineTypeCount = 0;
    std::vector<std::int64_t> FLateLineTypes;
    bool FMeasuring = false;
    // Planned streaming, and its plan.
    bool FDirect = false;
    TDxfStreamPlan FPlan;
    static constexpr std::size_t kStreamFlush = std::size_t(1) << 18;
};
