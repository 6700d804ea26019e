// Colour and layer resolution through layers and the chain of inserts being
// expanded, and the visiting of a container's children.
#include "model/converter.h"
#include "model/entities/blocks.h"
#include "model/entity.h"
#include "platform/scoped.h"

namespace {
bool OnLayerZero(const TkrDXFEntity& e) { return e.Layer && e.Layer->Name == "0"; }
TColorValue LayerColor(const TkrDXFEntity& e) { return e.Layer ? e.Layer->Color : clFromLayer; }
}  // namespace

TColorValue ResolveColor(const TkrDXFEntity& e, const TkrDXFInsert* insert) {
    TColorValue c = e.EntityColor();
    if (c < 0) c = clForeground;
    if (e.Layer && (c == clFromLayer || c == clFromBlock)) {
        if (!insert || (c == clFromLayer && !OnLayerZero(e))) {
            if (c == clFromLayer) c = e.Layer->Color;
        } else {
            // BYBLOCK, or BYLAYER on layer "0", inside an insert: the inserts decide.
            for (const TkrDXFInsert* j = insert; j; j = j->ParentInsert) {
                c = j->Color;
                if (c != clFromBlock && c != clFromLayer) break;
                if (c == clFromLayer && j->Layer && !OnLayerZero(*j)) {
                    c = LayerColor(*j);
                    break;
                }
                if (!j->ParentInsert && c == clFromLayer) c = LayerColor(*j);
            }
        }
    }
    if (c == clFromLayer || c == clFromBlock || c < 0) c = clForeground;
    return c;
}

TkrDXFLayer* EffectiveLayer(const TkrDXFEntity& e, const TkrDXFInsert* insert) {
    return EffectiveLayerOf(e.Layer, insert);
}

TkrDXFLayer* EffectiveLayerOf(TkrDXFLayer* own, const TkrDXFInsert* insert) {
    if (insert && (!own || own->Name == "0" || insert->Is(TEntityClass::Dimension))) {
        for (const TkrDXFInsert* j = insert; j; j = j->ParentInsert)
            if ((j->Layer && !OnLayerZero(*j)) || !j->ParentInsert) return j->Layer;
    }
    return own;
}

void IterateChildren(TkrDXFGroup& g, TkrDXFConverter& conv, TVisitProc visit, void* receiver) {
    if (g.Class == TEntityClass::Section) {
        for (size_t i = 0; i < g.Entities.size(); ++i) {
            TkrDXFEntity& e = *g.Entities[i];
            if (e.PaperSpace == conv.CurrentSpace) e.Iterate(conv, visit, receiver);
        }
        return;
    }
    if (g.PaperSpace != conv.CurrentSpace) return;
    for (size_t i = 0; i < g.Entities.size(); ++i) {
        TkrDXFEntity& e = *g.Entities[i];
        TScopedRestore<bool> restore(e.PaperSpace, g.PaperSpace);
        e.Iterate(conv, visit, receiver);
    }
}
