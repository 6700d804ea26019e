// Path helpers of the application: file name part and folder part of a path.
// Paths of this system use '/' as folder separator. Entries that came from
// project files written on Windows may use '\' and a drive colon ("C:\a\x.dxf"),
// so the file name part also ends a folder at those characters.
#pragma once

#include <string>
#include <string_view>

// True for the characters that end a folder part: '/', and '\' and ':' of
// paths written on Windows.
constexpr bool IsFolderSeparator(char c) { return c == '/' || c == '\\' || c == ':'; }

// Everything after the last folder separator ('/', '\' or ':'); the whole
// path when it has none.
std::string FileNamePart(std::string_view path);

// Everything up to and including the last '/' of a local path; empty when
// the path has no '/'.
std::string FolderPart(std::string_view path);

// True when the path contains a folder separator ('/', '\' or ':').
bool HasFolderPart(std::string_view path);

// The folder with '/' appended when it does not already end in one (an empty
// folder stays empty).
std::string WithTrailingSlash(std::string folder);

// The path made absolute against folder (an absolute local path): a path
// starting with '/' is kept as it is; a relative one is joined to folder,
// leaving out its "." components ("./in/a.dxf" -> "FOLDER/in/a.dxf"). ".."
// components are kept, since the folder they lead to depends on symbolic
// links. Empty paths and paths written on Windows (with '\' or a drive
// colon, as in old project files) are kept unchanged.
std::string AbsolutePath(std::string_view path, std::string_view folder);
