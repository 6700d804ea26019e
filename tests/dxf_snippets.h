// Small DXF texts written inline in tests.
#pragma once

#include <string>
#include <vector>

namespace dxftest {

// Joins group lines, each followed by the line end.
inline std::string Dxf(const std::vector<std::string>& lines, const std::string& eol = "\n") {
    std::string s;
    for (auto& l : lines) s += l + eol;
    return s;
}

// An ENTITIES section holding the given groups, then EOF.
inline std::string Entities(const std::vector<std::string>& body) {
    std::vector<std::string> l = {"0", "SECTION", "2", "ENTITIES"};
    l.insert(l.end(), body.begin(), body.end());
    l.insert(l.end(), {"0", "ENDSEC", "0", "EOF"});
    return Dxf(l);
}

}  // namespace dxftest
