// Every drawing of the LibreCAD part library converts in both forms, and the
// simplified DXF files a real reader opens pass its audit.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/conversion_run.h"

namespace fs = std::filesystem;

namespace {
std::vector<std::string> CorpusFiles() {
    std::vector<std::string> files;
    const fs::path root = "/usr/share/librecad/library";
    if (!fs::exists(root)) return files;
    for (auto& e : fs::recursive_directory_iterator(root))
        if (e.is_regular_file() && e.path().extension() == ".dxf") files.push_back(e.path().string());
    std::sort(files.begin(), files.end());
    return files;
}

struct TCorpusRun {
    int Converted = 0;
    std::vector<std::string> Failures;
    double Seconds = 0;
};

TCorpusRun ConvertAll(const std::vector<std::string>& files, TOutputForm form, const fs::path& out) {
    TCorpusRun r;
    TMemoryLog log;
    TConversionRun run(log);
    run.KeepGoing = true;
    run.OnFileError = [&](const std::string& f, const std::string& msg) { r.Failures.push_back(f + ": " + msg); };
    TConvertSettings s;
    s.OutputFolder = out.string();
    s.OutputForm = form;
    auto t0 = std::chrono::steady_clock::now();
    r.Converted = run.Run(files, s, out.string());
    r.Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    return r;
}
}  // namespace

TEST(Corpus, EveryLibraryDrawingConvertsInBothForms) {
    auto files = CorpusFiles();
    if (files.empty()) GTEST_SKIP() << "librecad-data is not installed";
    fs::path dir = fs::temp_directory_path() / ("corpus_convert_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir / "text");
    fs::create_directories(dir / "dxf");

    TCorpusRun text = ConvertAll(files, ofText, dir / "text");
    long long segments = 0;
    for (auto& e : fs::directory_iterator(dir / "text")) {
        std::ifstream f(e.path(), std::ios::binary);
        segments += std::count(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>(), '\n');
    }
    TCorpusRun dxf = ConvertAll(files, ofDXF, dir / "dxf");
    std::cout << "[corpus] " << files.size() << " drawings; text: " << text.Converted << " layouts, " << segments
              << " segments, " << text.Seconds << " s; dxf: " << dxf.Converted << " layouts, " << dxf.Seconds
              << " s\n";
    for (auto& f : text.Failures) ADD_FAILURE() << "text: " << f;
    for (auto& f : dxf.Failures) ADD_FAILURE() << "dxf: " << f;
    EXPECT_GE(text.Converted, int(files.size()));
    EXPECT_EQ(text.Converted, dxf.Converted);

    // A sample of the DXF files (every 40th) through ezdxf's reader and audit.
    if (std::system("/usr/bin/python3 -c 'import ezdxf' 2>/dev/null") == 0) {
        std::vector<fs::path> outs;
        for (auto& e : fs::directory_iterator(dir / "dxf")) outs.push_back(e.path());
        std::sort(outs.begin(), outs.end());
        std::ofstream list(dir / "sample.txt");
        for (size_t i = 0; i < outs.size(); i += 40) list << outs[i].string() << "\n";
        list.close();
        std::string cmd = "/usr/bin/python3 -c \"import ezdxf,sys\n"
                          "bad=0\n"
                          "for p in open(sys.argv[1]).read().split():\n"
                          "  d=ezdxf.readfile(p); a=d.audit()\n"
                          "  if a.errors: bad+=1; print(p, [str(e.message) for e in a.errors][:3])\n"
                          "sys.exit(1 if bad else 0)\" '" +
                          (dir / "sample.txt").string() + "'";
        int rc = std::system(cmd.c_str());
        EXPECT_EQ(WEXITSTATUS(rc), 0) << "ezdxf audit reported errors";
    }
    fs::remove_all(dir);
}
