// `dxf2plandrop info`: what a drawing holds, as the reader sees it.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

class TkrDXFConverter;
namespace CLI {
class App;
}

// The options of `info`.
struct TInfoOptions {
    bool Json = false;  // --json
    std::vector<std::string> Files;
};

// Declares the options and file arguments of `info` on its command; at least
// one file is needed.
void AddInfoOptions(CLI::App& cmd, TInfoOptions& o);

// Prints the report of every file (text or JSON) to out and errors to err;
// returns 0, or 1 when a file could not be read.
int RunInfo(const std::vector<std::string>& files, bool json, std::ostream& out, std::ostream& err);
