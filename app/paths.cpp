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

std::string AbsolutePath(std::string_view path, std::string_view folder) {
    if (path.empty() || path.front() == '/' || path.find('\\') != std::string_view::npos ||
        (path.size() >= 2 && path[1] == ':'))
        return std::string(path);
    std::string r(folder);
    while (!r.empty() && r.back() == '/') r.pop_back();
    size_t i = 0;
    while (i <= path.size()) {
        size_t e = path.find('/', i);
        if (e == std::string_view::npos) e = path.size();
        std::string_view part = path.substr(i, e - i);
        if (!part.empty() && part != ".") (r += '/') += part;
        i = e + 1;
    }
    if (path.back() == '/') r += '/';
    return r.empty() ? "/" : r;
}
