// The text output of the drawing sink: one "x1;y1;x2;y2" line per straight
// segment, CR LF line ends, written through one buffer (no flush per line).
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

class TTextFile {
public:
    TTextFile() = default;
    ~TTextFile();
    TTextFile(const TTextFile&) = delete;
    TTextFile& operator=(const TTextFile&) = delete;

    // Binds the file to a path; nothing is opened yet.
    void Bind(std::string path) { FPath = std::move(path); }
    const std::string& Path() const { return FPath; }
    // Creates the bound file, empty, for writing; throws EFileError when it
    // cannot be created or already exists.
    void Rewrite();
    // Writes to an already open descriptor instead (for example standard
    // output or /dev/null); the descriptor is duplicated, so Close leaves the
    // caller's own descriptor open. Throws EFileError when it is unusable.
    void RewriteDescriptor(int fd);
    bool IsOpen() const { return FFile != nullptr; }
    void WriteSegment(int32_t x1, int32_t y1, int32_t x2, int32_t y2);
    // Writes what is buffered and closes the file; throws EFileError when a
    // write fails (a full disk, a file-size limit).
    void Close();

private:
    void Flush();
    std::string FPath;
    std::FILE* FFile = nullptr;
    std::unique_ptr<char[]> FBuf;  // lines not yet written
    size_t FLen = 0;
};
