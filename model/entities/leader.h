// Leaders: a polyline or spline path with an arrowhead drawn as an insert.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "model/entities/blocks.h"
#include "model/entities/curves.h"

// The block of the arrowhead made for leaders whose own arrow block is not
// found: a filled triangle with its tip at the origin, pointing along +x.
constexpr const char* kLeaderArrowBlockName = "Filled_arrow_for_leader";
constexpr const char* kLeaderArrowOwner = "#NEWBLOCKID";

// LEADER: a polyline (or spline) through its vertices with an arrowhead at
// the first vertex, drawn as an insert of an arrow block.
class TkrDXFLeader : public TkrDXFSpline {
public:
    TkrDXFLeader();
    ~TkrDXFLeader() override;

    bool Arrowhead = true;  // group 71 != 0
    TPoint3F Tip{};         // the first vertex
    float DimScale = 0;     // extended data: dimension variable 40
    float ArrowSize = 0;    // extended data: dimension variable 41
    int32_t PendingVarCode = -1;  // the last 1070 value
    std::string DimStyleName;     // group 3
    float ArrowAngle = 0;         // degrees
    std::string ArrowBlockHandle = "#";  // group 1005
    std::unique_ptr<TkrDXFInsert> Arrow;
    bool SplinePath = false;  // group 72 = 1
    TPoint3F End{};           // the last vertex

    void ReadProperty(TkrDXFConverter& conv) override;
    void Loaded(TkrDXFConverter& conv) override;
    // The leader is visited as a polyline; then, when its draw procedure
    // marked the arrow for expansion (or inserts are expanded anyway), the
    // arrow is iterated with inserts expanded.
    void Iterate(TkrDXFConverter& conv, TVisitProc visit, void* receiver) override;

private:
    void BuildArrow(TkrDXFConverter& conv);
    TkrDXFBlock* CreateArrowBlock(TkrDXFConverter& conv);
};
