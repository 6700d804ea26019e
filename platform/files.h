// File services the drawing side needs for the files a drawing names
// (external drawings, raster images): which file a path is, whether it is a
// regular file, and reading one within a size bound without ever blocking on
// a FIFO or a device.
#pragma once

#include <cstdint>
#include <string>

// Identifies a file whatever path leads to it (links, "..", relative paths).
struct TFileIdentity {
    uint64_t Device = 0, Inode = 0;
    friend bool operator==(const TFileIdentity&, const TFileIdentity&) = default;
};

enum class TFileKind { fkMissing, fkRegular, fkOther };

// What path names: nothing (or a path the system cannot look up, such as
// one too long), a regular file (with its identity and size), or something
// else (a folder, FIFO, device or socket).
struct TFileInfo {
    TFileKind Kind = TFileKind::fkMissing;
    TFileIdentity Id;
    uint64_t Size = 0;
};
TFileInfo InspectFile(const std::string& path);

// Reads the regular file path into text. Fails (false, with the reason in
// error) when the file cannot be opened, is not a regular file (checked on
// the opened file, so that a FIFO swapped in after InspectFile blocks
// nothing), is larger than maxSize or cannot be read. id is the identity of
// the file read.
bool ReadRegularFile(const std::string& path, uint64_t maxSize, std::string& text, TFileIdentity& id,
                     std::string& error);
