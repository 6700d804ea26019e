// Loads a text into a converter as one text (window 0) or as a stream read
// through a window of that many bytes, and returns the error the load ended
// with (empty when none): what the window tests and the load fuzz target
// compare.
#pragma once

#include <sstream>
#include <string>

#include "model/converter.h"
#include "model/errors.h"

inline std::string LoadThroughWindow(TkrDXFConverter& conv, const std::string& text, size_t window) {
    try {
        if (window == 0) {
            conv.LoadFromText(text);
        } else {
            std::istringstream in(text);
            conv.ReadWindow = window;
            conv.LoadFromStream(in, text.size());
        }
    } catch (const EkrError& e) {
        return e.what();
    }
    return {};
}
