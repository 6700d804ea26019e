// Failure behaviour of the command line, through the built binary: every
// failure names what went wrong and which file, exits with status 1 (130 when
// interrupted), and leaves nothing that existed before damaged and no
// half-written output under a final name.
//
// The tests run as root in CI, where file permissions do not stop writes. So
// an output file that cannot be created uses a folder under /proc (the
// folder exists, but no file can be created in it, for root too), and a full
// disk is simulated by a file-size limit (ulimit -f), which makes writes fail
// with EFBIG just as a full disk makes them fail with ENOSPC.
#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "dxf_snippets.h"
#include "shell.h"

namespace fs = std::filesystem;

extern char** environ;

using cli_test::kBinary;
using cli_test::Quote;

namespace {

std::string Read(const fs::path& p) { return dxftest::ReadFile(p); }
void Write(const fs::path& p, const std::string& text) { dxftest::WriteFile(p, text); }

// n lines in model space, one every unit of x.
std::string Lines(int n) {
    std::string s = "0\nSECTION\n2\nENTITIES\n";
    for (int i = 0; i < n; ++i)
        s += "0\nLINE\n8\n0\n10\n" + std::to_string(i) + "\n20\n0\n11\n" + std::to_string(i) + "\n21\n100\n";
    return s + "0\nENDSEC\n0\nEOF\n";
}


class Failure : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("failure_test_" + std::to_string(::getpid()) + "_" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir / "out");
        line = (dir / "line.dxf").string();
        Write(line, Lines(1));
    }
    void TearDown() override { fs::remove_all(dir); }

    // Runs the binary through the shell with a prefix (e.g. "ulimit -f 1;");
    // returns the exit status and keeps standard error.
    int Run(const std::string& args, const std::string& prefix = "") {
        std::string cmd = prefix + " " + Quote(kBinary) + " " + args + " >" + Quote((dir / "stdout").string()) +
                          " 2>" + Quote((dir / "stderr").string());
        int st = std::system(("sh -c " + Quote(cmd)).c_str());
        err = Read(dir / "stderr");
        return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    }
    std::vector<std::string> OutFiles() const {
        std::vector<std::string> names;
        for (auto& e : fs::directory_iterator(dir / "out")) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    fs::path dir;
    std::string line, err;
};
}  // namespace

TEST_F(Failure, MissingInputFileIsNamedWithTheReason) {
    std::string missing = (dir / "nope.dxf").string();
    EXPECT_EQ(Run("convert -o " + Quote((dir / "out").string()) + " " + Quote(missing)), 1);
    EXPECT_EQ(err, "dxf2plandrop: " + missing + ": cannot open '" + missing + "': No such file or directory\n");
    EXPECT_TRUE(OutFiles().empty());
}

TEST_F(Failure, AFolderGivenAsInputIsNamedAndNothingIsWritten) {
    fs::create_directories(dir / "folder.dxf");
    std::string in = (dir / "folder.dxf").string();
    EXPECT_EQ(Run("convert -o " + Quote((dir / "out").string()) + " " + Quote(in)), 1);
    EXPECT_NE(err.find("dxf2plandrop: " + in + ": "), std::string::npos) << err;
    EXPECT_TRUE(OutFiles().empty());
}

TEST_F(Failure, KeepGoingConvertsTheReadableFilesAndNamesTheOthers) {
    std::string missing = (dir / "nope.dxf").string();
    EXPECT_EQ(Run("convert --keep-going -o " + Quote((dir / "out").string()) + " " + Quote(missing) + " " +
                  Quote(line)),
              1);
    EXPECT_NE(err.find("dxf2plandrop: " + missing + ": cannot open"), std::string::npos) << err;
    EXPECT_EQ(OutFiles(), std::vector<std::string>{"line.dxf"});
}

