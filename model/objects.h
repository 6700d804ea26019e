// The objects of the OBJECTS section that entities take their styles from:
// MLEADERSTYLE, MLINESTYLE and WIPEOUTVARIABLES. Each files itself into the
// reader's object index when it is finished (by handle; a multiline style
// also by name), and leaves it when it is destroyed. The file holds the
// OBJECTS section after the entities, so the entities that refer to these
// objects are finished again once the whole file is read
// (ResolveObjectReferences).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

#include "model/entity.h"

class TkrDXFConverter;

struct TObjectIndex {
    std::unordered_map<uint32_t, TkrDXFEntity*> ByHandle;
    std::unordered_map<std::string, TkrDXFEntity*> MLineStyles;  // by name, upper case; the first of a name
    // The drawing's wipeout frame setting (WIPEOUTVARIABLES group 70); -1
    // while the file has none.
    int32_t WipeoutFrame = -1;
    void Clear() { *this = TObjectIndex{}; }
};

// An object of the index; it files itself when finished and leaves the
// index of the reader that read it when destroyed.
class TkrDXFIndexedObject : public TkrDXFEntity {
public:
    explicit TkrDXFIndexedObject(TEntityClass cls) : TkrDXFEntity(cls) {}
    ~TkrDXFIndexedObject() override;

protected:
    // Files the object by its handle (the first object of a handle wins).
    void Register(TkrDXFConverter& conv);
    TkrDXFConverter* FOwner = nullptr;
};

// The object of the index with this handle when it is of class cls; none
// otherwise. wrongKind is set when the handle names an object of another
// class (a multiline style where a multileader style is wanted).
TkrDXFEntity* FindObject(const TkrDXFConverter& conv, uint32_t handle, TEntityClass cls, bool& wrongKind);

// Once the whole file is read: every compound waiting for objects (see
// TkrDXFCompound::AwaitsObjects), in the ENTITIES section and in every
// block, is finished with them.
void ResolveObjectReferences(TkrDXFConverter& conv);
