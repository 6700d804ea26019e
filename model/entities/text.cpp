#include "model/entities/text.h"

#include <algorithm>
#include <cmath>

#include "model/converter.h"
#include "model/parsing.h"
#include "platform/codepage.h"
#include "platform/font_metrics.h"

// ---- control codes ----

namespace {
char LowerAsciiChar(char c) { return c >= 'A' && c <= 'Z' ? char(c + 32) : c; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// A character code as a drawable byte: control characters are not drawable.
char DrawableByte(char32_t u) { return u < 0x20 ? '?' : UnicodeToCp1252(u); }

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = LowerAsciiChar(c);
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

// The value of four hex digits, or -1.
int32_t Hex4(std::string_view s) {
    int32_t v = 0;
    for (char c : s.substr(0, 4)) {
        int d = HexValue(c);
        if (d < 0) return -1;
        v = v * 16 + d;
    }
    return s.size() >= 4 ? v : -1;
}

// "\U+XXXX" sequences that fit in the text become the character of the code
// point (its Windows-1252 byte, or its drawn form where the code page lacks
// it; "?" for controls); a sequence whose digits are not hex becomes "?".
// What a sequence stands for is not read again.
void DecodeUnicodeEscapes(std::string& s) {
    if (s.find("\\U+") == std::string::npos) return;
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size();) {
        if (s[i] == '\\' && i + 7 <= s.size() && s[i + 1] == 'U' && s[i + 2] == '+') {
            int32_t v = Hex4(std::string_view(s).substr(i + 3, 4));
            if (v < 0x20) out += '?';  // not hex (-1), or a control
            else AppendDrawnChar(out, char32_t(v));
            i += 7;
        } else {
            out += s[i++];
        }
    }
    s = std::move(out);
}

}  // namespace

std::string ReplaceControlCodes(std::string_view s) {
    std::string out;
    if (s.find("%%") == std::string_view::npos) {
        out.assign(s);
    } else {
        out.reserve(s.size());
        for (size_t i = 0; i < s.size();) {
            if (s[i] != '%' || i + 2 >= s.size() || s[i + 1] != '%') {
                out += s[i++];
                continue;
            }
            const char c = LowerAsciiChar(s[i + 2]);
            const char* with = nullptr;
            switch (c) {
                case 'd': with = "\xB0"; break;      // degree sign
                case 'p': with = "\xB1"; break;      // plus-minus sign
                case 'u': with = "\\L"; break;       // underline
                case 'c': with = "\\U+2205"; break;  // diameter sign
                case 'o': with = ""; break;          // overline: not drawn
                case '%': with = "%"; break;
                default: break;
            }
            if (with) {
                out += with;
                i += 3;
                continue;
            }
            if (i + 4 < s.size() && IsDigit(s[i + 2]) && IsDigit(s[i + 3]) && IsDigit(s[i + 4])) {
                int v = (s[i + 2] - '0') * 100 + (s[i + 3] - '0') * 10 + (s[i + 4] - '0');
                if (v <= 255) {
                    switch (v) {
                        case 127: out += '?'; break;
                        case 128: out += '\x88'; break;
                        case 176: out += '\xB0'; break;
                        case 179: out += '?'; break;
                        case 220: out += 'U'; break;
                        default: out += DrawableByte(char32_t(v)); break;
                    }
                    i += 5;
                    continue;
                }
            }
            out += s[i++];
        }
    }
    return DiameterSubstitute(out);
}

// ---- TkrDXFText ----

TkrDXFText::TkrDXFText(TEntityClass cls) : TkrDXFCustomVertex(cls) {
    Font.SetName("Arial");
    Font.Color = clFromLayer;
}

TkrDXFText::~TkrDXFText() = default;

void TkrDXFText::SetStyle(TkrDXFStyle* style) {
    Style = style;
    if (!style) return;
    std::string_view family = style->FontFamily;
    Font.SetName(family.substr(0, family.find('.')));
}

