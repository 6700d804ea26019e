// The favourite folders: most recently used first, kept in "folders.dat", one
// folder per line with CR LF line ends.
//
// "folders.dat" lives in the program folder. An installed program's folder
// (/usr/bin) is not writable, and every change of the favourites would be
// lost there; so when a user folder is given (the window gives the user's
// configuration folder) and the program folder is not writable, the list is
// read from and written to the user folder instead. A "folders.dat" beside
// the program is still read there as long as the user folder holds none, so
// an installation may bring a starting list.
#pragma once

#include <functional>
#include <string>
#include <vector>

// True when a file can be written at path: an existing file can be opened
// for writing, or a new one can be created there (the probe file is removed
// again). Tests the real permissions of the running user, read-only mounts
// included, without changing an existing file.
bool CanWriteFile(const std::string& path);

class TPrefFolders {
public:
    // programFolder: the folder of the running program, where "folders.dat"
    // lives ('/' is appended when missing). userFolder: where it goes when
    // the program folder is not writable; empty for none (the file then
    // always stays in the program folder).
    explicit TPrefFolders(std::string programFolder, std::string userFolder = {});

    // Path of "folders.dat" as it is written: in the program folder, or in
    // the user folder after Load found the program folder not writable (or
    // a write there failed).
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

    // Removes the entry at index (nothing for an index outside the list) and
    // rewrites "folders.dat" as AddToPrefFolders does.
    void Remove(size_t index);

    // Rewrites "folders.dat"; returns false when it could not be written. A
    // program folder that refuses the file hands it on to the user folder
    // (created when missing).
    bool Save();

    std::vector<std::string> Folders;

    // The writability test of the program folder's file; tests replace it
    // (a root user may write where the program's users may not).
    std::function<bool(const std::string&)> Writable = CanWriteFile;

private:
    std::string ProgramFolder;
    std::string UserFolder;
    bool InUserFolder = false;  // the list is read and written in UserFolder
    bool ReadFrom(const std::string& path);
    bool WriteTo(const std::string& path) const;
};
