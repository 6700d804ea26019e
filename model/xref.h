// External drawings. A block that refers to another drawing file gets that
// drawing through a loader which whoever loads the referencing drawing sets
// on its reader: the model itself opens no files and knows nothing of the
// drawing graphic that holds a loaded drawing, so dependencies keep running
// one way. A reader without a loader loads no external drawing (every
// reference shows its path instead), which is what untrusted input gets.
#pragma once

#include <memory>
#include <string>

class TkrDXFConverter;

// A drawing loaded for an external reference: its reader, held by whatever
// the loader made to load it.
class TXrefDrawing {
public:
    virtual ~TXrefDrawing() = default;
    virtual TkrDXFConverter& Reader() = 0;
};

struct TXrefLoadResult {
    enum TKind {
        xrMissing,    // no such file, or it may not or cannot be loaded: the path is shown instead
        xrNoDrawing,  // the file exists but is no DXF drawing (a DWG file): nothing is drawn
        xrLoaded,     // Drawing holds the loaded drawing
    };
    TKind Kind = xrMissing;
    std::shared_ptr<TXrefDrawing> Drawing;
};

class TXrefLoader {
public:
    virtual ~TXrefLoader() = default;
    // Loads the drawing that path (as the referencing drawing writes it)
    // names, for a reference made by the drawing conv reads. Why a reference
    // is missing is reported by the loader (as a warning of the conversion).
    virtual TXrefLoadResult LoadXref(TkrDXFConverter& conv, const std::string& path) = 0;
    // Whether the raster image file path names exists as a regular file.
    // Images are never decoded: nothing of their pixels is drawn.
    virtual bool ImageFileExists(TkrDXFConverter& conv, const std::string& path) = 0;
};
