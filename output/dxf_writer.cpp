#include "output/dxf_writer_detail.h"

#include <pthread.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <random>

#include "output/decimal.h"
#include "output/decimal_fast.h"
#include "output/errors.h"
#include "output/hex.h"
#include "output/reals.h"
#include "output/record_reader.h"
#include "platform/scoped.h"

namespace {

}  // namespace

// Restores the writer's current target on every way out; what was gathered
// for a target goes to it before the target changes.
class TTargetGuard {
public:
    TTargetGuard(TkrDXFExport& w, std::string* replacement) : FWriter(w), FOld(w.FTarget) {
        w.Sync();
        w.FTarget = replacement;
    }
    ~TTargetGuard() {
        FWriter.Sync();
        FWriter.FTarget = FOld;
    }
    TTargetGuard(const TTargetGuard&) = delete;
    TTargetGuard& operator=(const TTargetGuard&) = delete;

private:
    TkrDXFExport& FWriter;
    std::string* FOld;
};

namespace {

// The standard lineweights in hundredths of a millimetre.
constexpr std::int32_t kLineWeights[] = {0,  5,  9,  13, 15, 18,  20,  25,  30,  35,  40,  50,
                                         53, 60, 70, 80, 90, 100, 106, 120, 140, 158, 200, 211};

// Fixed pieces of the file, one line per entry.
const char* const kTablesStart[] = {
    "  0", "ENDSEC",
    "  0", "SECTION", "  2", "TABLES",
    "  0", "TABLE", "  2", "VPORT", "  5", "  1", "100", "AcDbSymbolTable",
    "  0", "ENDTAB",
    "  0", "TABLE", "  2", "LTYPE", "  5", "  2", "100", "AcDbSymbolTable",
    "  0", "LTYPE", "  5", "  3", "100", "AcDbSymbolTableRecord", "100", "AcDbLinetypeTableRecord",
    "  2", "BYBLOCK", " 70", "     0",
    "  0", "LTYPE", "  5", "  4", "100", "AcDbSymbolTableRecord", "100", "AcDbLinetypeTableRecord",
    "  2", "BYLAYER", " 70", "     0",
};

const char* const kLayerTableHead[] = {
    "  0", "ENDTAB",
    "  0", "TABLE", "  2", "LAYER", "  5", " 1A", "330", "  0", "100", "AcDbSymbolTable",
};

const char* const kTablesRest[] = {
    "  0", "ENDTAB",
    "  0", "TABLE", "  2", "STYLE", "  5", "  5", "100", "AcDbSymbolTable",
    "  0", "STYLE", "  5", "  6", "100", "AcDbSymbolTableRecord", "100", "AcDbTextStyleTableRecord",
    "  2", "STANDARD", " 70", "     0", " 40", "0.0", " 41", "1.0", " 50", "0.0", " 71", "     0",
    " 42", "10.0", "  3", "txt", "  4", "bigfont",
    "  0", "ENDTAB",
    "  0", "TABLE", "  2", "VIEW", "  5", "  7", "100", "AcDbSymbolTable",
    "  0", "ENDTAB",
    "  0", "TABLE", "  2", "UCS", "  5", "  8", "100", "AcDbSymbolTable",
    "  0", "ENDTAB",
    "  0", "TABLE", "  2", "APPID", "  5", "  9", "100", "AcDbSymbolTable",
    "  0", "APPID", "  5", "  A", "100", "AcDbSymbolTableRecord", "100", "AcDbRegAppTableRecord",
    "  2", "ACAD", " 70", "0",
    "  0", "ENDTAB",
    "  0", "TABLE", "  2", "DIMSTYLE", "  5", "  B", "100", "AcDbSymbolTable", " 70", "     1",
    "100", "AcDbDimStyleTable", " 71", "     0",
    "  0", "ENDTAB",
    "  0", "TABLE", "  2", "BLOCK_RECORD", "  5", "  C", "100", "AcDbSymbolTable",
    "  0", "BLOCK_RECORD", "  5", "  D", "100", "AcDbSymbolTableRecord", "100", "AcDbBlockTableRecord",
    "  2", "*MODEL_SPACE",
    "  0", "BLOCK_RECORD", "  5", "  E", "100", "AcDbSymbolTableRecord", "100", "AcDbBlockTableRecord",
    "  2", "*PAPER_SPACE",
    "  0", "ENDTAB",
    "  0", "ENDSEC",
    "  0", "SECTION", "  2", "BLOCKS",
    "  0", "BLOCK", "  5", "  F", "330", "  D", "100", "AcDbEntity", "  8", "0", "100", "AcDbBlockBegin",
    "  2", "*MODEL_SPACE", " 70", "     0",
    "  0", "ENDBLK", "  5", " 10", "100", "AcDbEntity", "  8", "0", "100", "AcDbBlockEnd",
    "  0", "BLOCK", "  5", " 11", "330", "  E", "100", "AcDbEntity", "  8", "0", "100", "AcDbBlockBegin",
    "  2", "*PAPER_SPACE", " 70", "     0",
    "  0", "ENDBLK", "  5", " 12", "100", "AcDbEntity", "  8", "0", "100", "AcDbBlockEnd",
    "  0", "ENDSEC",
    "  0", "SECTION", "  2", "ENTITIES",
};

// The code line before ACAD_MLINESTYLE is " 3", two characters, unlike its neighbours.
const char* const kObjects[] = {
    "  0", "ENDSEC",
    "  0", "SECTION", "  2", "OBJECTS",
    "  0", "DICTIONARY", "  5", " 13", "330", "0", "100", "AcDbDictionary", "281", "     1",
    "  3", "ACAD_GROUP", "350", " 14", " 3", "ACAD_MLINESTYLE", "350", " 16",
    "  3", "ACAD_PLOTSETTINGS", "350", " 17", "  3", "ACAD_PLOTSTYLENAME", "350", " 18",
    "  0", "DICTIONARY", "  5", " 14", "330", " 13", "100", "AcDbDictionary", "281", "     1",
    "  0", "DICTIONARY", "  5", " 16", "330", " 13", "100", "AcDbDictionary", "281", "     1",
    "  0", "DICTIONARY", "  5", " 17", "102", "{ACAD_REACTORS", "330", " 13", "102", "}",
    "330", " 13", "100", "AcDbDictionary", "281", "     1",
    "  0", "ACDBDICTIONARYWDFLT", "  5", " 18", "102", "{ACAD_REACTORS", "330", " 13", "102", "}",
    "330", " 13", "100", "AcDbDictionary", "281", "     1", "  3", "Normal", "350", " 19",
    "100", "AcDbDictionaryWithDefault", "340", " 19",
    "  0", "ACDBPLACEHOLDER", "  5", " 19", "102", "{ACAD_REACTORS", "330", " 18", "102", "}",
    "330", " 18",
    "  0", "ENDSEC",
    "  0", "EOF",
};

}  // namespace

