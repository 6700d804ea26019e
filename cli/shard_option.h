// `convert --shard I/N` and `--report FILE.json`: a share of the job list
// for a batch engine that spreads the list over machines, and the report of
// what became of each drawing.
#pragma once

#include <cstdint>
#include <string>

#include <iosfwd>

#include "app/conversion_run.h"
#include "cli/convert.h"

// Reads "I/N" (plain decimal numbers, 0 <= I < N); false when it is not.
bool ParseShard(const std::string& text, int32_t& index, int32_t& count);

// Declares --shard and --report on the convert command.
void AddShardOptions(CLI::App& cmd, TConvertOptions& o);

// A shard that read more drawings of other shards (to count their layouts)
// than it converted itself says so on err: the job list is then spread
// badly for its names (see README).
void ReportCountedDrawings(const TConversionRun& run, size_t jobs, std::ostream& err);
