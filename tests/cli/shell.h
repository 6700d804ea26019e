// What the command-line tests share: the program under test, quoting for the
// shell that runs it, and a drawing of n lines.
#pragma once

#include <string>

namespace cli_test {

inline const std::string kBinary = std::string(DXF_BINARY_DIR) + "/cli/dxf2plandrop";

// s as one word of a POSIX shell command.
inline std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// The vertical lines (i, 0)-(i, 100) for i < n.
inline std::string Lines(int n) {
    std::string s = "0\nSECTION\n2\nENTITIES\n";
    for (int i = 0; i < n; ++i)
        s += "0\nLINE\n8\n0\n10\n" + std::to_string(i) + "\n20\n0\n11\n" + std::to_string(i) + "\n21\n100\n";
    return s + "0\nENDSEC\n0\nEOF\n";
}

}  // namespace cli_test
