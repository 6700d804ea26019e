// Leaders and their arrowheads.
#include "model/entities/leader.h"

#include <algorithm>
#include <cmath>

#include "model/converter.h"
#include "model/parsing.h"
#include "platform/scoped.h"

namespace {
double Dist3(const TPoint3F& a, const TPoint3F& b) {
    double dx = double(a.X) - b.X, dy = double(a.Y) - b.Y, dz = double(a.Z) - b.Z;
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

void SetRotation(TkrDXFInsert& ins, double degrees) {
    ins.Rotation = float(degrees);
    ins.RotationCos = std::cos(DegToRad(degrees));
    ins.RotationSin = std::sin(DegToRad(degrees));
}
}  // namespace

TkrDXFLeader::TkrDXFLeader() : TkrDXFSpline(TEntityClass::Leader), Arrow(std::make_unique<TkrDXFInsert>()) {}
TkrDXFLeader::~TkrDXFLeader() = default;

void TkrDXFLeader::ReadProperty(TkrDXFConverter& conv) {
    switch (conv.Code) {
        case 3: DimStyleName = std::string(conv.Value); break;
        case 40: case 41: break;  // text height and width of the annotation
        case 71: Arrowhead = conv.ValueAsInt() != 0; break;
        case 72: SplinePath = conv.ValueAsInt() == 1; break;
        case 211: SetRotation(*Arrow, RadToDeg(std::acos(conv.ValueAsFloat()))); break;  // replaced by the arrow angle
        case 1005: ArrowBlockHandle = std::string(TrimBlanks(conv.Value)); break;
        case 1070: PendingVarCode = conv.ValueAsInt(); break;
        case 1040: {
            double v = std::fabs(conv.ValueAsFloat());
            if (PendingVarCode == 40) DimScale = float(v);
            else if (PendingVarCode == 41) ArrowSize = float(v);
            break;
        }
        default: TkrDXFSpline::ReadProperty(conv); break;
    }
}

void TkrDXFLeader::Loaded(TkrDXFConverter& conv) {
    const std::vector<TPoint3F>& v = ControlPoints;
    if (v.size() <= 1) {
        Knots.clear();
        TkrDXFSpline::Loaded(conv);
        Arrow->Layer = Layer;
        return;
    }
    Tip = v.front();
    End = v.back();
    // The arrow points from the second vertex to the first. Two vertices at
    // the same place give no direction: the angle is then 0.
    double dx = double(v[0].X) - v[1].X, dy = double(v[0].Y) - v[1].Y;
    double d = Dist3(v[0], v[1]);
    double angle = 0;
    if (d > 0 && std::isfinite(d) && std::isfinite(dx)) {
        angle = RadToDeg(std::acos(std::clamp(dx / d, -1.0, 1.0)));
        if (dy < 0) angle = -angle;
    }
    ArrowAngle = float(angle);
    // A spline path is the curve through every vertex, as CAD programs draw
    // it: the vertices are its fit points, interpolated as a spline's fit
    // points are (the control points they also are go unused: there are no
    // knots). Taken as control points, three vertices would give a straight
    // chord and more a curve that misses them.
    // The curve leaves the tip along the first segment, as the arrowhead
    // points, and arrives along the last one.
    Knots.clear();
    if (SplinePath) {
        FitPoints = v;
        StartTangent = Point3F(double(v[1].X) - v[0].X, double(v[1].Y) - v[0].Y, double(v[1].Z) - v[0].Z);
        const TPoint3F& a = v[v.size() - 2];
        const TPoint3F& b = v.back();
        EndTangent = Point3F(double(b.X) - a.X, double(b.Y) - a.Y, double(b.Z) - a.Z);
    }
    TkrDXFSpline::Loaded(conv);
    Arrow->Layer = Layer;  // known once the polyline is finished
    if (Arrowhead) BuildArrow(conv);
}

void TkrDXFLeader::BuildArrow(TkrDXFConverter& conv) {
    if (ArrowSize == 0) ArrowSize = float(conv.HeaderNumber("$DIMASZ", 40, 1));
    if (DimScale == 0) DimScale = float(conv.HeaderNumber("$DIMSCALE", 40, 1));
    TkrDXFInsert& a = *Arrow;
    if (!a.Block) {
        TkrDXFBlock* b = conv.FindBlockByOwner(UpperAscii(ArrowBlockHandle));
        if (!b) b = conv.FindBlockByOwner(kLeaderArrowOwner);
        if (!b) b = CreateArrowBlock(conv);
        a.Block = b;
    }
    if (!a.Block) return;
    SetRotation(a, ArrowAngle);
    float s = float(double(DimScale) * ArrowSize);
    a.InsertScale = {s, s, s};
    a.Color = EntityColor();
    a.Point = Tip;
    // A block of the drawing whose box waits for blocks defined later is
    // completed when the arrow is first asked for its box or drawn.
    if (a.Block->PendingAtRead > 0) a.Converter = &conv;
    a.Loaded(conv);
}

TkrDXFBlock* TkrDXFLeader::CreateArrowBlock(TkrDXFConverter& conv) {
    TkrDXFGroup* blocks = conv.GetTable(tkBlocks);
    if (!blocks) return nullptr;
    auto solid = std::make_unique<TkrDXFSolid>();
    if (conv.OnCreateEntity) conv.OnCreateEntity(*solid);
    const float sixth = float(1.0 / 6);
    solid->Point = {-1, sixth, 0};
    solid->Point2 = {0, 0, 0};
    solid->Point3 = {-1, sixth, 0};
    solid->Point4 = {-1, -sixth, 0};
    // The block is shared by every leader that finds no arrow block of its
    // own: its triangle is BYBLOCK on layer "0", so that each arrow takes the
    // colour and the layer (visibility) of its own leader, not those of the
    // leader that happened to make the block.
    solid->Color = clFromBlock;
    solid->Layer = conv.FindOrCreateLayer("0");
    solid->Loaded(conv);
    auto block = std::make_unique<TkrDXFBlock>();
    block->Layer = Layer;
    block->Name = kLeaderArrowBlockName;
    block->OwnerHandle = kLeaderArrowOwner;
    block->PendingAtRead = conv.PendingRefs;  // no reference of its own is open
    block->Entities.push_back(std::move(solid));
    block->Loaded(conv);
    TkrDXFBlock* raw = block.get();
    blocks->Entities.push_back(std::move(block));
    return raw;
}

void TkrDXFLeader::Iterate(TkrDXFConverter& conv, TVisitProc visit, void* receiver) {
    if (!InView(conv)) return;
    TkrDXFInsert& a = *Arrow;
    a.Expanding = false;
    visit(receiver, *this);
    if (!Arrowhead || !a.Block || !(a.Expanding || conv.ExpandInserts)) return;
    TScopedRestore<bool> restore(conv.ExpandInserts, true);
    a.PaperSpace = PaperSpace;
    a.Iterate(conv, visit, receiver);
}
