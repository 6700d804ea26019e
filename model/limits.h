// Resource bounds of the conversion that have no other home yet. The bounds
// already enforced live beside the code that enforces them:
//   kMaxDxfTextSize      model/converter.h     largest DXF text read (error)
//   kMaxContainerDepth   model/converter.h     nesting of containers (error)
//   kMaxInsertDepth      model/entities/blocks.h  nesting of inserts (deeper
//                                               levels are left out)
//   kMaxRepetitions, kMaxCutPoints  model/line_type_cut.cpp  dash cutting (solid)
//   kDrawWorkBase/PerByte render/dxf_image.h   work of drawing a drawing, all
//                                               its layouts together (the rest
//                                               is left out, with a warning),
//                                               and so its output
//   SoundBox             model/geometry.h      coordinates of an entity (an
//                                               unsound one is left out)
//   kMaxXrefDepth, kMaxXrefDrawings, kMaxXrefBytes  render/loading.h
//                                               external drawings (further
//                                               references show their paths)
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// How often the bounds that degrade a drawing quietly in the model were
// reached: the reader's converter keeps one record per drawing, the
// conversion reports it on standard error and clears it. The drawing-work
// bound has its own flag (TkrDXFImage::DrawTruncated); the dash cutting's
// point ceiling in line_type_cut.cpp is only a safety net behind the per-entity
// point bound and is not counted.
struct TBoundHits {
    uint32_t EntityPoints = 0;  // curves and polylines made with fewer points
    uint32_t DashPoints = 0;    // dashed geometry drawn solid (either bound)
    uint32_t InsertDepth = 0;   // inserts below the nesting bound left out
    uint32_t InsertCycles = 0;  // inserts of a block inside itself left out
    uint32_t HatchPatterns = 0;  // hatches drawn without their pattern
    uint32_t SplineData = 0;     // splines drawn as their control polygon (degree, knots)
    uint32_t SplineWeights = 0;  // splines drawn without weights that do not fit
    uint32_t TextBraces = 0;     // multi-line texts with braces nested past kMaxTextBraceDepth
    uint32_t TextRuns = 0;       // multi-line texts cut after kMaxTextRuns runs
    uint32_t ViewportNesting = 0;  // viewports met inside a viewport's content, not drawn
    uint32_t TextStrokes = 0;      // texts drawn as lines whose strokes passed kMaxEntityPoints
    uint32_t ObjectRefs = 0;     // styles and blocks named by handles that point nowhere or at another kind
    uint32_t MLineElements = 0;  // multilines with more elements than kMaxMLineElements
    uint32_t MLeaderLines = 0;   // multileaders with more leader lines than kMaxMLeaderLines
    uint32_t ProxyGraphics = 0;  // proxy graphics whose sizes run past their data
    uint32_t ProxyNesting = 0;   // proxy graphics with transforms nested past kMaxProxyTransformDepth
    uint32_t MeshFaces = 0;      // mesh faces naming a vertex that does not exist
    uint32_t StrayEnds = 0;        // end markers outside any section (what followed them skipped)
    uint32_t HatchLoops = 0;       // solid hatches of more paths than one HATCH of the output holds
    // Entities left out of the extents and the drawing: their boxes are not
    // sound (see SoundBox), counted once per entity when found; and entities
    // a drawing left out because they map outside the 32-bit target range,
    // counted per drawing. Both are reported as one message.
    uint32_t UnsoundEntities = 0;
    uint32_t OutOfRange = 0;
    // Messages of their own (external references that were not loaded, and
    // why), each kept once; beyond kMaxNotes only counted.
    std::vector<std::string> Notes;
    uint32_t NotesDropped = 0;

    bool Any() const {
        return EntityPoints || DashPoints || InsertDepth || InsertCycles || HatchPatterns || SplineData ||
               SplineWeights || ViewportNesting || TextBraces || TextStrokes || ObjectRefs || MLineElements ||
               MLeaderLines || ProxyGraphics || ProxyNesting || MeshFaces || StrayEnds || HatchLoops || TextRuns ||
               UnsoundEntities || OutOfRange ||
               !Notes.empty();
    }
    void Clear() { *this = TBoundHits{}; }
    void Note(std::string message);
    // Adds the hits of another drawing (an external drawing of this one).
    void Add(const TBoundHits& other);
    // One message a bound reached, in the order of the fields.
    std::vector<std::string> Messages() const;
};

// Distinct notes kept per drawing; a drawing with thousands of references to
// missing files says so a few dozen times, then only how many more there are.
constexpr std::size_t kMaxNotes = 32;

// Most points one entity generates by tessellation, bulge arcs, thickness
// copies, dashing or spline evaluation. Geometry that would grow past it is
// simplified instead (bulges stay straight chords, a dashed run is drawn as
// solid segment pairs, a thickness mesh is dropped, curves are tessellated
// more coarsely, spline evaluation stops early), so that hostile values can
// neither exhaust memory nor take unbounded time. Vertices read from the
// file are not limited by it (they are bounded by the size of the file).
constexpr std::size_t kMaxEntityPoints = 1000000;

// Dash points one drawing may cut while its entities are finished:
// kDashPointsBase plus kDashPointsPerByte for every byte of its text. One
// entity may cut up to kMaxEntityPoints, so without a bound for the whole
// drawing a few kilobytes (a pattern of a thousand elements and a few hundred
// long lines) would make hundreds of millions of points. Dashed geometry past
// it is drawn solid, with a warning. Real drawings stay far below it: a long
// dashed line cuts a few thousand points at most.
constexpr uint64_t kDashPointsBase = 4'000'000;
constexpr uint64_t kDashPointsPerByte = 16;

// The most family lines one hatch pattern may generate over one hatch
// boundary. A pattern line family repeats at its offset across the
// boundary's extent; a tiny offset on a large boundary would produce lines
// without end. A hatch generates at most this many lines (summed over its
// families); beyond it the hatch keeps its boundary and draws no pattern,
// with a warning. So it does when its pattern would pass kMaxEntityPoints
// points before dashing, or its clipping would test more than
// kMaxHatchSegmentTests pairs of family line and boundary segment (a
// boundary with a million teeth that every line crosses).
constexpr std::size_t kMaxHatchLines = 100000;
constexpr std::size_t kMaxHatchSegmentTests = 4 * kMaxEntityPoints;

// Deepest nesting of braces in a multi-line text whose formatting is scoped:
// at "}" height, colour, font and underline return to what they were at the
// matching "{". Deeper braces are read but scope nothing (their codes run on
// to the next brace that does), so that a text of a million "{" keeps no
// million saved states; the text is laid out with a warning.
constexpr int kMaxTextBraceDepth = 256;

// The most elements of one multiline that are drawn (what CAD programs allow
// a multiline style); further elements are left out, with a warning.
constexpr std::size_t kMaxMLineElements = 16;
// The most leader lines of one multileader that are drawn (over all its
// leaders); further ones are left out, with a warning.
constexpr std::size_t kMaxMLeaderLines = 1000;
// The most runs one multi-line text is laid out into. A run is a piece of
// the text with one formatting (every brace, formatting code and wrapped
// word starts one), so "a{b}" makes a run of every letter: a text that would
// make more is cut after this many, the rest of it left out, with a warning.
// Real texts make a few dozen, long formatted ones some thousands; the bound
// keeps the laying out of one text, which every drawing of it repeats, in
// proportion to a page of text rather than to megabytes of braces.
constexpr std::size_t kMaxTextRuns = 100000;
