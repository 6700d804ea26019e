#include "app/favourites.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "app/paths.h"

namespace {
const char kFoldersFile[] = "folders.dat";
}

bool CanWriteFile(const std::string& path) {
    std::error_code ec;
    const bool existed = std::filesystem::exists(std::filesystem::symlink_status(path, ec));
    {
        // Appending neither truncates nor changes an existing file.
        std::ofstream probe(path, std::ios::binary | std::ios::app);
        if (!probe) return false;
    }
    if (!existed) std::filesystem::remove(path, ec);
    return true;
}

TPrefFolders::TPrefFolders(std::string programFolder, std::string userFolder)
    : ProgramFolder(WithTrailingSlash(std::move(programFolder))),
      UserFolder(WithTrailingSlash(std::move(userFolder))) {}

std::string TPrefFolders::FilePath() const { return (InUserFolder ? UserFolder : ProgramFolder) + kFoldersFile; }

void TPrefFolders::Load() {
    const std::string beside = ProgramFolder + kFoldersFile;
    InUserFolder = !UserFolder.empty() && !Writable(beside);
    // The user's own list wins; the one beside the program is the start.
    if (InUserFolder && ReadFrom(UserFolder + kFoldersFile)) return;
    ReadFrom(beside);
}

bool TPrefFolders::ReadFrom(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        // A last line without line end that holds nothing (but a CR) is no
        // line.
        if (in.eof() && line.empty()) break;
        Folders.push_back(line);
    }
    return true;
}

void TPrefFolders::AddToPrefFolders(const std::string& folder) {
    for (size_t i = Folders.size(); i-- > 0;) {
        if (Folders[i] == folder) {
            Folders.erase(Folders.begin() + static_cast<std::ptrdiff_t>(i));
            break;
        }
    }
    Folders.insert(Folders.begin(), folder);
    Save();  // a file that cannot be written is ignored
}

bool TPrefFolders::Save() {
    if (WriteTo(FilePath())) return true;
    if (InUserFolder || UserFolder.empty()) return false;
    // The program folder refused the file: the user folder takes over.
    InUserFolder = true;
    if (WriteTo(FilePath())) return true;
    InUserFolder = false;
    return false;
}

bool TPrefFolders::WriteTo(const std::string& path) const {
    if (InUserFolder) {
        // The user's configuration folder may not exist yet.
        std::error_code ec;
        std::filesystem::create_directories(UserFolder, ec);
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    for (const std::string& f : Folders) out << f << "\r\n";
    out.close();
    return !out.fail();
}

void TPrefFolders::Remove(size_t index) {
    if (index >= Folders.size()) return;
    Folders.erase(Folders.begin() + std::ptrdiff_t(index));
    Save();
}