TkrDXFExport::TkrDXFExport(const TTextMeasure* measure)
    : WriteBehindKeep(TWriteBehind::kKeepCached),
      WriteBehindChunk(TWriteBehind::kChunk),
      DirectFrom(off_t(16) << 20),
      FStream(std::make_unique<TStreamFile>()) {
    if (!measure) {
        FOwnMeasure = std::make_unique<TFontTableMeasure>();
        measure = FOwnMeasure.get();
    }
    FMeasure = measure;
    SetCurrentLayer(std::make_unique<TkrExpDXFLayer>("0"));
    FTarget = &FEntityLines;
}

TkrDXFExport::~TkrDXFExport() {
    FStream->Pipe.reset();  // its thread works on this writer
    FStageAt = FStage;
    FStream->Direct.reset();  // and this one on the file
    if (FStream->Fd >= 0) ::close(FStream->Fd);
}

bool TkrDXFExport::Streaming() const { return FStream->Fd >= 0 || FMeasuring; }

void TkrDXFExport::EnsureReader() {
    if (!FReader) FReader = std::make_unique<TkrMetafile>(*this, *FMeasure);
}

TRecordingCanvas& TkrDXFExport::GetCanvas() {
    if (!FCanvas) {
        FCanvas = std::make_unique<TRecordingCanvas>();
        FStream->ReadError = nullptr;
        if (Streaming()) {
            // The records are read back, and their figures written, on a
            // thread of their own while the drawing goes on; nothing else
            // touches the writer until FinishDrawing has waited for it.
            EnsureReader();
            if (FReadOnThread) {
                FStream->Pipe = std::make_unique<TRecordPipe>(
                    [this](const TEmfRecordBuffer& records) { FReader->Enumerate(records); });
                FCanvas->OnDrain = [this](TEmfRecordBuffer& records) { FStream->Pipe->Push(records); };
                if (FSide) {
                    // The drawing may have handed the work over before its
                    // first record made this pipe: the wake is given again.
                    FStream->Pipe->ShareWith(*FSide);
                    FSide->Wake();
                }
            } else {
                // An error is kept for FinishDrawing, as the thread keeps it.
                FCanvas->OnDrain = [this](TEmfRecordBuffer& records) {
                    if (!FStream->ReadError) try {
                            FReader->Enumerate(records);
                        } catch (...) {
                            FStream->ReadError = std::current_exception();
                        }
                    records.Clear();
                };
            }
        }
    }
    return *FCanvas;
}

