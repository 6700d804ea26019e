#include "app/project.h"

#include <cerrno>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>

#include "app/paths.h"

namespace {

void PutInt32(std::string& out, int32_t v) {
    const uint32_t u = static_cast<uint32_t>(v);
    for (int i = 0; i < 4; ++i) out += static_cast<char>((u >> (8 * i)) & 0xFF);
}

std::string SaveError(const std::string& path) {
    return "KPJ Projekt Datei speichern: Konnte die folgende Datei nicht erstellen: " +
           FileNamePart(path) + " !";
}

void PutString(std::string& out, const std::string& s, const std::string& path) {
    // A string longer than a 32-bit length can hold cannot be stored.
    if (s.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max()))
        throw EProjectError(SaveError(path));
    PutInt32(out, static_cast<int32_t>(s.size()));
    out += s;
}

std::string IntText(int64_t v) {
    char buf[24];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

// Reads the fields of a project file after its title. Every length is
// checked against the bytes left in the file before anything is allocated,
// so a damaged file never makes the reader allocate more than the file holds.
// A failed read returns false and leaves the reason in Failure.
class TProjectReader {
public:
    TProjectReader(std::ifstream& in, uint64_t remaining) : In(in), Remaining(remaining) {}

    bool ReadInt32(int32_t& v) {
        unsigned char b[4];
        if (Remaining < 4 || !In.read(reinterpret_cast<char*>(b), 4)) return Fail("unerwartetes Dateiende", "unexpected end of file");
        Remaining -= 4;
        v = static_cast<int32_t>(uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 |
                                 uint32_t(b[3]) << 24);
        return true;
    }

    bool ReadString(std::string& s) {
        int32_t len = 0;
        if (!ReadInt32(len)) return false;
        if (len < 0) return Fail("ungültige Textlänge (" + IntText(len) + ")", "invalid text length " + IntText(len));
        if (static_cast<uint64_t>(len) > Remaining)
            return Fail("Textlänge " + IntText(len) + " reicht über das Dateiende hinaus",
                        "text length " + IntText(len) + " reaches past the end of the file");
        s.assign(static_cast<size_t>(len), '\0');
        if (!In.read(s.data(), len)) return Fail("unerwartetes Dateiende", "unexpected end of file");
        Remaining -= static_cast<uint64_t>(len);
        return true;
    }

    // The reason in German (the window's box) and in English.
    std::string Failure, FailureEn;

private:
    bool Fail(std::string german, std::string english) {
        Failure = std::move(german);
        FailureEn = std::move(english);
        return false;
    }
    std::ifstream& In;
    uint64_t Remaining;
};

}  // namespace

std::string EncodeProject(const TJobList& jobs, const TConvertSettings& settings) {
    std::string out(kProgramTitle);
    PutInt32(out, jobs.Count());
    for (const std::string& e : jobs) PutString(out, e, "");
    PutString(out, settings.OutputFolder, "");
    PutInt32(out, settings.LayoutChoice);
    PutInt32(out, settings.OutputForm);
    PutInt32(out, settings.LayoutNumber);
    return out;
}

std::string CaptionFor(const std::optional<std::string>& path) {
    return std::string(kProgramTitle) + " - [" + (path ? FileNamePart(*path) : "noname.kpj") + "]";
}

void TProject::Setsavedfilename(const std::optional<std::string>& path) {
    ProjectPath = path;
    Caption = CaptionFor(path);
}

void TProject::MakeAbsolute(const std::string& folder) {
    for (int32_t i = 0; i < Jobs.Count(); ++i) Jobs[i] = AbsolutePath(Jobs[i], folder);
    Settings.OutputFolder = AbsolutePath(Settings.OutputFolder, folder);
}

void TProject::NewProject() {
    DelallPics();
    Setsavedfilename(std::nullopt);
}

