// The manual page: every option the help lists is described, with the
// version, the exit statuses and the window's files; `cmake --install`
// installs it beside the programs, the desktop entry and the project file's
// type.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <filesystem>
#include <sstream>
#include <string>

#include "cli/command_line.h"
#include "dxf_snippets.h"

namespace fs = std::filesystem;

namespace {
std::string Help(const std::string& command) {
    std::ostringstream out, err;
    EXPECT_EQ(RunCommandLine({command, "--help"}, out, err), 0);
    return out.str();
}
}  // namespace

TEST(ManualPage, DescribesEveryOptionOfTheHelpAndTheExitStatuses) {
    const std::string page = dxftest::ReadFile(fs::path(DXF_BINARY_DIR) / "cli" / "dxf2plandrop.1");
    ASSERT_FALSE(page.empty());
    EXPECT_NE(page.find(".TH DXF2PLANDROP 1 \"2026\" \"dxf2plandrop " + std::string(kProgramVersion) + "\""),
              std::string::npos);
    // In roff a '-' is written "\-": "--keep-going" stands as "\-\-keep\-going".
    auto roff = [](std::string s) {
        std::string r;
        for (char c : s) r += c == '-' ? std::string("\\-") : std::string(1, c);
        return r;
    };
    int options = 0;
    for (const char* command : {"convert", "info"}) {
        const std::string help = Help(command);
        // Each "--name" of the help.
        for (size_t at = help.find("--"); at != std::string::npos; at = help.find("--", at + 2)) {
            size_t end = at + 2;
            while (end < help.size() && (std::islower((unsigned char)help[end]) || help[end] == '-')) ++end;
            if (end == at + 2) continue;
            const std::string option = help.substr(at, end - at);
            ++options;
            EXPECT_NE(page.find(roff(option)), std::string::npos) << command << " " << option;
        }
    }
    EXPECT_GE(options, 12);
    for (const char* part : {".SH \"EXIT STATUS\"\n.TP\n.B 0\n", "\n.B 1\n", "\n.B 2\n", "\n.B 130\n",
                             "dxf2plandrop\\-gui.INI", "folders.dat", ".SH LIMITS"})
        EXPECT_NE(page.find(part), std::string::npos) << part;
}

TEST(ManualPage, IsInstalledWithTheProgramsAndTheDesktopFiles) {
    // Installing needs every program of the build; a tree where only some
    // targets were built cannot install.
    const fs::path bin(DXF_BINARY_DIR);
    if (!fs::exists(bin / "cli" / "dxf2plandrop") ||
        (fs::exists(bin / "gui" / "cmake_install.cmake") && !fs::exists(bin / "gui" / "dxf2plandrop-gui")))
        GTEST_SKIP() << "not every program of the build is built";
    const fs::path prefix = fs::temp_directory_path() / ("dxf2plandrop_install_" + std::to_string(::getpid()));
    fs::remove_all(prefix);
    const std::string cmd = "cmake --install '" DXF_BINARY_DIR "' --prefix '" + prefix.string() + "' >/dev/null 2>&1";
    const int st = std::system(cmd.c_str());
    ASSERT_TRUE(WIFEXITED(st) && WEXITSTATUS(st) == 0) << cmd;
    EXPECT_TRUE(fs::exists(prefix / "bin" / "dxf2plandrop"));
    EXPECT_EQ(dxftest::ReadFile(prefix / "share" / "man" / "man1" / "dxf2plandrop.1"),
              dxftest::ReadFile(fs::path(DXF_BINARY_DIR) / "cli" / "dxf2plandrop.1"));
    if (fs::exists(bin / "gui" / "dxf2plandrop-gui")) {
        EXPECT_TRUE(fs::exists(prefix / "share" / "applications" / "dxf2plandrop-gui.desktop"));
        EXPECT_TRUE(fs::exists(prefix / "share" / "mime" / "packages" / "dxf2plandrop-project.xml"));
    }
    fs::remove_all(prefix);
}
