// `convert --shard I/N` and `--report FILE.json`: a share of the job list
// for a batch engine that spreads the list over machines, and the report of
// what became of each drawing.
#pragma once

#include <cstdint>
#include <string>

#include <iosfwd>

#include "app/conversion_run.h"
#include "app/joblist.h"
#include "cli/convert.h"

// Reads "I/N" (plain decimal numbers, 0 <= I < N); false when it is not.
bool ParseShard(const std::string& text, int32_t& index, int32_t& count);

// Declares --shard, --report and --files-from on the convert command.
void AddShardOptions(CLI::App& cmd, TConvertOptions& o);

// Appends the paths listed in the file at path ("-": standard input), one
// per line (the line feed ends it; empty lines are skipped), to jobs; false
// (with the reason on err) when the list cannot be read.
bool AddFilesFrom(const std::string& path, TJobList& jobs, std::ostream& err);

// A shard that read more drawings of other shards (to count their layouts)
// than it converted itself says so on err: the job list is then spread
// badly for its names (see README).
void ReportCountedDrawings(const TConversionRun& run, size_t jobs, std::ostream& err);
