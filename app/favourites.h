// The favourite folders: most recently used first, kept in "folders.dat" in
// the program folder, one folder per line with CR LF line ends.
#pragma once

#include <string>
#include <vector>

class TPrefFolders {
public:
    // programFolder: the folder of the running program, where "folders.dat"
    // lives ('/' is appended when missing).
    explicit TPrefFolders(std::string programFolder);

    // Path of "folders.dat".
    std::string FilePath() const;

    // Reads "folders.dat" (at start): each of its lines, in order, is added to
    // the list. A missing or unreadable file leaves the list as it is, without
    // a message. Lines may end in CR LF or LF; a last line without line end
    // counts when it is not empty.
    void Load();

    // Moves folder to the top: the last exactly equal (case-sensitive) entry
    // is removed, the folder is inserted at position 0, and "folders.dat" is
    // rewritten with the whole list. A file that cannot be written is ignored
    // (the list is changed all the same).
    void AddToPrefFolders(const std::string& folder);

    // Rewrites "folders.dat"; returns false when it could not be written.
    bool Save() const;

    std::vector<std::string> Folders;

private:
    std::string ProgramFolder;
};
