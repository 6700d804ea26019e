// Single-line texts (TEXT), attribute definitions (ATTDEF), attributes
// (ATTRIB) and multi-line texts (MTEXT). A single-line text is finished into
// a string, a font, a start point (the string's top-left corner) and a box;
// the drawing code draws the string with its font. A multi-line text is laid
// out into a private block of single-line runs and drawn as a reference to
// that block. A single-line text that needs what only the multi-line layout
// offers (an underline, the diameter sign, a non-default extrusion) is
// converted into a private multi-line text and drawn through it.
//
// Texts made by program code (a missing external reference shown as its
// path, the texts of dimensions) set Text, Height, Point and Layer (and for a
// multi-line text Attachment) and call Loaded with the reader.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "model/entities/blocks.h"
#include "model/font.h"

class TkrDXFMText;
class TkrDXFStyle;
class TTextMeasure;

// Marks a point the file did not give (bit pattern 0xD6AAAA00).
constexpr float kNoPointMarker = -93823560581120.0f;
inline bool IsGivenPoint(const TPoint3F& p) { return p.X != kNoPointMarker && p.Y != kNoPointMarker; }

// Where a string lands: its box, the start point (its top-left corner before
// rotation), and the height and width factor after the aligned and fit rules.
struct TTextPlacement {
    TBox3F Box{};
    TPoint3F Start{};
    float Height = 0;
    float WidthFactor = 0;
    float Width = 0;  // the string's measured width b (after the aligned and fit rules)
};

// The control codes of a text value replaced by what they stand for:
// "%%d" degree, "%%p" plus-minus, "%%c" the diameter code "\U+2205", "%%u"
// the underline code "\L", "%%o" (overline, not drawn) nothing, "%%%" a
// percent sign, "%%nnn" the Windows-1252 character nnn (the entries 127,
// 128, 176, 179 and 220 as listed in the code); letters in either case. One
// pass from left to right: what a code stands for is not read again. A text
// that is exactly "n" is the diameter sign.
std::string ReplaceControlCodes(std::string_view s);

class TkrDXFText : public TkrDXFCustomVertex {
public:
    explicit TkrDXFText(TEntityClass cls = TEntityClass::Text);
    ~TkrDXFText() override;

    TBox3F Box{};  // the string's extents; Left/Top is the top-left corner before rotation
    // The measured width of the string as placed (drawing units, before
    // rotation): where a text drawn in strokes ends.
    float Width = 0;
    TmvExtFont Font;
    float Height = 0;
    float ObliqueAngle = 0;
    std::unique_ptr<TkrDXFMText> Converted;
    TPoint3F AlignPoint{kNoPointMarker, kNoPointMarker, 0};
    float Rotation = 0;  // degrees
    float WidthFactor = 1;
    TPoint3F Extrusion{0, 0, 1};
    TPoint3F StartPoint{};
    // (The small fields side by side and the flags a bit each, so that no
    // room goes to padding: a text stays in the allocator's class of 256
    // bytes.)
    uint8_t HAlign = 0;  // 0 left, 1 centre, 2 right, 3 aligned, 4 middle, 5 fit
    uint8_t VAlign = 0;  // 0 baseline, 1 bottom, 2 middle, 3 top (the layout also uses 4, 5)
    bool Backward : 1 = false;
    bool UpsideDown : 1 = false;
    bool TrueType : 1 = false;
    TkrDXFStyle* Style = nullptr;
    std::string Text;

    void ReadProperty(TkrDXFConverter& conv) override;
    void Loaded(TkrDXFConverter& conv) override;
    // Finishes a text whose string is shown as it stands (a file path, whose
    // "\L" of a folder name is no underline): it is never converted to a
    // multi-line text and its "\U+" sequences are not decoded.
    void LoadedAsIs(TkrDXFConverter& conv) { Finish(conv, false); }
    TBox3F GetBox() const override;
    TColorValue EntityColor() const override { return Font.Color; }
    void SetColor(TColorValue c) override { Font.Color = c; }
    // A converted text is visited through its runs instead of the text itself.
    void Iterate(TkrDXFConverter& conv, TVisitProc visit, void* receiver) override;

    // The reference point and the offsets dx, dy of the top-left corner for a
    // cell height a and a width b; the aligned and fit rules change a, b,
    // height and width factor.
    virtual TPoint3F GetTextOffsets(double& a, double& b, float& height, float& widthFactor, double& dx,
                                    double& dy) const;
    // Measures s with this text's font, alignments and rotation and places it.
    TTextPlacement Place(const TTextMeasure& measure, std::string_view s, float height, float widthFactor) const;
    // The same for a string whose extent at the measuring size is known: cx
    // wide, a cell cy high (see Place).
    TTextPlacement PlaceMeasured(double cx, double cy, float height, float widthFactor) const;
    // The measuring size: a cell height of 160 units with an average
    // character width of round(width factor x 64) (0, the natural width, for
    // a TrueType face).
    static constexpr int kMeasureHeight = 160;
    int MeasureCharWidth(float widthFactor) const;
    // Sets the style and takes its font family (cut before its first ".") as
    // the font name.
    void SetStyle(TkrDXFStyle* style);
    // Takes a placement: box, start point, height, width factor and width.
    void ApplyPlacement(const TTextPlacement& p);
    // Counts the string's bytes for the reader's character statistics.
    static void CountHighChars(TkrDXFConverter& conv, std::string_view s);

protected:
    // Finishing: the style, the flags, the character statistics, the
    // conversion (when allowed) and the placement of the string.
    void Finish(TkrDXFConverter& conv, bool mayConvert);
};

