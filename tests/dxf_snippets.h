// Small DXF texts written inline in tests.
#pragma once

#include <filesystem>
#include <fstream>
#include <sstream>
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

// Groups written as "code|value|code|value|..."; '|' becomes a line end.
inline std::string PipeDxf(std::string s) {
    for (char& c : s)
        if (c == '|') c = '\n';
    return s + "\n";
}

// The whole content of a file, and a file written with exactly the given bytes.
inline std::string ReadFile(const std::filesystem::path& p) {
    std::ifstream f(p, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

inline void WriteFile(const std::filesystem::path& p, const std::string& text) {
    std::ofstream f(p, std::ios::binary);
    f << text;
}

}  // namespace dxftest
