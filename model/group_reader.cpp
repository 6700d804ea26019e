// The group reader: the window over the file, the group loop of the text
// and binary forms, the values of groups, the names of the entities' 0
// groups and the header variables.
#include "model/group_reader.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <istream>
#include <memory>

#include "model/binary_dxf.h"
#include "model/colors.h"
#include "model/errors.h"
#include "model/parsing.h"
#include "platform/codepage.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// ---- the source ----

void TDxfGroupReader::AttachText() {
    // The whole text is the window; it is released when the load ends.
    FSource = nullptr;
    FWindow = Text;
    TextEnd = Text.size();
}

void TDxfGroupReader::AttachView(std::string_view text) {
    Text.clear();
    FSource = nullptr;
    FWindow = text;
    TextEnd = text.size();
}

void TDxfGroupReader::AttachStream(std::istream& in, uint64_t size) {
    Text.clear();
    FSource = &in;
    FSourceStart = std::streamoff(in.tellg());
    FBufferSize = 0;
    FWindow = {};
    TextEnd = size_t(size);
}

void TDxfGroupReader::StartWindow() {
    FWindowStart = 0;
    WindowPeak = FWindow.size();
    Position = GroupStart = 0;
    Value = {};
    FPlainZero = false;
    FHeader.Start(false, true);
    // The form of the file shows in its first 24 bytes.
    while (FWindow.size() < std::min<size_t>(TextEnd, kBinaryDxfSentinel.size() + 2) && Refill()) {
    }
    BinarySource = IsBinaryDxf(FWindow);
    BinaryWideCodes = BinaryDxfHasWideCodes(FWindow);
    FHeader.Start(BinarySource, BinaryWideCodes);
    FHeader.Feed(FWindow, 0);
    if (!FSource) FHeader.Finish();
    FNumberKind = TNumberKind::None;
    // A UTF-8 byte-order mark before the first group (a drawing saved by a
    // text editor) is passed over; it says the texts are UTF-8.
    Utf8Bom = !BinarySource && FWindow.substr(0, 3) == "\xEF\xBB\xBF";
    Utf8Text = Utf8Bom;
    Position = GroupStart = BinarySource ? kBinaryDxfSentinel.size() : Utf8Bom ? 3 : 0;
    LineNumber = 0;
    Code = 0;
}

void TDxfGroupReader::ClearReader() {
    Utf8Text = Utf8Bom = false;
    FHeaderNumbers.clear();
    FNames.clear();
    FNameIds.clear();
    FNameRuns.clear();
    std::fill(std::begin(FRecentNames), std::end(FRecentNames), kNoName);
}

void TDxfGroupReader::ReleaseWindow() {
    FWindow = {};
    FWindowStart = 0;
    FSource = nullptr;
    FBuffer.reset();
    FBufferSize = FBufferCapacity = 0;
    std::string().swap(Text);
}

namespace {
[[noreturn]] void ThrowChanged(size_t got, size_t size) {
    throw EReadError("cannot read the drawing: the file changed while it was read: it ends after " + std::to_string(got) + " of its " +
                   std::to_string(size) + " bytes");
}
}  // namespace

bool TDxfGroupReader::Refill() {
    if (!FSource) return false;
    const size_t end = FWindowStart + FBufferSize;
    if (end >= TextEnd) return false;
    // Everything before the current group is done with; the current group
    // (its code line, blank lines before it, and the value read so far)
    // stays, so that its start can still be looked at.
    const size_t keep = std::max(FWindowStart, std::min(GroupStart, Position));
    if (keep > FWindowStart) {
        FBufferSize -= keep - FWindowStart;
        std::memmove(FBuffer.get(), FBuffer.get() + (keep - FWindowStart), FBufferSize);
        FWindowStart = keep;
    }
    // A line longer than the window makes it grow: it doubles, so that the
    // line costs linear time.
    const size_t want = std::min(std::max(ReadWindow, FBufferSize), TextEnd - end);
    const size_t old = FBufferSize;
    if (old + want > FBufferCapacity) {
        const size_t cap = std::max(old + want, std::min(2 * FBufferCapacity, TextEnd - FWindowStart));
        auto grown = std::make_unique_for_overwrite<char[]>(cap);
        if (old) std::memcpy(grown.get(), FBuffer.get(), old);
        FBuffer = std::move(grown);
        FBufferCapacity = cap;
    }
    FSource->read(FBuffer.get() + old, std::streamsize(want));
    const size_t got = FSource->gcount() > 0 ? size_t(FSource->gcount()) : 0;
    FBufferSize = old + got;
    FWindow = std::string_view(FBuffer.get(), FBufferSize);
    if (got < want) {
        Value = {};  // it may have pointed into the bytes moved above
        ThrowChanged(end + got, TextEnd);
    }
    WindowPeak = std::max(WindowPeak, FBufferSize);
    FHeader.Feed(FWindow.substr(old), end);
    return true;
}

