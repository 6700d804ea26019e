#include "model/limits.h"

#include <algorithm>

#include "model/entities/blocks.h"
#include "model/entities/proxy_graphic.h"
#include "model/entities/spline_math.h"

std::vector<std::string> TBoundHits::Messages() const {
    std::vector<std::string> out;
    const std::string points = std::to_string(kMaxEntityPoints);
    if (EntityPoints)
        out.push_back(std::to_string(EntityPoints) + " curve(s) or polyline(s) would need more than " + points +
                      " points: drawn with fewer points or straight chords");
    if (DashPoints)
        out.push_back(std::to_string(DashPoints) + " dashed line(s) drawn solid: their dashes would pass " + points +
                      " points for one line or the dash points of the whole drawing (" +
                      std::to_string(kDashPointsBase) + " + " + std::to_string(kDashPointsPerByte) +
                      " per byte of the file)");
    if (InsertDepth)
        out.push_back(std::to_string(InsertDepth) + " insert(s) nested deeper than " +
                      std::to_string(kMaxInsertDepth) + " levels left out");
    if (InsertCycles)
        out.push_back(std::to_string(InsertCycles) + " insert(s) of a block inside itself left out");
    if (HatchPatterns)
        out.push_back(std::to_string(HatchPatterns) + " hatch pattern(s) left out (boundaries kept): more than " +
                      std::to_string(kMaxHatchLines) + " family lines, " + points + " points or " +
                      std::to_string(kMaxHatchSegmentTests) + " segment tests");
    if (SplineData)
        out.push_back(std::to_string(SplineData) + " spline(s) drawn as their control polygon: a degree above " +
                      std::to_string(kMaxSplineDegree) +
                      ", or knots that do not fit the degree and the control points");
    if (SplineWeights)
        out.push_back(std::to_string(SplineWeights) +
                      " spline(s) drawn without their weights: not one positive number per control point");
    if (TextBraces)
        out.push_back(std::to_string(TextBraces) + " multi-line text(s) with braces nested deeper than " +
                      std::to_string(kMaxTextBraceDepth) + " levels: the deeper braces scope nothing");
    if (TextRuns)
        out.push_back(std::to_string(TextRuns) + " multi-line text(s) cut after " + std::to_string(kMaxTextRuns) +
                      " runs: the rest of their text left out");
    if (ViewportNesting)
        out.push_back(std::to_string(ViewportNesting) +
                      " viewport(s) inside the model space they show left out (a viewport does not show itself)");
    if (TextStrokes)
        out.push_back(std::to_string(TextStrokes) + " text(s) drawn as lines only in part: their strokes would pass " +
                      points + " points (the characters after that are left out)");
    if (ObjectRefs)
        out.push_back(std::to_string(ObjectRefs) +
                      " reference(s) of multileaders, multilines or wipeouts to a style or block that is missing or "
                      "of another kind: drawn with the defaults (a missing block left out)");
    if (MLineElements)
        out.push_back(std::to_string(MLineElements) + " multiline(s) with more than " +
                      std::to_string(kMaxMLineElements) + " elements: the first " +
                      std::to_string(kMaxMLineElements) + " drawn");
    if (MLeaderLines)
        out.push_back(std::to_string(MLeaderLines) + " multileader(s) with more than " +
                      std::to_string(kMaxMLeaderLines) + " leader lines: the first " +
                      std::to_string(kMaxMLeaderLines) + " drawn");
    if (ProxyGraphics)
        out.push_back(std::to_string(ProxyGraphics) +
                      " proxy graphic(s) whose sizes run past their data: drawn up to the damage");
    if (ProxyNesting)
        out.push_back(std::to_string(ProxyNesting) + " proxy graphic(s) with transforms nested deeper than " +
                      std::to_string(kMaxProxyTransformDepth) + " levels: the deeper transforms left out");
    if (MeshFaces)
        out.push_back(std::to_string(MeshFaces) +
                      " mesh face(s) naming a vertex that does not exist: their edges to it left out");
    if (StrayEnds)
        out.push_back(std::to_string(StrayEnds) +
                      " end marker(s) outside any section (a section closed twice): the groups after each skipped "
                      "up to the next section");
    if (HatchLoops)
        out.push_back(std::to_string(HatchLoops) +
                      " solid hatch(es) of more than 65535 boundary paths: written as several HATCH entities of "
                      "65535 loops each (an island in another entity is filled)");
    if (UnsoundEntities || OutOfRange)
        out.push_back(std::to_string(UnsoundEntities + OutOfRange) +
                      " entit" + (UnsoundEntities + OutOfRange == 1 ? "y" : "ies") +
                      " left out: coordinates that are not finite numbers (or lie beyond 1e20) or that map "
                      "outside the 32-bit range of the target");
    out.insert(out.end(), Notes.begin(), Notes.end());
    if (NotesDropped) out.push_back(std::to_string(NotesDropped) + " more warning(s) about external files left out");
    return out;
}

void TBoundHits::Note(std::string message) {
    if (std::find(Notes.begin(), Notes.end(), message) != Notes.end()) return;
    if (Notes.size() >= kMaxNotes) ++NotesDropped;
    else Notes.push_back(std::move(message));
}

void TBoundHits::Add(const TBoundHits& o) {
    EntityPoints += o.EntityPoints;
    DashPoints += o.DashPoints;
    InsertDepth += o.InsertDepth;
    InsertCycles += o.InsertCycles;
    HatchPatterns += o.HatchPatterns;
    TextBraces += o.TextBraces;
    TextRuns += o.TextRuns;
    SplineData += o.SplineData;
    SplineWeights += o.SplineWeights;
    ViewportNesting += o.ViewportNesting;
    TextStrokes += o.TextStrokes;
    ObjectRefs += o.ObjectRefs;
    MLineElements += o.MLineElements;
    MLeaderLines += o.MLeaderLines;
    ProxyGraphics += o.ProxyGraphics;
    ProxyNesting += o.ProxyNesting;
    MeshFaces += o.MeshFaces;
    StrayEnds += o.StrayEnds;
    HatchLoops += o.HatchLoops;
    UnsoundEntities += o.UnsoundEntities;
    OutOfRange += o.OutOfRange;
    for (const std::string& m : o.Notes) Note(m);
    NotesDropped += o.NotesDropped;
}