void TkrDXFExport::FinishDrawing() {
    if (!FCanvas) return;
    // Closing the canvas ends the recording; the records die with this scope,
    // also when reading them fails.
    TEmfRecordBuffer records = FCanvas->CloseBuffer();
    FCanvas.reset();
    if (Streaming()) {
        if (std::unique_ptr<TRecordPipe> pipe = std::move(FStream->Pipe)) {
            pipe->FinishWith(records);
        } else {
            if (std::exception_ptr error = std::exchange(FStream->ReadError, nullptr)) std::rethrow_exception(error);
            FReader->Enumerate(records);
        }
        FlushEntities();
        return;
    }
    LoadFromMetafile(records);
}

void TkrDXFExport::LoadFromMetafile(const TEmfRecording& records) {
    EnsureReader();
    Clear();
    FReader->Enumerate(records);
}

void TkrDXFExport::LoadFromMetafile(const TEmfRecordBuffer& records) {
    EnsureReader();
    Clear();
    FReader->Enumerate(records);
}

void TkrDXFExport::Clear() {
    if (FReader) FReader->DefinedLineTypes = 0;
    FStaged = 0;
    FEntityLines.clear();
    FLineTypeLines.clear();
    FTarget = &FEntityLines;
    HandleCounter = 32;
    FHandleAfterLoad = 32;
}

template <class Fig, class... Args>
void TkrDXFExport::Append(const TdxfExportData& data, Args... args) {
    if (Streaming()) {
        // Written at once on the current layer, then dropped (a line needs
        // no figure for that).
        if constexpr (requires { Fig::Write(*this, data, args...); }) {
            Fig::Write(*this, data, args...);
        } else {
            const Fig fig(data, args...);
            fig.WriteEntity(*this);
        }
        // The stage goes to the entity lines when it is full (or the target
        // changes), not after every figure: a line's figure is some 130
        // characters, and appending each on its own cost more than writing it.
        // The lines are flushed once past kStreamFlush: with a stage that
        // overflowed and one gathered since, they then hold less than
        // kStreamFlush + 2 stages, their reserve (a figure larger than a
        // stage may make them grow once).
        if (FEntityLines.size() >= kStreamFlush || FStream->DirectFailed) FlushEntities();
        return;
    }
    auto fig = std::make_unique<Fig>(data, args...);
    fig->LayerName = FCurrentLayerName;
    FFigures.push_back(std::move(fig));
}

void TkrDXFExport::AddPixel(const TdxfExportData& d) { Append<TkrExpDXFPixel>(d); }
void TkrDXFExport::AddLine(const TdxfExportData& d) { Append<TkrExpDXFLine>(d); }
void TkrDXFExport::AddRectangle(const TdxfExportData& d) { Append<TkrExpDXFRectangle>(d); }
void TkrDXFExport::AddHatch(const TdxfExportData& d) { Append<TkrExpDXFHatch>(d); }
void TkrDXFExport::AddPolyline(const TdxfExportData& d, int part) {
    Append<TkrExpDXFPolyline>(d, part);
}
void TkrDXFExport::AddPolyBezier(const TdxfExportData& d, int part) {
    Append<TkrExpDXFPolyBezier>(d, part);
}
void TkrDXFExport::AddCircle(const TdxfExportData& d) {
    Append<TkrExpDXFEllipse>(d, std::uint8_t(0));
}
void TkrDXFExport::AddEllipse(const TdxfExportData& d) {
    Append<TkrExpDXFEllipse>(d, std::uint8_t(1));
}
void TkrDXFExport::AddArc(const TdxfExportData& d) { Append<TkrExpDXFArc>(d); }
void TkrDXFExport::AddText(const TdxfExportData& d) { Append<TkrExpDXFMText>(d); }