void TDxfGroupReader::FinishHeader(size_t lookup) const {
    auto done = [&] { return lookup < kHeaderVariableCount ? FHeader.Done(lookup) : FHeader.Done(); };
    if (done() || !FSource) return;
    // The bytes after the window are read for the lookups alone; the stream
    // is put back where the window ends, and the lookups skip these bytes
    // when the window takes them.
    std::istream& in = *FSource;
    const std::streampos back = in.tellg();
    std::string chunk;
    while (!done() && FHeader.FedTo() < TextEnd) {
        const size_t at = FHeader.FedTo();
        const size_t n = std::min<size_t>(std::max<size_t>(ReadWindow, 65536), TextEnd - at);
        chunk.resize(n);
        in.clear();
        in.seekg(FSourceStart + std::streamoff(at));
        in.read(chunk.data(), std::streamsize(n));
        if (size_t(std::max<std::streamsize>(in.gcount(), 0)) < n)
            ThrowChanged(at + size_t(std::max<std::streamsize>(in.gcount(), 0)), TextEnd);
        FHeader.Feed(chunk, at);
    }
    if (FHeader.FedTo() >= TextEnd) FHeader.Finish();
    in.clear();
    in.seekg(back);
}

// ---- reading ----

namespace {
// The first CR or LF in [p, end), or end. Sixteen bytes at a time where the
// machine compares them at once (lines of a drawing are mostly shorter).
inline const char* FindLineEnd(const char* p, const char* end) {
#if defined(__SSE2__)
    const __m128i lf = _mm_set1_epi8('\n'), cr = _mm_set1_epi8('\r');
    while (end - p >= 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const unsigned hits = unsigned(_mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, lf), _mm_cmpeq_epi8(v, cr))));
        if (hits != 0) return p + std::countr_zero(hits);
        p += 16;
    }
#endif
    // One comparison per character for the usual ones above CR.
    while (p < end && ((unsigned char)*p > '\r' || (*p != '\n' && *p != '\r'))) ++p;
    return p;
}
}  // namespace

// The line at Position when it ends inside the window (with a byte after
// its end, for a CR's LF): the usual case, inlined into the group loop.
inline bool TDxfGroupReader::ReadLineInWindow() {
    const char* base = FWindow.data();
    const char* p = base + (Position - FWindowStart);
    const char* end = base + FWindow.size();
    const char* e = FindLineEnd(p, end);
    if (end - e < 2 && FSource) return false;
    Value = std::string_view(p, size_t(e - p));
    if (e < end) {
        if (*e == '\r' && e + 1 < end && e[1] == '\n') e += 2;
        else e += 1;
    }
    Position = FWindowStart + size_t(e - base);
    return true;
}

void TDxfGroupReader::ReadLineAcrossWindow() {
    size_t scanned = 0;  // bytes of the line looked at before the window grew
    for (;;) {
        const char* base = FWindow.data();
        const char* p = base + (Position - FWindowStart);
        const char* end = base + FWindow.size();
        const char* e = p + scanned;
        while (e < end && ((unsigned char)*e > '\r' || (*e != '\n' && *e != '\r'))) ++e;
        // A line that runs to the end of the window, or a CR there (a LF may
        // follow), needs the next bytes of the file.
        if ((e == end || (*e == '\r' && e + 1 == end)) && Refill()) {
            scanned = size_t(e - p);
            continue;
        }
        Value = std::string_view(p, size_t(e - p));
        if (e < end) {
            if (*e == '\r' && e + 1 < end && e[1] == '\n') e += 2;
            else e += 1;
        }
        Position = FWindowStart + size_t(e - base);
        return;
    }
}

