#include "model/entities/mleader.h"

#include <cmath>
#include <unordered_map>

#include "model/colors.h"
#include "model/converter.h"
#include "model/entities/blocks.h"
#include "model/entities/text.h"
#include "model/parsing.h"

namespace {
constexpr int32_t kRawByBlock = -1056964608;  // 0xC1000000

bool Finite(const TPoint3F& p) { return std::isfinite(p.X) && std::isfinite(p.Y) && std::isfinite(p.Z); }

// A unit vector along v, or none.
bool UnitOf(const TPoint3F& v, double& x, double& y, double& z) {
    double l = std::sqrt(double(v.X) * v.X + double(v.Y) * v.Y + double(v.Z) * v.Z);
    if (!(l > 0) || !std::isfinite(l)) return false;
    x = v.X / l, y = v.Y / l, z = v.Z / l;
    return true;
}

// The arrowheads CAD programs centre on the line's end: the line starts at
// their insertion point, not one arrow length behind it.
bool CentredArrow(std::string name) {
    name = UpperAscii(TrimBlanks(name));
    if (!name.empty() && name[0] == '_') name.erase(0, 1);
    for (const char* n : {"ARCHTICK", "OBLIQUE", "DOTSMALL", "SMALL", "INTEGRAL", "NONE"})
        if (name == n) return true;
    return false;
}

template <class T>
T Pick(const std::optional<T>& own, bool hasStyle, T style, T builtIn) {
    return own ? *own : hasStyle ? style : builtIn;
}
}  // namespace

// ---- the style ----

void TkrDXFMLeaderStyle::ReadProperty(TkrDXFConverter& conv) {
    TkrDXFEntity::ReadProperty(conv);
    switch (conv.Code) {
        case 173: LeaderType = conv.ValueAsInt(); break;
        case 91: LeaderColor = conv.ValueAsInt(); break;
        case 340: LineTypeHandle = HexHandle(conv.Value); break;
        case 92: LineWeight = conv.ValueAsInt(); break;
        case 291: Dogleg = conv.ValueAsInt() != 0; break;
        case 341: ArrowHandle = HexHandle(conv.Value); break;
        case 44: ArrowSize = conv.ValueAsFloat(); break;
        case 93: TextColor = conv.ValueAsInt(); break;
        case 343: BlockHandle = HexHandle(conv.Value); break;
        case 94: BlockColor = conv.ValueAsInt(); break;
        case 174: LeftAttachment = conv.ValueAsInt(); break;
        case 178: RightAttachment = conv.ValueAsInt(); break;
        case 272: BottomAttachment = conv.ValueAsInt(); break;
        case 273: TopAttachment = conv.ValueAsInt(); break;
        default: break;
    }
}

void TkrDXFMLeaderStyle::Loaded(TkrDXFConverter& conv) { Register(conv); }

// ---- reading the multileader ----

TkrDXFMLeader::TkrDXFMLeader() : TkrDXFCompound(TEntityClass::MLeader), Source(std::make_unique<TSource>()) {}
TkrDXFMLeader::~TkrDXFMLeader() = default;

