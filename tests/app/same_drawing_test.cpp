// One drawing written in different ways converts to the same files: a TRACE
// is drawn as the SOLID with the same corners.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/conversion_run.h"
#include "app/temp_folder.h"
#include "dxf_snippets.h"

using dxftest::Entities;

namespace {
// The files the run writes for one drawing: the text form, then the
// simplified DXF form.
struct TBothForms {
    std::string Text, Dxf;
};

TBothForms ConvertBoth(const std::string& drawing) {
    TTempFolder t;
    WriteBytes(t.Path + "d.dxf", drawing);
    TBothForms r;
    for (TOutputForm form : {ofText, ofDXF}) {
        TMemoryLog log;
        TConversionRun run(log);
        TConvertSettings s;
        s.OutputFolder = t.Path + "out";
        s.OutputForm = form;
        EXPECT_EQ(run.Run({t.Path + "d.dxf"}, s, t.Path), 1);
        (form == ofText ? r.Text : r.Dxf) = ReadBytes(t.Path + (form == ofText ? "out/d.txt" : "out/d.dxf"));
    }
    return r;
}
}  // namespace

TEST(SameDrawing, ATraceConvertsAsTheSolidWithTheSameCorners) {
    // Corners (0,0), (10,0), (0,10), (10,10), drawn 1, 2, 4, 3; with a layer
    // and a colour of its own.
    std::vector<std::string> corners = {"8", "walls", "62", "1", "10", "0", "20", "0", "11", "10", "21", "0",
                                        "12", "0", "22", "10", "13", "10", "23", "10"};
    auto with = [&](const char* type) {
        std::vector<std::string> body = {"0", type};
        body.insert(body.end(), corners.begin(), corners.end());
        return Entities(body);
    };
    TBothForms trace = ConvertBoth(with("TRACE")), solid = ConvertBoth(with("SOLID"));
    // Extents 10 x 10 -> 12.5 x 12.5, scale 48000.
    EXPECT_EQ(trace.Text, "60000;540000;540000;540000\r\n540000;540000;540000;60000\r\n540000;60000;60000;60000\r\n");
    EXPECT_EQ(trace.Dxf, solid.Dxf);
    EXPECT_NE(trace.Dxf.find("HATCH"), std::string::npos);  // filled, as a SOLID is
}
