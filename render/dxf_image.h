// The drawing graphic: holds one loaded drawing, chooses the current layout,
// computes its extents (with a margin of one eighth on every side) and its
// natural size, maps drawing coordinates into an integer target rectangle
// (one uniform scale, centre to centre, y flipped) and draws the layout's
// entities onto a drawing sink. Everything the entity procedures need is held
// here and passed to them explicitly: nothing is process-wide.
#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "model/converter.h"
#include "model/entities/layout.h"
#include "output/sink.h"
#include "platform/gdi_attributes.h"

enum class TProgressStage { psStarting, psRunning, psEnding };

// Receives progress notifications: the stage, the percent of the file read
// and the graphic's ProgressText.
using TProgressListener = std::function<void(TProgressStage stage, int percent, const std::string& text)>;

class TkrDXFImage {
public:
    TkrDXFImage();
    ~TkrDXFImage();
    TkrDXFImage(const TkrDXFImage&) = delete;
    TkrDXFImage& operator=(const TkrDXFImage&) = delete;

    // Loading.
    void LoadFromFile(const std::string& path);
    void LoadFromStream(std::istream& stream);
    void LoadFromText(std::string text);
    // Writes the loaded text back unchanged.
    void SaveToStream(std::ostream& stream) const;
    // Shares the reader of another graphic and takes its layout state.
    void Assign(const TkrDXFImage& source);

    bool GetEmpty() const;
    int LayoutCount() const { return Converter->LayoutCount(); }
    TkrDXFLayout* GetLayout(int index) const { return Converter->LayoutAt(index); }
    void SetCurrentLayout(TkrDXFLayout* layout);
    int GetWidth() const;
    int GetHeight() const;
    void SetWidth(int) {}
    void SetHeight(int) {}

    void DrawOnSink(TPDFCanvas& sink, const TIntRect& rect);
    TPoint MapPoint(const TPoint3F& p) const;

    int GetHeaderInt(std::string_view name, int code) const;
    bool GetIsMetric();
    void SetIsMetric(int32_t measurement) { Measurement = measurement; }

    // Fields that carry behaviour.
    TColor BackgroundColor = 0xFFFFFF;
    TPDFCanvas* Sink = nullptr;
    TPoint3F Centre{};
    uint8_t CharSet = 1;
    std::shared_ptr<TkrDXFConverter> Converter;
    TkrDXFLayout* CurrentLayout = nullptr;
    TColor DefaultColor = 0;
    TDrawContext DrawContext;
    TBox3F Box{};
    // Scratch lists reused by every entity, so that drawing allocates nothing
    // per entity once they have grown: target points, a second list of target
    // points, the point counts of the polylines in it, and dash points.
    std::vector<TPoint> PointList;
    std::vector<TPoint> PartList;
    std::vector<int> PartCounts;
    std::vector<TPoint3F> DashScratch;
    bool ProgressEnabled = true;
    uint32_t LastProgressTick = 0;
    int32_t Measurement = -1;
    double LineWeightScale = 2.834651249313483;
    std::string ProgressText;
    int32_t DefaultPenWidth = 0;
    bool KeepAllPoints = false;
    TBox3F LayoutBox{};
    TMatrix4x3F OwnMatrix = IdentityMatrix();
    float ScaleX = 0, ScaleY = 0, ScaleMin = 0;
    struct TExtents {
        double Right = 0, Left = 0, Top = 0, Bottom = 0, Zmax = 0, Zmin = 0;
    } LayoutExtents;
    double PixelScale = 1;

    // Progress: a listener (none by default) and the millisecond clock used to
    // pass on at most one running notification every 256 ms.
    TProgressListener OnProgress;
    std::function<uint32_t()> TickCount;

    // A new reader; called once by the constructor.
    static std::shared_ptr<TkrDXFConverter> CreateConverter();

private:
    void InstallReaderEvents();
    void AfterLoad();
    void ComputeExtents(const TBox3F& box, bool transform);
    void ComputePixelScale();
    bool ComputeMapping(const TIntRect& rect);
    void Progress(TProgressStage stage);
};
