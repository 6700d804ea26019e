// Loading a drawing: opening its file (a regular file is read a window at a
// time, a FIFO or other stream that cannot seek is read whole, both within the
// size bound of the reader), and the drawings its external references name.
//
// External references are loaded for one conversion: paths
// resolve against the folder of the referencing drawing (never against the
// process's current folder, which is not changed), only regular DXF files
// within the size bound are read, a reference back to a drawing that is
// being loaded (a cycle) is not followed, and both the nesting and the
// number of drawings one conversion loads are bounded. A reference that is
// not loaded shows its path; the reason is a warning of the conversion.
#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "model/converter.h"
#include "model/xref.h"
#include "platform/files.h"

// Opens a drawing file and tells its size (-1: a file that cannot seek, such
// as a FIFO, which is read whole); the stream stands at its start. Throws
// EkrError when the file cannot be opened.
int64_t OpenDrawing(std::ifstream& f, const std::string& path);
// The rest of stream, read to its end within the reader's size bound.
std::string ReadWholeDrawing(std::istream& stream);
// Opens a drawing file for a reader that reads it a window at a time (info)
// and returns its size: OpenDrawing, then a file that cannot seek is refused
// ("cannot read 'P'"), as is one past the size bound ("'P' is too large: ...").
uint64_t OpenDrawingFile(std::ifstream& f, const std::string& path);

// Deepest nesting of external drawings (the converted drawing is level 0).
constexpr int kMaxXrefDepth = 16;
// Most external drawings one conversion reads (a drawing referenced several
// times is read once), and the most bytes all of them hold together.
constexpr int kMaxXrefDrawings = 64;
constexpr uint64_t kMaxXrefBytes = kMaxDxfTextSize;

class TXrefSession final : public TXrefLoader {
public:
    // root: the reader of the drawing being converted; it gets the warnings,
    // and its XrefBytes the size of every drawing read. rootFile: the file
    // that drawing was read from, when it is a file.
    TXrefSession(TkrDXFConverter& root, const TFileIdentity* rootFile);

    TXrefLoadResult LoadXref(TkrDXFConverter& conv, const std::string& path) override;
    bool ImageFileExists(TkrDXFConverter& conv, const std::string& path) override;

private:
    struct TCached {
        TFileIdentity Id;
        std::shared_ptr<TXrefDrawing> Drawing;
        int Height = 0;  // levels of external drawings below it
    };
    TkrDXFConverter& FRoot;
    std::vector<TFileIdentity> FChain;  // the files being loaded, outermost first
    int FDepth = 0;                     // external drawings being loaded
    int FDeepest = 0;                   // the deepest level reached so far
    std::vector<TCached> FCache;
    int FRead = 0;
    uint64_t FBytes = 0;

    // The file a reference names: the path as given (against the drawing's
    // folder unless absolute; either slash separates folders), else the name
    // without its folder in the drawing's folder.
    std::string Locate(const TkrDXFConverter& conv, const std::string& path, TFileInfo& info) const;
    bool InChain(const TFileIdentity& id) const;
    void Warn(const std::string& path, const std::string& why);
};

// Fills a reader with a drawing's text (from a stream or a view of a text).
using TReaderLoad = std::function<void(TkrDXFConverter&)>;

// One reading of a drawing as the graphic does it: Root is the reader filled
// (it gets the warnings of the external references and their sizes); Read
// runs load on it with the folder references resolve against and the loader
// of the external references (none when LoadXrefs is false).
struct TDrawingReading {
    TkrDXFConverter& Root;
    bool LoadXrefs = true;
    std::function<void(const TReaderLoad& load, const std::string& folder, TXrefLoader* loader)> Read;
};

// Where a loaded drawing came from, so that it can be read again and copied:
// the file loaded (read a window at a time, read again from it, which must
// still be the file loaded), or the text handed over whole (also what a FIFO
// delivered, which is read once), with the folder its references resolve
// against and the identity of its file. Every reading starts one reference
// session: its bounds count every drawing the references reach.
class TDrawingSource {
public:
    // Opens the file at path and reads it. References such as external
    // drawings resolve next to the file; the reader is told the folder
    // instead of the process changing its current folder.
    void LoadFile(const std::string& path, const TDrawingReading& reading);
    // Keeps text (Reload and SaveTo need it) and reads it; references
    // resolve against the current folder.
    void LoadText(std::string text, const TDrawingReading& reading);
    // Reads the drawing again, with its references: a file from the file
    // again; throws when it is no longer the file loaded.
    void Reload(const TDrawingReading& reading);
    // Writes the loaded text to stream unchanged: a file's bytes are copied
    // from it, loadedSize of them (the size read when it was loaded).
    void SaveTo(std::ostream& stream, uint64_t loadedSize) const;

private:
    std::string FPath;  // empty: the text is kept
    std::string FKeptText;
    std::string FFolder;
    std::optional<TFileIdentity> FFile;
    void Start(const std::string& folder, const TFileIdentity* file);
    void Read(const TReaderLoad& load, const TDrawingReading& reading) const;
    // Throws when the file at path is no longer the one loaded.
    void CheckSameFile(const std::string& path) const;
};
