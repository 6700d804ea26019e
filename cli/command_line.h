// The command line of DXF 2 Plandrop: `dxf2plandrop COMMAND [OPTIONS] FILE...`.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

// The version `--version` shows.
extern const char* const kProgramVersion;

// Parses the arguments (without the program name) and runs the command they
// name. Help (-h, --help, or the word "help") and --version go to out and
// return 0; a usage error prints its reason and the usage of the command to
// err and returns 2; otherwise the command's own exit status.
int RunCommandLine(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
