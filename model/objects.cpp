#include "model/objects.h"

#include "model/converter.h"
#include "model/entities/blocks.h"
#include "model/entities/compound.h"

TkrDXFIndexedObject::~TkrDXFIndexedObject() {
    if (!FOwner) return;
    TObjectIndex& idx = FOwner->Objects;
    auto it = idx.ByHandle.find(Handle);
    if (it != idx.ByHandle.end() && it->second == this) idx.ByHandle.erase(it);
    for (auto i = idx.MLineStyles.begin(); i != idx.MLineStyles.end();)
        i = i->second == this ? idx.MLineStyles.erase(i) : std::next(i);
}

void TkrDXFIndexedObject::Register(TkrDXFConverter& conv) {
    FOwner = &conv;
    if (Handle != 0xFFFFFFFF) conv.Objects.ByHandle.emplace(Handle, this);
}

TkrDXFEntity* FindObject(const TkrDXFConverter& conv, uint32_t handle, TEntityClass cls, bool& wrongKind) {
    wrongKind = false;
    auto it = conv.Objects.ByHandle.find(handle);
    if (it == conv.Objects.ByHandle.end()) return nullptr;
    if (it->second->Class != cls) {
        wrongKind = true;
        return nullptr;
    }
    return it->second;
}

namespace {
void Resolve(TkrDXFConverter& conv, TkrDXFGroup& g) {
    // By index: finishing a compound may add a layer on demand, never an
    // entity to these lists.
    for (size_t i = 0; i < g.Entities.size(); ++i) {
        TkrDXFEntity& e = *g.Entities[i];
        if (!e.Is(TEntityClass::Compound)) continue;
        auto& c = static_cast<TkrDXFCompound&>(e);
        if (!c.AwaitsObjects) continue;
        c.AwaitsObjects = false;
        c.ObjectsLoaded(conv);
    }
}
}  // namespace

void ResolveObjectReferences(TkrDXFConverter& conv) {
    conv.ObjectsAwaited = false;
    if (TkrDXFGroup* ents = conv.GetTable(tkEntities)) Resolve(conv, *ents);
    if (TkrDXFGroup* blocks = conv.GetTable(tkBlocks))
        for (size_t i = 0; i < blocks->Entities.size(); ++i)
            if (blocks->Entities[i]->Is(TEntityClass::Block)) Resolve(conv, *static_cast<TkrDXFGroup*>(blocks->Entities[i].get()));
}
