// Where the conversion run writes: the output folder and the name of each
// output file.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>

#include "app/settings.h"
#include "model/errors.h"

// The output folder is empty (and so is the program folder) or cannot be
// created: "Konnte den Ausgabeordner nicht erzeugen!".
class EOutputFolderError : public EkrError {
public:
    using EkrError::EkrError;
};

// No free output name was found within kMaxNameCounter tries.
class EOutputNameError : public EkrError {
public:
    using EkrError::EkrError;
};

// The output folder step of a run: the typed text, or the program folder when
// the text is empty, created with all missing parent folders, returned with a
// trailing '/'. Raises EOutputFolderError when both are empty, when creating
// fails, or when the path exists but is no folder.
std::string PrepareOutputFolder(const std::string& text, const std::string& programFolder);

// The base name of an entry: its file name part (after the last '/', '\' or
// ':') without its extension (from the last '.' on; plan.rev.dxf -> plan.rev,
// plan -> plan). See OutputFileName for the names that could leave the folder.
std::string OutputBaseName(const std::string& entry);

// The largest counter tried; a folder that already holds base.ext and
// base0.ext .. base<kMaxNameCounter>.ext gets no further file.
constexpr int kMaxNameCounter = 999999;

// The output path of an entry: outputFolder (ending in '/') + base name +
// ".dxf" (DXF form) or ".txt" (text form); while that path exists, base name
// + k + extension with k = 0, 1, 2, ... The first free candidate is returned,
// so an existing file is never overwritten. Anything at a candidate path,
// a dangling symbolic link too, counts as existing.
std::string OutputFileName(const std::string& outputFolder, const std::string& entry,
                           TOutputForm form);

// The output names of one run: the names OutputFileName gives, without
// probing every name from the start again. For each folder, base name and
// extension it keeps the counter of the name it gave last; the next call
// probes from that name on (the name itself first, since the layout it was
// given to may have ended before its file was made). Every name before it
// was found taken earlier in the run, and a run never removes a file that
// existed or that it finished, so the result is the same as OutputFileName's:
// n outputs of one base name cost about 2n probes instead of n^2 / 2. (A
// name someone else frees in the folder while the run goes on is not taken
// again.)
class TOutputNamer {
public:
    std::string Next(const std::string& outputFolder, const std::string& entry, TOutputForm form);
    // Candidates probed so far (for tests and benchmarks).
    int64_t Probes() const { return FProbes; }

private:
    std::unordered_map<std::string, int> FFrom;  // folder + base + extension -> probe index
    int64_t FProbes = 0;
};

// The candidate with probe index p of a base name: p = 0 the base name
// itself, p >= 1 the base name followed by the counter p - 1.
std::string CandidateStem(const std::string& base, int p);

// Probe indices run from 0 to kMaxNameCounter + 1.
constexpr int kMaxProbeIndex = kMaxNameCounter + 1;
