// Reads arbitrary bytes as a project file. An EProjectError is the expected
// outcome of a damaged file; anything else is a finding.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "app/project.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The file lives in memory-backed /dev/shm when there is one: a disk-backed
    // /tmp makes the run spend its time in file I/O instead of the reader.
    static const std::string path = std::string(::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") +
                                    "/project_fuzzer." + std::to_string(::getpid()) + ".kpj";
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    TProject p;
    try {
        p.OpenFile(path);
    } catch (const EProjectError&) {
    }
    // The entries read are whole strings of the file: never more bytes than it has.
    size_t total = 0;
    for (const std::string& e : p.Jobs) total += e.size();
    if (total > size + p.Jobs.Count() * 64 + 4096) __builtin_trap();
    return 0;
}
