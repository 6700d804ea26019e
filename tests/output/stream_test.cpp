// The streamed simplified DXF gives the bytes of the one kept in memory:
// records read back in pieces while drawing, figures written into the
// temporary file at once, line types that come after entities (their
// handles corrected when the file is put together), and a file larger than
// the pieces it is copied in.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/magic.h>
#include <sys/mman.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <filesystem>
#include <tuple>
#include <fstream>
#include <functional>
#include <iterator>
#include <limits>
#include <cstring>
#include <memory>
#include <sstream>
#include <thread>
#include <vector>

#include "output/direct_write.h"
#include "output/dxf_writer.h"
#include "output/errors.h"
#include "platform/batch_pipe.h"
#include "platform/recording_canvas.h"

#include "file_size_limit.h"

namespace fs = std::filesystem;

namespace {
// Draws on the writer's canvas what a layout could: lines with solid and
// dashed pens (a dashed pen first appears after n lines), a filled polygon,
// a rectangle, an ellipse and a text.
void Draw(TkrDXFExport& w, int n, std::size_t drainWords) {
    TRecordingCanvas& c = w.GetCanvas();
    c.DrainWords = drainWords;
    for (int i = 0; i < n; ++i) {
        c.Pen.Color = TColor(i % 7 * 0x102030);
        c.Pen.Width = i % 3;
        c.MoveTo(i, -i);
        c.LineTo(i * 3 + 7, 100000 - i);
    }
    for (int style : {2, 0, 3, 1, 2}) {
        c.Pen.Style = TPenStyle(style);
        c.MoveTo(5, 5);
        c.LineTo(-500, 70000);
    }
    c.Pen.Style = psSolid;
    const TPoint poly[] = {{0, 0}, {100, 0}, {100, 100}, {0, 40000}};
    c.Brush.Style = bsSolid;
    c.Polygon(poly);
    c.Brush.Style = bsClear;
    c.Rectangle(-10, -10, 20, 30);
    c.Ellipse(0, 0, 300, 100);
    c.TextOut(40, 50, "Text");
    // A value longer than the writer's stage, written past it.
    c.TextOut(60, 70, std::string(9000, 'L'));
    for (int i = 0; i < n; ++i) {
        c.MoveTo(-i, i);
        c.LineTo(i, 2 * i);
    }
}

std::string ReadFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

class Stream : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("dxf_stream_test_" + std::to_string(::getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }
    // The file of the drawing kept in memory, and the one streamed, saved
    // to a file, its records read back on a thread of their own or not.
    void Compare(int n, std::size_t drainWords) {
        for (bool onThread : {true, false}) Compare(n, drainWords, onThread);
    }
    void Compare(int n, std::size_t drainWords, bool onThread) {
        SCOPED_TRACE(onThread ? "read back on a thread" : "read back by the drawing thread");
        fs::remove_all(dir);
        fs::create_directories(dir);
        TkrDXFExport memory;
        Draw(memory, n, drainWords);
        memory.FinishDrawing();
        const std::string expected = memory.SaveToString();

        const fs::path file = dir / "out.dxf";
        TkrDXFExport streamed;
        streamed.ReadOnThread(onThread);
        streamed.StreamTo(file.string());
        ASSERT_TRUE(streamed.Streaming());
        Draw(streamed, n, drainWords);
        // Nothing shows in the folder while the drawing is streamed.
        EXPECT_TRUE(fs::is_empty(dir));
        streamed.FinishDrawing();
        EXPECT_TRUE(streamed.Figures().empty());
        streamed.SaveToFile(file.string());
        const std::string got = ReadFile(file);
        EXPECT_EQ(got.size(), expected.size());
        EXPECT_TRUE(got == expected);
        // Saving again, to a stream or a string, gives the same bytes.
        std::ostringstream again;
        streamed.SaveToStream(again);
        EXPECT_TRUE(again.str() == expected);
        EXPECT_TRUE(streamed.SaveToString() == expected);
        EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
    }
    fs::path dir;
};
}  // namespace

TEST_F(Stream, SmallDrawingInManyPiecesGivesTheSameBytes) { Compare(40, 8); }

TEST_F(Stream, LateLineTypesAcrossCopyPiecesGiveTheSameBytes) {
    // Some 13 MB of entities: written in many flushes, copied in pieces of
    // 1 MB whose ends fall inside lines, every handle before the dashed pens
    // corrected.
    Compare(60000, std::size_t(1) << 16);
}

TEST_F(Stream, WithoutDashedPensTheEntitiesAreCopiedAsWritten) {
    for (bool dashed : {false, true}) {
        TkrDXFExport memory, streamed;
        streamed.StreamTo((dir / "x.dxf").string());
        for (TkrDXFExport* w : {&memory, &streamed}) {
            TRecordingCanvas& c = w->GetCanvas();
            for (int i = 0; i < 3000; ++i) {
                c.Pen.Style = dashed && i == 2999 ? psDash : psSolid;
                c.MoveTo(i, 0);
                c.LineTo(0, i);
            }
            w->FinishDrawing();
        }
        EXPECT_TRUE(memory.SaveToString() == streamed.SaveToString()) << dashed;
    }
}

