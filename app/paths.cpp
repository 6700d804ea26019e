#include "app/paths.h"

std::string FileNamePart(std::string_view path) {
    size_t i = path.size();
    while (i > 0 && !IsFolderSeparator(path[i - 1])) --i;
    return std::string(path.substr(i));
}

std::string FolderPart(std::string_view path) {
    size_t p = path.rfind('/');
    if (p == std::string_view::npos) return {};
    return std::string(path.substr(0, p + 1));
}

bool HasFolderPart(std::string_view path) {
    for (char c : path)
        if (IsFolderSeparator(c)) return true;
    return false;
}

std::string WithTrailingSlash(std::string folder) {
    if (!folder.empty() && folder.back() != '/') folder += '/';
    return folder;
}