TEST_F(Failure, ProjectFilesThatCannotBeReadOrWrittenSayWhyWithTheirFullPath) {
    const std::string missing = (dir / "none.kpj").string(), other = (dir / "other.kpj").string();
    Write(other, "not a project at all, but long enough to hold a title");
    EXPECT_EQ(Run("convert --project " + Quote(missing)), 1);
    EXPECT_EQ(err, "dxf2plandrop: " + missing + ": cannot read the project: No such file or directory\n");
    EXPECT_EQ(Run("convert --project " + Quote(other)), 1);
    EXPECT_EQ(err, "dxf2plandrop: " + other +
                       ": cannot read the project: not a project file: it does not start with \"Bramwick DXF 2 "
                       "Plandrop 1.0\"\n");
    // The title and a count of 2 entries, then the file ends.
    Write(other, std::string("Bramwick DXF 2 Plandrop 1.0\x02\0\0\0", 31));
    EXPECT_EQ(Run("convert --project " + Quote(other)), 1);
    EXPECT_EQ(err, "dxf2plandrop: " + other +
                       ": cannot read the project: damaged project file: unexpected end of file after 0 of 2 entries\n");
    // A relative name is shown in full.
    EXPECT_EQ(Run("convert --save-project out/missing/p.kpj " + Quote(line), "cd " + Quote(dir.string()) + " &&"), 1);
    EXPECT_EQ(err, "dxf2plandrop: " + (dir / "out/missing/p.kpj").string() +
                       ": cannot save the project: No such file or directory\n");
    EXPECT_TRUE(OutFiles().empty());
}

TEST_F(Failure, OnATerminalTheProgressLineNeverRunsIntoTheLog) {
    // Both channels on one terminal (script gives the run a pseudo-terminal
    // and records what it shows). Two drawings, the second with an external
    // reference that is missing: its warning comes after its own lines.
    const std::string second = (dir / "second.dxf").string();
    Write(second, "0\nSECTION\n2\nBLOCKS\n0\nBLOCK\n2\nX\n70\n4\n1\nnone.dxf\n10\n0\n20\n0\n0\nENDBLK\n0\nENDSEC\n"
                  "0\nSECTION\n2\nENTITIES\n0\nINSERT\n2\nX\n10\n0\n20\n0\n0\nENDSEC\n0\nEOF\n");
    const std::string cmd = Quote(kBinary) + " convert -j 1 --format text -o " + Quote((dir / "out").string()) + " " +
                            Quote(line) + " " + Quote(second);
    const int st = std::system(("script -q -e -c " + Quote(cmd) + " " + Quote((dir / "screen").string()) +
                                " </dev/null >/dev/null 2>&1").c_str());
    ASSERT_TRUE(WIFEXITED(st) && WEXITSTATUS(st) == 0) << st;
    // What the terminal received, in lines (the terminal ends them in CR LF).
    std::string screen = Read(dir / "screen");
    std::vector<std::string> shown;
    for (size_t at = 0, nl; (nl = screen.find('\n', at)) != std::string::npos; at = nl + 1) {
        std::string l = screen.substr(at, nl - at);
        if (!l.empty() && l.back() == '\r') l.pop_back();
        // A line shows what follows the last clearing of it.
        const size_t clear = l.rfind("\r\x1b[K");
        if (clear != std::string::npos) l.erase(0, clear + 4);
        if (l.rfind("Script ", 0) != 0 && !l.empty()) shown.push_back(l);
    }
    const std::vector<std::string> expected = {
        line + " geladen...", "1 Layouts gefunden...", "Konvertiere nun Layout Nummer 1...",
        second + " geladen...", "1 Layouts gefunden...",
        "dxf2plandrop: " + second + ": warning: external reference 'none.dxf' not found: shown as its path",
        "Konvertiere nun Layout Nummer 1...", "2 Dateien/Layout konvertiert..."};
    EXPECT_EQ(shown, expected) << ::testing::PrintToString(screen);
    // The progress line was shown, and cleared before each of those lines.
    EXPECT_NE(screen.find("[2/2] second.dxf  layout 1"), std::string::npos) << ::testing::PrintToString(screen);
}