TEST_F(Stream, AFolderWithoutRoomForTheTemporaryKeepsTheDrawingInMemory) {
    TkrDXFExport w;
    w.StreamTo("/nonexistent-folder-xyz/out.dxf");
    EXPECT_FALSE(w.Streaming());
    Draw(w, 3, 8);
    w.FinishDrawing();
    EXPECT_FALSE(w.Figures().empty());
    EXPECT_THROW(w.SaveToFile("/nonexistent-folder-xyz/out.dxf"), EFileError);
}

TEST_F(Stream, AWriteErrorComesOutOfFinishDrawingWithOrWithoutTheThread) {
    // A file-size limit stands in for a full disk; the drawing goes on to its
    // end either way.
    auto limit = std::make_unique<TFileSizeLimit>(65536);
    ASSERT_TRUE(limit->Set);
    bool drew[2] = {false, false}, raised[2] = {false, false};
    for (bool onThread : {false, true}) {
        TkrDXFExport w;
        w.ReadOnThread(onThread);
        w.StreamTo((dir / "full.dxf").string());
        try {
            Draw(w, 60000, std::size_t(1) << 12);
            drew[onThread] = true;
            w.FinishDrawing();
        } catch (const EFileError& e) {
            raised[onThread] = std::string(e.what()) == "Stream write error";
        }
    }
    limit.reset();
    EXPECT_TRUE(drew[0] && drew[1]);
    EXPECT_TRUE(raised[0] && raised[1]);
    EXPECT_TRUE(fs::is_empty(dir));
}

TEST(RecordPipe, PiecesAreReadInOrderAndAnErrorComesOutOfFinishOnly) {
    std::vector<std::size_t> seen;
    TPiecePipe<TEmfRecordBuffer> pipe([&](const TEmfRecordBuffer& b) {
        if (b.Count() == 3) throw EFileError("Stream write error");
        seen.push_back(b.Count());
    });
    for (std::size_t n : {1, 2, 3, 4, 5}) {
        TEmfRecordBuffer b;
        for (std::size_t i = 0; i < n; ++i) b.Append(EMREOF{});
        EXPECT_NO_THROW(pipe.Push(b));
        EXPECT_TRUE(b.Empty());
    }
    EXPECT_THROW(pipe.Finish(), EFileError);
    EXPECT_EQ(seen, (std::vector<std::size_t>{1, 2}));
}

TEST(RecordPipe, AThreadStartsWithTheFirstPieceOnly) {
    // A single piece (a small output) is used on the calling thread; once
    // pieces were pushed, the last one follows them on the pipe's thread.
    for (int pushed : {0, 2}) {
        std::vector<std::size_t> seen;
        std::vector<std::thread::id> where;
        TPiecePipe<TEmfRecordBuffer> pipe([&](const TEmfRecordBuffer& b) {
            seen.push_back(b.Count());
            where.push_back(std::this_thread::get_id());
        });
        for (int i = 0; i < pushed; ++i) {
            TEmfRecordBuffer b;
            b.Append(EMREOF{});
            pipe.Push(b);
        }
        TEmfRecordBuffer last;
        last.Append(EMREOF{});
        last.Append(EMREOF{});
        pipe.FinishWith(last);
        EXPECT_TRUE(last.Empty());
        EXPECT_EQ(seen.back(), 2u) << pushed;
        ASSERT_EQ(where.size(), std::size_t(pushed + 1));
        EXPECT_EQ(where.back() == std::this_thread::get_id(), pushed == 0) << pushed;
    }
}

namespace {
// A measuring drawing, then the planned one into dir/name: the file the
// planned writer saves.
std::string Planned(const fs::path& file, int n, std::size_t drainWords, TkrDXFExport& planned,
                    void (*draw)(TkrDXFExport&, int, std::size_t) = Draw, bool onThread = true) {
    TkrDXFExport probe;
    probe.MeasureOnly();
    probe.ReadOnThread(onThread);
    planned.ReadOnThread(onThread);
    draw(probe, n, drainWords);
    probe.FinishDrawing();
    // Measuring keeps no entity line and makes no file.
    EXPECT_TRUE(probe.EntityLines().empty());
    EXPECT_TRUE(fs::is_empty(file.parent_path()));
    const TDxfStreamPlan plan = probe.Plan();
    EXPECT_TRUE(planned.StreamDirect(file.string(), plan));
    draw(planned, n, drainWords);
    EXPECT_TRUE(fs::is_empty(file.parent_path()));
    planned.FinishDrawing();
    planned.SaveToFile(file.string());
    return ReadFile(file);
}
}  // namespace

