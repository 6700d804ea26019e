// End to end through the command line: a drawing made with ezdxf holding a
// multileader with a text and one with a block, multilines with a style of
// caps and fill, a wipeout, a mesh, a helix, a construction line and a ray,
// a spline leader, and proxy graphics (an ACAD_PROXY_ENTITY and an entity of
// an unknown name), converted in both forms; the simplified DXF read back by
// ezdxf with an audit; info counting every kind by its name.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "cli/command_line.h"

#include "dxf_snippets.h"
#include "proxy_stream.h"

namespace fs = std::filesystem;

namespace {
const char* kMake = R"(import sys, ezdxf
from ezdxf.math import Vec2
from ezdxf.render import mleader as ml
doc = ezdxf.new("R2018", setup=True)
msp = doc.modelspace()
b = msp.add_multileader_mtext("Standard")
b.set_content("Label", char_height=2.5)
b.add_leader_line(ml.ConnectionSide.left, [Vec2(-20, -15)])
b.build(insert=Vec2(10, 5))
blk = doc.blocks.new("MARK")
blk.add_circle((0, 0), 2)
blk.add_attdef("NUM", (-1, 0.5), dxfattribs={"height": 1})
b = msp.add_multileader_block("Standard")
b.set_content("MARK", scale=2)
b.set_attribute("NUM", "12")
b.add_leader_line(ml.ConnectionSide.left, [Vec2(40, -10)])
b.build(insert=Vec2(70, 5))
st = doc.mline_styles.new("WALL")
st.elements.append(0.5, 1)
st.elements.append(0, 3, "DASHED")
st.elements.append(-0.5, 5)
st.dxf.flags = 1 | 2 | 64 | 256
msp.add_mline([(0, 30), (30, 30), (30, 50)], dxfattribs={"style_name": "WALL", "scale_factor": 2})
msp.add_wipeout([(40, 30), (60, 30), (60, 40)])
m = msp.add_mesh()
with m.edit_data() as d:
    d.vertices = [(80, 30, 0), (90, 30, 0), (90, 40, 0), (80, 40, 0), (100, 35, 0)]
    d.faces = [(0, 1, 2, 3), (1, 4, 2)]
msp.add_helix(radius=5, pitch=2, turns=2).translate(120, 0, 0)
msp.add_xline((0, 60), (1, 0.2))
msp.add_ray((50, 60), (0, 1))
msp.add_leader([(100, 60), (110, 80), (130, 75)], dxfattribs={"path_type": 1})
doc.saveas(sys.argv[1])
)";

class NewerKinds : public ::testing::Test {
protected:
    void SetUp() override {
        if (std::system("/usr/bin/python3 -c 'import ezdxf' >/dev/null 2>&1") != 0) GTEST_SKIP() << "no ezdxf";
        dir = fs::temp_directory_path() / ("newer_kinds_" + std::to_string(::getpid()) + "_" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir / "out");
        dxftest::WriteFile(dir / "make.py", kMake);
        std::string cmd = "/usr/bin/python3 '" + (dir / "make.py").string() + "' '" + (dir / "plan.dxf").string() + "'";
        ASSERT_EQ(std::system(cmd.c_str()), 0);
        // Proxy graphics, which ezdxf does not write: a square and a circle.
        dxftest::TStream s;
        s.Cmd(6).U32(5).P(140, 30).P(150, 30).P(150, 40).P(140, 40).P(140, 30);
        s.Cmd(2).P(145, 35).D(3).P(0, 0, 1);
        const std::string proxies = dxftest::PipeDxf("0|ACAD_PROXY_ENTITY|8|0|100|AcDbProxyEntity|90|498|91|499|" +
                                                     s.Groups() + "93|0|0|AEC_WALL|8|0|" + s.Groups());
        std::string text = dxftest::ReadFile(dir / "plan.dxf");
        size_t at = text.find("\n  0\nENDSEC", text.find("ENTITIES"));
        ASSERT_NE(at, std::string::npos);
        text.insert(at + 1, proxies);
        dxftest::WriteFile(dir / "plan.dxf", text);
    }
    void TearDown() override { fs::remove_all(dir); }
    int Run(std::vector<std::string> args) {
        std::ostringstream o, e;
        int status = RunCommandLine(args, o, e);
        out = o.str();
        err = e.str();
        return status;
    }
    size_t Lines(const fs::path& p) {
        std::istringstream in(dxftest::ReadFile(p));
        size_t n = 0;
        for (std::string l; std::getline(in, l);) ++n;
        return n;
    }
    fs::path dir;
    std::string out, err;
};
}  // namespace

TEST_F(NewerKinds, ConvertInBothFormsAndReadBackByARealReader) {
    const std::string in = (dir / "plan.dxf").string();
    ASSERT_EQ(Run({"convert", "--format", "text", "-o", (dir / "out").string(), in}), 0) << err;
    EXPECT_TRUE(err.empty()) << err;
    const size_t segments = Lines(dir / "out" / "plan.txt");
    EXPECT_GT(segments, 300u);
    // Finer curves with a chord tolerance: the caps, the helix and the
    // proxy's circle take more points.
    ASSERT_EQ(Run({"convert", "--format", "text", "--curve-tolerance", "2", "-o", (dir / "out").string(), in}), 0);
    EXPECT_GT(Lines(dir / "out" / "plan0.txt"), segments);

    ASSERT_EQ(Run({"convert", "-o", (dir / "out").string(), in}), 0) << err;
    EXPECT_TRUE(err.empty()) << err;
    const fs::path dxf = dir / "out" / "plan.dxf";
    const std::string cmd = "/usr/bin/python3 -c \"import ezdxf,sys\nfrom collections import Counter\n"
                            "d=ezdxf.readfile(sys.argv[1]); a=d.audit()\n"
                            "c=Counter(e.dxftype() for e in d.modelspace())\n"
                            "print(sum(c.values()), len(a.errors), len(a.fixes), c['MTEXT'], c['HATCH'])\n"
                            "sys.exit(1 if a.errors or a.fixes else 0)\" '" + dxf.string() + "' > '" +
                            dxf.string() + ".log' 2>&1";
    int rc = std::system(cmd.c_str());
    std::istringstream log(dxftest::ReadFile(dxf.string() + ".log"));
    int entities = 0, errors = -1, fixes = -1, mtexts = 0, hatches = 0;
    log >> entities >> errors >> fixes >> mtexts >> hatches;
    EXPECT_EQ(rc, 0) << log.str();
    EXPECT_GT(entities, 300);
    // The multileader's text and the block's attribute value; the filled
    // arrows and the multiline's fill.
    EXPECT_EQ(mtexts, 2);
    EXPECT_GE(hatches, 3);
}

TEST_F(NewerKinds, InfoCountsEveryKindByItsName) {
    ASSERT_EQ(Run({"info", (dir / "plan.dxf").string()}), 0) << err;
    for (const char* kind : {"MULTILEADER: 2", "MLINE: 1", "WIPEOUT: 1", "MESH: 1", "HELIX: 1", "XLINE: 1", "RAY: 1",
                             "LEADER: 1", "ACAD_PROXY_ENTITY: 1", "AEC_WALL: 1"})
        EXPECT_NE(out.find(kind), std::string::npos) << kind << "\n" << out;
}