TEST_F(Failure, AFileWithoutASectionIsNoDrawing) {
    // Empty, blank lines, JSON, plain text, entities without a section: each
    // is an error naming the file, writes nothing, and --keep-going goes on.
    const std::vector<std::pair<std::string, std::string>> files = {
        {"empty.dxf", ""},
        {"blank.dxf", "\n\n\n"},
        {"data.json", "{\"layers\": [1, 2]}"},
        {"note.dxf", "hello world\n"},
        {"bare.dxf", "0\nLINE\n10\n0\n20\n0\n11\n1\n21\n1\n0\nEOF\n"}};
    std::string args, expected;
    for (const auto& [name, text] : files) {
        const std::string path = (dir / name).string();
        Write(path, text);
        args += " " + Quote(path);
        expected += "dxf2plandrop: " + path + ": '" + path + "' enthält keine DXF-Zeichnung\n";
    }
    EXPECT_EQ(Run("convert --keep-going -o " + Quote((dir / "out").string()) + args + " " + Quote(line)), 1);
    EXPECT_EQ(err, expected);
    EXPECT_EQ(OutFiles(), std::vector<std::string>{"line.dxf"});
    // Without --keep-going the first one ends the run.
    fs::remove(dir / "out" / "line.dxf");
    EXPECT_EQ(Run("convert --format text -o " + Quote((dir / "out").string()) + " " + Quote((dir / "empty.dxf").string()) +
                  " " + Quote(line)),
              1);
    EXPECT_TRUE(OutFiles().empty());
}

TEST_F(Failure, OutputFolderThatCannotBeCreated) {
    // A folder below a regular file cannot be made, by root either.
    Write(dir / "plain", "keep");
    std::string out = (dir / "plain" / "sub").string();
    EXPECT_EQ(Run("convert -o " + Quote(out) + " " + Quote(line)), 1);
    EXPECT_EQ(err, "dxf2plandrop: " + out + ": cannot create the output folder: Not a directory\n");
    EXPECT_EQ(Read(dir / "plain"), "keep");
    // An output folder that is a file says so.
    EXPECT_EQ(Run("convert -o " + Quote((dir / "plain").string()) + " " + Quote(line)), 1);
    EXPECT_EQ(err, "dxf2plandrop: " + (dir / "plain").string() + ": cannot create the output folder: it is a file\n");
    EXPECT_EQ(Read(dir / "plain"), "keep");
}

TEST_F(Failure, OutputFileThatCannotBeCreatedInTextForm) {
    EXPECT_EQ(Run("convert --format text -o /proc " + Quote(line)), 1);
    EXPECT_EQ(err, "dxf2plandrop: " + line + ": cannot create '/proc/line.txt': No such file or directory\n");
}

TEST_F(Failure, OutputFileThatCannotBeCreatedInDxfForm) {
    EXPECT_EQ(Run("convert -o /proc " + Quote(line)), 1);
    EXPECT_EQ(err.rfind("dxf2plandrop: " + line + ": Cannot create file \"/proc/line.dxf\". ", 0), 0u) << err;
}

TEST_F(Failure, FullDiskWhileWritingDxfLeavesNoFileAndKeepsOldOnes) {
    Write(dir / "out" / "old.dxf", "existing");
    std::string big = (dir / "big.dxf").string();
    Write(big, Lines(2000));  // some 200 KB of output
    // ulimit -f counts blocks of 512 bytes: at most 8 KB per file.
    EXPECT_EQ(Run("convert -o " + Quote((dir / "out").string()) + " " + Quote(big), "ulimit -f 16;"), 1);
    EXPECT_EQ(err, "dxf2plandrop: " + big + ": Stream write error (output file '" + (dir / "out" / "big.dxf").string() +
                       "')\n");
    EXPECT_EQ(OutFiles(), std::vector<std::string>{"old.dxf"});  // no big.dxf, no temporary file
    EXPECT_EQ(Read(dir / "out" / "old.dxf"), "existing");
}

TEST_F(Failure, FullDiskWhileWritingTextKeepsTheLinesWrittenSoFar) {
    Write(dir / "out" / "old.txt", "existing");
    std::string big = (dir / "big.dxf").string();
    Write(big, Lines(4000));  // 4000 text lines, far more than 8 KB
    EXPECT_EQ(Run("convert --format text -o " + Quote((dir / "out").string()) + " " + Quote(big), "ulimit -f 16;"),
              1);
    std::string out = (dir / "out" / "big.txt").string();
    EXPECT_EQ(err, "dxf2plandrop: " + big + ": cannot write '" + out + "': File too large\n");
    // The error ends the run; the text file keeps what was written before it.
    EXPECT_EQ(OutFiles(), (std::vector<std::string>{"big.txt", "old.txt"}));
    EXPECT_LE(fs::file_size(out), 8192u);
    EXPECT_EQ(Read(dir / "out" / "old.txt"), "existing");
}

