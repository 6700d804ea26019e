// The multi-line text: reading, and the layout of its string into
// single-line runs. The layout reads the string once from left to right:
// control codes are replaced once, formatting codes are read where they
// stand (a code's argument up to the next ";" is found from one remembered
// position), and a run too wide for the reference width is split with the
// widths of its characters added up once, so that a text of any length is
// laid out in time linear in its length. The runs are handed on one at a
// time and not kept: finishing takes their box, drawing draws them.
#include <algorithm>
#include <cmath>
#include <optional>
#include <unordered_map>

#include "model/colors.h"
#include "model/converter.h"
#include "model/entities/text.h"
#include "model/parsing.h"
#include "platform/codepage.h"

TkrDXFMText::TkrDXFMText() : TkrDXFInsert(TEntityClass::MText) {}
TkrDXFMText::~TkrDXFMText() = default;

void TkrDXFMText::ReadProperty(TkrDXFConverter& conv) {
    switch (conv.Code) {
        case 1: Text = PendingChunks + std::string(conv.DrawnTextValue()); break;
        case 3: PendingChunks += conv.DrawnTextValue(); break;
        case 2: case 42: case 43: case 72: case 73: break;
        case 11: Direction.X = float(conv.ValueAsFloat()); break;
        case 21: Direction.Y = float(conv.ValueAsFloat()); break;
        case 31: Direction.Z = float(conv.ValueAsFloat()); break;
        case 40: Height = float(conv.ValueAsFloat()); break;
        case 41: RefWidth = float(conv.ValueAsFloat()); break;
        case 44: LineSpacing = float(conv.ValueAsFloat()); break;
        case 71: Attachment = uint8_t(conv.ValueAsInt()); break;
        default: TkrDXFInsert::ReadProperty(conv); break;
    }
}

