// Drawing small drawings in render tests.
#pragma once

#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "output/text_file.h"
#include "render/dxf_image.h"

namespace rendertest {

// Draws the current layout of a loaded graphic in text form into the
// conversion run's rectangle and returns the written lines (without CR LF).
inline std::vector<std::string> DrawLoaded(TkrDXFImage& g, TIntRect* rectOut = nullptr) {
    namespace fs = std::filesystem;
    fs::path path = fs::temp_directory_path() / ("render_test_" + std::to_string(::getpid()) + ".txt");
    TPDFCanvas sink;
    sink.TextMode = true;
    sink.TextFile().Bind(path.string());
    sink.TextFile().Rewrite();
    double a = double(g.GetWidth()) / g.GetHeight();
    TIntRect r{0, 0, 600000, int32_t(600000 / a)};
    if (rectOut) *rectOut = r;
    g.DrawOnSink(sink, r);
    sink.TextFile().Close();
    EXPECT_FALSE(sink.Clipping) << "the viewport clipping is switched off again";
    std::ifstream f(path, std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(f, line);) {
        EXPECT_FALSE(line.empty() || line.back() != '\r') << "every line ends with CR LF";
        if (!line.empty()) line.pop_back();
        lines.push_back(line);
    }
    fs::remove(path);
    return lines;
}

// Loads the text and draws layout 0 (see DrawLoaded).
inline std::vector<std::string> DrawText(TkrDXFImage& g, const std::string& dxf, TIntRect* rectOut = nullptr) {
    g.LoadFromText(dxf);
    return DrawLoaded(g, rectOut);
}

inline std::vector<std::string> DrawText(const std::string& dxf) {
    TkrDXFImage g;
    return DrawText(g, dxf);
}

}  // namespace rendertest