void TProject::SaveFile(const std::string& path) {
    std::string bytes;
    try {
        bytes = EncodeProject(Jobs, Settings);
    } catch (const EProjectError&) {
        throw EProjectError(SaveError(path), "a path is too long for a project file");
    }
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) throw EProjectError(SaveError(path), "is a folder");
    errno = 0;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) throw EProjectError(SaveError(path), errno ? std::strerror(errno) : "cannot be created");
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    errno = 0;
    out.close();
    // A write that failed (disk full, ...) is reported like a file that could
    // not be created, rather than passing for a saved project.
    if (out.fail()) throw EProjectError(SaveError(path), errno ? std::strerror(errno) : "cannot be written");
    Setsavedfilename(path);
}

void TProject::OpenFile(const std::string& path) {
    const std::string name = FileNamePart(path);
    // The project's folder. A path without a folder lies in the current
    // folder: its entries stay relative names then.
    const std::string base = FolderPart(path);

    std::error_code ec;
    std::ifstream in;
    const bool isFolder = std::filesystem::is_directory(path, ec);
    errno = 0;
    if (!isFolder) in.open(path, std::ios::binary);
    if (!in.is_open())
        throw EProjectError("KPJ Projekt Datei öffnen: Konnte folgende Datei nicht öffnen: " + name + " !",
                            isFolder ? "is a folder" : errno ? std::strerror(errno) : "cannot be opened");
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    in.seekg(0, std::ios::beg);
    if (size < 0 || !in)
        throw EProjectError("KPJ Projekt Datei öffnen: Konnte folgende Datei nicht öffnen: " + name + " !",
                            "cannot be read");

    char title[kProgramTitle.size()];
    in.read(title, sizeof title);
    if (in.gcount() != static_cast<std::streamsize>(sizeof title) ||
        std::string_view(title, sizeof title) != kProgramTitle)
        throw EProjectError("Dies ist keine gültige KPJ Projekt Datei",
                            "not a project file: it does not start with \"" + std::string(kProgramTitle) + "\"");

    // From here on a damaged file ends the loading with the entries and
    // settings read so far kept.
    DelallPics();
    TProjectReader r(in, static_cast<uint64_t>(size) - sizeof title);
    auto damaged = [&](const std::string& what, const std::string& english) {
        return EProjectError("KPJ Projekt Datei öffnen: Die Datei " + name + " ist beschädigt: " + what + " !",
                             "damaged project file: " + english);
    };
    int32_t n = 0;
    if (!r.ReadInt32(n)) throw damaged(r.Failure, r.FailureEn);
    if (n < 0) throw damaged("ungültige Anzahl der Einträge (" + IntText(n) + ")", "invalid entry count " + IntText(n));
    for (int32_t i = 0; i < n; ++i) {
        // No room is reserved for the announced count: an enormous count
        // ends at the file's end like a truncated file.
        std::string entry;
        if (!r.ReadString(entry))
            throw damaged(r.Failure + " nach " + IntText(i) + " von " + IntText(n) + " Einträgen",
                          r.FailureEn + " after " + IntText(i) + " of " + IntText(n) + " entries");
        // Entries without a folder part lie in the project's folder. Project
        // files written on Windows separate folders with '\' and ':'; such an
        // entry ("C:\a\x.dxf", "sub\z.dxf") counts as having a folder part.
        if (!entry.empty() && !HasFolderPart(entry)) entry = base + entry;
        Jobs.Add(std::move(entry));
    }
    std::string folder;
    if (!r.ReadString(folder)) throw damaged(r.Failure, r.FailureEn);
    Settings.OutputFolder = std::move(folder);
    int32_t choice = 0, form = 0, number = 0;
    if (!r.ReadInt32(choice)) throw damaged(r.Failure, r.FailureEn);
    if (choice == lcAllLayouts || choice == lcSingleLayout)
        Settings.LayoutChoice = static_cast<TLayoutChoice>(choice);
    if (!r.ReadInt32(form)) throw damaged(r.Failure, r.FailureEn);
    if (form == ofDXF || form == ofText) Settings.OutputForm = static_cast<TOutputForm>(form);
    if (!r.ReadInt32(number)) throw damaged(r.Failure, r.FailureEn);
    Settings.LayoutNumber = number;
    Setsavedfilename(path);
}