TEST_F(Failure, TooLargeInputIsRefusedBeforeReading) {
    // A sparse file one byte over 1 GiB: no disk space used, never read.
    std::string huge = (dir / "huge.dxf").string();
    {
        std::ofstream f(huge, std::ios::binary);
    }
    fs::resize_file(huge, (std::uintmax_t(1) << 30) + 1);
    EXPECT_EQ(Run("convert -o " + Quote((dir / "out").string()) + " " + Quote(huge)), 1);
    EXPECT_EQ(err, "dxf2plandrop: " + huge + ": DXF file too large: 1073741825 bytes (at most 1073741824 are read)\n");
    EXPECT_TRUE(OutFiles().empty());
    // info opens the file as the conversion does and refuses it at the same
    // bound, naming the file.
    EXPECT_EQ(Run("info " + Quote(huge)), 1);
    EXPECT_EQ(err, "dxf2plandrop: " + huge + ": '" + huge + "' is too large: 1073741825 bytes (at most 1073741824 are "
                   "read)\n");
}

TEST_F(Failure, AFewKilobytesOfNestedInsertsConvertInPartWithAWarning) {
    std::string s = "0\nSECTION\n2\nBLOCKS\n";
    for (int i = 0; i < 9; ++i) {
        s += "0\nBLOCK\n2\nF" + std::to_string(i) + "\n";
        for (int k = 0; k < 10; ++k) s += "0\nINSERT\n2\nF" + std::to_string(i + 1) + "\n10\n" + std::to_string(k) + "\n20\n0\n";
        s += "0\nENDBLK\n";
    }
    s += "0\nBLOCK\n2\nF9\n0\nLINE\n10\n0\n20\n0\n11\n0.5\n21\n1\n0\nENDBLK\n0\nENDSEC\n"
         "0\nSECTION\n2\nENTITIES\n0\nINSERT\n2\nF0\n10\n0\n20\n0\n0\nENDSEC\n0\nEOF\n";
    std::string fan = (dir / "fan.dxf").string();
    Write(fan, s);
    EXPECT_EQ(Run("convert --format text -o " + Quote((dir / "out").string()) + " " + Quote(fan)), 0);
    EXPECT_EQ(err.rfind("dxf2plandrop: " + fan + ": warning: layout 1 converted only in part: ", 0), 0u) << err;
    EXPECT_EQ(OutFiles(), std::vector<std::string>{"fan.txt"});
}

TEST_F(Failure, AnInsertCycleConvertsTheRestAndSaysWhatWasLeftOut) {
    // B inserts itself: boxing it while loading and drawing layout 1 each
    // leave the inner insert out; its line is converted.
    std::string cyc = (dir / "cycle.dxf").string();
    Write(cyc,
          "0\nSECTION\n2\nBLOCKS\n0\nBLOCK\n2\nB\n0\nLINE\n10\n0\n20\n0\n11\n1\n21\n1\n"
          "0\nINSERT\n2\nB\n10\n5\n20\n0\n0\nENDBLK\n0\nENDSEC\n"
          "0\nSECTION\n2\nENTITIES\n0\nINSERT\n2\nB\n10\n0\n20\n0\n0\nENDSEC\n0\nEOF\n");
    EXPECT_EQ(Run("convert --format text -o " + Quote((dir / "out").string()) + " " + Quote(cyc)), 0);
    const std::string w = "dxf2plandrop: " + cyc + ": warning: ";
    EXPECT_EQ(err, w + "1 insert(s) of a block inside itself left out\n" + w +
                       "layout 1: 1 insert(s) of a block inside itself left out\n");
    EXPECT_EQ(OutFiles(), std::vector<std::string>{"cycle.txt"});
}

