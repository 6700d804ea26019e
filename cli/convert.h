// `dxf2plandrop convert`: the conversion run from the command line.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

// Runs the command with its arguments (after the word "convert"); returns the
// exit status: 0 the run completed, 1 an error ended it (or, with
// --keep-going, a file failed), 2 a usage error, 130 interrupted.
int RunConvert(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

extern const char* const kConvertUsage;