TEST_F(Stream, APlannedDrawingIsWrittenOnceAndGivesTheSameBytes) {
    for (auto [n, drain, onThread] : {std::tuple{40, std::size_t(8), true}, std::tuple{60000, std::size_t(1) << 16, true},
                                      std::tuple{60000, std::size_t(1) << 16, false}}) {
        TkrDXFExport memory;
        Draw(memory, n, drain);
        memory.FinishDrawing();
        const std::string expected = memory.SaveToString();
        const fs::path file = dir / ("planned" + std::to_string(n) + ".dxf");
        TkrDXFExport planned;
        planned.DirectFrom = 1 << 20;  // past the cache once it has 1 MiB, where the system allows
        fs::remove_all(dir);
        fs::create_directories(dir);
        const std::string got = Planned(file, n, drain, planned, Draw, onThread);
        EXPECT_EQ(got.size(), expected.size()) << n;
        EXPECT_TRUE(got == expected) << n;
        // A file of this program: the permissions of any file it saves (read
        // and write for everyone the umask allows), not the private mode of a
        // temporary file.
        {
            std::ofstream(dir / "plain.txt") << "x";
        }
        EXPECT_EQ(fs::status(file).permissions(), fs::status(dir / "plain.txt").permissions()) << n;
        fs::remove(dir / "plain.txt");
        // Saving again (to a stream, a string, the same or another file)
        // gives the same bytes and leaves no temporary file.
        std::ostringstream again;
        planned.SaveToStream(again);
        EXPECT_TRUE(again.str() == expected);
        EXPECT_TRUE(planned.SaveToString() == expected);
        planned.SaveToFile(file.string());
        planned.SaveToFile((dir / "copy.dxf").string());
        EXPECT_TRUE(ReadFile(file) == expected);
        EXPECT_TRUE(ReadFile(dir / "copy.dxf") == expected);
        EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 2);
    }
    // A disk that fills once the file has gone past the cache (a file-size
    // limit standing in) ends the drawing with the stream's write error,
    // the records read back on a thread or not, and nothing is saved.
    for (bool onThread : {true, false}) {
        const fs::path folder = dir / ("full" + std::to_string(onThread));
        fs::create_directories(folder);
        auto limit = std::make_unique<TFileSizeLimit>(3 << 20);
        ASSERT_TRUE(limit->Set);
        TkrDXFExport full;
        full.DirectFrom = 1 << 20;
        std::string error;
        try {
            Planned(folder / "full.dxf", 60000, std::size_t(1) << 16, full, Draw, onThread);
        } catch (const EFileError& e) {
            error = e.what();
        }
        limit.reset();
        EXPECT_EQ(error, "Stream write error") << onThread;
        EXPECT_TRUE(fs::is_empty(folder)) << onThread;
    }
}

TEST_F(Stream, APlannedDrawingThatDrawsSomethingElseIsNotSaved) {
    // The plan says 40 lines, the drawing has 41: its head would not fit
    // the entities, so saving refuses and leaves the folder as it was.
    TkrDXFExport probe;
    probe.MeasureOnly();
    Draw(probe, 40, 8);
    probe.FinishDrawing();
    const TDxfStreamPlan plan = probe.Plan();
    const fs::path file = dir / "out.dxf";
    {
        std::ofstream(file) << "kept";
    }
    TkrDXFExport planned;
    ASSERT_TRUE(planned.StreamDirect(file.string(), plan));
    Draw(planned, 41, 8);
    planned.FinishDrawing();
    EXPECT_THROW(planned.SaveToFile(file.string()), EDxfPlanMismatch);
    EXPECT_EQ(ReadFile(file), "kept");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
    // A measuring writer has nothing to save.
    EXPECT_THROW(probe.SaveToFile((dir / "probe.dxf").string()), EFileError);
    EXPECT_FALSE(fs::exists(dir / "probe.dxf"));
}

namespace {
// The share of the file's pages from..to that the system holds in its cache,
// or -1 where that cannot be told (or the file system keeps files in memory).
double CachedShare(const fs::path& file, std::size_t from, std::size_t to) {
    struct statfs fsInfo {};
    if (::statfs(file.c_str(), &fsInfo) != 0 || fsInfo.f_type == TMPFS_MAGIC) return -1;
    const int fd = ::open(file.c_str(), O_RDONLY);
    if (fd < 0) return -1;
    const std::size_t size = std::size_t(fs::file_size(file));
    void* map = ::mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0);
    ::close(fd);
    if (map == MAP_FAILED) return -1;
    const std::size_t page = std::size_t(::sysconf(_SC_PAGESIZE));
    std::vector<unsigned char> in((size + page - 1) / page);
    const bool ok = ::mincore(map, size, in.data()) == 0;
    ::munmap(map, size);
    if (!ok) return -1;
    std::size_t held = 0, pages = 0;
    for (std::size_t p = from / page; p < to / page && p < in.size(); ++p, ++pages) held += in[p] & 1;
    return pages ? double(held) / double(pages) : -1;
}
}  // namespace

