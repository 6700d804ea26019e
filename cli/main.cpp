// dxf2plandrop: the command line of DXF 2 Plandrop.
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "cli/convert.h"
#include "cli/info.h"

namespace {
void PrintUsage(std::ostream& o) {
    o << "Usage: dxf2plandrop COMMAND [OPTIONS] FILE...\n"
         "\n"
         "Commands:\n"
      << kConvertUsage
      << "  info [--json] FILE...   show what each DXF drawing holds: version, entities,\n"
         "                          blocks, layers, line types and layouts\n"
         "\n"
         "Options:\n"
         "  -h, --help              show this help\n"
         "  --version               show the version\n";
}

int Usage(const std::string& msg) {
    std::cerr << "dxf2plandrop: " << msg << "\n";
    PrintUsage(std::cerr);
    return 2;
}
}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) return Usage("no command given");
    const std::string& cmd = args[0];
    if (cmd == "-h" || cmd == "--help" || cmd == "help") {
        PrintUsage(std::cout);
        return 0;
    }
    if (cmd == "--version") {
        std::cout << "dxf2plandrop " << DXF2PLANDROP_VERSION << "\n";
        return 0;
    }
    if (cmd == "info") {
        bool json = false;
        std::vector<std::string> files;
        bool options = true;
        for (size_t i = 1; i < args.size(); ++i) {
            const std::string& a = args[i];
            if (options && a == "--") options = false;
            else if (options && a == "--json") json = true;
            else if (options && (a == "-h" || a == "--help")) {
                PrintUsage(std::cout);
                return 0;
            } else if (options && a.size() > 1 && a[0] == '-') return Usage("unknown option '" + a + "'");
            else files.push_back(a);
        }
        if (files.empty()) return Usage("info: no input file");
        return RunInfo(files, json, std::cout, std::cerr);
    }
    if (cmd == "convert") {
        std::vector<std::string> rest(args.begin() + 1, args.end());
        for (auto& a : rest)
            if (a == "-h" || a == "--help") {
                PrintUsage(std::cout);
                return 0;
            }
        return RunConvert(rest, std::cout, std::cerr);
    }
    return Usage("unknown command '" + cmd + "'");
}
