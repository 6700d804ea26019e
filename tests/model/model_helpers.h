// Loading small drawings in model tests.
#pragma once

#include <memory>
#include <string>

#include "model/converter.h"

namespace modeltest {


// Loads text with a dummy draw procedure on every entity, as the drawing
// graphic does, so that every entity counts for extents.
inline std::unique_ptr<TkrDXFConverter> LoadDrawable(const std::string& text) {
    auto c = std::make_unique<TkrDXFConverter>();
    c->OnCreateEntity = [](TkrDXFEntity& e) { e.OnDraw = dhInventory; };
    c->LoadFromText(text);
    return c;
}

}  // namespace modeltest