void TkrDXFExport::AddLineType(std::string_view name, std::span<const float> elements) {
    double total = 0;
    for (float e : elements) total += std::fabs(double(e));
    TTargetGuard guard(*this, &FLineTypeLines);
    // Streaming: line type records take the handles from 20 on, in order,
    // however many entities were written before; each entity written before
    // this one gets its handle corrected when the file is put together.
    // Planned streaming: the entities' handles begin after all line types
    // of the plan, so none needs correcting.
    const std::int32_t entityHandle = HandleCounter;
    if (Streaming()) {
        if (!FDirect && HandleCounter > 32 + FLineTypeCount)
            FLateLineTypes.push_back(HandleCounter - 32 - FLineTypeCount);
        HandleCounter = 32 + FLineTypeCount;
    }
    BeginRecord("LTYPE", "AcDbLinetypeTableRecord");
    AddPair(2, name);
    AddPair(3, "");
    AddPair(70, std::int32_t(0));
    AddPair(72, std::int32_t(65));
    AddPair(73, static_cast<std::int32_t>(elements.size()));
    AddPair(40, total);
    for (float e : elements) {
        AddPair(49, double(e));
        AddPair(74, std::int32_t(0));
    }
    if (Streaming()) {
        ++FLineTypeCount;
        HandleCounter = FDirect ? entityHandle : entityHandle + 1;
        return;
    }
    FHandleAfterLoad = HandleCounter;  // entity handles follow the line types
}

void TkrDXFExport::SetCurrentLayer(std::unique_ptr<TkrExpDXFLayer> layer) {
    TkrExpDXFLayer* raw = layer.get();
    FLayers.push_back(std::move(layer));
    SetCurrentLayer(raw);
}

void TkrDXFExport::SetCurrentLayer(TkrExpDXFLayer* layer) {
    FCurrentLayer = layer;
    FCurrentLayerName = layer->Name;
    ++FLayerVersion;
}

// ---- line writers ----------------------------------------------------------

namespace {
// "%3d" of the codes 0..999, three characters each.
struct TCodeTable {
    char Text[3000] = {};
    constexpr TCodeTable() {
        for (int c = 0; c < 1000; ++c) {
            Text[3 * c] = c >= 100 ? char('0' + c / 100) : ' ';
            Text[3 * c + 1] = c >= 10 ? char('0' + c / 10 % 10) : ' ';
            Text[3 * c + 2] = char('0' + c % 10);
        }
    }
};
constexpr TCodeTable kCodes;

// "%3d" of a code outside 0..999 at p; returns the end.
[[gnu::noinline]] char* PutWideCode(char* p, int code) {
    char digits[24];
    const std::size_t len = std::size_t(decimal::PutInt(digits, code) - digits);
    for (std::size_t i = len; i < 3; ++i) *p++ = ' ';
    std::memcpy(p, digits, len);
    return p + len;
}

// "%3d" and CR LF at p; returns the end (at most 22 characters). Inline: it
// begins every pair.
[[gnu::always_inline]] inline char* PutCode(char* p, int code) {
    if (code >= 0 && code < 1000) [[likely]] {
        std::memcpy(p, kCodes.Text + 3 * code, 3);
        p += 3;
    } else {
        p = PutWideCode(p, code);
    }
    *p++ = '\r';
    *p++ = '\n';
    return p;
}

// Short values (names, handles: at most kShortValue characters) go in one
// piece with their code line: both lines at p (at most 128 characters);
// returns the end.
constexpr std::size_t kShortValue = 102;
char* PutShortPair(char* p, int code, std::string_view text) {
    p = PutCode(p, code);
    for (char c : text) *p++ = (c == '\r' || c == '\n') ? ' ' : c;  // see AddLine
    *p++ = '\r';
    *p++ = '\n';
    return p;
}

// The extents taken out to (x, y) on either axis.
void Widen(TExportExtents& e, float x, float y) {
    if (x < e.MinX) e.MinX = x;
    if (x > e.MaxX) e.MaxX = x;
    if (y < e.MinY) e.MinY = y;
    if (y > e.MaxY) e.MaxY = y;
}

// A real's pair at p (at most 24 + kMaxRealChars + 2 characters); returns the end.
char* PutRealPair(char* p, int code, double value) {
    p = PutReal(PutCode(p, code), value);
    *p++ = '\r';
    *p++ = '\n';
    return p;
}
}  // namespace

