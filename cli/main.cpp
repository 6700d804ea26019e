// dxf2plandrop: the command line of DXF 2 Plandrop.
#include <iostream>
#include <string>
#include <vector>

#include "cli/command_line.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    return RunCommandLine(args, std::cout, std::cerr);
}