void TkrDXFMLeader::ReadProperty(TkrDXFConverter& conv) {
    if (!Source) return;
    TSource& s = *Source;
    const int32_t code = conv.Code;
    auto f = [&] { return float(conv.ValueAsFloat()); };
    auto set = [&](TPoint3F& p, int axis) { (axis == 0 ? p.X : axis == 1 ? p.Y : p.Z) = f(); };
    switch (FPart) {
        case TPart::Entity:
        case TPart::After:
            if (code == 300) FPart = TPart::Context;
            else ReadEntityValue(conv);
            return;
        case TPart::Text:
            switch (code) {
                case 304: s.Text += conv.TextValue(); return;
                case 11: case 21: case 31: set(s.TextNormal, code / 10 - 1); return;
                case 12: case 22: case 32: set(s.TextAt, code / 10 - 1); return;
                case 13: case 23: case 33: set(s.TextDirection, code / 10 - 1); return;
                case 43: s.TextWidth = conv.ValueAsFloat(); return;
                case 90: s.TextColor = conv.ValueAsInt(); return;
                case 171: s.Attachment = conv.ValueAsInt(); return;
                case 340: case 42: case 44: case 45: case 170: case 172: case 91: case 141: case 92: case 291:
                case 292: case 173: case 293: case 142: case 143: case 294: case 144: case 295:
                    return;
                default: FPart = TPart::Context; break;  // the text's groups end here
            }
            break;
        case TPart::Block:
            switch (code) {
                case 341: s.BlockHandle = HexHandle(conv.Value); return;
                case 14: case 24: case 34: set(s.BlockNormal, code / 10 - 1); return;
                case 15: case 25: case 35: set(s.BlockAt, code / 10 - 1); return;
                case 16: case 26: case 36: set(s.BlockScale, code / 10 - 1); return;
                case 46: s.BlockRotation = conv.ValueAsFloat(); return;
                case 93: s.BlockColor = conv.ValueAsInt(); return;
                case 47: return;  // the block's matrix: the values above place it
                default: FPart = TPart::Context; break;
            }
            break;
        case TPart::Leader: {
            TLeader& l = s.Leaders.back();
            switch (code) {
                case 10: case 20: case 30: set(l.End, code / 10 - 1); return;
                case 11: case 21: case 31: set(l.Dogleg, code / 10 - 1); return;
                case 291: l.HasDogleg = conv.ValueAsInt() != 0; return;
                case 40: l.DoglegLength = conv.ValueAsFloat(); return;
                case 271: l.Direction = conv.ValueAsInt(); return;
                case 304:
                    if (TrimBlanks(conv.Value) != "LEADER_LINE{") return;
                    // Leader lines cost a part each: beyond the bound they are skipped.
                    if (s.LineCount >= kMaxMLeaderLines) {
                        s.TooManyLines = true;
                        FPart = TPart::SkippedLine;
                        return;
                    }
                    ++s.LineCount;
                    l.Lines.emplace_back();
                    FPart = TPart::Line;
                    return;
                case 302:
                    if (s.Leaders.size() >= kMaxMLeaderLines) {
                        s.TooManyLines = true;
                        FPart = TPart::SkippedLeader;
                        return;
                    }
                    s.Leaders.emplace_back();
                    return;
                case 303: FPart = TPart::Context; return;
                default: return;  // breaks, index
            }
        }
        case TPart::Line: {
            TLine& line = s.Leaders.back().Lines.back();
            switch (code) {
                case 10:
                    if (s.VertexCount >= kMaxEntityPoints) {
                        s.TooManyVertices = true;
                        FTakenVertex = false;
                        return;
                    }
                    ++s.VertexCount;
                    line.Vertices.push_back({f(), 0, 0});
                    FTakenVertex = true;
                    return;
                case 20: case 30:
                    if (FTakenVertex && !line.Vertices.empty()) set(line.Vertices.back(), code / 10 - 1);
                    return;
                case 91: line.Index = conv.ValueAsInt(); return;
                case 92: line.Color = conv.ValueAsInt(); return;
                case 305: FPart = TPart::Leader; return;
                default: return;  // breaks
            }
        }
        case TPart::SkippedLine:
            if (code == 305) FPart = TPart::Leader;
            return;
        case TPart::SkippedLeader:
            if (code == 303) FPart = TPart::Context;
            return;
        case TPart::Context: break;
    }
    ReadContext(conv);
}

void TkrDXFMLeader::ReadContext(TkrDXFConverter& conv) {
    TSource& s = *Source;
    switch (conv.Code) {
        case 40: s.Scale = conv.ValueAsFloat(); break;
        case 41: s.TextHeight = conv.ValueAsFloat(); break;
        case 140: s.ArrowSize = conv.ValueAsFloat(); break;
        case 145: s.LandingGap = conv.ValueAsFloat(); break;
        case 290:
            if (conv.ValueAsInt() != 0) s.HasText = true, FPart = TPart::Text;
            break;
        case 296:
            if (conv.ValueAsInt() != 0) s.HasBlock = true, FPart = TPart::Block;
            break;
        case 302:
            // Leaders cost memory even without lines: they count against the
            // bound of leader lines as well.
            if (s.Leaders.size() >= kMaxMLeaderLines) {
                s.TooManyLines = true;
                FPart = TPart::SkippedLeader;
                break;
            }
            s.Leaders.emplace_back();
            FPart = TPart::Leader;
            break;
        case 301: FPart = TPart::After; break;
        default: break;  // base point, plane, the context's attachment kinds
    }
}