// An attribute definition is drawn as its insert's attribute of the same
// tag; without one, a visible definition shows its tag, an invisible one
// nothing, and a constant one (which has no attribute) its value.
class TkrDXFAttdef : public TkrDXFText {
public:
    explicit TkrDXFAttdef(TEntityClass cls = TEntityClass::Attdef) : TkrDXFText(cls) {}
    std::string Tag;
    int32_t Flags = 0;  // group 70: 1 invisible, 2 constant
    bool Invisible() const { return (Flags & 1) != 0; }
    bool Constant() const { return (Flags & 2) != 0; }
    // What a definition without its attribute shows: the value of a
    // constant one, the tag of any other.
    std::string& ShownString() { return Constant() ? Text : Tag; }
    const std::string& ShownString() const { return Constant() ? Text : Tag; }
    void ReadProperty(TkrDXFConverter& conv) override;
};

class TkrDXFAttrib : public TkrDXFAttdef {
public:
    TkrDXFAttrib() : TkrDXFAttdef(TEntityClass::Attrib) {}
    void Loaded(TkrDXFConverter& conv) override;
};

// A multi-line text laid out into its runs. The runs are not kept: finishing
// lays the text out once for its box, and every drawing lays it out again as
// it walks the runs, one run at a time, so that a text costs the memory of
// its string however many runs it makes (the string "a{b}" makes a run of
// every letter).
class TkrDXFMText : public TkrDXFInsert {
public:
    TkrDXFMText();
    ~TkrDXFMText() override;

    // The block the multi-line text refers to: the runs' box and base point
    // (it holds no entities; the runs are laid out as they are walked).
    std::unique_ptr<TkrDXFBlock> RunsBlock;
    std::string PendingChunks;  // the group 3 values so far
    uint8_t Attachment = 0;     // 1..9 as in DXF; 10 for a converted single-line text
    float Height = 0;
    TPoint3F Direction{kNoPointMarker, kNoPointMarker, 0};
    float LineSpacing = 0;  // group 44, kept but not used by the layout
    float RefWidth = 0;     // group 41: the width lines wrap at (0: no wrapping)
    std::string Text;

    void ReadProperty(TkrDXFConverter& conv) override;
    void Loaded(TkrDXFConverter& conv) override;

    // The runs the text is laid out into, in order, as drawing walks them
    // (made anew on every call; empty before the text is finished).
    std::vector<std::unique_ptr<TkrDXFText>> LaidOutRuns() const;
    size_t RunCount() const { return FRunCount; }
    // The points of work a drawing pays for laying the text out again: one
    // per 16 bytes of the codes and braces between its runs (the runs pay for
    // their own text when drawn).
    uint64_t LayoutWork() const { return FLayoutWork; }
    // What a drawing needs to know of the runs without laying them out.
    // Plain: every run is a visible single-line text that either shows
    // nothing (no string to show, or a width factor of 0 or not finite: an
    // empty box) or shows a string in a sound, non-empty box; the box of all
    // runs is sound and they have a draw procedure. The rest is of the runs
    // that show a string.
    struct TRunSummary {
        bool Plain = false;
        uint64_t Shown = 0;
        uint64_t TextWork = 0;  // the sum of DrawnTextLength / 16
        float MinHeight = 0, MaxHeight = 0;  // of |Height|
    };
    const TRunSummary& Runs() const { return FRuns; }
    // The layer every run is on.
    TkrDXFLayer* RunLayer() const { return FRunLayer; }

protected:
    bool BlockHasEntities() const override { return FRunCount > 0; }
    void WalkBlock(TkrDXFConverter& conv, TVisitProc visit, void* receiver) override;

private:
    // What laying the text out again needs, taken when it is finished.
    const TTextMeasure* FMeasure = nullptr;
    TkrDXFStyle* FStandard = nullptr;
    TkrDXFLayer* FRunLayer = nullptr;
    TDrawHook FRunDraw = dhNone;
    size_t FRunCount = 0;
    uint64_t FLayoutWork = 0;
    TRunSummary FRuns;
    // The lines moved right to the reference width (attachments 2, 3, 5, 6,
    // 8, 9): the top edge of the line's runs and the shift, by top edge.
    std::vector<std::pair<float, double>> FLineShifts;
    // Lays the text out, handing every run to take in order.
    void LayOut(const std::function<void(std::unique_ptr<TkrDXFText>)>& take) const;
    // The run as laid out and aligned, ready to be drawn.
    void PrepareRun(TkrDXFText& run) const;
};