void TkrDXFText::ReadProperty(TkrDXFConverter& conv) {
    TkrDXFCustomVertex::ReadProperty(conv);
    switch (conv.Code) {
        case 1: Text = ReplaceControlCodes(conv.DrawnTextValue()); break;
        case 7: SetStyle(conv.FindOrCreateStyle(conv.TextValue())); break;
        case 11: AlignPoint.X = float(conv.ValueAsFloat()); break;
        case 21: AlignPoint.Y = float(conv.ValueAsFloat()); break;
        case 31: AlignPoint.Z = float(conv.ValueAsFloat()); break;
        case 40: Height = float(conv.ValueAsFloat()); break;
        case 41: WidthFactor = float(conv.ValueAsFloat()); break;
        case 50: Rotation = float(conv.ValueAsFloat()); break;
        case 51:
            ObliqueAngle = float(conv.ValueAsFloat());
            if (std::fabs(ObliqueAngle) >= 10) Font.Include(fmItalic);
            else Font.Exclude(fmItalic);
            break;
        case 62:
            if (Font.Color >= 0) Font.Color = conv.ValueAsColor();
            break;
        case 71: {
            int32_t f = conv.ValueAsInt();
            Backward = (f & 2) != 0;
            UpsideDown = (f & 4) != 0;
            break;
        }
        case 72: HAlign = uint8_t(conv.ValueAsInt()); break;
        case 73: VAlign = uint8_t(conv.ValueAsInt()); break;
        case 210: Extrusion.X = float(conv.ValueAsFloat()); break;
        case 220: Extrusion.Y = float(conv.ValueAsFloat()); break;
        case 230: Extrusion.Z = float(conv.ValueAsFloat()); break;
        default: break;
    }
}

TPoint3F TkrDXFText::GetTextOffsets(double& a, double& b, float& height, float& widthFactor, double& dx,
                                    double& dy) const {
    TPoint3F ref = (HAlign != 0 || VAlign != 0) ? AlignPoint : Point;
    dx = (HAlign == 1 || HAlign == 4) ? -b / 2 : HAlign == 2 ? -b : 0;
    if ((HAlign == 3 || HAlign == 5) && b > 0) {
        ref = Point;
        double e = std::hypot(double(AlignPoint.X) - Point.X, double(AlignPoint.Y) - Point.Y) / b;
        widthFactor = float(widthFactor * e);
        if (HAlign == 3) {
            height = float(height * e);
            a *= e;
        }
        // The string now spans from the insertion point to the alignment
        // point, and so does its box (a box of the natural width would leave
        // the stretched part out of the extents).
        b *= e;
    }
    dy = VAlign == 0 ? 0.8 * a : VAlign == 1 ? a : VAlign == 2 ? a / 2 : 0;
    if (HAlign == 4) dy = a / 2;
    return ref;
}

int TkrDXFText::MeasureCharWidth(float widthFactor) const {
    if (TrueType) return 0;
    double w = std::nearbyint(double(widthFactor) * 64);
    return std::isfinite(w) ? int(std::clamp(w, -16777216.0, 16777216.0)) : 0;
}

TTextPlacement TkrDXFText::Place(const TTextMeasure& measure, std::string_view s, float height,
                                 float widthFactor) const {
    std::string_view face = Font.Name();
    // Characters the code page lacks measure as the "?" they read as.
    double cx = HasDrawnTextMark(s) ? measure.TextWidth(DrawnTextPlain(s), face, kMeasureHeight, MeasureCharWidth(widthFactor))
                                    : measure.TextWidth(s, face, kMeasureHeight, MeasureCharWidth(widthFactor));
    double cy = measure.CellHeight(face, kMeasureHeight);
    return PlaceMeasured(cx, cy, height, widthFactor);
}

TTextPlacement TkrDXFText::PlaceMeasured(double cx, double cy, float height, float widthFactor) const {
    // For a text of height h: cell height a = cy x h / 100, width b = cx x h / 100.
    double a = cy * height / 100, b = cx * height / 100;
    TTextPlacement p;
    p.Height = height;
    p.WidthFactor = widthFactor;
    double dx = 0, dy = 0;
    TPoint3F ref = GetTextOffsets(a, b, p.Height, p.WidthFactor, dx, dy);
    p.Box = {float(dx), float(dy), 0, float(dx + b), float(dy - a), 0};
    p.Width = float(b);
    RotateBox(p.Box, Rotation);
    OffsetBox(p.Box, ref.X, ref.Y, ref.Z);
    TPoint3F off = RotatePoint2D(Point3F(dx, dy, 0), Rotation);
    p.Start = Point3F(double(ref.X) + off.X, double(ref.Y) + off.Y, double(ref.Z) + off.Z);
    // The rules are computed in double; a result that is not a sound box
    // (a height of 1e30) leaves the text out of the extents and the drawing.
    if (!SoundBox(p.Box)) p.Box = UnsoundBox;
    return p;
}

