// Streaming of the simplified DXF writer's entities (see dxf_writer.h): the
// unnamed temporary file that holds them while the drawing is recorded, and
// the copy of them into the saved file.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <algorithm>
#include <cstring>
#include <random>

#include "output/dxf_writer_detail.h"
#include "output/errors.h"
#include "output/hex.h"

namespace {
bool WriteAll(int fd, const char* p, std::size_t n) {
    while (n > 0) {
        ssize_t w = ::write(fd, p, n);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) return false;
        p += w;
        n -= std::size_t(w);
    }
    return true;
}

bool WriteAllAt(int fd, const char* p, std::size_t n, off_t at) {
    while (n > 0) {
        ssize_t w = ::pwrite(fd, p, n, at);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) return false;
        p += w;
        at += w;
        n -= std::size_t(w);
    }
    return true;
}

}  // namespace

namespace {
// An unnamed file in the folder of fileName, or -1. linkable tells whether
// the system made it unnamed (O_TMPFILE, which can be given a name later);
// otherwise it is a named file removed at once.
// mode is that of a file that is linked later (the process's umask applies).
int OpenUnnamedBeside(const std::string& fileName, bool& linkable, mode_t mode) {
    const std::size_t slash = fileName.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string(".") : fileName.substr(0, slash + 1);
    // Unnamed where the system allows, so that it never shows in the folder
    // and goes with the process however that ends.
    int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, mode);
    linkable = fd >= 0;
    if (fd < 0) {
        std::random_device rd;
        std::string tmp = fileName;
        tmp += ".entities";
        tmp += std::to_string(rd() % 1000000);
        fd = ::open(tmp.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0) ::unlink(tmp.c_str());
    }
    return fd;
}
}  // namespace

void TkrDXFExport::StreamTo(const std::string& fileName) {
    if (Streaming() || !FFigures.empty() || FCanvas) return;
    bool linkable = false;
    int fd = OpenUnnamedBeside(fileName, linkable, 0600);
    if (fd < 0) return;  // kept in memory; saving reports what is wrong
    FStream->Fd = fd;
    FEntityLines.reserve(kStreamFlush + 2 * sizeof FStage);  // see Append
}

void TkrDXFExport::MeasureOnly() {
    if (Streaming() || !FFigures.empty() || FCanvas) return;
    FMeasuring = true;
}

TDxfStreamPlan TkrDXFExport::Plan() {
    TDxfStreamPlan plan;
    WriteStreamedEnds(plan.Head, plan.Tail);
    plan.LineTypes = FLineTypeCount;
    return plan;
}

bool TkrDXFExport::StreamDirect(const std::string& fileName, const TDxfStreamPlan& plan) {
    if (Streaming() || !FFigures.empty() || FCanvas) return false;
    bool linkable = false;
    // Made with the permissions of any file this program saves.
    int fd = OpenUnnamedBeside(fileName, linkable, 0666);
    if (fd < 0) return false;
    // A file that cannot be linked still takes the entities; saving then
    // copies them as for a plain streamed drawing.
    if (!WriteAll(fd, plan.Head.data(), plan.Head.size())) {
        ::close(fd);
        return false;
    }
    FStream->Fd = fd;
    FDirect = true;
    FStream->Linkable = linkable;
    FPlan = plan;
    FStream->EntityStart = FStream->EntityEnd = off_t(plan.Head.size());
    FStream->WriteBehind.Start(fd, WriteBehindKeep, WriteBehindChunk);
    HandleCounter = 32 + plan.LineTypes;
    FEntityLines.reserve(kStreamFlush + 2 * sizeof FStage);  // see Append
    return true;
}

bool TkrDXFExport::LinkDirect(const std::string& tmp) {
    if (!FStream->Linkable) return false;
    // The tail goes after the entities (at the same place when saved again).
    if (!WriteAllAt(FStream->Fd, FPlan.Tail.data(), FPlan.Tail.size(), FStream->EntityEnd)) return false;
    const std::string self = "/proc/self/fd/" + std::to_string(FStream->Fd);
    if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, tmp.c_str(), AT_SYMLINK_FOLLOW) != 0) return false;
    // Linked once: the file now has a name, and a later save copies it.
    FStream->Linkable = false;
    return true;
}

void TkrDXFExport::SyncToDisk() const {
    TDirectWrite& disk = *FStream->Direct;
    disk.Appended(FStaged);
    FStream->EntityEnd += off_t(FStaged);
    FStream->DirectFailed |= disk.Error() != 0;
    FStageAt = disk.Room(sizeof FStage);
}