void TkrDXFExport::AddLine(std::string_view text) {
    if (Skipping()) return;
    if (text.size() + 2 <= sizeof FStage) {
        char* p = Room(text.size() + 2);
        for (char c : text) *p++ = (c == '\r' || c == '\n') ? ' ' : c;  // see below
        *p++ = '\r';
        *p++ = '\n';
        Used(p);
        return;
    }
    Sync();
    std::string& t = *FTarget;
    // A value never splits into two lines: a CR or LF inside it would break
    // the pairing of code and value lines, so it is written as a space.
    bool breaks = false;
    for (char c : text)
        if (c == '\r' || c == '\n') {
            breaks = true;
            break;
        }
    if (breaks) {
        for (char c : text) t += (c == '\r' || c == '\n') ? ' ' : c;
    } else {
        t.append(text);
    }
    t.append("\r\n", 2);
    if (StagingToDisk() && FTarget == &FEntityLines) LinesToDisk();
}

void TkrDXFExport::AddCode(int code) {
    if (Skipping()) return;
    Used(PutCode(Room(24), code));
}

void TkrDXFExport::AddPair(int code, std::string_view text) {
    if (Skipping()) return;
    if (text.size() <= kShortValue) {
        Used(PutShortPair(Room(128), code, text));
        return;
    }
    AddCode(code);
    AddLine(text);
}

void TkrDXFExport::AddPair(int code, std::int32_t value) {
    if (Skipping()) return;
    // Both lines are formed in one piece.
    char* p = decimal::PutInt32Wide(PutCode(Room(48), code), value);
    *p++ = '\r';
    *p++ = '\n';
    Used(p);
}

void TkrDXFExport::AddPair(int code, double value) {
    if (Skipping()) return;
    Used(PutRealPair(Room(24 + kMaxRealChars + 2), code, value));
}

void TkrDXFExport::AddHandle() {
    if (Skipping()) {
        ++HandleCounter;
        return;
    }
    char* p = PutHex(PutCode(Room(24 + 16 + 2), 5), static_cast<std::uint32_t>(HandleCounter));
    *p++ = '\r';
    *p++ = '\n';
    Used(p);
    ++HandleCounter;
}

void TkrDXFExport::AddPoint(int code, float x, float y) {
    // Both pairs formed in one piece, as AddPair forms each.
    if (!Skipping())
        Used(PutRealPair(PutRealPair(Room(2 * (24 + kMaxRealChars + 2)), code, double(x)), code + 10, double(y)));
    if (FTarget == &FEntityLines) Widen(Extents, x, y);
}

void TkrDXFExport::AddLinePoints(const TExpPoint3F& a, const TExpPoint3F& b) {
    // Four whole numbers below 10^8 (nearly every line: canvas coordinates
    // are whole units) are made at once; PutReal writes each as the
    // PutInt32Wide text made here, a negative zero as "0".
    if (!Skipping()) {
        std::int32_t w[4];
        std::uint64_t digits[4];
        int signs;
        if (!decimal::FourWholeFloats(a.X, a.Y, b.X, b.Y, w) ||
            !decimal::FourEightDigits(w[0], w[1], w[2], w[3], digits, signs)) {
            AddPoint(10, a);
            AddPoint(11, b);
            return;
        }
        // Each pair at most 5 + 9 + 2 characters; the last store reaches 7 past.
        char* p = Room(4 * 16 + 8);
        // The code lines PutCode gives, as literals (its range check and table
        // cost some 8 instructions a pair here).
        static constexpr char kCodes[4][6] = {" 10\r\n", " 20\r\n", " 11\r\n", " 21\r\n"};
#pragma GCC unroll 4
        for (int k = 0; k < 4; ++k) {
            std::memcpy(p, kCodes[k], 5);
            p = decimal::PutOfFour(p + 5, digits, signs, k);
            *p++ = '\r';
            *p++ = '\n';
        }
        Used(p);
    }
    if (FTarget == &FEntityLines) {
        Widen(Extents, a.X, a.Y);
        Widen(Extents, b.X, b.Y);
    }
}

bool TkrDXFExport::MeasureLine(const TExpPoint3F& a, const TExpPoint3F& b) {
    // All that the record's pairs count while they are skipped.
    if (!Skipping()) return false;
    ++HandleCounter;
    Widen(Extents, a.X, a.Y);
    Widen(Extents, b.X, b.Y);
    return true;
}

