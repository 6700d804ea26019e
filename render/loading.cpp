#include "render/loading.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <istream>
#include <ostream>

#include "model/errors.h"
#include "model/parsing.h"
#include "render/dxf_image.h"
#include "platform/scoped.h"

namespace {
// A drawing loaded for a reference: a drawing graphic of its own, of which
// only the loading and the reader are used (it is drawn through the
// referencing drawing's graphic).
class TNestedDrawing final : public TXrefDrawing {
public:
    TkrDXFImage Image;
    TkrDXFConverter& Reader() override { return *Image.Converter; }
};

bool IsDxfName(const std::string& path) {
    return path.size() >= 4 && LowerAscii(std::string_view(path).substr(path.size() - 4)) == ".dxf";
}

// Paths in messages are cut to a readable length, their control bytes
// escaped (a binary DXF string may hold line breaks).
std::string Shown(const std::string& path) {
    constexpr size_t kMax = 200;
    return EscapeControlBytes(path.size() <= kMax ? path : path.substr(0, kMax) + "...");
}

std::string FolderOf(const std::string& path) { return std::filesystem::path(path).parent_path().string(); }
}  // namespace

TXrefSession::TXrefSession(TkrDXFConverter& root, const TFileIdentity* rootFile) : FRoot(root) {
    if (rootFile) FChain.push_back(*rootFile);
}

std::string TXrefSession::Locate(const TkrDXFConverter& conv, const std::string& path, TFileInfo& info) const {
    std::string p = path;
    std::replace(p.begin(), p.end(), '\\', '/');
    auto join = [&](const std::string& name) {
        if ((!name.empty() && name[0] == '/') || conv.SourceFolder.empty()) return name;
        return conv.SourceFolder + "/" + name;
    };
    std::string first = join(p);
    info = InspectFile(first);
    size_t slash = p.rfind('/');
    if (info.Kind != TFileKind::fkMissing || slash == std::string::npos) return first;
    std::string second = join(p.substr(slash + 1));
    info = InspectFile(second);
    return second;
}

bool TXrefSession::InChain(const TFileIdentity& id) const {
    return std::find(FChain.begin(), FChain.end(), id) != FChain.end();
}

void TXrefSession::Warn(const std::string& path, const std::string& why) {
    FRoot.Bounds.Note("external reference '" + Shown(path) + "' " + why);
}

bool TXrefSession::ImageFileExists(TkrDXFConverter& conv, const std::string& path) {
    TFileInfo info;
    Locate(conv, path, info);
    return info.Kind == TFileKind::fkRegular;
}

