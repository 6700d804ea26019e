// Finds the slowest inputs of a set of drawings, such as a fuzzing corpus:
// every file is converted in memory in both forms (every layout drawn in
// text form to /dev/null, then in simplified DXF form to a string), and the
// slowest are listed with their size.
//   bench_slowest [-n COUNT] FILE_OR_FOLDER...
// Read errors are expected (a corpus is mostly broken drawings) and count as
// conversions that ended early. The last line gives the slowest input of at
// most 64 KB, the size for which a conversion is to stay within a second.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "bench/draw_layout.h"
#include "model/errors.h"
#include "output/errors.h"

namespace fs = std::filesystem;

namespace {

struct TTiming {
    double Ms = 0;
    std::uintmax_t Size = 0;
    std::string Path;
};

void ConvertBothForms(const std::string& text, int nullFd) {
    TkrDXFImage g;
    try {
        g.LoadFromText(text);
    } catch (const EkrError&) {
        return;
    }
    for (int textForm = 1; textForm >= 0; --textForm) {
        // Each form is a conversion of its own: the drawing's work starts over.
        g.WorkDone = 0;
        for (int i = 0; i < g.LayoutCount(); ++i) {
            try {
                g.SetCurrentLayout(g.GetLayout(i));
                if (textForm) DrawTextForm(g, nullFd);
                else (void)DrawDxfForm(g)->SaveToString();
            } catch (const EkrError&) {
            } catch (const EkrExportError&) {
            }
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    size_t count = 10;
    std::vector<fs::path> files;
    for (int a = 1; a < argc; ++a) {
        std::string s = argv[a];
        if (s == "-n" && a + 1 < argc) {
            count = std::strtoul(argv[++a], nullptr, 10);
            continue;
        }
        std::error_code ec;
        if (fs::is_directory(s, ec)) {
            for (auto& e : fs::recursive_directory_iterator(s, ec))
                if (e.is_regular_file()) files.push_back(e.path());
        } else {
            files.push_back(s);
        }
    }
    if (files.empty()) {
        std::fprintf(stderr, "usage: bench_slowest [-n COUNT] FILE_OR_FOLDER...\n");
        return 2;
    }
    int nullFd = ::open("/dev/null", O_WRONLY);
    std::vector<TTiming> t;
    t.reserve(files.size());
    double total = 0;
    for (const fs::path& p : files) {
        std::ifstream f(p, std::ios::binary);
        std::stringstream ss;
        ss << f.rdbuf();
        std::string text = ss.str();
        auto start = std::chrono::steady_clock::now();
        ConvertBothForms(text, nullFd);
        double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        total += ms;
        t.push_back({ms, text.size(), p.string()});
    }
    std::sort(t.begin(), t.end(), [](const TTiming& a, const TTiming& b) { return a.Ms > b.Ms; });
    std::printf("%zu inputs, %.1f s in all\n", t.size(), total / 1000);
    for (size_t i = 0; i < std::min(count, t.size()); ++i)
        std::printf("%9.1f ms %9.1f KB  %s\n", t[i].Ms, t[i].Size / 1024.0, t[i].Path.c_str());
    for (const TTiming& x : t)
        if (x.Size <= 65536) {
            std::printf("slowest input of at most 64 KB: %.1f ms (%.1f KB) %s\n", x.Ms, x.Size / 1024.0,
                        x.Path.c_str());
            break;
        }
    return 0;
}