void TkrDXFExport::AddPoint3(int code, const TExpPoint3F& p) {
    AddPoint(code, p.X, p.Y);
    AddPair(code + 20, double(p.Z));
}

void TkrDXFExport::BeginRecord(std::string_view type, std::string_view subclass) {
    BeginRecordOf(type, subclass, nullptr);
}

void TkrDXFExport::BeginRecordOf(std::string_view type, std::string_view subclass, const TRecordKind* kind) {
    // An entity's record: the lines the pairs below give, from the kept head
    // when it was made for the same names (longer names than a short
    // value, hatches and line types take the pairs).
    if (Skipping()) {
        ++HandleCounter;  // all AddHandle does then
        return;
    }
    TRecordHead& h = FRecordHead;
    // Most records are of the kind of the one before, on its layer: a head
    // is only kept for names that pass the tests below, and these names are
    // the kind's and the layer's, unchanged since.
    if (kind && h.Kind == kind && h.BeforeSize != 0 && h.LayerVersion == FLayerVersion && FTarget == &FEntityLines)
        return PutRecordHead(h);
    if (FTarget == &FEntityLines && type != "HATCH" && type.size() <= kShortValue &&
        subclass.size() <= kShortValue && FCurrentLayerName.size() <= kShortValue) {
        // The head's kind, when it has one, names the same type and subclass.
        const bool sameNames = (kind && h.Kind == kind) || (h.Type == type && h.Subclass == subclass);
        if (h.BeforeSize == 0 || !sameNames || h.Layer != FCurrentLayerName) {
            h.Type = type, h.Layer = FCurrentLayerName, h.Subclass = subclass;
            h.Kind = kind;
            h.BeforeSize = std::size_t(PutCode(PutShortPair(h.Before, 0, type), 5) - h.Before);
            char* a = h.After;
            *a++ = '\r';  // ends the handle's line
            *a++ = '\n';
            a = PutShortPair(a, 330, "1F");
            a = PutShortPair(a, 100, "AcDbEntity");
            a = PutShortPair(a, 8, FCurrentLayerName);
            a = PutShortPair(a, 100, subclass);
            h.AfterSize = std::size_t(a - h.After);
        }
        h.LayerVersion = FLayerVersion;
        return PutRecordHead(h);
    }
    AddPair(0, type);
    AddHandle();
    if (type != "HATCH") AddPair(330, "1F");
    if (FTarget == &FLineTypeLines) {
        AddPair(100, "AcDbSymbolTableRecord");
    } else {
        AddPair(100, "AcDbEntity");
        AddPair(8, FCurrentLayerName);
    }
    AddPair(100, subclass);
}

void TkrDXFExport::PutRecordHead(const TRecordHead& h) {
    constexpr std::size_t b = TRecordHead::kBlock;
    const std::size_t before = (h.BeforeSize + b - 1) / b * b, after = (h.AfterSize + b - 1) / b * b;
    char* p = Room(before + 16 + after);
    for (std::size_t i = 0; i < before; i += b) std::memcpy(p + i, h.Before + i, b);
    p = PutHex32(p + h.BeforeSize, static_cast<std::uint32_t>(HandleCounter));
    for (std::size_t i = 0; i < after; i += b) std::memcpy(p + i, h.After + i, b);
    Used(p + h.AfterSize);
    ++HandleCounter;
}

void TkrDXFExport::AddColor(const TdxfExportData& data) {
    if (data.Color == 0 || data.Color == 256 || Skipping()) return;
    if (data.Color != FColorPairOf) {
        // " 62", CR LF, at most 11 characters, CR LF.
        char* p = decimal::PutInt32Wide(PutCode(FColorPair, 62), data.Color);
        *p++ = '\r';
        *p++ = '\n';
        FColorPairSize = std::uint8_t(p - FColorPair);
        FColorPairOf = data.Color;
    }
    char* p = Room(sizeof FColorPair);
    std::memcpy(p, FColorPair, sizeof FColorPair);
    Used(p + FColorPairSize);
}