void TkrDXFMLeader::ReadEntityValue(TkrDXFConverter& conv) {
    TSource& s = *Source;
    switch (conv.Code) {
        case 340: s.StyleHandle = HexHandle(conv.Value); break;
        case 170: s.LeaderType = conv.ValueAsInt(); break;
        case 91: s.LeaderColor = conv.ValueAsInt(); break;
        case 341: s.LeaderLineType = HexHandle(conv.Value); break;
        case 171: s.LeaderWeight = conv.ValueAsInt(); break;
        case 291: s.Dogleg = conv.ValueAsInt() != 0; break;
        case 342: s.ArrowHandle = HexHandle(conv.Value); break;
        case 42: s.EntityArrowSize = conv.ValueAsFloat(); break;
        case 92: s.EntityTextColor = conv.ValueAsInt(); break;
        case 344: s.EntityBlockHandle = HexHandle(conv.Value); break;
        case 93: s.EntityBlockColor = conv.ValueAsInt(); break;
        case 173: s.LeftAttachment = conv.ValueAsInt(); break;
        case 95: s.RightAttachment = conv.ValueAsInt(); break;
        case 272: s.BottomAttachment = conv.ValueAsInt(); break;
        case 273: s.TopAttachment = conv.ValueAsInt(); break;
        case 94: s.PendingArrowIndex = conv.ValueAsInt(); break;
        case 345: s.ArrowHeads.push_back({s.PendingArrowIndex, HexHandle(conv.Value)}); break;
        // Version, override flags, landing, dogleg length, content kind, text
        // style, angle and alignment kinds, frame, block scale, rotation and
        // connection, annotative, the attribute values of a block, direction,
        // text alignment, scale (the context's is used), extension to text.
        case 302:
            if (FPart == TPart::After && !s.Attributes.empty()) s.Attributes.back().second = conv.TextValue();
            break;
        case 270: case 90: case 290: case 41: case 172: case 343: case 174: case 175: case 292: case 10: case 20:
        case 30: case 43: case 176: case 293: case 177: case 44: case 294: case 178: case 179: case 45:
        case 271: case 295:
            break;
        case 330:
            // After the context data: the attribute definition of a block's value.
            if (FPart == TPart::After) s.Attributes.push_back({HexHandle(conv.Value), {}});
            else TkrDXFCompound::ReadProperty(conv);
            break;
        default: TkrDXFCompound::ReadProperty(conv); break;
    }
}

// ---- finishing ----

bool TkrDXFMLeader::NeedsStyle() const {
    const TSource& s = *Source;
    if (!s.LeaderType || !s.LeaderColor || !s.LeaderLineType || !s.LeaderWeight || !s.Dogleg || !s.ArrowHandle)
        return true;
    if (!s.ArrowSize && !s.EntityArrowSize) return true;
    if (s.HasText && (!s.TextColor && !s.EntityTextColor)) return true;
    if (s.HasText && (!s.LeftAttachment || !s.RightAttachment || !s.TopAttachment || !s.BottomAttachment)) return true;
    if (s.HasBlock && ((!s.BlockHandle && !s.EntityBlockHandle) || (!s.BlockColor && !s.EntityBlockColor)))
        return true;
    return false;
}

void TkrDXFMLeader::Loaded(TkrDXFConverter& conv) {
    if (!Layer) Layer = conv.FindOrCreateLayer("0");
    if (!Source) return;
    uint32_t missing = 0;
    Build(conv, nullptr, missing);
    // Values left out come from the style, a block not found yet may be
    // defined further down: both are known once the file is read.
    if ((Source->StyleHandle != 0 && NeedsStyle()) || missing) {
        AwaitObjects(conv);
        return;
    }
    if (Source->TooManyLines) ++conv.Bounds.MLeaderLines;
    if (Source->TooManyVertices) ++conv.Bounds.EntityPoints;
    Source.reset();
}

