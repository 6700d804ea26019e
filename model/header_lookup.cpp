#include "model/header_lookup.h"

#include <cstring>

#include "model/binary_dxf.h"
#include "model/parsing.h"

namespace {
constexpr size_t LongestName() {
    size_t n = 0;
    for (const THeaderVariable& v : kHeaderVariables) n = v.Name.size() > n ? v.Name.size() : n;
    return n;
}
constexpr size_t kLongestName = LongestName();

constexpr bool NamesStartWithDollar() {
    for (const THeaderVariable& v : kHeaderVariables)
        if (v.Name.empty() || v.Name[0] != '$') return false;
    return true;
}
static_assert(NamesStartWithDollar(), "the search looks for the '$' that starts every name");

// The offset of the first CR or LF in s, or s.size().
size_t LineEnd(std::string_view s) {
    size_t e = 0;
    while (e < s.size() && ((unsigned char)s[e] > '\r' || (s[e] != '\n' && s[e] != '\r'))) ++e;
    return e;
}
}  // namespace

void THeaderLookups::Start(bool binary, bool wideCodes) {
    for (TItem& item : FItems) item = TItem{};
    FOpen = kHeaderVariableCount;
    FFed = 0;
    FBinary = binary;
    FWide = wideCodes;
    FTail.clear();
}

size_t THeaderLookups::IndexOf(std::string_view name, int code) {
    for (size_t i = 0; i < kHeaderVariableCount; ++i)
        if (kHeaderVariables[i].Name == name && kHeaderVariables[i].Code == code) return i;
    return kHeaderVariableCount;
}

void THeaderLookups::End(TItem& item, std::string result) {
    item.State = TState::Done;
    item.Result = std::move(result);
    std::string().swap(item.Line);
    --FOpen;
}

void THeaderLookups::Feed(std::string_view bytes, size_t at) {
    if (at + bytes.size() <= FFed) return;
    if (at < FFed) {
        bytes.remove_prefix(FFed - at);
        at = FFed;
    }
    if (FOpen > 0) {
        for (size_t i = 0; i < kHeaderVariableCount; ++i)
            if (FItems[i].State != TState::Searching) Walk(FItems[i], i, bytes, at);
        Search(bytes, at);
    }
    FFed = at + bytes.size();
}

void THeaderLookups::Search(std::string_view bytes, size_t at) {
    bool searching = false;
    for (const TItem& item : FItems) searching |= item.State == TState::Searching;
    if (searching) {
        // Every '$' is a possible start, in the order of the text; the names
        // still sought are compared there. A name whose end is not taken yet
        // is compared again with the next bytes, from the tail.
        auto tryAt = [&](std::string_view view, size_t viewAt, size_t p) {
            if (FBinary && viewAt + p < kBinaryDxfSentinel.size()) return;
            for (size_t i = 0; i < kHeaderVariableCount; ++i) {
                TItem& item = FItems[i];
                std::string_view name = kHeaderVariables[i].Name;
                if (item.State != TState::Searching || view.size() - p < name.size() ||
                    view.compare(p, name.size(), name) != 0)
                    continue;
                item.State = FBinary ? TState::SkipToNul : TState::SkipLine;
                item.Pos = viewAt + p;
                Walk(item, i, view, viewAt);
                Walk(item, i, bytes, at);
            }
        };
        if (!FTail.empty()) {
            std::string border = FTail;
            border.append(bytes.substr(0, kLongestName - 1));
            const size_t borderAt = at - FTail.size();
            for (size_t p = 0; p < FTail.size(); ++p)
                if (border[p] == '$') tryAt(border, borderAt, p);
        }
        const char* base = bytes.data();
        for (const char* p = base; p < base + bytes.size();) {
            const void* d = std::memchr(p, '$', size_t(base + bytes.size() - p));
            if (!d) break;
            p = static_cast<const char*>(d);
            tryAt(bytes, at, size_t(p - base));
            ++p;
        }
    }
    // The tail: the last bytes taken, as long as a name may be.
    const size_t keep = kLongestName - 1;
    if (bytes.size() >= keep) {
        FTail.assign(bytes.substr(bytes.size() - keep));
    } else {
        FTail.append(bytes);
        if (FTail.size() > keep) FTail.erase(0, FTail.size() - keep);
    }
}

