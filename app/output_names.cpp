#include "app/output_names.h"

#include <charconv>
#include <filesystem>
#include <system_error>

#include "app/paths.h"

namespace fs = std::filesystem;

std::string PrepareOutputFolder(const std::string& text, const std::string& programFolder) {
    std::string folder = text.empty() ? programFolder : text;
    if (folder.empty()) throw EOutputFolderError("Konnte den Ausgabeordner nicht erzeugen!");
    std::error_code ec;
    fs::create_directories(fs::path(folder), ec);
    // create_directories also fails when the path exists as a file; a folder
    // that already exists is fine.
    if (ec || !fs::is_directory(fs::path(folder), ec) || ec)
        throw EOutputFolderError("Konnte den Ausgabeordner nicht erzeugen!");
    return WithTrailingSlash(std::move(folder));
}

std::string OutputBaseName(const std::string& entry) {
    std::string name = FileNamePart(entry);
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos) name.erase(dot);
    // The output file must stay inside the output folder whatever the entry's
    // name. The base name never holds a folder separator, and the new
    // extension always follows it, so the file name is never "." or "..".
    // Two more rules keep odd entries sound:
    //  - a NUL byte would cut the path short when the file is opened
    //    ("..\0.dxf" would become the parent folder "..") and make every
    //    counter candidate look taken; it is replaced by '_';
    //  - a base name that is empty or only dots (entries ending in '/', ".",
    //    "..", ".dxf") would give a hidden or dot-only name; it becomes
    //    "noname", the name the program uses for an unnamed project too.
    for (char& c : name)
        if (c == '\0') c = '_';
    if (name.find_first_not_of('.') == std::string::npos) name = "noname";
    return name;
}

namespace {
bool Exists(const std::string& path) {
    std::error_code ec;
    // symlink_status: a dangling link counts as taken, so the new file is not
    // created through it somewhere else. A path whose status cannot be read
    // counts as free; creating the file then reports the error.
    const fs::file_status st = fs::symlink_status(fs::path(path), ec);
    if (ec) return false;
    return st.type() != fs::file_type::not_found && st.type() != fs::file_type::none;
}
}  // namespace

std::string CandidateStem(const std::string& base, int p) {
    if (p == 0) return base;
    char buf[16];
    auto r = std::to_chars(buf, buf + sizeof buf, p - 1);
    return base + std::string(buf, r.ptr);
}

namespace {
// The first free candidate of base (folder included) and ext with a probe
// index of at least from; p is set to its probe index.
std::string FirstFree(const std::string& base, const char* ext, int from, int& p, int64_t& probes) {
    for (p = from;; ++p) {
        // Bounded so a folder that somehow reports every name as taken cannot
        // keep the run searching for ever.
        if (p > kMaxProbeIndex) throw EOutputNameError("Fehler: konnte folgende Datei nicht erstellen: " + base + ext);
        std::string candidate = CandidateStem(base, p) + ext;
        ++probes;
        if (!Exists(candidate)) return candidate;
    }
}
}  // namespace

std::string OutputFileName(const std::string& outputFolder, const std::string& entry,
                           TOutputForm form) {
    int p = 0;
    int64_t probes = 0;
    return FirstFree(outputFolder + OutputBaseName(entry), form == ofText ? ".txt" : ".dxf", 0, p, probes);
}

std::string TOutputNamer::Next(const std::string& outputFolder, const std::string& entry, TOutputForm form) {
    const std::string base = outputFolder + OutputBaseName(entry);
    const char* ext = form == ofText ? ".txt" : ".dxf";
    int& from = FFrom[base + ext];
    int p = 0;
    std::string name = FirstFree(base, ext, from, p, FProbes);
    from = p;
    return name;
}