TEST_F(Stream, APlannedFileWrittenBehindGivesTheSameBytesAndLeavesTheCache) {
    // Past the first 256 KiB, every 256 KiB go to the disk at once and leave
    // the cache once they are there: the bytes are those of the drawing kept
    // in memory, saving again reads them back from the disk, and the middle
    // of the file is no longer cached.
    const int n = 60000;
    TkrDXFExport memory;
    Draw(memory, n, std::size_t(1) << 16);
    memory.FinishDrawing();
    const std::string expected = memory.SaveToString();
    ASSERT_GT(expected.size(), std::size_t(4) << 20);
    const fs::path file = dir / "behind.dxf";
    TkrDXFExport probe;
    probe.MeasureOnly();
    Draw(probe, n, std::size_t(1) << 16);
    probe.FinishDrawing();
    TkrDXFExport planned;
    planned.WriteBehindKeep = planned.WriteBehindChunk = 256 << 10;
    planned.DirectFrom = std::numeric_limits<off_t>::max();
    ASSERT_TRUE(planned.StreamDirect(file.string(), probe.Plan()));
    Draw(planned, n, std::size_t(1) << 16);
    planned.FinishDrawing();
    planned.SaveToFile(file.string());
    const double cached = CachedShare(file, 256 << 10, expected.size() - (std::size_t(3) << 20));
    if (cached >= 0) {
        EXPECT_LT(cached, 0.5);
    }
    EXPECT_TRUE(ReadFile(file) == expected);
    EXPECT_TRUE(planned.SaveToString() == expected);
    planned.SaveToFile((dir / "copy.dxf").string());
    EXPECT_TRUE(ReadFile(dir / "copy.dxf") == expected);
}

TEST_F(Stream, AFileWrittenPastTheCacheHoldsTheBytesAppendedAndAFailedWriteIsTold) {
    // A file begun through the cache (5000 bytes, within its second block of
    // 4 KiB), then pieces of odd sizes across blocks of 8 KiB, the last block
    // part full: the file holds them in order and afterwards reads and writes
    // as opened. A file system that keeps files in memory may refuse; then
    // nothing changes.
    std::string bytes;
    for (int i = 0; bytes.size() < 70000; ++i) bytes += std::to_string(i * 7919) + (i % 5 ? ";" : "\r\n");
    const fs::path file = dir / "direct.txt";
    int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::pwrite(fd, bytes.data(), 5000, 0), 5000);
    TDirectWrite w;
    if (!w.Start(fd, 5000, 8192)) {
        ::close(fd);
        EXPECT_TRUE(ReadFile(file) == bytes.substr(0, 5000));
        GTEST_SKIP() << "this file system writes through its cache only";
    }
    // Every other piece written in the writer's own room (at most a block
    // less 4 KiB; the room may begin a buffer with the end of the one before).
    bool own = false;
    for (std::size_t at = 5000, n = 1; at < bytes.size(); at += n, n = n * 3 % 9001 + 1, own = !own) {
        if (own) {
            n = std::min<std::size_t>(n, 4096);
            const std::size_t k = std::min(n, bytes.size() - at);
            std::memcpy(w.Room(n), bytes.data() + at, k);
            w.Appended(k);
        } else {
            ASSERT_TRUE(w.Append(bytes.data() + at, std::min(n, bytes.size() - at)));
        }
    }
    ASSERT_TRUE(w.Finish());
    EXPECT_EQ(::fcntl(fd, F_GETFL) & O_DIRECT, 0);
    EXPECT_EQ(::pwrite(fd, "!", 1, 3), 1);
    ::close(fd);
    bytes[3] = '!';
    EXPECT_TRUE(ReadFile(file) == bytes);

    // A write the disk refuses (a file-size limit standing in for a full
    // disk) is told by the appends after it or, at the latest, by Finish.
    fd = ::open(file.c_str(), O_RDWR | O_TRUNC | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    auto limit = std::make_unique<TFileSizeLimit>(20000);
    ASSERT_TRUE(limit->Set);
    TDirectWrite full;
    ASSERT_TRUE(full.Start(fd, 0, 8192));
    bool ok = true;
    for (std::size_t at = 0; at < bytes.size(); at += 1000) ok = full.Append(bytes.data() + at, 1000) && ok;
    ok = full.Finish() && ok;
    limit.reset();
    ::close(fd);
    EXPECT_FALSE(ok);
    EXPECT_EQ(full.Error(), EFBIG);
    EXPECT_LE(fs::file_size(file), 20000u);
}