void TDxfGroupReader::ReadGroup() {
    if (BinarySource) {
        ReadBinaryGroup();
        return;
    }
    GroupStart = Position;
    for (;;) {
        if (TextExhausted()) break;
        if (!ReadLineInWindow()) ReadLineAcrossWindow();
        ++LineNumber;
        if (!Value.empty()) break;
    }
    FPlainZero = false;
    if (!TextExhausted()) {
        // The usual code line first: blanks, then one to three digits.
        const char* q = Value.data();
        const char* end = q + Value.size();
        while (q < end && *q == ' ') ++q;
        const size_t n = size_t(end - q);
        const unsigned d0 = n >= 1 ? unsigned(q[0]) - '0' : 10, d1 = n > 1 ? unsigned(q[1]) - '0' : 0,
                       d2 = n > 2 ? unsigned(q[2]) - '0' : 0;
        if (n <= 3 && d0 <= 9 && d1 <= 9 && d2 <= 9) {
            Code = int32_t(n == 1 ? d0 : n == 2 ? d0 * 10 + d1 : d0 * 100 + d1 * 10 + d2);
            FPlainZero = n == 1 && d0 == 0;
        } else {
            int32_t c;
            if (!ParseInt32(Value, c))
                throw EConvertError("'" + Cp1252ToUtf8(Value) + "' ist kein gültiger Integerwert");
            Code = c;
            FPlainZero = c == 0 && TrimBlanks(Value) == "0";
        }
    }
    // (The code line's Value is not used past here: the next line may move the window.)
    if (Position >= TextEnd) Value = {};
    else if (!ReadLineInWindow()) ReadLineAcrossWindow();
    ++LineNumber;
    if (TextExhausted()) {
        Code = 0;
        Value = "SEQEND";
    }
}

void TDxfGroupReader::ReadBinaryGroup() {
    GroupStart = Position;
    FNumberKind = TNumberKind::None;
    FPlainZero = false;
    // Every group counts two lines, as in the text form.
    LineNumber += 2;
    if (Position >= TextEnd) {
        Code = 0;
        Value = "SEQEND";
        return;
    }
    TBinaryGroup g;
    TBinaryDamage damage;
    while (!::ReadBinaryGroup(FWindow, Position - FWindowStart, BinaryWideCodes, g, damage, FWindowStart))
        if (!Refill()) {
            Value = {};
            throw EConvertError("damaged binary DXF: " + damage.Message);
        }
    Position = FWindowStart + g.End;
    Code = g.Code;
    FPlainZero = g.Code == 0;
    if (g.Kind == TBinaryKind::String) {
        Value = g.Bytes;
    } else {
        BinaryValueText(g, FValueText);
        Value = FValueText;
        if (g.Kind == TBinaryKind::Integer) FNumberKind = TNumberKind::Integer, FInteger = g.Integer;
        if (g.Kind == TBinaryKind::Real) FNumberKind = TNumberKind::Real, FReal = g.Real;
    }
    // As in the text form, the group that ends the file reads as an end
    // marker, closing every level still open.
    if (Position >= TextEnd) {
        Code = 0;
        Value = "SEQEND";
        FNumberKind = TNumberKind::None;
    }
}

// ---- entity names ----

std::string_view TDxfGroupReader::GroupNameAt(size_t pos) const {
    if (pos >= TextEnd || pos < FWindowStart) return {};
    std::string_view t = FWindow;
    size_t p = pos - FWindowStart;
    if (p >= t.size()) return {};
    if (BinarySource) {
        TBinaryGroup g;
        TBinaryDamage damage;
        if (pos < kBinaryDxfSentinel.size() || !::ReadBinaryGroup(t, p, BinaryWideCodes, g, damage) || g.Code != 0)
            return {};
        return g.Bytes;
    }
    auto lineAt = [&](size_t& at) {
        size_t e = at;
        while (e < t.size() && t[e] != '\r' && t[e] != '\n') ++e;
        std::string_view line = t.substr(at, e - at);
        if (e < t.size() && t[e] == '\r' && e + 1 < t.size() && t[e + 1] == '\n') ++e;
        at = e < t.size() ? e + 1 : e;
        return line;
    };
    std::string_view line = lineAt(p);
    while (TrimBlanks(line).empty() && p < t.size()) line = lineAt(p);  // blank lines before the code
    if (TrimBlanks(line) != "0") return {};
    return TrimBlanks(lineAt(p));
}