void TkrDXFExport::LinesToDisk() const {
    // (Nothing is staged: the lines were gathered past an empty stage.)
    std::string& lines = *FTarget;
    TDirectWrite& disk = *FStream->Direct;
    FStream->DirectFailed |= !disk.Append(lines.data(), lines.size());
    FStream->EntityEnd += off_t(lines.size());
    lines.clear();
    FStageAt = disk.Room(sizeof FStage);
}

void TkrDXFExport::FlushEntities() {
    Sync();
    if (FStream->DirectFailed) throw EFileError("Stream write error");
    // Staged to the disk, the lines are there already (see LinesToDisk).
    if (StagingToDisk()) return;
    if (FMeasuring) FEntityLines.clear();
    if (FStream->Fd < 0 || FEntityLines.empty()) return;
    if (!WriteAllAt(FStream->Fd, FEntityLines.data(), FEntityLines.size(), FStream->EntityEnd))
        throw EFileError("Stream write error");
    FStream->EntityEnd += off_t(FEntityLines.size());
    FEntityLines.clear();
    if (!FDirect) return;
    // A planned file that has grown large goes on straight to the disk
    // where the system allows (a small one is left to the cache, which
    // writes it best); otherwise it is written behind.
    if (!FStream->DirectTried && FStream->EntityEnd >= DirectFrom) {
        FStream->DirectTried = true;
        auto direct = std::make_unique<TDirectWrite>();
        if (direct->Start(FStream->Fd, FStream->EntityEnd)) {
            FStream->Direct = std::move(direct);
            FStageAt = FStream->Direct->Room(sizeof FStage);
            return;
        }
    }
    FStream->WriteBehind.Written(FStream->EntityEnd);
}

void TkrDXFExport::CopyEntities(const std::function<void(const char*, std::size_t)>& put) {
    constexpr std::size_t kChunk = std::size_t(1) << 20;
    std::string buf(kChunk, '\0');
    // Pairs of lines: a code line, then a value line. The value after each
    // code 5 is an entity's handle (entity i counted by its code 0 lines);
    // it is raised by the number of line types that came after it.
    std::string line, out;
    bool codeLine = true, handle = false;
    std::int64_t entity = -1;
    auto late = [&](std::int64_t i) {
        std::int64_t n = 0;
        for (std::int64_t c : FLateLineTypes) n += c > i;
        return n;
    };
    auto lineDone = [&] {
        if (codeLine) {
            if (line == "  0\r\n") ++entity;
            handle = line == "  5\r\n";
            out += line;
        } else if (handle) {
            std::uint64_t v = 0;
            std::from_chars(line.data(), line.data() + line.size() - 2, v, 16);
            char hex[24];
            const char* end = PutHex(hex, v + std::uint64_t(late(entity)));
            out.append(hex, std::size_t(end - hex));
            out += "\r\n";
        } else {
            out += line;
        }
        codeLine = !codeLine;
        line.clear();
    };
    for (off_t at = FStream->EntityStart; at < FStream->EntityEnd;) {
        ssize_t n = ::pread(FStream->Fd, buf.data(), std::size_t(std::min<off_t>(off_t(kChunk), FStream->EntityEnd - at)), at);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) throw EFileError(std::string("Stream read error. ") + std::strerror(errno));
        if (n == 0) break;
        at += n;
        if (FLateLineTypes.empty()) {
            put(buf.data(), std::size_t(n));
            continue;
        }
        for (ssize_t i = 0; i < n; ++i) {
            line += buf[std::size_t(i)];
            if (buf[std::size_t(i)] == '\n') lineDone();
        }
        put(out.data(), out.size());
        out.clear();
    }
    if (!line.empty()) put(line.data(), line.size());
}

bool TkrDXFExport::CopyEntitiesTo(int fd) {
    if (FLateLineTypes.empty()) {
        // In the kernel, without passing through this process.
        loff_t in = FStream->EntityStart;
        const loff_t size = FStream->EntityEnd;
        while (in < size) {
            ssize_t n = ::copy_file_range(FStream->Fd, &in, fd, nullptr, std::size_t(size - in), 0);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
        }
        if (in == size) return true;
        if (in != FStream->EntityStart) return false;  // partly copied: the output is not sound
    }
    bool ok = true;
    CopyEntities([&](const char* p, std::size_t n) { ok = ok && WriteAll(fd, p, n); });
    return ok;
}
