// `dxf2plandrop convert`: the conversion run from the command line.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace CLI {
class App;
}

// The options of `convert`; an option not given leaves its field empty (the
// project's or the default setting holds then).
struct TConvertOptions {
    std::optional<std::string> OutputFolder;  // -o, --output DIR
    std::optional<std::string> Form;          // --format dxf|text
    std::optional<int32_t> Layout;            // --layout N (1 = model)
    bool KeepGoing = false;                   // --keep-going
    bool NoXref = false;                      // --no-xref
    std::optional<int32_t> Jobs;              // -j, --jobs N (default: one per processor)
    std::optional<std::string> ProjectIn;     // --project FILE.kpj
    std::optional<std::string> ProjectOut;    // --save-project FILE.kpj
    double CurveTolerance = 0;                // --curve-tolerance U (target units; 0: fixed counts)
    int32_t ShardIndex = 0, ShardCount = 0;   // --shard I/N (ShardCount 0: the whole list)
    std::optional<std::string> Report;        // --report FILE.json
    std::optional<std::string> FilesFrom;     // --files-from LIST (one path per line, - for standard input)
    bool TextStrokes = false;                 // --text-strokes
    bool TrueWidths = false;                  // --true-widths
    std::vector<std::string> Files;
};

// Declares the options and file arguments of `convert` on its command; they
// fill o when the command line is parsed. Without a file and without
// --project the parse ends in a usage error.
void AddConvertOptions(CLI::App& cmd, TConvertOptions& o);

// Runs the conversion; returns the exit status: 0 the run completed, 1 an
// error ended it (or, with --keep-going, a file failed), 130 interrupted.
int RunConvert(const TConvertOptions& o, std::ostream& out, std::ostream& err);

// Parses the arguments after the word "convert" and runs it, as the command
// line does; a usage error returns 2.
int RunConvert(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