void THeaderLookups::Walk(TItem& item, size_t index, std::string_view bytes, size_t at) {
    if (item.State == TState::Done || item.State == TState::Searching) return;
    if (at + bytes.size() <= item.Pos) return;
    if (at < item.Pos) bytes.remove_prefix(item.Pos - at);
    item.Pos += bytes.size();
    if (!FBinary) {
        WalkText(item, index, bytes);
        return;
    }
    if (item.State == TState::SkipToNul) {
        const void* nul = std::memchr(bytes.data(), 0, bytes.size());
        if (!nul) return;
        bytes.remove_prefix(size_t(static_cast<const char*>(nul) - bytes.data()) + 1);
        item.State = TState::Groups;
    }
    item.Line.append(bytes);
    WalkBinary(item, index, false);
}

void THeaderLookups::WalkText(TItem& item, size_t index, std::string_view bytes) {
    while (!bytes.empty() && item.State != TState::Done) {
        if (item.AfterCR) {
            item.AfterCR = false;
            if (bytes[0] == '\n') {
                bytes.remove_prefix(1);
                continue;
            }
        }
        size_t e = LineEnd(bytes);
        if (item.State == TState::CodeLine || (item.State == TState::ValueLine && item.Keep))
            item.Line.append(bytes.substr(0, e));
        if (e == bytes.size()) return;  // the line goes on in the next bytes
        item.AfterCR = bytes[e] == '\r';
        bytes.remove_prefix(e + 1);
        switch (item.State) {
            case TState::SkipLine: item.State = TState::CodeLine; break;
            case TState::CodeLine: {
                int32_t c = 0;
                if (!ParseInt32(TrimBlanks(item.Line), c)) c = 0;
                item.Line.clear();
                if (c == 0 || c == 9) {
                    End(item);
                } else {
                    item.Keep = c == kHeaderVariables[index].Code;
                    item.State = TState::ValueLine;
                }
                break;
            }
            case TState::ValueLine:
                if (item.Keep) End(item, std::move(item.Line));
                else item.State = TState::CodeLine;
                break;
            default: break;
        }
    }
}

void THeaderLookups::WalkBinary(TItem& item, size_t index, bool atEnd) {
    size_t off = 0;
    while (item.State == TState::Groups && off < item.Line.size()) {
        const size_t rest = item.Line.size() - off;
        // A group that did not fit is tried again once the bytes have doubled
        // (or the text ends), so that a long string costs linear time.
        if (!atEnd && item.Tried && rest < 2 * item.Tried) break;
        TBinaryGroup g;
        TBinaryDamage damage;
        if (!ReadBinaryGroup(std::string_view(item.Line).substr(off), 0, FWide, g, damage)) {
            if (atEnd) End(item);
            else item.Tried = rest;
            break;
        }
        item.Tried = 0;
        if (g.Code == 0 || g.Code == 9) {
            End(item);
        } else if (g.Code == kHeaderVariables[index].Code) {
            std::string out;
            BinaryValueText(g, out);
            End(item, std::move(out));
        } else {
            off += g.End;
        }
    }
    if (item.State == TState::Groups) item.Line.erase(0, off);
}

void THeaderLookups::Finish() {
    for (size_t i = 0; i < kHeaderVariableCount; ++i) {
        TItem& item = FItems[i];
        if (item.State == TState::Done) continue;
        if (item.State == TState::Groups) {
            WalkBinary(item, i, true);
            if (item.State != TState::Done) End(item);
        } else if (item.State == TState::ValueLine && item.Keep) {
            End(item, std::move(item.Line));
        } else {
            End(item);
        }
    }
}
