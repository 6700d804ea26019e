#include "platform/stroke_font.h"

#include <algorithm>

#include "platform/files.h"

namespace {

[[noreturn]] void Damaged(const std::string& name, size_t line, const std::string& what) {
    throw EStrokeFontError("damaged stroke font '" + name + "': line " + std::to_string(line) + ": " + what);
}

// A right-aligned decimal field ("  699", " 12"): digits after blanks.
bool ReadField(std::string_view f, int& value) {
    size_t i = f.find_first_not_of(' ');
    if (i == std::string_view::npos) return false;
    value = 0;
    for (; i < f.size(); ++i) {
        if (f[i] < '0' || f[i] > '9') return false;
        value = value * 10 + (f[i] - '0');
    }
    return true;
}

// Splits text into lines (LF or CR LF).
std::vector<std::string_view> Lines(std::string_view text) {
    std::vector<std::string_view> out;
    while (!text.empty()) {
        size_t e = text.find('\n');
        std::string_view l = text.substr(0, e);
        if (!l.empty() && l.back() == '\r') l.remove_suffix(1);
        out.push_back(l);
        if (e == std::string_view::npos) break;
        text.remove_prefix(e + 1);
    }
    return out;
}

}  // namespace

TStrokeFont TStrokeFont::Parse(std::string_view text, const std::string& name) {
    if (text.size() > kMaxStrokeFontBytes)
        throw EStrokeFontError("damaged stroke font '" + name + "': larger than " +
                               std::to_string(kMaxStrokeFontBytes) + " bytes");
    TStrokeFont font;
    std::vector<std::string_view> lines = Lines(text);
    size_t at = 0;
    while (int(font.FGlyphs.size()) < kGlyphs) {
        while (at < lines.size() && lines[at].find_first_not_of(' ') == std::string_view::npos) ++at;
        if (at >= lines.size())
            Damaged(name, at + 1, "the file ends after " + std::to_string(font.FGlyphs.size()) + " of " +
                                      std::to_string(kGlyphs) + " glyphs");
        const size_t first = at + 1;
        std::string_view head = lines[at++];
        int number = 0, count = 0;
        if (head.size() < 8 || !ReadField(head.substr(0, 5), number) || !ReadField(head.substr(5, 3), count))
            Damaged(name, first, "no glyph number and vertex count");
        if (count < 1) Damaged(name, first, "a glyph without its bounds");
        // The pairs may go on over the following lines.
        std::string data(head.substr(8));
        const size_t need = 2 * size_t(count);
        while (data.size() < need && at < lines.size()) data += lines[at++];
        if (data.size() < need)
            Damaged(name, first, "glyph " + std::to_string(number) + " has fewer than " + std::to_string(count) +
                                     " vertices");
        if (data.find_first_not_of(' ', need) != std::string::npos)
            Damaged(name, first, "glyph " + std::to_string(number) + " has more than " + std::to_string(count) +
                                     " vertices");
        for (size_t i = 0; i < need; ++i)
            if (data[i] < ' ' || data[i] > '~')
                Damaged(name, first, "glyph " + std::to_string(number) + ": a coordinate that is no printable character");
        TStrokeGlyph g;
        g.Left = int8_t(data[0] - 'R');
        g.Right = int8_t(data[1] - 'R');
        if (g.Right < g.Left) Damaged(name, first, "glyph " + std::to_string(number) + ": its right bound lies left of its left bound");
        g.Points.reserve(size_t(count - 1));
        for (size_t i = 2; i < need; i += 2) {
            if (data[i] == ' ' && data[i + 1] == 'R') {
                if (!g.Points.empty() && (g.PathEnds.empty() || g.PathEnds.back() != g.Points.size()))
                    g.PathEnds.push_back(uint16_t(g.Points.size()));
                continue;
            }
            g.Points.push_back({int8_t(data[i] - 'R'), int8_t(data[i + 1] - 'R')});
        }
        if (!g.Points.empty() && (g.PathEnds.empty() || g.PathEnds.back() != g.Points.size()))
            g.PathEnds.push_back(uint16_t(g.Points.size()));
        font.FGlyphs.push_back(std::move(g));
    }
    // The letter H gives the baseline and the cap height.
    const TStrokeGlyph& h = *font.Glyph('H');
    if (h.Points.empty()) Damaged(name, size_t('H' - 32 + 1), "the letter H has no strokes to measure");
    int top = h.Points[0].Y, bottom = h.Points[0].Y;
    for (const TGlyphPoint& p : h.Points) top = std::min<int>(top, p.Y), bottom = std::max<int>(bottom, p.Y);
    if (bottom <= top) Damaged(name, size_t('H' - 32 + 1), "the letter H has no height");
    font.FBaseY = bottom;
    font.FCapHeight = bottom - top;
    return font;
}

TStrokeFont TStrokeFont::Load(const std::string& path) {
    std::string text, error;
    TFileIdentity id;
    if (!ReadRegularFile(path, kMaxStrokeFontBytes, text, id, error))
        throw EStrokeFontError("cannot read the stroke font '" + path + "': " + error);
    return Parse(text, path);
}

std::vector<std::string> StrokeFontSearchList() {
    std::vector<std::string> folders;
    // The package's own list of the files it installed.
    std::string list, error;
    TFileIdentity id;
    if (ReadRegularFile("/var/lib/dpkg/info/hershey-fonts-data.list", kMaxStrokeFontBytes, list, id, error)) {
        const std::string want = std::string("/") + kStrokeFontNormal;
        for (std::string_view l : Lines(list))
            if (l.size() > want.size() && l.substr(l.size() - want.size()) == want)
                folders.emplace_back(l.substr(0, l.size() - want.size()));
    }
    for (const char* f : {"/usr/share/hershey-fonts", "/usr/local/share/hershey-fonts"})
        if (std::find(folders.begin(), folders.end(), f) == folders.end()) folders.emplace_back(f);
    return folders;
}

std::string FindStrokeFontFolder(const std::vector<std::string>& folders) {
    std::string looked;
    for (const std::string& f : folders) {
        if (InspectFile(f + "/" + kStrokeFontNormal).Kind == TFileKind::fkRegular) return f;
        looked += (looked.empty() ? "" : ", ") + f;
    }
    throw EStrokeFontError(std::string("the stroke fonts for drawing texts as lines were not found (") +
                           kStrokeFontNormal + " and " + kStrokeFontBold + ", looked in " + looked +
                           "): install the package hershey-fonts-data (apt-get install hershey-fonts-data)");
}

std::shared_ptr<const TStrokeFonts> LoadStrokeFonts(const std::string& folder) {
    const std::string from = folder.empty() ? FindStrokeFontFolder(StrokeFontSearchList()) : folder;
    auto fonts = std::make_shared<TStrokeFonts>();
    fonts->Normal = TStrokeFont::Load(from + "/" + kStrokeFontNormal);
    fonts->Bold = TStrokeFont::Load(from + "/" + kStrokeFontBold);
    fonts->Folder = from;
    return fonts;
}