TEST_F(Failure, EscapeSequencesOfAHostileFileNeverReachTheTerminal) {
    // A layer named with a terminal escape sequence, and a read error whose
    // quoted value holds one and a NUL byte.
    std::string named = (dir / "named.dxf").string(), broken = (dir / "broken.dxf").string();
    Write(named, "0\nSECTION\n2\nTABLES\n0\nTABLE\n2\nLAYER\n0\nLAYER\n2\nL\x1b[2J\n0\nENDTAB\n0\nENDSEC\n0\nEOF\n");
    Write(broken, std::string("0\nSECTION\n2\nENTITIES\n0\nLINE\n10\n\x1b]0;x\a\0\n0\nENDSEC\n0\nEOF\n", 54));
    EXPECT_EQ(Run("info " + Quote(named)), 0);
    std::string out = Read(dir / "stdout");
    EXPECT_NE(out.find("    L\\x1b[2J  colour"), std::string::npos) << out;
    EXPECT_EQ(out.find('\x1b'), std::string::npos);
    EXPECT_EQ(Run("convert -o " + Quote((dir / "out").string()) + " " + Quote(broken)), 1);
    EXPECT_EQ(err, "dxf2plandrop: " + broken + ": DXF read error on line 8: \\x1b]0;x\\x07\\x00\n"
                   "'\\x1b]0;x\\x07\\x00' ist kein gültiger Gleitkommawert\n");
}

TEST_F(Failure, InterruptLeavesNoHalfWrittenOrTemporaryFile) {
    std::string big = (dir / "big.dxf").string();
    Write(big, Lines(150000));  // about 8 MB
    Write(dir / "out" / "keep.dxf", "existing");
    // Interrupt at several moments: while loading, drawing or writing. Each
    // run ends either interrupted (130, no new file) or, when the signal came
    // after the last check, finished (0, one complete file).
    for (int delayMs : {20, 150, 400, 900, 1600}) {
        for (auto& e : fs::directory_iterator(dir / "out"))
            if (e.path().filename() != "keep.dxf") fs::remove(e.path());
        std::string outDir = (dir / "out").string();
        std::string errPath = (dir / "stderr").string();
        int st = dxftest::InterruptAfter({kBinary, "convert", "-o", outDir, big}, errPath, delayMs);
        ASSERT_NE(st, -1);
        std::string e = Read(errPath);
        std::vector<std::string> files = OutFiles();
        if (WIFSIGNALED(st)) {
            // The signal came before the program set up its handler (it ended
            // at once, before anything was written) or after the run had
            // finished and given the default handling back (the file is
            // complete).
            EXPECT_EQ(WTERMSIG(st), SIGINT);
            EXPECT_TRUE(files == std::vector<std::string>{"keep.dxf"} ||
                        files == (std::vector<std::string>{"big.dxf", "keep.dxf"}))
                << delayMs << ": " << ::testing::PrintToString(files);
            if (fs::exists(dir / "out" / "big.dxf")) {
                std::string text = Read(dir / "out" / "big.dxf");
                ASSERT_GE(text.size(), 5u);
                EXPECT_EQ(text.substr(text.size() - 5), "EOF\r\n");
            }
            EXPECT_EQ(Read(dir / "out" / "keep.dxf"), "existing");
            continue;
        }
        ASSERT_TRUE(WIFEXITED(st)) << delayMs;
        // Only whole files carry a final name, and no temporary file stays.
        // A signal that arrives while the file is written waits until it is
        // renamed: the run then ends interrupted with that file complete.
        EXPECT_TRUE(files == std::vector<std::string>{"keep.dxf"} ||
                    files == (std::vector<std::string>{"big.dxf", "keep.dxf"}))
            << delayMs << ": " << ::testing::PrintToString(files);
        if (WEXITSTATUS(st) == 130) {
            // One message for the one event, in the channel's language.
            EXPECT_EQ(e, "dxf2plandrop: interrupted\n");
        } else {
            EXPECT_EQ(WEXITSTATUS(st), 0) << e;
            EXPECT_EQ(files.size(), 2u) << delayMs;
        }
        if (fs::exists(dir / "out" / "big.dxf")) {
            std::string text = Read(dir / "out" / "big.dxf");
            ASSERT_GE(text.size(), 5u);
            EXPECT_EQ(text.substr(text.size() - 5), "EOF\r\n");
        }
        EXPECT_EQ(Read(dir / "out" / "keep.dxf"), "existing");
    }
}
