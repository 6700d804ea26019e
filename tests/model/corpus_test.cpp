// Every drawing of the LibreCAD part library (written by another program)
// loads without an error.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "model/converter.h"

namespace fs = std::filesystem;

TEST(Corpus, LibreCadLibraryLoadsWithoutErrors) {
    const fs::path root = "/usr/share/librecad/library";
    if (!fs::exists(root)) GTEST_SKIP() << "librecad-data is not installed";
    int files = 0, entities = 0;
    std::vector<std::string> failures;
    for (auto& entry : fs::recursive_directory_iterator(root)) {
        if (!entry.is_regular_file() || entry.path().extension() != ".dxf") continue;
        std::ifstream f(entry.path(), std::ios::binary);
        std::stringstream ss;
        ss << f.rdbuf();
        TkrDXFConverter conv;
        try {
            conv.LoadFromText(ss.str());
            conv.ComputeExtents();
            entities += conv.TableCount(tkEntities);
        } catch (const std::exception& e) {
            failures.push_back(entry.path().string() + ": " + e.what());
        }
        ++files;
    }
    std::cout << "[corpus] " << files << " drawings, " << entities << " entities, " << failures.size()
              << " failed\n";
    EXPECT_GT(files, 1000);
    for (auto& f : failures) ADD_FAILURE() << f;
}
