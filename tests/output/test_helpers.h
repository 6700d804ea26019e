// Shared helpers of the output tests.
#pragma once

#include <initializer_list>
#include <string>

#include "output/dxf_writer.h"

// Joins lines, each ended by CR LF.
inline std::string Lines(std::initializer_list<const char*> lines) {
    std::string s;
    for (const char* l : lines) {
        s += l;
        s += "\r\n";
    }
    return s;
}

// The text of the ENTITIES section of a saved file.
inline std::string EntitiesOf(const std::string& file) {
    const std::string start = "  2\r\nENTITIES\r\n";
    const std::string end = "  0\r\nENDSEC\r\n  0\r\nSECTION\r\n  2\r\nOBJECTS\r\n";
    auto a = file.find(start);
    auto b = file.find(end);
    if (a == std::string::npos || b == std::string::npos) return "<no entities section>";
    a += start.size();
    return file.substr(a, b - a);
}

inline std::string EntitiesOf(TkrDXFExport& w) { return EntitiesOf(w.SaveToString()); }

// The text of the LTYPE table after the two fixed records.
inline std::string LineTypesOf(const std::string& file) {
    const std::string start = "  2\r\nBYLAYER\r\n 70\r\n     0\r\n";
    const std::string end = "  0\r\nENDTAB\r\n  0\r\nTABLE\r\n  2\r\nLAYER\r\n";
    auto a = file.find(start);
    auto b = file.find(end);
    if (a == std::string::npos || b == std::string::npos) return "<no line types>";
    a += start.size();
    return file.substr(a, b - a);
}