TXrefLoadResult TXrefSession::LoadXref(TkrDXFConverter& conv, const std::string& path) {
    const TXrefLoadResult missing;
    TFileInfo info;
    std::string found = Locate(conv, path, info);
    if (info.Kind == TFileKind::fkMissing) {
        Warn(path, "not found: shown as its path");
        return missing;
    }
    // Folders, FIFOs and devices are never opened as drawings.
    if (info.Kind != TFileKind::fkRegular) {
        Warn(path, "is not a regular file: shown as its path");
        return missing;
    }
    // Only DXF drawings are read; a DWG drawing loads nothing (and shows nothing).
    if (!IsDxfName(found)) {
        Warn(path, "is not a DXF drawing: not drawn");
        return {TXrefLoadResult::xrNoDrawing, nullptr};
    }
    if (InChain(info.Id)) {
        Warn(path, "refers back to a drawing that is being loaded (a cycle): shown as its path");
        return missing;
    }
    if (FDepth >= kMaxXrefDepth) {
        Warn(path, "nested deeper than " + std::to_string(kMaxXrefDepth) + " levels: shown as its path");
        return missing;
    }
    // A drawing read before is shared, as long as what it nests stays within
    // the nesting bound at this level.
    for (const TCached& c : FCache)
        if (c.Id == info.Id && FDepth + 1 + c.Height <= kMaxXrefDepth) return {TXrefLoadResult::xrLoaded, c.Drawing};
    if (FRead >= kMaxXrefDrawings) {
        Warn(path, "left out: a conversion reads at most " + std::to_string(kMaxXrefDrawings) +
                       " external drawings; shown as its path");
        return missing;
    }
    if (info.Size <= kMaxDxfTextSize && FBytes + info.Size > kMaxXrefBytes) {
        Warn(path, "left out: the external drawings of a conversion hold at most " + std::to_string(kMaxXrefBytes) +
                       " bytes; shown as its path");
        return missing;
    }
    ++FRead;
    std::string text, error;
    TFileIdentity id;
    if (!ReadRegularFile(found, std::min<uint64_t>(kMaxDxfTextSize, kMaxXrefBytes - FBytes), text, id, error)) {
        Warn(path, "cannot be read (" + error + "): shown as its path");
        return missing;
    }
    if (InChain(id)) {  // another file took its place since it was looked at
        Warn(path, "refers back to a drawing that is being loaded (a cycle): shown as its path");
        return missing;
    }
    FBytes += text.size();
    FRoot.XrefBytes += text.size();
    auto drawing = std::make_shared<TNestedDrawing>();
    const int level = FDepth + 1;
    // FDeepest follows the levels this drawing's own references reach.
    const int deepestBefore = FDeepest;
    FDeepest = level;
    FChain.push_back(id);
    ++FDepth;
    TOnExit pop([this] {
        FChain.pop_back();
        --FDepth;
    });
    try {
        // The chord tolerance of the referencing drawing (in its units; the
        // scale of the reference's insert is not taken into account) holds for
        // the nested drawing too; line type scale and resolutions follow when
        // the reference is finished.
        drawing->Reader().ChordTolerance = conv.ChordTolerance;
        drawing->Image.LoadNested(std::move(text), FolderOf(found), this);
    } catch (const EkrError& e) {
        // A broken external drawing does not end the conversion of the
        // drawing that refers to it: it is missing, with the reader's message.
        Warn(path, std::string("cannot be read (") + e.what() + "): shown as its path");
        FDeepest = std::max(deepestBefore, FDeepest);
        return missing;
    }
    TkrDXFConverter& nested = drawing->Reader();
    FRoot.Bounds.Add(nested.Bounds);
    nested.Bounds.Clear();
    FCache.push_back({id, drawing, FDeepest - level});
    FDeepest = std::max(deepestBefore, FDeepest);
    return {TXrefLoadResult::xrLoaded, drawing};
}

// ---- drawing files ----

// Opens a drawing file and tells its size (-1: a file that cannot seek, such
// as a FIFO, which is read whole); the stream stands at its start.
int64_t OpenDrawing(std::ifstream& f, const std::string& path) {
    f.open(path, std::ios::binary);
    if (!f) throw EkrError("cannot open '" + path + "': " + std::strerror(errno));
    f.seekg(0, std::ios::end);
    std::streamoff size = f.tellg();
    if (size < 0) {
        f.clear();
        return -1;
    }
    f.seekg(0);
    if (!f) throw EkrError(std::string("cannot read the drawing: ") + std::strerror(errno));
    return int64_t(size);
}

std::string ReadWholeDrawing(std::istream& stream) {
    std::string text;
    std::streampos start = stream.tellg();
    stream.seekg(0, std::ios::end);
    std::streampos end = stream.tellg();
    if (start != std::streampos(-1) && end != std::streampos(-1) && end >= start) {
        size_t size = size_t(end - start);
        CheckDxfTextSize(size);
        stream.seekg(start);
        text.resize(size);
        if (size && !stream.read(text.data(), std::streamsize(size)))
            throw EkrError(std::string("cannot read the drawing: ") + std::strerror(errno));
    } else {
        // A stream that cannot seek: read it to its end, within the size bound.
        stream.clear();
        char buf[1 << 16];
        while (stream.read(buf, sizeof buf) || stream.gcount() > 0) {
            text.append(buf, size_t(stream.gcount()));
            CheckDxfTextSize(text.size());
        }
    }
    return text;
}