namespace {

// What formatting codes set for a run.
struct TRunState {
    float Height = 0;
    TColorValue Color = clFromLayer;
    std::string FontName;  // empty: the STANDARD style's
    bool Bold = false, Italic = false, Underline = false, TrueType = false;
};

int HexPair(std::string_view s) {
    auto hex = [](char c) {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    if (s.size() < 2) return 32;
    int h = hex(s[0]), l = hex(s[1]);
    return h < 0 || l < 0 ? 32 : h * 16 + l;
}

char DrawableByte(char32_t u) { return u < 0x20 ? '?' : UnicodeToCp1252(u); }

using TTakeRun = std::function<void(std::unique_ptr<TkrDXFText>)>;

class TLayout {
public:
    TLayout(const TkrDXFMText& mt, const TTextMeasure& measure, TkrDXFStyle* standard, std::string s, TTakeRun take)
        : Mt(mt), Measure(measure), S(std::move(s)), Standard(standard), Take(std::move(take)) {
        Defaults.Height = mt.Height;
        Defaults.Color = mt.Color;
    }

    void Run();

    // After Run: the string laid out, the bytes of the runs' texts, the runs
    // handed on; whether braces were nested deeper than kMaxTextBraceDepth,
    // and whether the text was cut after kMaxTextRuns runs.
    size_t Length() const { return S.size(); }
    size_t RunBytes = 0;
    size_t Runs = 0;
    bool DeepBracesMet = false;
    bool Cut = false;

private:
    const TkrDXFMText& Mt;
    const TTextMeasure& Measure;
    const std::string S;
    TkrDXFStyle* Standard;
    const TTakeRun Take;
    TRunState Defaults;
    size_t I = 0;
    size_t NextSemi = 0;  // the first ";" at or after I, once looked up
    bool SemiKnown = false;
    float X = 0, Y = 0;
    // The saved states of the open braces (up to kMaxTextBraceDepth) and the
    // braces opened beyond them.
    std::vector<TRunState> Stack;
    size_t DeepBraces = 0;
    std::optional<TRunState> Restored;  // the state a "}" returned to, for the next run
    // The previous run: its state and insertion x (runs without text are not
    // kept, but count as previous runs).
    bool HavePrev = false;
    TRunState Prev;
    float PrevX = 0;

    std::string_view Argument();
    void Push(const TRunState& st);
    bool Pop(TRunState& st);
    std::unique_ptr<TkrDXFText> NewRun(const TRunState& st, uint8_t valign, float x, float y) const;
    void Keep(std::unique_ptr<TkrDXFText> run, std::string text, const TTextPlacement& p);
    void Emit(const std::string& text, const TRunState& st, uint8_t valign);
    void Stack2(std::string_view arg, const TRunState& st, uint8_t valign);
};

std::string_view TLayout::Argument() {
    // Reading up to the semicolon: the characters before the first ";" are
    // taken and removed with it; without a ";" nothing is taken.
    if (!SemiKnown || NextSemi < I) {
        NextSemi = S.find(';', I);
        SemiKnown = true;
    }
    if (NextSemi == std::string::npos) return {};
    std::string_view a = std::string_view(S).substr(I, NextSemi - I);
    I = NextSemi + 1;
    return a;
}

void TLayout::Push(const TRunState& st) {
    if (Stack.size() < size_t(kMaxTextBraceDepth)) {
        Stack.push_back(st);
        return;
    }
    ++DeepBraces;
    DeepBracesMet = true;
}

bool TLayout::Pop(TRunState& st) {
    if (DeepBraces > 0) {
        --DeepBraces;
        return false;
    }
    if (Stack.empty()) return false;  // a "}" without its "{"
    st = std::move(Stack.back());
    Stack.pop_back();
    return true;
}

std::unique_ptr<TkrDXFText> TLayout::NewRun(const TRunState& st, uint8_t valign, float x, float y) const {
    auto r = std::make_unique<TkrDXFText>();
    r->Layer = Mt.Layer;
    r->Height = st.Height;
    r->VAlign = valign;
    r->Point = r->AlignPoint = {x, y, 0};
    r->Font.Color = st.Color;
    r->SetStyle(Standard);
    // The face a font code names is the face the run is measured with.
    if (!st.FontName.empty()) r->Font.SetName(st.FontName);
    if (st.Bold) r->Font.Include(fmBold);
    if (st.Italic) r->Font.Include(fmItalic);
    if (st.Underline) r->Font.Include(fmUnderline);
    r->TrueType = st.TrueType;
    r->PaperSpace = Mt.PaperSpace;
    return r;
}

void TLayout::Keep(std::unique_ptr<TkrDXFText> run, std::string text, const TTextPlacement& p) {
    // A text that would make more runs than the bound is cut: the rest of it
    // is left out.
    if (Runs >= kMaxTextRuns) {
        Cut = true;
        return;
    }
    run->ApplyPlacement(p);
    X = p.Box.Right;
    Y = p.Box.Top;
    if (IsEmptyBox(p.Box)) X = run->Point.X, Y = run->Point.Y;
    RunBytes += text.size();
    run->Text = std::move(text);
    ++Runs;
    Take(std::move(run));
}

// Places one run of text at the pen with word wrap: a run whose box passes
// the reference width is split after its first blank (when that blank is not
// its last character) or, when it does not start at the left edge, moved to
// a new line; a run at the left edge without an inner blank stays too wide.
// The pieces keep the run's formatting.
void TLayout::Emit(const std::string& text, const TRunState& st, uint8_t valign) {
    auto run = NewRun(st, valign, X, Y);
    const TTextMeasure& m = Measure;
    const std::string face(run->Font.Name());
    const int cw = run->MeasureCharWidth(1);
    const double cy = m.CellHeight(face, TkrDXFText::kMeasureHeight);
    // Characters the code page lacks measure as the "?" they read as.
    const bool marked = HasDrawnTextMark(text);
    auto width = [&](std::string_view piece) {
        return marked ? m.TextWidth(DrawnTextPlain(piece), face, TkrDXFText::kMeasureHeight, cw)
                      : m.TextWidth(piece, face, TkrDXFText::kMeasureHeight, cw);
    };
    double whole = width(text);
    TTextPlacement p = run->PlaceMeasured(whole, cy, st.Height, 1);
    const float ref = Mt.RefWidth;
    if (!(ref > 0) || !(p.Box.Right > ref) || text.empty()) {
        HavePrev = true, Prev = st, PrevX = run->Point.X;
        if (text.empty()) {
            X = run->Point.X, Y = run->Point.Y;
            return;
        }
        Keep(std::move(run), text, p);
        return;
    }
    // The rest of the run and its first word are measured once each: the
    // width of a piece is known from the widths of the others.
    int64_t restWidth = int64_t(whole), wordWidth = 0;
    size_t a = 0, end = text.size(), segEnd = end;
    size_t blank = std::string::npos, blankFrom = std::string::npos;  // the first blank at or after blankFrom
    while (!Cut) {
        run->Point = run->AlignPoint = {X, Y, 0};
        p = run->PlaceMeasured(double(segEnd == end ? restWidth : wordWidth), cy, st.Height, 1);
        if (p.Box.Right > ref) {
            if (blankFrom != a) {
                blank = text.find(' ', a);
                blankFrom = a;
                wordWidth = blank == std::string::npos
                                ? 0
                                : width(std::string_view(text).substr(a, blank + 1 - a));
            }
            bool inner = blank != std::string::npos && blank < segEnd && blank + 1 != segEnd;
            if (inner) {
                segEnd = blank + 1;  // the first word (with its blank) alone
                continue;
            }
            if (p.Box.Left > 0) {
                X = 0;  // a new line
                Y = float(double(Y) - 1.6 * st.Height);
                continue;
            }
        }
        HavePrev = true, Prev = st, PrevX = X;
        std::string piece = text.substr(a, segEnd - a);
        if (segEnd == end) {
            Keep(std::move(run), std::move(piece), p);
            return;
        }
        auto next = NewRun(st, valign, 0, 0);
        Keep(std::move(run), std::move(piece), p);
        run = std::move(next);
        restWidth -= wordWidth;
        a = segEnd;
        segEnd = end;
    }
}

// A stacked text ("\S" up to ";"): the part before the first "/", "#" or "^"
// raised by one height, the part after it on the line, both from the pen;
// the text goes on after the wider of the two, on the line where it was.
void TLayout::Stack2(std::string_view arg, const TRunState& st, uint8_t valign) {
    size_t cut = arg.find_first_of("/#^");
    std::string upper(cut == std::string_view::npos ? std::string_view() : arg.substr(0, cut));
    std::string lower(cut == std::string_view::npos ? arg : arg.substr(cut + 1));
    const float x0 = X, y0 = Y;
    float right = x0;
    if (!upper.empty()) {
        Y = float(double(y0) + st.Height);
        Emit(upper, st, valign);
        right = std::max(right, X);
        X = x0;
    }
    Y = y0;
    if (!lower.empty()) {
        Emit(lower, st, valign);
        right = std::max(right, X);
    }
    X = right;
    Y = y0;
}

void TLayout::Run() {
    const size_t n = S.size();
    while (I < n && !Cut) {
        // A run starts from the state a "}" returned to, else from the state
        // of the innermost open brace, else from the text's defaults.
        TRunState st = Restored ? *Restored : Stack.empty() ? Defaults : Stack.back();
        const bool restored = Restored.has_value();
        Restored.reset();
        // "\H" starts from the previous run's height (after a "}" from the
        // height the brace returned to).
        std::optional<float> heightBase;
        if (restored) heightBase = st.Height;
        else if (HavePrev) heightBase = Prev.Height;
        uint8_t valign = 3;
        std::string collected;  // characters codes stand for
        bool ended = false;     // the diameter sign ends the run
        while (I < n && !ended) {
            const char c = S[I];
            if (c == '{') {
                Push(st);
                ++I;
                continue;
            }
            if (c == '}') {
                if (!collected.empty()) break;
                TRunState back;
                if (Pop(back)) {
                    Y = float(double(Y) + back.Height - st.Height);
                    st = std::move(back);
                    heightBase = st.Height;
                }
                ++I;
                continue;
            }
            if (c != '\\') break;
            if (I + 1 >= n) {  // a backslash at the very end
                I = n;
                break;
            }
            const char code = S[I + 1];
            I += 2;
            switch (code) {
                case 'p': Argument(); continue;  // paragraph settings: not laid out
                case 'l': st.Underline = false; continue;
                default: break;
            }
            switch (code >= 'a' && code <= 'z' ? char(code - 32) : code) {
                case '$':
                    if (HavePrev) {
                        float h = Prev.Height;
                        TColorValue color = st.Color;
                        st = Prev;
                        st.Color = color;
                        st.Height = h;
                        X = PrevX;
                        Y = float(double(Y) - h);
                    }
                    break;
                case 'A': {
                    std::string_view a = Argument();
                    valign = a == "1" ? 4 : a == "2" ? 5 : 3;
                    break;
                }
                case 'C': {
                    int32_t v = 0;
                    if (!ParseInt32(TrimBlanks(Argument()), v)) v = 0;
                    st.Color = ColorFromIndex(v);
                    break;
                }
                case 'F': {
                    std::string_view a = Argument();
                    size_t bar = a.find('|');
                    std::string_view name = a.substr(0, bar);
                    if (LowerAscii(name).find(".shx") == std::string::npos) {
                        st.FontName = DrawnTextPlain(name);
                        st.TrueType = true;
                    }
                    while (bar != std::string_view::npos) {
                        size_t next = a.find('|', bar + 1);
                        std::string opt = UpperAscii(a.substr(bar + 1, next == std::string_view::npos ? next : next - bar - 1));
                        if (opt == "B1") st.Bold = true;
                        if (opt == "I1") st.Italic = true;
                        bar = next;
                    }
                    break;
                }
                case 'H': {
                    std::string_view a = TrimBlanks(Argument());
                    const double old = heightBase ? *heightBase : st.Height;
                    bool factor = !a.empty() && (a.back() == 'x' || a.back() == 'X');
                    if (factor) a.remove_suffix(1);
                    double v = 0;
                    if (a.find(',') == std::string_view::npos && ParseDouble(a, v)) {
                        double h = factor ? old * v : v;
                        if (std::isfinite(h) && std::fabs(h) < 3.0e38) {
                            double d = h - old;
                            if (valign == 3) Y = float(Y + d);
                            else if (valign == 4) Y = float(Y + d / 2);
                            st.Height = float(h);
                        }
                    }
                    break;
                }
                case 'L': st.Underline = true; break;
                case 'M': {
                    // "\M+n" and two hex pairs: a two-byte character, drawn as
                    // far as the code page has it.
                    std::string_view a = std::string_view(S).substr(I, std::min<size_t>(2, n - I));
                    I += a.size();
                    if (a.size() == 2 && a[0] == '+' && a[1] >= '1' && a[1] <= '5') {
                        std::string_view h = std::string_view(S).substr(I, std::min<size_t>(4, n - I));
                        I += h.size();
                        int hi = HexPair(h), lo = HexPair(h.size() > 2 ? h.substr(2) : std::string_view());
                        AppendDrawnByte(collected, DrawableByte(char32_t(hi * 256 + lo)));
                    }
                    break;
                }
                case 'P':
                    X = 0;
                    Y = float(double(Y) - 1.6 * st.Height);
                    break;
                case 'S':
                    if (!collected.empty()) {
                        Emit(collected, st, valign);
                        collected.clear();
                    }
                    Stack2(Argument(), st, valign);
                    break;
                case 'U': {
                    std::string_view a = std::string_view(S).substr(I, std::min<size_t>(5, n - I));
                    I += a.size();
                    if (a == "+2205") {
                        // The diameter sign, in the face the run is drawn with.
                        collected += '\xD8';
                        ended = true;
                    } else if (!a.empty() && a[0] == '+') {
                        int32_t v = a.size() == 5 ? HexPair(a.substr(1, 2)) * 256 + HexPair(a.substr(3, 2)) : -1;
                        bool hex = a.size() == 5 && a.substr(1).find_first_not_of("0123456789abcdefABCDEF") ==
                                                        std::string_view::npos;
                        if (hex && v >= 0x20) AppendDrawnChar(collected, char32_t(v));
                        else collected += '?';
                    }
                    break;
                }
                case 'Q': case 'T': case 'W': Argument(); break;  // slant, tracking, width: not laid out
                case '\\': case '{': case '}': collected += code; break;
                case '~': collected += ' '; break;  // a blank that does not break
                default: break;
            }
        }
        size_t j = I;
        if (!ended)
            while (j < n && S[j] != '\\' && S[j] != '{' && S[j] != '}') ++j;
        std::string text = std::move(collected);
        text.append(S, I, j - I);
        I = j;
        Emit(text, st, valign);
        // A brace right after the text: "{" keeps the state of this run for
        // the runs inside it, "}" returns to the state at its "{".
        if (I < n && S[I] == '{') {
            Push(st);
            ++I;
        } else if (I < n && S[I] == '}') {
            TRunState back;
            if (Pop(back)) {
                // The line returns with the height, as "\H" moved it.
                Y = float(double(Y) + back.Height - st.Height);
                Restored = std::move(back);
            }
            ++I;
        }
    }
}

}  // namespace

void TkrDXFMText::LayOut(const TTakeRun& take) const {
    TLayout layout(*this, *FMeasure, FStandard, ReplaceControlCodes(Text), take);
    layout.Run();
}

void TkrDXFMText::PrepareRun(TkrDXFText& r) const {
    r.Layer = FRunLayer;
    r.OnDraw = FRunDraw;
    // A line aligned at the reference width moves right as a whole:
    // insertion, alignment and start point, box.
    if (!FLineShifts.empty() && std::isfinite(r.Box.Top)) {
        auto it = std::lower_bound(FLineShifts.begin(), FLineShifts.end(), r.Box.Top,
                                   [](const std::pair<float, double>& l, float top) { return l.first < top; });
        if (it != FLineShifts.end() && !(r.Box.Top < it->first)) {
            const double shift = it->second;
            r.Point.X = float(r.Point.X + shift);
            r.AlignPoint.X = r.Point.X;
            r.StartPoint.X = float(r.StartPoint.X + shift);
            OffsetBox(r.Box, shift, 0, 0);
        }
    }
    // A run whose box is not sound was counted when the text was finished.
    r.BoxUnsound = !SoundBox(r.GetBox());
}

std::vector<std::unique_ptr<TkrDXFText>> TkrDXFMText::LaidOutRuns() const {
    std::vector<std::unique_ptr<TkrDXFText>> runs;
    if (FRunCount == 0) return runs;
    LayOut([&](std::unique_ptr<TkrDXFText> r) {
        PrepareRun(*r);
        runs.push_back(std::move(r));
    });
    return runs;
}

void TkrDXFMText::WalkBlock(TkrDXFConverter& conv, TVisitProc visit, void* receiver) {
    // As the entities of a block are walked: only in the space being drawn,
    // each run in the block's space.
    TkrDXFBlock& block = *RunsBlock;
    if (FRunCount == 0 || block.PaperSpace != conv.CurrentSpace) return;
    LayOut([&](std::unique_ptr<TkrDXFText> run) {
        PrepareRun(*run);
        run->PaperSpace = block.PaperSpace;
        run->Iterate(conv, visit, receiver);
    });
}

void TkrDXFMText::Loaded(TkrDXFConverter& conv) {
    if (IsGivenPoint(Direction)) {
        double r = RadToDeg(std::atan2(double(Direction.Y), double(Direction.X)));
        if (std::isfinite(r)) Rotation = float(r);
    }
    if (!std::isfinite(Rotation)) Rotation = 0;
    RotationCos = std::cos(DegToRad(Rotation));
    RotationSin = std::sin(DegToRad(Rotation));
    Height = std::fabs(Height);
    std::string().swap(PendingChunks);  // read; no longer needed
    RunsBlock = std::make_unique<TkrDXFBlock>();
    FMeasure = conv.Measure;
    FStandard = conv.FindOrCreateStyle("STANDARD");
    FRunLayer = nullptr;
    FRunDraw = dhNone;
    FRunCount = 0;
    FRuns = {};
    bool plain = true;
    float minHeight = INFINITY, maxHeight = 0;
    FLineShifts.clear();
    // The lines are aligned at the reference width for attachments 2, 3, 5,
    // 6, 8 and 9: runs whose boxes share the top edge form a line, which
    // ends at its last run's right edge. The box of a line (of the runs that
    // count for extents) moves with it.
    const int at = Attachment;
    const bool align = RefWidth > 0 && (at == 2 || at == 3 || at == 5 || at == 6 || at == 8 || at == 9);
    struct TLine {
        float End;
        TBox3F Box = EmptyBox;
    };
    std::unordered_map<float, TLine> lines;
    TBox3F box = EmptyBox;
    TLayout layout(*this, *FMeasure, FStandard, ReplaceControlCodes(Text), [&](std::unique_ptr<TkrDXFText> run) {
        TkrDXFText& r = *run;
        if (!FRunLayer) FRunLayer = r.Layer ? r.Layer : conv.FindOrCreateLayer("0");
        r.Layer = FRunLayer;
        TkrDXFText::CountHighChars(conv, r.Text);
        if (conv.OnCreateEntity) conv.OnCreateEntity(r);
        if (FRunCount++ == 0) FRunDraw = r.OnDraw;
        const TBox3F b = r.Visible ? ScreenedBox(r, conv.Bounds) : EmptyBox;
        const bool shows = !TrimBlanks(r.Text).empty() && r.WidthFactor != 0 && std::isfinite(r.WidthFactor);
        plain = plain && r.Class == TEntityClass::Text && !r.Converted && r.Visible && shows != IsEmptyBox(b);
        if (shows) {
            ++FRuns.Shown;
            FRuns.TextWork += DrawnTextLength(r.Text) / 16;
            minHeight = std::min(minHeight, std::fabs(r.Height));
            maxHeight = std::max(maxHeight, std::fabs(r.Height));
        }
        if (!align) {
            UnionBox(box, b);
        } else if (std::isfinite(r.Box.Top)) {
            TLine& l = lines.try_emplace(r.Box.Top, TLine{r.Box.Right}).first->second;
            l.End = r.Box.Right;
            UnionBox(l.Box, b);
        }
    });
    layout.Run();
    if (layout.DeepBracesMet) ++conv.Bounds.TextBraces;
    if (layout.Cut) ++conv.Bounds.TextRuns;
    FLayoutWork = (layout.Length() - std::min(layout.Length(), layout.RunBytes)) / 16;
    const bool centre = at == 2 || at == 5 || at == 8;
    for (auto& [top, l] : lines) {
        double shift = double(RefWidth) - l.End;
        if (shift >= 0) {
            if (centre) shift /= 2;
            FLineShifts.emplace_back(top, shift);
            OffsetBox(l.Box, shift, 0, 0);
        }
        UnionBox(box, l.Box);
    }
    std::sort(FLineShifts.begin(), FLineShifts.end());
    TkrDXFBlock& block = *RunsBlock;
    block.Box = box;
    // The runs' boxes as drawn (moved with their lines) lie inside box.
    FRuns.Plain = plain && FRunCount > 0 && FRunDraw != dhNone && !IsEmptyBox(box) && SoundBox(box);
    FRuns.MinHeight = minHeight;
    FRuns.MaxHeight = maxHeight;
    double w = 0, h = 0;
    if (!IsEmptyBox(box)) w = double(box.Right) - box.Left, h = double(box.Top) - box.Bottom;
    if (w < RefWidth) w = RefWidth;
    double bx = (at == 2 || at == 5 || at == 8) ? w / 2 : (at == 3 || at == 6 || at == 9) ? w : 0;
    double by = (at == 4 || at == 5 || at == 6) ? -h / 2 : (at == 7 || at == 8 || at == 9) ? -h
              : at == 10 ? -h / 2 - double(Height) / 2 : 0;
    block.BasePoint = Point3F(bx, by, 0);
    block.PendingAtRead = 0;
    block.Finished = true;
    Block = RunsBlock.get();
    TkrDXFInsert::Loaded(conv);
}
