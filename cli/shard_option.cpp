#include "cli/shard_option.h"

#include <CLI/CLI.hpp>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <ostream>

#include "app/printable.h"

namespace {
bool ParseCount(std::string_view s, int32_t& out) {
    if (s.empty() || s.size() > 10) return false;
    for (char c : s)
        if (c < '0' || c > '9') return false;
    auto r = std::from_chars(s.data(), s.data() + s.size(), out);
    return r.ec == std::errc() && r.ptr == s.data() + s.size();
}
}  // namespace

bool ParseShard(const std::string& text, int32_t& index, int32_t& count) {
    const size_t slash = text.find('/');
    if (slash == std::string::npos) return false;
    std::string_view s(text);
    return ParseCount(s.substr(0, slash), index) && ParseCount(s.substr(slash + 1), count) && count >= 1 &&
           index < count;
}

void AddShardOptions(CLI::App& cmd, TConvertOptions& o) {
    cmd.add_option_function<std::string>(
           "--shard",
           [&o](const std::string& v) { ParseShard(v, o.ShardIndex, o.ShardCount); },
           "convert only the jobs k with k mod N = I of the job list, each output named as one run of the "
           "whole list names it in an empty folder (for N machines writing into one folder)")
        ->type_name("I/N")
        ->check(CLI::Validator(
            [](std::string& v) -> std::string {
                int32_t i = 0, n = 0;
                if (!ParseShard(v, i, n)) return "needs I/N, a share I from 0 to N-1 of N shares";
                return {};
            },
            ""));
    cmd.add_option_function<std::string>(
           "--report", [&o](const std::string& v) { o.Report = v; },
           "write what became of each drawing (its layouts and output files, warnings, error) as JSON")
        ->type_name("FILE.json");
    cmd.add_option_function<std::string>(
           "--files-from", [&o](const std::string& v) { o.FilesFrom = v; },
           "add the drawings listed in LIST, one path per line (- for standard input), after the FILEs")
        ->type_name("LIST");
}

bool AddFilesFrom(const std::string& path, TJobList& jobs, std::ostream& err) {
    std::FILE* f = path == "-" ? stdin : std::fopen(path.c_str(), "rb");
    if (!f) {
        err << Printable("dxf2plandrop: cannot read the list '" + path + "': " + std::strerror(errno)) << "\n";
        return false;
    }
    std::string line;
    bool ok = true;
    for (int c; (c = std::fgetc(f)) != EOF || !line.empty();) {
        if (c != EOF && c != '\n') {
            line += char(c);
            continue;
        }
        if (!line.empty()) jobs.Add(line);
        line.clear();
        if (c == EOF) break;
    }
    if (std::ferror(f)) {
        err << Printable("dxf2plandrop: cannot read the list '" + path + "': " + std::strerror(errno)) << "\n";
        ok = false;
    }
    if (f != stdin) std::fclose(f);
    return ok;
}

void ReportCountedDrawings(const TConversionRun& run, size_t jobs, std::ostream& err) {
    if (run.ShardCount < 1) return;
    const size_t n = size_t(run.ShardCount), i = size_t(run.ShardIndex);
    const size_t own = jobs > i ? (jobs - i + n - 1) / n : 0;
    if (size_t(run.CountedDrawings) <= own) return;
    err << "dxf2plandrop: warning: shard " << i << "/" << n << " read " << run.CountedDrawings
        << " drawings of other shards to count their layouts, more than its own " << own
        << ": their output names can meet its own (one base name in several folders, or names that are "
           "others with digits appended)\n";
}
