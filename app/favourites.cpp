#include "app/favourites.h"

#include <fstream>
#include <iterator>

#include "app/paths.h"

namespace {
const char kFoldersFile[] = "folders.dat";
}

TPrefFolders::TPrefFolders(std::string programFolder)
    : ProgramFolder(WithTrailingSlash(std::move(programFolder))) {}

std::string TPrefFolders::FilePath() const { return ProgramFolder + kFoldersFile; }

void TPrefFolders::Load() {
    std::ifstream in(FilePath(), std::ios::binary);
    if (!in) return;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        // A last line without line end that holds nothing (but a CR) is no
        // line.
        if (in.eof() && line.empty()) break;
        Folders.push_back(line);
    }
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

bool TPrefFolders::Save() const {
    std::ofstream out(FilePath(), std::ios::binary | std::ios::trunc);
    if (!out) return false;
    for (const std::string& f : Folders) out << f << "\r\n";
    out.close();
    return !out.fail();
}