void TkrDXFMLeader::ObjectsLoaded(TkrDXFConverter& conv) {
    if (!Source) return;
    const TkrDXFMLeaderStyle* style = nullptr;
    if (NeedsStyle() && Source->StyleHandle != 0) {
        bool wrong = false;
        style = static_cast<const TkrDXFMLeaderStyle*>(
            FindObject(conv, Source->StyleHandle, TEntityClass::MLeaderStyle, wrong));
        if (!style) ++conv.Bounds.ObjectRefs;
    }
    uint32_t missing = 0;
    Build(conv, style, missing);
    conv.Bounds.ObjectRefs += missing;
    if (Source->TooManyLines) ++conv.Bounds.MLeaderLines;
    if (Source->TooManyVertices) ++conv.Bounds.EntityPoints;
    Source.reset();
}

void TkrDXFMLeader::Build(TkrDXFConverter& conv, const TkrDXFMLeaderStyle* st, uint32_t& missing) {
    ClearParts();
    const TSource& s = *Source;
    // A multileader scaled to nothing vanishes.
    if (!(std::fabs(s.Scale) > 1e-9) || !std::isfinite(s.Scale)) return;
    const bool hs = st != nullptr;
    const int32_t leaderType = Pick(s.LeaderType, hs, hs ? st->LeaderType : 1, 1);
    const int32_t leaderColor = Pick(s.LeaderColor, hs, hs ? st->LeaderColor : kRawByBlock, kRawByBlock);
    const uint32_t lineType = Pick(s.LeaderLineType, hs, hs ? st->LineTypeHandle : 0u, 0u);
    const int32_t weight = Pick(s.LeaderWeight, hs, hs ? st->LineWeight : -2, -2);
    const bool dogleg = Pick(s.Dogleg, hs, hs ? st->Dogleg : true, true);
    const uint32_t arrowHandle = Pick(s.ArrowHandle, hs, hs ? st->ArrowHandle : 0u, 0u);
    double arrowSize = s.ArrowSize ? *s.ArrowSize
                     : s.EntityArrowSize ? *s.EntityArrowSize * s.Scale
                                         : (hs ? st->ArrowSize : 4) * s.Scale;
    const int32_t textColor = s.TextColor ? *s.TextColor : Pick(s.EntityTextColor, hs, hs ? st->TextColor : kRawByBlock, kRawByBlock);
    const uint32_t blockHandle = s.BlockHandle ? *s.BlockHandle : Pick(s.EntityBlockHandle, hs, hs ? st->BlockHandle : 0u, 0u);
    const int32_t blockColor = s.BlockColor ? *s.BlockColor : Pick(s.EntityBlockColor, hs, hs ? st->BlockColor : kRawByBlock, kRawByBlock);
    const int32_t left = Pick(s.LeftAttachment, hs, hs ? st->LeftAttachment : 1, 1);
    const int32_t right = Pick(s.RightAttachment, hs, hs ? st->RightAttachment : 1, 1);
    const int32_t top = Pick(s.TopAttachment, hs, hs ? st->TopAttachment : 9, 9);
    const int32_t bottom = Pick(s.BottomAttachment, hs, hs ? st->BottomAttachment : 9, 9);

    TPartMaker make(conv, *this);
    const TPartPen own = make.Pen;

    // The content first: the underline takes the text's width.
    double textWidth = 0;
    double tdx = 1, tdy = 0, tdz = 0;
    if (!UnitOf(s.TextDirection, tdx, tdy, tdz)) tdx = 1, tdy = 0, tdz = 0;
    if (s.HasText && !TrimBlanks(s.Text).empty()) {
        make.Pen.Color = make.OwnerColor(ColorFromRaw(textColor));
        TkrDXFMText& m = make.MText(s.Text, s.TextAt, s.TextHeight, s.TextDirection, s.TextWidth * s.Scale,
                                    s.Attachment, s.TextNormal);
        if (m.RunsBlock && !IsEmptyBox(m.RunsBlock->Box))
            textWidth = double(m.RunsBlock->Box.Right) - m.RunsBlock->Box.Left;
        make.Pen = own;
    }
    if (s.HasBlock) {
        if (TkrDXFBlock* b = BlockOfRecord(conv, blockHandle)) {
            make.Pen.Color = make.OwnerColor(ColorFromRaw(blockColor));
            if (TkrDXFInsert* ins = make.Insert(b, s.BlockAt, s.BlockScale, RadToDeg(s.BlockRotation), s.BlockNormal))
                if (!s.Attributes.empty()) {
                    AddAttributes(conv, *ins);
                    UnionBox(Box, ins->GetBox());
                }
            make.Pen = own;
        } else {
            ++missing;
        }
    }
    if (leaderType == 0) return;

    make.Pen.Pattern = make.PatternOfHandle(lineType);
    make.Pen.LineWeight = make.WeightOf(weight);
    const TColorValue leaderPen = make.OwnerColor(ColorFromRaw(leaderColor));
    // The arrowhead of each leader line by its index (the last pair of an
    // index wins), else the multileader's.
    std::unordered_map<int32_t, uint32_t> arrows;
    for (const auto& [index, handle] : s.ArrowHeads) arrows[index] = handle;
    for (const TLeader& l : s.Leaders) {
        const bool side = l.Direction == 0;
        double gx = 1, gy = 0, gz = 0;
        if (!(l.HasDogleg && UnitOf(l.Dogleg, gx, gy, gz))) gx = 1, gy = 0, gz = 0;
        const double gl = std::isfinite(l.DoglegLength) ? l.DoglegLength : 0;
        const TPoint3F landing = Point3F(l.End.X + gx * gl, l.End.Y + gy * gl, l.End.Z + gz * gl);
        for (const TLine& line : l.Lines) {
            std::vector<TPoint3F> v;
            v.reserve(line.Vertices.size() + 2);
            for (const TPoint3F& p : line.Vertices)
                if (Finite(p)) v.push_back(p);
            if (side) {
                if (dogleg && leaderType != 2) v.push_back(l.End);
                v.push_back(landing);
            } else {
                v.push_back(l.End);
            }
            if (v.size() < 2 || !Finite(v.back())) continue;
            make.Pen.Color = line.Color && *line.Color != kRawByBlock ? make.OwnerColor(ColorFromRaw(*line.Color))
                                                                     : leaderPen;
            double dx = 0, dy = 0, dz = 0;
            const bool hasDir = UnitOf({v[1].X - v[0].X, v[1].Y - v[0].Y, v[1].Z - v[0].Z}, dx, dy, dz);
            if (hasDir && std::isfinite(arrowSize) && arrowSize > 0) {
                auto perLine = arrows.find(line.Index);
                const uint32_t h = perLine != arrows.end() ? perLine->second : arrowHandle;
                TkrDXFBlock* b = h != 0 ? BlockOfRecord(conv, h) : nullptr;
                if (h != 0 && !b) ++missing;
                const TPoint3F tip = v[0];
                if (b) {
                    make.Insert(b, tip, {float(arrowSize), float(arrowSize), float(arrowSize)},
                                RadToDeg(std::atan2(-dy, -dx)), {0, 0, 1});
                } else {
                    // The filled arrow: its tip at the vertex, one size long
                    // and a third of it wide (the corners of a SOLID: back
                    // up, tip, back up, back down).
                    const double a = arrowSize, w = arrowSize / 6;
                    const TPoint3F up = Point3F(tip.X + dx * a - dy * w, tip.Y + dy * a + dx * w, tip.Z + dz * a);
                    const TPoint3F down = Point3F(tip.X + dx * a + dy * w, tip.Y + dy * a - dx * w, tip.Z + dz * a);
                    make.Solid(up, tip, up, down);
                }
                if (!b || !CentredArrow(b->Name)) v[0] = Point3F(tip.X + dx * arrowSize, tip.Y + dy * arrowSize, tip.Z + dz * arrowSize);
            }
            if (leaderType == 2) {
                const TPoint3F endTangent =
                    side ? Point3F(gx, gy, gz)
                         : Point3F(double(v.back().X) - v[v.size() - 2].X, double(v.back().Y) - v[v.size() - 2].Y,
                                   double(v.back().Z) - v[v.size() - 2].Z);
                make.FitSpline(v, hasDir ? Point3F(dx, dy, dz) : TPoint3F{}, endTangent);
            } else {
                make.Polyline(v, false);
            }
        }
        if (!(textWidth > 0)) continue;
        make.Pen.Color = leaderPen;
        if (side) {
            // An underline from the landing along the text, on the side the
            // leader comes from.
            const bool under = [&] {
                for (int k : {left, right})
                    if (k == 5 || k == 6 || k == 8) return true;
                return false;
            }();
            if (!under) continue;
            const double len = textWidth + (std::isfinite(s.LandingGap) ? s.LandingGap : 0);
            // The landing lies before the text's start (left of it, along
            // the text's direction): the underline runs forwards from it.
            const bool onLeft = tdx * (double(landing.X) - s.TextAt.X) + tdy * (double(landing.Y) - s.TextAt.Y) < 0;
            const int kind = onLeft ? left : right;
            if (kind != 5 && kind != 6 && kind != 8) continue;
            const double sgn = onLeft ? 1 : -1;
            const TPoint3F line[2] = {landing, Point3F(landing.X + tdx * len * sgn, landing.Y + tdy * len * sgn,
                                                       landing.Z + tdz * len * sgn)};
            make.Polyline(line, false);
        } else if (top == 10 || bottom == 10) {
            // An overline across the leader's end, the text's width long.
            const double h = textWidth / 2;
            const TPoint3F a = Point3F(l.End.X - tdx * h, l.End.Y - tdy * h, l.End.Z - tdz * h);
            const TPoint3F b = Point3F(l.End.X + tdx * h, l.End.Y + tdy * h, l.End.Z + tdz * h);
            // The text lies below the line when its insertion point is right of a to b.
            const double side2 = tdx * (double(s.TextAt.Y) - a.Y) - tdy * (double(s.TextAt.X) - a.X);
            const bool textBelow = side2 < 0;
            if ((textBelow && top == 10) || (!textBelow && bottom == 10)) {
                const TPoint3F line[2] = {a, b};
                make.Polyline(line, false);
            }
        }
    }
}

