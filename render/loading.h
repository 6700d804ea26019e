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
#include <iosfwd>
#include <memory>
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
// Opens a drawing file for the reader and returns its size; throws EkrError
// with a clear message when the file cannot be read or is larger than the
// reader accepts.
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

    int DrawingsRead() const { return FRead; }

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
