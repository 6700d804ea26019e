// The converter's loading: a text, a view or a stream read through the
// group reader into the model, the read error's message, and the global line
// type scale of the header.
#include <cmath>

#include "model/converter.h"
#include "model/errors.h"
#include "model/parsing.h"
#include "platform/codepage.h"
#include "platform/scoped.h"

// ---- loading ----

void CheckDxfTextSize(uint64_t size, const std::string& what) {
    if (size > kMaxDxfTextSize)
        throw ELimitError(what + " too large: " + std::to_string(size) + " bytes (at most " +
                          std::to_string(kMaxDxfTextSize) + " are read)");
}

void TkrDXFConverter::Load() {
    AttachText();
    LoadSource();
}

void TkrDXFConverter::LoadFromText(std::string text) {
    Text = std::move(text);
    Load();
}

void TkrDXFConverter::LoadFromView(std::string_view text) {
    AttachView(text);
    LoadSource();
}

void TkrDXFConverter::LoadFromStream(std::istream& in, uint64_t size) {
    AttachStream(in, size);
    LoadSource();
}

void TkrDXFConverter::LoadSource() {
    Clear();
    Loading = true;
    LTScale = 0;
    TOnExit done([this] {
        Loading = false;
        ReleaseWindow();
    });
    CheckDxfTextSize(TextEnd);
    StartWindow();
    DashPointsLeft = kDashPointsBase + kDashPointsPerByte * uint64_t(TextEnd);
    ReadDepth = 0;
    SectionsRead = 0;
    ReadingObjects = false;
    ReadingGraphics = false;
    if (OnStart) OnStart(*this);
    try {
        RootSection->Load(*this);
        // The entities that take their styles from the OBJECTS section
        // (read after them) are finished with them now.
        if (ObjectsAwaited) ResolveObjectReferences(*this);
        // The header variables are answered after the load too: the file is
        // read to its end for those not found yet.
        FinishHeader(kHeaderVariableCount);
    } catch (EReadError&) {
        throw;
    } catch (EkrError& e) {
        // A binary file has no lines: its errors name the byte where the
        // group starts.
        std::string where = BinarySource ? "at byte " + std::to_string(GroupStart) : "on line " + std::to_string(LineNumber);
        std::string msg = "DXF read error " + where + ": " + Cp1252ToUtf8(Value) + "\r\n" + e.Message;
        // The message is passed on as a C string (what()): a NUL byte of the
        // file would cut it off, so it is written as \x00.
        for (size_t i = msg.find('\0'); i != std::string::npos; i = msg.find('\0', i + 4)) msg.replace(i, 1, "\\x00");
        e.Message = std::move(msg);
        // The header variables still answer as the whole text would, as far
        // as the file can be read.
        try {
            FinishHeader(kHeaderVariableCount);
        } catch (const EkrError&) {
        }
        throw;
    }
    if (OnEnd) OnEnd(*this);
    NonPlanView = ViewDirection.X != 0 || ViewDirection.Y != 0;
}

double TkrDXFConverter::GlobalLineTypeScale() {
    if (LTScale == 0) {
        double v = TextToFloatDef(HeaderValue("$LTSCALE", 40), 0);
        LTScale = (v == 0 || !std::isfinite(v)) ? 1.0 : v;
    }
    return LTScale;
}