void TkrDXFMLeader::AddAttributes(TkrDXFConverter& conv, TkrDXFInsert& ins) {
    const TkrDXFBlock& b = *ins.Block;
    const TMatrix4x3F& m = ins.Transform;
    const double sy = std::hypot(double(m.M[1][0]), double(m.M[1][1]));
    for (const auto& [handle, value] : Source->Attributes) {
        const TkrDXFAttdef* def = nullptr;
        for (const auto& e : b.Entities)
            if (e->Class == TEntityClass::Attdef && e->Handle == handle) def = static_cast<const TkrDXFAttdef*>(e.get());
        if (!def) {
            ++conv.Bounds.ObjectRefs;
            continue;
        }
        // The definition's text placed by the insert: its points mapped, its
        // rotation turned and its height scaled with the block.
        auto a = std::make_unique<TkrDXFAttrib>();
        if (conv.OnCreateEntity) conv.OnCreateEntity(*a);
        a->Tag = def->Tag;
        a->Text = ReplaceControlCodes(value);
        a->Point = TransformPoint(def->Point, m);
        a->AlignPoint = IsGivenPoint(def->AlignPoint) ? TransformPoint(def->AlignPoint, m) : def->AlignPoint;
        a->Rotation = float(def->Rotation + RadToDeg(std::atan2(double(m.M[0][1]), double(m.M[0][0]))));
        a->Height = float(def->Height * (std::isfinite(sy) ? sy : 1));
        a->WidthFactor = def->WidthFactor;
        a->ObliqueAngle = def->ObliqueAngle;
        a->HAlign = def->HAlign;
        a->VAlign = def->VAlign;
        a->Backward = def->Backward;
        a->UpsideDown = def->UpsideDown;
        a->Font = def->Font;
        if (def->Style) a->SetStyle(def->Style);
        a->SetColor(def->EntityColor());
        a->Layer = ins.Layer;
        a->Loaded(conv);
        ins.Attribs.push_back(std::move(a));
    }
    // The insert's box takes its attributes.
    ins.Loaded(conv);
}
