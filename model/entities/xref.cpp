// External references: blocks that draw another drawing file, or its path
// when the drawing is missing.
#include "model/entities/xref.h"

#include <algorithm>
#include <cmath>
#include <functional>

#include "model/converter.h"
#include "model/entities/viewport.h"
#include "model/entities/layout.h"
#include "model/entities/text.h"
#include "model/parsing.h"
#include "platform/codepage.h"
#include "platform/scoped.h"

namespace {
// The name of a file without its folder (either slash) and its extension.
std::string Stem(const std::string& path) {
    size_t slash = path.find_last_of("/\\");
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    size_t dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}
}  // namespace

// ---- external references ----

bool TkrDXFXref::LoadDrawing(TkrDXFConverter& conv, const std::string& fileName) {
    FileName = fileName;
    Drawing.reset();
    if (!conv.XrefLoader) return false;
    TXrefLoadResult r = conv.XrefLoader->LoadXref(conv, fileName);
    if (r.Kind == TXrefLoadResult::xrMissing) return false;
    Drawing = std::move(r.Drawing);
    Name = Stem(fileName);
    return true;
}

void TkrDXFXref::Loaded(TkrDXFConverter& conv) {
    if (!Drawing) return;
    TkrDXFConverter& n = Drawing->Reader();
    n.LTScale = conv.LTScale;
    // Re-finishing every curve of the nested drawing is only needed when the
    // resolution differs.
    if (n.SplineParts != conv.SplineParts) n.SetSplineParts(conv.SplineParts);
    if (n.CirclePoints != conv.CirclePoints) n.SetCirclePoints(conv.CirclePoints);
}

TBox3F TkrDXFXref::GetBox() const {
    if (!Drawing) return TkrDXFEntity::GetBox();
    const TkrDXFLayout* model = Drawing->Reader().LayoutAt(0);
    return model ? model->Box : EmptyBox;
}

void TkrDXFXref::Iterate(TkrDXFConverter& conv, TVisitProc visit, void* receiver) {
    if (!Drawing || FDrawing) return;
    TkrDXFConverter& n = Drawing->Reader();
    TDrawContext own;
    own.Matrix = IdentityMatrix();
    TDrawContext* dc = conv.DrawContext ? conv.DrawContext : &own;
    // The nested drawing is drawn with the parent's context, clip and
    // insert expansion; what is changed is put back on every way out, and
    // the bounds the nested drawing reached are the parent's.
    const TDrawContext saved = *dc;
    const bool space = n.CurrentSpace, clipEnabled = n.ClipEnabled, expand = n.ExpandInserts;
    const TBox3F clipBox = n.ClipBox;
    TDrawContext* const context = n.DrawContext;
    std::function<void(TkrDXFInsert&, bool)> onInsert = std::move(n.OnInsert);
    TOnExit restore([&] {
        *dc = saved;
        n.CurrentSpace = space;
        n.ClipEnabled = clipEnabled;
        n.ClipBox = clipBox;
        n.ExpandInserts = expand;
        n.DrawContext = context;
        n.OnInsert = std::move(onInsert);
        FDrawing = false;
        conv.Bounds.Add(n.Bounds);
        n.Bounds.Clear();
    });
    FDrawing = true;
    n.CurrentSpace = false;
    n.ClipEnabled = conv.ClipEnabled;
    n.ClipBox = conv.ClipBox;
    n.ExpandInserts = conv.ExpandInserts;
    n.DrawContext = dc;
    n.OnInsert = conv.OnInsert;
    IterateTopLevel(n, visit, receiver);
}

// ---- the text of a missing external drawing ----

std::unique_ptr<TkrDXFEntity> MakeXrefPathText(TkrDXFConverter& conv, const std::string& path) {
    auto t = std::make_unique<TkrDXFText>();
    if (conv.OnCreateEntity) conv.OnCreateEntity(*t);
    t->Height = 0.2f;
    t->Text = Cp1252ToDrawnText(path);
    // A Windows path is full of backslashes: "..\Lageplan\a.dxf" would read
    // as an underline code if the text were converted; it is shown as written.
    t->LoadedAsIs(conv);
    return t;
}