uint64_t OpenDrawingFile(std::ifstream& f, const std::string& path) {
    // The reader reads the file a window at a time: a file that cannot seek
    // is refused instead of being read whole.
    int64_t size = OpenDrawing(f, path);
    if (size < 0) throw EkrError("cannot read '" + path + "'");
    CheckDxfTextSize(uint64_t(size), "'" + path + "' is");
    return uint64_t(size);
}

// ---- the source of a loaded drawing ----

void TDrawingSource::LoadFile(const std::string& path, const TDrawingReading& reading) {
    // The file is read a window at a time: its text is never held whole,
    // and Reload reads it again.
    std::ifstream f;
    int64_t size = OpenDrawing(f, path);
    TFileInfo info = InspectFile(path);
    const std::string folder = std::filesystem::path(path).parent_path().string();
    const TFileIdentity* id = info.Kind == TFileKind::fkRegular ? &info.Id : nullptr;
    if (size < 0) {
        // What a FIFO delivers is read once: it is kept like a text.
        FKeptText = ReadWholeDrawing(f);
        FPath.clear();
        Start(folder, id);
        Read([&](TkrDXFConverter& c) { c.LoadFromView(FKeptText); }, reading);
        return;
    }
    FKeptText.clear();
    FPath = path;
    Start(folder, id);
    Read([&](TkrDXFConverter& c) { c.LoadFromStream(f, uint64_t(size)); }, reading);
}

void TDrawingSource::LoadText(std::string text, const TDrawingReading& reading) {
    FKeptText = std::move(text);
    FPath.clear();
    Start("", nullptr);
    Read([&](TkrDXFConverter& c) { c.LoadFromView(FKeptText); }, reading);
}

void TDrawingSource::Reload(const TDrawingReading& reading) {
    // A new loading of external drawings too: they are read again with the
    // reader's settings as they are now, from the folder of the first load.
    if (FPath.empty()) {
        Read([&](TkrDXFConverter& c) { c.LoadFromView(FKeptText); }, reading);
        return;
    }
    std::ifstream f;
    int64_t size = OpenDrawing(f, FPath);
    CheckSameFile(FPath);
    if (size < 0) throw EkrError("'" + FPath + "' was replaced since it was loaded");
    Read([&](TkrDXFConverter& c) { c.LoadFromStream(f, uint64_t(size)); }, reading);
}

void TDrawingSource::Start(const std::string& folder, const TFileIdentity* file) {
    FFolder = folder;
    FFile.reset();
    if (file) FFile = *file;
}

void TDrawingSource::Read(const TReaderLoad& load, const TDrawingReading& reading) const {
    // One loading of external drawings per reading: its bounds count every
    // drawing the references reach.
    std::optional<TXrefSession> session;
    if (reading.LoadXrefs) session.emplace(reading.Root, FFile ? &*FFile : nullptr);
    reading.Read(load, FFolder, session ? &*session : nullptr);
}

void TDrawingSource::CheckSameFile(const std::string& path) const {
    TFileInfo info = InspectFile(path);
    if (FFile && (info.Kind != TFileKind::fkRegular || !(info.Id == *FFile)))
        throw EkrError("'" + path + "' was replaced since it was loaded");
}

void TDrawingSource::SaveTo(std::ostream& stream, uint64_t loadedSize) const {
    if (FPath.empty()) {
        if (!FKeptText.empty()) stream.write(FKeptText.data(), std::streamsize(FKeptText.size()));
        return;
    }
    // The text of a file is not held: the file's bytes are copied, as many
    // as were loaded.
    std::ifstream f;
    int64_t size = OpenDrawing(f, FPath);
    CheckSameFile(FPath);
    if (size < 0 || uint64_t(size) != loadedSize) throw EkrError("'" + FPath + "' changed since it was loaded");
    char buf[1 << 16];
    for (uint64_t left = uint64_t(size); left > 0;) {
        const std::streamsize n = std::streamsize(std::min<uint64_t>(left, sizeof buf));
        if (!f.read(buf, n)) throw EkrError("'" + FPath + "' changed since it was loaded");
        stream.write(buf, n);
        left -= uint64_t(n);
    }
}