void TkrDXFExport::AddLineTypeAndWeight(const TdxfExportData& data) {
    if (!data.Text.empty()) AddPair(6, data.Text);
    if (!(data.PenWidth == FWeightOf)) {
        // Pen width rounded to nearest (ties to even), times ten; below 5
        // none is written.
        double r = std::nearbyint(double(data.PenWidth)) * 10.0;
        std::int32_t w = 100;
        if (r >= -2147483648.0 && r <= 2147483647.0) w = static_cast<std::int32_t>(r);
        if (w >= 211) {
            w = 211;
        } else if (w >= 5) {
            std::int32_t best = 0;
            for (std::int32_t lw : kLineWeights)
                if (lw <= w) best = lw;
            w = best;
        }
        FWeightOf = data.PenWidth;
        FWeight = w;
    }
    if (FWeight >= 5) AddPair(370, FWeight);
}

void TkrDXFExport::BeginLWPolyline(const TdxfExportData& data, std::int32_t vertexCount) {
    BeginRecord("LWPOLYLINE", "AcDbPolyline");
    AddColor(data);
    AddLineTypeAndWeight(data);
    AddPair(90, vertexCount);
    AddPair(70, std::int32_t(data.Closed));
}

// ---- saving ----------------------------------------------------------------

void TkrDXFExport::WriteLayer(const TkrExpDXFLayer& layer) {
    AddPair(0, "LAYER");
    AddHandle();
    AddPair(330, " 1A");
    AddPair(100, "AcDbSymbolTableRecord");
    AddPair(100, "AcDbLayerTableRecord");
    AddPair(2, layer.Name);
    AddPair(70, layer.Flags);
    AddPair(62, layer.Color);
    AddPair(6, layer.LineTypeName);
    AddPair(370, layer.LineWeight);
    AddPair(390, " 19");
}

void TkrDXFExport::WriteEntities(bool chunked) {
    // Each save writes the figures afresh: the entity lines and the handle
    // counter start from where loading left them, so saving twice gives the
    // same file twice instead of doubling the entities.
    FEntityLines.clear();
    FEntityChunks.clear();
    HandleCounter = FHandleAfterLoad;
    std::string savedLayerName = FCurrentLayerName;
    {
        TTargetGuard guard(*this, &FEntityLines);
        for (const auto& fig : FFigures) {
            if (fig->LayerName != FCurrentLayerName) {
                FCurrentLayerName = fig->LayerName;
                ++FLayerVersion;
            }
            fig->WriteEntity(*this);
            Sync();
            if (chunked && FEntityLines.size() >= kChunkSize) {
                // A full chunk is put aside and a fresh one begun: the text
                // never needs one contiguous block (nor its doubling) of the
                // whole size.
                FEntityChunks.push_back(std::move(FEntityLines));
                FEntityLines = std::string();
                FEntityLines.reserve(kChunkSize + 4096);
            }
        }
    }
    FCurrentLayerName = savedLayerName;
    ++FLayerVersion;
}

// The file is the head (header, tables), the entity lines and the tail
// (end of the entities, objects); the head needs the handle counter and the
// extents that writing the entities leaves.
void TkrDXFExport::WriteHead(std::string& out) {
    TTargetGuard guard(*this, &out);
    auto fixed = [&](auto& lines) {
        for (const char* l : lines) AddLine(l);
    };
    AddPair(0, "SECTION");
    AddPair(2, "HEADER");
    AddPair(9, "$ACADVER");
    AddPair(1, "AC1015");
    AddPair(9, "$HANDSEED");
    char* p = PutHex(PutCode(Room(24 + 16 + 2), 5),
                     static_cast<std::uint32_t>(HandleCounter + static_cast<std::int32_t>(FLayers.size()) + 1));
    *p++ = '\r';
    *p++ = '\n';
    Used(p);
    AddPair(9, "$LIMMIN");
    AddPair(10, double(Extents.MinX));
    AddPair(20, double(Extents.MinY));
    AddPair(9, "$LIMMAX");
    AddPair(10, double(Extents.MaxX));
    AddPair(20, double(Extents.MaxY));
    fixed(kTablesStart);
    Sync();
    out += FLineTypeLines;
    fixed(kLayerTableHead);
    for (const auto& layer : FLayers) WriteLayer(*layer);
    fixed(kTablesRest);
}

void TkrDXFExport::WriteTail(std::string& out) {
    TTargetGuard guard(*this, &out);
    for (const char* l : kObjects) AddLine(l);
}

void TkrDXFExport::WriteFile(std::string& out) {
    WriteEntities(false);
    std::string head, tail;
    WriteHead(head);
    WriteTail(tail);
    out.reserve(head.size() + FEntityLines.size() + tail.size());
    out += head;
    out += FEntityLines;
    out += tail;
}

