// Small DXF texts written inline in tests.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace dxftest {

// Joins group lines, each followed by the line end.
inline std::string Dxf(const std::vector<std::string>& lines, const std::string& eol = "\n") {
    std::string s;
    for (auto& l : lines) s += l + eol;
    return s;
}

// An ENTITIES section holding the given groups, then EOF.
inline std::string Entities(const std::vector<std::string>& body) {
    std::vector<std::string> l = {"0", "SECTION", "2", "ENTITIES"};
    l.insert(l.end(), body.begin(), body.end());
    l.insert(l.end(), {"0", "ENDSEC", "0", "EOF"});
    return Dxf(l);
}

// Groups written as "code|value|code|value|..."; '|' becomes a line end.
inline std::string PipeDxf(std::string s) {
    for (char& c : s)
        if (c == '|') c = '\n';
    return s + "\n";
}

// The whole content of a file, and a file written with exactly the given bytes.
inline std::string ReadFile(const std::filesystem::path& p) {
    std::ifstream f(p, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

inline void WriteFile(const std::filesystem::path& p, const std::string& text) {
    std::ofstream f(p, std::ios::binary);
    f << text;
}

// Starts args[0] with the arguments, standard output to /dev/null and
// standard error to errPath, sends it SIGINT after delayMs and returns its
// wait status (-1 when it could not be started).
inline int InterruptAfter(std::vector<std::string> args, const std::string& errPath, int delayMs) {
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&fa, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = 0;
    int started = posix_spawn(&pid, argv[0], &fa, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&fa);
    if (started != 0) return -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
    ::kill(pid, SIGINT);
    int st = 0;
    if (::waitpid(pid, &st, 0) != pid) return -1;
    return st;
}

}  // namespace dxftest
