// The entity name table: the value of a 0 group, compared exactly, gives the
// class; any other name gives a plain TkrDXFEntity.
#include <string_view>

#include "model/entities/blocks.h"
#include "model/entities/curves.h"
#include "model/entities/dimension.h"
#include "model/entities/hatch.h"
#include "model/entities/helix.h"
#include "model/entities/image.h"
#include "model/entities/layout.h"
#include "model/entities/leader.h"
#include "model/entities/linear.h"
#include "model/entities/mesh.h"
#include "model/entities/mleader.h"
#include "model/entities/mline.h"
#include "model/entities/proxy_graphic.h"
#include "model/entities/table.h"
#include "model/entities/text.h"
#include "model/entities/viewport.h"
#include "model/entities/vport.h"
#include "model/entities/wipeout.h"
#include "model/entities/xline.h"
#include "model/entity.h"

namespace {
template <class T>
std::unique_ptr<TkrDXFEntity> Make() {
    return std::make_unique<T>();
}

std::unique_ptr<TkrDXFEntity> MakeRay() {
    auto r = std::make_unique<TkrDXFXLine>();
    r->Ray = true;
    return r;
}

struct TNameEntry {
    std::string_view Name;
    std::unique_ptr<TkrDXFEntity> (*Create)();
};

constexpr TNameEntry kNames[] = {
    {"SEQEND", Make<TkrDXFSeqend>},       {"VERTEX", Make<TkrDXFVertex>},
    {"LINE", Make<TkrDXFLine>},           {"SOLID", Make<TkrDXFSolid>},
    {"CIRCLE", Make<TkrDXFCircle>},       {"ARC", Make<TkrDXFArc>},
    {"ELLIPSE", Make<TkrDXFEllipse>},     {"DIMENSION", Make<TkrDXFDimension>},
    {"LEADER", Make<TkrDXFLeader>},       {"LTYPE", Make<TkrDXFLineType>},
    {"LAYER", Make<TkrDXFLayer>},         {"BLOCK_RECORD", Make<TkrDXFBlockRecord>},
    {"POLYLINE", Make<TkrDXFPolyline>},   {"LWPOLYLINE", Make<TkrDXFLWPolyline>},
    {"SPLINE", Make<TkrDXFSpline>},       {"HATCH", Make<TkrDXFHatch>},
    {"INSERT", Make<TkrDXFInsert>},       {"TEXT", Make<TkrDXFText>},
    {"MTEXT", Make<TkrDXFMText>},         {"ATTDEF", Make<TkrDXFAttdef>},
    {"VIEWPORT", Make<TkrDXFViewport>},   {"TABLE", Make<TkrDXFTable>},
    {"BLOCK", Make<TkrDXFBlock>},         {"VPORT", Make<TkrDXFVport>},
    {"3DFACE", Make<TkrDXF3dFace>},       {"POINT", Make<TkrDXFPoint>},
    {"ATTRIB", Make<TkrDXFAttrib>},       {"SECTION", Make<TkrDXFSection>},
    {"LAYOUT", Make<TkrDXFLayout>},       {"ENDSEC", Make<TkrDXFSeqend>},
    {"ENDTAB", Make<TkrDXFSeqend>},       {"ENDBLK", Make<TkrDXFSeqend>},
    {"EOF", Make<TkrDXFSeqend>},          {"IMAGE", Make<TkrDXFImageEnt>},
    {"IMAGEDEF", Make<TkrDXFImageDef>},   {"STYLE", Make<TkrDXFStyle>},
    // A TRACE has the groups of a SOLID (four corners, thickness,
    // extrusion) and is drawn as one.
    {"TRACE", Make<TkrDXFSolid>},
    // Written by current CAD programs: like a dimension, each refers to an
    // anonymous block with everything it shows.
    {"ARC_DIMENSION", Make<TkrDXFDimension>}, {"ACAD_TABLE", Make<TkrDXFAcadTable>},
    // Current CAD programs: multileaders, multilines, masks, meshes,
    // helixes, construction lines, proxy entities, and the objects they
    // take their styles from.
    {"MULTILEADER", Make<TkrDXFMLeader>},   {"MLEADER", Make<TkrDXFMLeader>},
    {"MLINE", Make<TkrDXFMLine>},           {"WIPEOUT", Make<TkrDXFWipeout>},
    {"MESH", Make<TkrDXFMesh>},             {"HELIX", Make<TkrDXFHelix>},
    {"XLINE", Make<TkrDXFXLine>},           {"RAY", MakeRay},
    {"ACAD_PROXY_ENTITY", Make<TkrDXFProxyEntity>},
    {"MLEADERSTYLE", Make<TkrDXFMLeaderStyle>}, {"MLINESTYLE", Make<TkrDXFMLineStyle>},
    {"WIPEOUTVARIABLES", Make<TkrDXFWipeoutVariables>},
};
static_assert(sizeof(kNames) / sizeof(kNames[0]) == 51);
}  // namespace

std::unique_ptr<TkrDXFEntity> NewEntityByName(std::string_view name) {
    for (const auto& n : kNames)
        if (n.Name == name) return n.Create();
    return std::make_unique<TkrDXFEntity>();
}

std::unique_ptr<TkrDXFEntity> NewProxyEntity() { return std::make_unique<TkrDXFProxyEntity>(); }