std::string TkrDXFExport::SaveToString() {
    std::string out;
    if (Streaming()) {
        std::string head, tail;
        WriteStreamedEnds(head, tail);
        out = head;
        CopyEntities([&](const char* p, std::size_t n) { out.append(p, n); });
        out += tail;
        return out;
    }
    WriteFile(out);
    return out;
}

void TkrDXFExport::SaveToStream(std::ostream& stream) {
    if (Streaming()) {
        std::string head, tail;
        WriteStreamedEnds(head, tail);
        stream.write(head.data(), static_cast<std::streamsize>(head.size()));
        CopyEntities([&](const char* p, std::size_t n) { stream.write(p, static_cast<std::streamsize>(n)); });
        stream.write(tail.data(), static_cast<std::streamsize>(tail.size()));
        if (!stream) throw EFileError("Stream write error");
        return;
    }
    std::string out;
    WriteFile(out);
    stream.write(out.data(), static_cast<std::streamsize>(out.size()));
    if (!stream) throw EFileError("Stream write error");
}

void TkrDXFExport::WriteStreamedEnds(std::string& head, std::string& tail) {
    FlushEntities();
    if (FStream->Direct) {
        const bool ok = FStream->Direct->Finish();
        FStageAt = FStage;
        FStream->Direct.reset();
        if (!ok) throw EFileError("Stream write error");
    }
    // The layer records take their handles after the entities; saving again
    // gives the same file.
    const std::int32_t saved = HandleCounter;
    WriteHead(head);
    HandleCounter = saved;
    WriteTail(tail);
}

void TkrDXFExport::SaveToFile(const std::string& fileName) {
    namespace fs = std::filesystem;
    std::string head, tail;
    if (FMeasuring) throw EFileError("Stream write error");  // nothing was written
    if (Streaming()) {
        WriteStreamedEnds(head, tail);
        if (FDirect && (head != FPlan.Head || tail != FPlan.Tail || FLineTypeCount != FPlan.LineTypes))
            throw EDxfPlanMismatch();
    } else {
        // The three parts are written one after another: the entity lines
        // are not copied into one more string of the whole file.
        WriteEntities(true);
        WriteHead(head);
        WriteTail(tail);
    }
    TOnExit release([this] {
        std::vector<std::string>().swap(FEntityChunks);
        std::string().swap(FEntityLines);
    });
    // Write beside the final file and rename when complete: the final name
    // never holds a half-written file, and an existing file stays untouched
    // when writing fails.
    std::random_device rd;
    std::string tmp = fileName + ".tmp" + std::to_string(rd() % 1000000);
    // Interrupt and termination signals wait while the temporary file exists:
    // a Ctrl-C that ends the process (or a second one after the first set the
    // cancel flag) arrives once the file is renamed or removed, so it never
    // leaves a stray temporary file behind.
    sigset_t block, previous;
    sigemptyset(&block);
    sigaddset(&block, SIGINT);
    sigaddset(&block, SIGTERM);
    sigaddset(&block, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &block, &previous);
    TOnExit unblock([&previous] { pthread_sigmask(SIG_SETMASK, &previous, nullptr); });
    if (FDirect && LinkDirect(tmp)) {
        std::error_code ec;
        fs::rename(tmp, fileName, ec);
        if (!ec) return;
        fs::remove(tmp, ec);
        throw EFileError("Stream write error");
    }
    std::FILE* f = std::fopen(tmp.c_str(), "wbx");
    if (!f) {
        throw EFileError("Cannot create file \"" + fileName + "\". " + std::strerror(errno));
    }
    bool ok = true;
    auto put = [&](const std::string& part) {
        ok = ok && std::fwrite(part.data(), 1, part.size(), f) == part.size();
    };
    put(head);
    if (Streaming()) {
        ok = ok && std::fflush(f) == 0 && CopyEntitiesTo(::fileno(f));
    } else {
        for (const std::string& chunk : FEntityChunks) put(chunk);
        put(FEntityLines);
    }
    put(tail);
    ok = (std::fclose(f) == 0) && ok;
    std::error_code ec;
    if (ok) {
        fs::rename(tmp, fileName, ec);
        if (!ec) return;
    }
    fs::remove(tmp, ec);
    throw EFileError("Stream write error");
}