void TkrDXFText::CountHighChars(TkrDXFConverter& conv, std::string_view s) {
    for (char ch : s) {
        unsigned char c = (unsigned char)ch;
        if (c >= 128 && c <= 175) ++conv.HighChars1;
        else if ((c >= 192 && c <= 223) || c >= 240) ++conv.HighChars2;
    }
}

void TkrDXFText::ApplyPlacement(const TTextPlacement& p) {
    Box = p.Box;
    StartPoint = p.Start;
    Height = p.Height;
    WidthFactor = p.WidthFactor;
    Width = p.Width;
}

void TkrDXFText::Finish(TkrDXFConverter& conv, bool mayConvert) {
    if (!Style) SetStyle(conv.FindOrCreateStyle("STANDARD"));
    // Values that are not finite place nothing sensible: a rotation that is
    // not finite reads as 0; a height or width factor that is not finite
    // leaves the text without a box (and undrawn). A negative height is drawn
    // at its magnitude, so it is measured so too.
    if (!std::isfinite(Rotation)) Rotation = 0;
    Height = std::fabs(Height);
    Extrusion = SanitizeExtrusion(Extrusion);
    if (Backward && UpsideDown) Rotation = Rotation > 180 ? Rotation - 180 : Rotation + 180;
    // The drawn string: an attribute definition's tag (a constant one's value).
    std::string& s = Class == TEntityClass::Attdef ? static_cast<TkrDXFAttdef*>(this)->ShownString() : Text;
    CountHighChars(conv, s);
    if (mayConvert && (!IsDefaultExtrusion(Extrusion) || s.find("\\U+2205") != std::string::npos ||
                       s.find("\\L") != std::string::npos)) {
        // Alignments, width factor and oblique angle do not apply to the converted text.
        auto m = std::make_unique<TkrDXFMText>();
        if (conv.OnCreateEntity) conv.OnCreateEntity(*m);
        m->Point = Point;
        m->Extrusion = Extrusion;
        m->Rotation = Rotation;
        m->RotationCos = std::cos(DegToRad(Rotation));
        m->RotationSin = std::sin(DegToRad(Rotation));
        m->Color = Font.Color;
        m->Height = Height;
        m->Attachment = 10;
        m->Text = s;
        m->Layer = Layer;
        m->PaperSpace = PaperSpace;
        m->Visible = Visible;
        m->Loaded(conv);
        Box = m->GetBox();
        Converted = std::move(m);
        return;
    }
    // A string shown as it stands (mayConvert false) keeps its "\U+" too.
    if (mayConvert) DecodeUnicodeEscapes(s);
    if (!IsGivenPoint(AlignPoint)) HAlign = VAlign = 0;
    ApplyPlacement(Place(*conv.Measure, s, Height, WidthFactor));
    if (!Layer) Layer = conv.FindOrCreateLayer("0");
}

void TkrDXFText::Loaded(TkrDXFConverter& conv) { Finish(conv, true); }

TBox3F TkrDXFText::GetBox() const {
    std::string_view s = Class == TEntityClass::Attdef
                             ? std::string_view(static_cast<const TkrDXFAttdef*>(this)->ShownString())
                             : std::string_view(Text);
    if (Converted) return TrimBlanks(s).empty() ? EmptyBox : Box;
    if (WidthFactor == 0 || !std::isfinite(WidthFactor) || TrimBlanks(s).empty()) return EmptyBox;
    return Box;
}

void TkrDXFText::Iterate(TkrDXFConverter& conv, TVisitProc visit, void* receiver) {
    // An attribute definition always goes to its drawing procedure, which
    // draws it as its insert's attribute or as its tag.
    if (Converted && Class != TEntityClass::Attdef) {
        Converted->PaperSpace = PaperSpace;  // the text's, as its container sets it for the walk
        Converted->Iterate(conv, visit, receiver);
        return;
    }
    TkrDXFCustomVertex::Iterate(conv, visit, receiver);
}

// ---- attribute definitions and attributes ----

void TkrDXFAttdef::ReadProperty(TkrDXFConverter& conv) {
    switch (conv.Code) {
        case 2: Tag = std::string(conv.DrawnTextValue()); break;
        case 70: Flags = conv.ValueAsInt(); break;
        case 73: break;
        case 74: VAlign = uint8_t(conv.ValueAsInt()); break;
        default: TkrDXFText::ReadProperty(conv); break;
    }
}

void TkrDXFAttrib::Loaded(TkrDXFConverter& conv) {
    TkrDXFText::Loaded(conv);
    if (Flags & 1) {
        // Invisible: nothing of the attribute is drawn.
        Text.clear();
        Converted.reset();
    }
}