uint16_t TDxfGroupReader::RecordEntityName() {
    // The current group is in the window: its name (as written, trimmed) is
    // kept in the table of names, and the position starts a run of entities
    // of that name. Positions only grow while a file is read.
    // The usual 0 group: its code line reads "0" and its value line is the
    // current value; only other groups are looked at in the window again.
    std::string_view name = FPlainZero && Position < TextEnd
                                ? (BinarySource ? Value : TrimBlanks(Value))
                                : GroupNameAt(GroupStart);
    uint32_t id = kNoName;
    if (!name.empty()) {
        // Drawings mix a few kinds of entity: the names met last are
        // compared before the table is asked.
        for (uint32_t recent : FRecentNames)
            if (recent != kNoName && FNames[recent] == name) {
                id = recent;
                break;
            }
        if (id == kNoName) {
            auto it = FNameIds.find(std::string(name));
            if (it == FNameIds.end()) {
                it = FNameIds.emplace(std::string(name), uint32_t(FNames.size())).first;
                FNames.emplace_back(name);
            }
            id = it->second;
            std::copy_backward(std::begin(FRecentNames), std::end(FRecentNames) - 1, std::end(FRecentNames));
            FRecentNames[0] = id;
        }
    }
    if (id == kNoName) return kNoNameId;
    if (id < kNameIdsKept) return uint16_t(id);
    if (FNameRuns.empty() || FNameRuns.back().second != id) FNameRuns.emplace_back(uint32_t(GroupStart), id);
    return kNameAtPosition;
}

std::string_view TDxfGroupReader::EntityName(uint16_t nameId, size_t pos) const {
    if (nameId == kNoNameId) return {};
    if (nameId != kNameAtPosition) return nameId < FNames.size() ? std::string_view(FNames[nameId]) : std::string_view();
    auto it = std::upper_bound(FNameRuns.begin(), FNameRuns.end(), pos,
                               [](size_t p, const std::pair<uint32_t, uint32_t>& r) { return p < r.first; });
    if (it == FNameRuns.begin()) return {};
    uint32_t id = std::prev(it)->second;
    return id == kNoName ? std::string_view() : std::string_view(FNames[id]);
}

// ---- header variables ----

std::string TDxfGroupReader::HeaderValue(std::string_view variable, int code) const {
    const size_t i = THeaderLookups::IndexOf(variable, code);
    if (i == kHeaderVariableCount) return {};
    // Asked while the file is read (a dimension's arrow size): the rest of
    // the file is searched now if need be.
    if (Loading && !FHeader.Done(i)) FinishHeader(i);
    return FHeader.Done(i) ? FHeader.Result(i) : std::string();
}

double TDxfGroupReader::HeaderNumber(std::string_view variable, int code, double def) {
    std::string key = std::string(variable) + '/' + std::to_string(code);
    auto it = FHeaderNumbers.find(key);
    if (it == FHeaderNumbers.end()) {
        std::string v = HeaderValue(variable, code);
        double x = v.empty() ? NAN : TextToFloatDef(v, NAN);
        it = FHeaderNumbers.emplace(std::move(key), std::isfinite(x) ? x : NAN).first;
    }
    return std::isnan(it->second) ? def : it->second;
}

// ---- values ----

double TDxfGroupReader::ValueAsFloat() const {
    if (FNumberKind == TNumberKind::Real) return FReal;
    if (FNumberKind == TNumberKind::Integer) return double(FInteger);
    double v;
    if (!ParseDouble(Value, v)) throw EConvertError("'" + Cp1252ToUtf8(Value) + "' ist kein gültiger Gleitkommawert");
    return v;
}

int32_t TDxfGroupReader::ValueAsInt() const {
    // A binary integer beyond 32 bits is refused as its text would be.
    if (FNumberKind == TNumberKind::Integer && FInteger == int64_t(int32_t(FInteger))) return int32_t(FInteger);
    int32_t v;
    if (!ParseInt32(TrimBlanks(Value), v))
        throw EConvertError("'" + Cp1252ToUtf8(Value) + "' ist kein gültiger Integerwert");
    return v;
}

TColorValue TDxfGroupReader::ValueAsColor() const { return ColorFromIndex(ValueAsInt()); }

std::string_view TDxfGroupReader::TextValue() const {
    if (!Utf8Text || IsAscii(Value)) return Value;
    FDecoded = Utf8ToCp1252(Value);
    return FDecoded;
}

std::string_view TDxfGroupReader::DrawnTextValue() const {
    if (Utf8Text && !IsAscii(Value)) FDecoded = Utf8ToDrawnText(Value);
    else if (HasDrawnTextMark(Value)) FDecoded = Cp1252ToDrawnText(Value);
    else return Value;
    return FDecoded;
}

