#include "cli/run_report.h"

#include <nlohmann/json.hpp>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string_view>

namespace {
using TJson = nlohmann::ordered_json;  // keys in the order written

std::string_view Trimmed(const char* line, ssize_t n) {
    std::string_view v(line, size_t(n));
    while (!v.empty() && (v.back() == '\n' || v.back() == '\r' || v.back() == ' ')) v.remove_suffix(1);
    while (!v.empty() && v.front() == ' ') v.remove_prefix(1);
    return v;
}

TJson OutputJson(const TOutputFile& o, TOutputForm form) {
    TJson j{{"layout", o.Layout}, {"path", o.Path}, {"form", form == ofText ? "text" : "dxf"}};
    if (form == ofText) j["segments"] = CountTextSegments(o.Path);
    else j["entities"] = CountDxfEntities(o.Path);
    j["complete"] = o.Complete;
    j["existed"] = o.Existed;
    return j;
}
}  // namespace

long long CountTextSegments(const std::string& path) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> f(std::fopen(path.c_str(), "rb"), std::fclose);
    if (!f) return 0;
    long long lines = 0;
    static constexpr size_t kChunk = 1 << 16;
    std::unique_ptr<char[]> buf(new char[kChunk]);
    for (size_t n; (n = std::fread(buf.get(), 1, kChunk, f.get())) > 0;)
        for (const char* p = buf.get(); (p = static_cast<const char*>(std::memchr(p, '\n', size_t(buf.get() + n - p))));
             ++p)
            ++lines;
    return lines;
}

long long CountDxfEntities(const std::string& path) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> f(std::fopen(path.c_str(), "rb"), std::fclose);
    if (!f) return 0;
    char* line = nullptr;
    size_t size = 0;
    long long entities = 0;
    bool codeLine = true, inEntities = false, sectionStart = false;
    std::string code;
    for (ssize_t n; (n = ::getline(&line, &size, f.get())) >= 0; codeLine = !codeLine) {
        std::string_view v = Trimmed(line, n);
        if (codeLine) {
            code.assign(v);
            continue;
        }
        if (code == "0") {
            sectionStart = v == "SECTION";
            if (v == "ENDSEC") inEntities = false;
            else if (inEntities) ++entities;
        } else if (code == "2" && sectionStart) {
            inEntities = v == "ENTITIES";
            sectionStart = false;
        }
    }
    std::free(line);
    return entities;
}

void TRunReport::Write(const std::string& path, const TReportedRun& run) const {
    TJson root;
    root["output_folder"] = run.OutputFolder;
    root["form"] = run.Form == ofText ? "text" : "dxf";
    if (run.ShardCount > 0) root["shard"] = TJson{{"index", run.ShardIndex}, {"count", run.ShardCount}};
    TJson drawings = TJson::array();
    int converted = 0, failed = 0;
    size_t at = 0;  // next outcome
    const std::vector<std::string>& jobs = *run.Jobs;
    const size_t step = run.ShardCount > 0 ? size_t(run.ShardCount) : 1;
    for (size_t k = run.ShardCount > 0 ? size_t(run.ShardIndex) : 0; k < jobs.size(); k += step) {
        TJson d{{"job", k}, {"file", jobs[k]}};
        if (at < Outcomes.size() && Outcomes[at].Job == k) {
            const TFileOutcome& o = Outcomes[at++];
            d["status"] = o.Failed ? "failed" : "converted";
            d["layouts_found"] = o.LayoutCount >= 0 ? TJson(o.LayoutCount) : TJson();
            TJson layouts = TJson::array();
            for (const TOutputFile& out : o.Outputs) {
                layouts.push_back(OutputJson(out, run.Form));
                if (out.Complete) ++converted;
            }
            d["layouts"] = std::move(layouts);
            d["warnings"] = o.Warnings;
            if (o.Failed) {
                d["error"] = o.Error;
                ++failed;
            }
        } else {
            d["status"] = "not converted";
            d["layouts_found"] = TJson();
            d["layouts"] = TJson::array();
            d["warnings"] = TJson::array();
        }
        drawings.push_back(std::move(d));
    }
    root["drawings"] = std::move(drawings);
    if (run.ShardCount > 0) root["drawings_counted"] = run.CountedDrawings;
    root["layouts_converted"] = converted;
    root["drawings_failed"] = failed;
    if (!run.Error.empty()) root["error"] = run.Error;
    root["exit_status"] = run.ExitStatus;

    // Text from drawings and file names that is no UTF-8 shows its bytes as
    // U+FFFD; "job" names each drawing by its place in the job list anyway.
    const std::string text = root.dump(1, '\t', false, TJson::error_handler_t::replace) + "\n";
    const std::string tmp = path + ".tmp" + std::to_string(::getpid());
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        out.write(text.data(), std::streamsize(text.size()));
        out.close();
        if (!out) {
            std::remove(tmp.c_str());
            throw std::runtime_error("cannot write the report '" + path + "': " + std::strerror(errno));
        }
    }
    if (std::rename(tmp.c_str(), path.c_str()) != 0) {
        const int e = errno;
        std::remove(tmp.c_str());
        throw std::runtime_error("cannot write the report '" + path + "': " + std::strerror(e));
    }
}
