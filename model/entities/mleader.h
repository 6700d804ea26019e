// MULTILEADER (also written MLEADER): a label with one or more leaders, and
// the MLEADERSTYLE object it takes the values it leaves out from.
//
// The geometry is in the context data (groups 300 "CONTEXT_DATA{" to 301):
// the overall scale (40), the text height (41), the arrowhead size (140),
// the landing gap (145), the content, and the leaders (302 "LEADER{" to
// 303), each with the point its lines end at (10), the dogleg direction and
// length (11, 40), whether it attaches to the content's side or to its top
// or bottom (271), and its lines (304 "LEADER_LINE{" to 305: vertices 10,
// index 91, colour 92). The content is a multi-line text (after 290 = 1: the
// text 304, its normal 11, insertion point 12, direction 13, width 43,
// colour 90 and attachment 171) or a block (after 296 = 1: the BLOCK_RECORD
// handle 341, normal 14, insertion point 15, scale 16, rotation 46 in
// radians, colour 93). After the context data come the multileader's own
// values: leader type (170: 0 none, 1 straight, 2 spline), leader colour
// (91), line type (341), line weight (171), dogleg (291), arrowhead block
// (342, per leader line 94/345) and size (42), text colour (92), block
// (344), block colour (93), the text's attachment kinds (173, 95, 272, 273),
// the values of the block's attributes (330 the ATTDEF, 302 its text) and
// the style (340). Colours are raw colours (see ColorFromRaw).
//
// Each leader line runs from its first vertex through the others to the
// leader's end point; a leader attached to the content's side continues by
// its dogleg (without the end point itself when the dogleg is off) and a
// spline leader is the curve through those points. An arrowhead sits at the
// first vertex, pointing from the second to it: the arrowhead block scaled
// by the arrowhead size, or a filled arrow one size long and a third as
// wide; the line starts at its back (at its tip for the arrowheads drawn
// centred on the line's end: tick, oblique, small dot, integral, none). A
// text attached with an underline (kinds 5, 6, 8) gets one along the text
// from the dogleg's end, its width plus the landing gap long; one attached
// at its top or bottom with an overline (kind 10) one across the leader's
// end. The parts take their colours BYBLOCK as the multileader's own.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "model/entities/compound.h"
#include "model/objects.h"

class TkrDXFMLeaderStyle : public TkrDXFIndexedObject {
public:
    TkrDXFMLeaderStyle() : TkrDXFIndexedObject(TEntityClass::MLeaderStyle) {}

    int32_t LeaderType = 1;             // group 173
    int32_t LeaderColor = -1056964608;  // group 91 (raw: by block)
    uint32_t LineTypeHandle = 0;        // group 340
    int32_t LineWeight = -2;            // group 92
    bool Dogleg = true;                 // group 291
    uint32_t ArrowHandle = 0;           // group 341 (0: the filled arrow)
    double ArrowSize = 4;               // group 44
    int32_t TextColor = -1056964608;    // group 93
    uint32_t BlockHandle = 0;           // group 343
    int32_t BlockColor = -1056964608;   // group 94
    int32_t LeftAttachment = 1;         // group 174
    int32_t RightAttachment = 1;        // group 178
    int32_t BottomAttachment = 9;       // group 272
    int32_t TopAttachment = 9;          // group 273

    void ReadProperty(TkrDXFConverter& conv) override;
    void Loaded(TkrDXFConverter& conv) override;
};

class TkrDXFMLeader : public TkrDXFCompound {
public:
    TkrDXFMLeader();
    ~TkrDXFMLeader() override;

    struct TLine {
        std::vector<TPoint3F> Vertices;
        int32_t Index = 0;
        std::optional<int32_t> Color;
    };
    struct TLeader {
        std::vector<TLine> Lines;
        TPoint3F End{};
        TPoint3F Dogleg{1, 0, 0};
        bool HasDogleg = false;  // group 291 of the leader: the dogleg vector is given
        double DoglegLength = 0;
        int32_t Direction = 0;   // group 271: 0 at the content's side, 1 at its top or bottom
    };
    // What was read; kept until the multileader is finished for good.
    struct TSource {
        // Context data.
        double Scale = 1;
        double TextHeight = 4;
        std::optional<double> ArrowSize;
        double LandingGap = 2;
        bool HasText = false;
        std::string Text;
        TPoint3F TextNormal{0, 0, 1}, TextAt{}, TextDirection{1, 0, 0};
        double TextWidth = 0;
        std::optional<int32_t> TextColor;
        int32_t Attachment = 1;
        bool HasBlock = false;
        std::optional<uint32_t> BlockHandle;
        TPoint3F BlockNormal{0, 0, 1}, BlockAt{}, BlockScale{1, 1, 1};
        double BlockRotation = 0;  // radians
        std::optional<int32_t> BlockColor;
        std::vector<TLeader> Leaders;
        size_t LineCount = 0, VertexCount = 0;
        bool TooManyLines = false, TooManyVertices = false;
        // The multileader's own values (none: the style's).
        uint32_t StyleHandle = 0;
        std::optional<int32_t> LeaderType, LeaderColor, LeaderWeight, LeftAttachment, RightAttachment,
            TopAttachment, BottomAttachment, EntityTextColor, EntityBlockColor;
        std::optional<uint32_t> LeaderLineType, ArrowHandle, EntityBlockHandle;
        std::optional<bool> Dogleg;
        std::optional<double> EntityArrowSize;
        std::vector<std::pair<int32_t, uint32_t>> ArrowHeads;  // groups 94/345: line index, block record
        // The values of a block's attributes (groups 330/302): the handle of
        // the block's ATTDEF and the text it shows.
        std::vector<std::pair<uint32_t, std::string>> Attributes;
        int32_t PendingArrowIndex = 0;
    };
    std::unique_ptr<TSource> Source;

    void ReadProperty(TkrDXFConverter& conv) override;
    void Loaded(TkrDXFConverter& conv) override;
    void ObjectsLoaded(TkrDXFConverter& conv) override;

private:
    enum class TPart : uint8_t { Entity, Context, Text, Block, Leader, Line, SkippedLine, SkippedLeader, After };
    TPart FPart = TPart::Entity;
    bool FTakenVertex = false;  // the last group 10 of a leader line started a vertex
    void ReadEntityValue(TkrDXFConverter& conv);
    void ReadContext(TkrDXFConverter& conv);
    // Makes the parts (style: the defaults for values left out, none for the
    // built-in ones). Counts the references it could not resolve in missing.
    void Build(TkrDXFConverter& conv, const TkrDXFMLeaderStyle* style, uint32_t& missing);
    // Whether a value the style would give is left out.
    bool NeedsStyle() const;
    // Gives the block content its attributes: each at its definition's
    // place in the block, carried by the insert, showing the value.
    void AddAttributes(TkrDXFConverter& conv, TkrDXFInsert& content);
};
