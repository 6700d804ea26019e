// `convert --report FILE.json`: what became of every drawing of the run (or
// of the shard), for a batch engine to collect results and retry failures.
#pragma once

#include <string>
#include <vector>

#include "app/conversion_run.h"

// The run as a whole, as the report states it.
struct TReportedRun {
    const std::vector<std::string>* Jobs = nullptr;  // the whole job list
    int ShardIndex = 0, ShardCount = 0;              // ShardCount 0: no shard
    std::string OutputFolder;
    TOutputForm Form = ofDXF;
    int ExitStatus = 0;
    int CountedDrawings = 0;
    std::string Error;  // an error outside every drawing (the output folder), or ""
};

// Collects the outcome of each drawing as the run reports it.
class TRunReport {
public:
    void Add(const TFileOutcome& outcome) { Outcomes.push_back(outcome); }
    // Writes the report to path (through a temporary file beside it, renamed
    // when complete): one object with the run's settings and, per drawing of
    // the run's share in job-list order, its layouts with their output files
    // (path, form, and the segments of a text file or the entities of a DXF
    // file, counted in the file), its warnings and its error. Drawings the
    // run did not reach (an error or an interrupt ended it before) are
    // listed as "not converted". Raises std::runtime_error when the file
    // cannot be written.
    void Write(const std::string& path, const TReportedRun& run) const;

    std::vector<TFileOutcome> Outcomes;
};

// The lines of a text output (one segment each).
long long CountTextSegments(const std::string& path);
// The entities of the ENTITIES section of a DXF output.
long long CountDxfEntities(const std::string& path);
