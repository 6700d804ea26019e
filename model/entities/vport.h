// The VPORT table entry that gives the model view direction and twist.
#pragma once

#include <string>

#include "model/entity.h"

// VPORT table entry: the first one named "*ACTIVE" gives the model view
// direction and twist.
class TkrDXFVport : public TkrDXFEntity {
public:
    TkrDXFVport() : TkrDXFEntity(TEntityClass::Vport) {}
    std::string Name;  // group 2, upper case
    void ReadProperty(TkrDXFConverter& conv) override;
    void Loaded(TkrDXFConverter& conv) override;
};
