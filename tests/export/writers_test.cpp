#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "export/cli.h"
#include "export/kavrit.h"
#include "export/mesh_writers.h"
#include "export/output_file.h"
#include "export/svg_writer.h"
#include "tests/export/test_support.h"

using namespace kavrit;
namespace fs = std::filesystem;
using kavrit_test::read_file;
using kavrit_test::ScratchDir;

namespace {

const std::string DATA = KAVRIT_TEST_DATA;

// hinged_summary.kavrit: an anchored slab, a hinged plate with a ridge and a
// reflector, a second hinged plate and a free block; 5 box lines, 1 reflector.
Layout hinged_layout() {
    std::ifstream in(DATA + "/hinged_summary.kavrit");
    return read_kavrit(in);
}

std::vector<std::string> lines_starting(const std::string& text, const std::string& prefix) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (line.rfind(prefix, 0) == 0) out.push_back(line);
    return out;
}

std::size_t count_of(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

}  // namespace

// Counts, face indices and materials per structure are checked by
// roundtrip.py on this file and on converted layouts; here the values by hand.
TEST(ObjWriter, OneObjectPerStructureAndAMaterialPerKind) {
    ObjText text = make_obj(hinged_layout(), "model.mtl");
    EXPECT_EQ(lines_starting(text.obj, "mtllib "), (std::vector<std::string>{"mtllib model.mtl"}));
    EXPECT_EQ(lines_starting(text.obj, "usemtl "),
              (std::vector<std::string>{"usemtl anchored", "usemtl hinged", "usemtl reflector", "usemtl hinged",
                                        "usemtl free"}));
    // The slab 20 x 40 x 5 about (10, 20, 2.5) and the reflector 10 x 10 x 1.5 about (40, 20, 7).
    EXPECT_NE(text.obj.find("v 20 40 5\n"), std::string::npos);
    EXPECT_NE(text.obj.find("v 35 15 6.25\n"), std::string::npos);
}

// The header, the count and the bounding box are checked by roundtrip.py.
TEST(StlWriter, TwelveOutwardTrianglesPerBox) {
    std::string stl = make_stl(hinged_layout());
    ASSERT_EQ(stl.size(), 84u + 50u * 72);
    auto u32 = [&](std::size_t at) {
        std::uint32_t v = 0;
        for (int k = 3; k >= 0; --k) v = (v << 8) | static_cast<unsigned char>(stl[at + k]);
        return v;
    };
    auto f32 = [&](std::size_t at) {
        std::uint32_t bits = u32(at);
        float f;
        std::memcpy(&f, &bits, sizeof f);
        return double(f);
    };
    for (std::size_t t = 0; t < 72; ++t) {
        std::size_t at = 84 + 50 * t;
        Vec3 n{f32(at), f32(at + 4), f32(at + 8)}, p[3];
        for (int v = 0; v < 3; ++v)
            for (int k = 0; k < 3; ++k) p[v][k] = f32(at + 12 + 12 * v + 4 * k);
        // The winding must agree with the stated outward normal.
        Vec3 e1{p[1][0] - p[0][0], p[1][1] - p[0][1], p[1][2] - p[0][2]};
        Vec3 e2{p[2][0] - p[0][0], p[2][1] - p[0][1], p[2][2] - p[0][2]};
        Vec3 c{e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2], e1[0] * e2[1] - e1[1] * e2[0]};
        EXPECT_GT(c[0] * n[0] + c[1] * n[1] + c[2] * n[2], 0) << "triangle " << t;
        EXPECT_EQ(std::fabs(n[0]) + std::fabs(n[1]) + std::fabs(n[2]), 1.0);
    }
}

TEST(SvgWriter, DrawsEveryBoxAxisAndStructure) {
    Layout layout = hinged_layout();
    std::string iso = render_svg(layout, ViewName::iso);
    // Boxes, reflectors, legend entries and the axes of hinged structures are
    // checked by roundtrip.py; free 4 has a rotate line but no hinge, so no axis.
    EXPECT_EQ(count_of(iso, "<polygon "), 6u * 3);  // three sides face the eye
    EXPECT_EQ(count_of(iso, "<g class=\"axis\""), 2u);
    const auto anchored_entry = iso.find("<g class=\"legend-entry\" data-structure=\"1\">");
    ASSERT_NE(anchored_entry, std::string::npos);
    const std::string grey = " fill=\"#9a9a9a\"";
    EXPECT_EQ(iso.compare(iso.find(" fill=", anchored_entry), grey.size(), grey), 0) << "anchored is grey";
    EXPECT_NE(iso.find("2  hinged to 1 + reflector"), std::string::npos);
    EXPECT_EQ(iso.find("nan"), std::string::npos);
    EXPECT_EQ(render_svg(layout, ViewName::iso), iso) << "output must be reproducible";
    EXPECT_EQ(count_of(render_svg(layout, ViewName::top), "<polygon "), 6u);
    EXPECT_NE(render_svg(Layout{}, ViewName::side).find("no boxes to draw"), std::string::npos);
}

TEST(SvgWriter, MakesTextSafeForXml) {
    EXPECT_EQ(xml_text("a<b>&\"c'"), "a&lt;b&gt;&amp;&quot;c&apos;");
    EXPECT_EQ(xml_text("caf\xc3\xa9 \xe2\x82\xac"), "caf\xc3\xa9 \xe2\x82\xac");
    EXPECT_EQ(xml_text("bad\xff\xc3 \x01\xed\xa0\x80"), "bad?? ????");
}

TEST(OutputFiles, ReplaceTargetsWholeOrNotAtAll) {
    ScratchDir dir("kavrit-export-test");
    const fs::path target = dir.path() / "a.svg";
    std::ofstream(target) << "old";
    write_files({{target.string(), "new content"}});
    EXPECT_EQ(read_file(target), "new content");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);

    const fs::path first = dir.path() / "b.mtl";
    EXPECT_THROW(write_files({{first.string(), "x"}, {(dir.path() / "missing" / "b.obj").string(), "y"}}),
                 OutputError);
    EXPECT_FALSE(fs::exists(first)) << "no file of a failed export may stay";
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

TEST(CommandLine, RefusesWrongUseWithStatus2) {
    const std::string good = DATA + "/hinged_summary.kavrit";
    const std::vector<std::vector<std::string>> wrong = {
        {}, {good}, {"--colour", good, "x.svg"}, {"--view", "oblique", good, "x.svg"}, {good, "x.png"},
        {"--view", "top", good, "x.obj"}, {good, "x.svg", "y.svg"}, {good, "--view"}};
    for (const auto& args : wrong) {
        std::ostringstream out, err;
        EXPECT_EQ(run_export(args, out, err), 2) << (args.empty() ? "" : args[0]);
        EXPECT_NE(err.str().find("usage: kavrit-export"), std::string::npos);
    }
    std::ostringstream out, err;
    EXPECT_EQ(run_export({"--help"}, out, err), 0);
    EXPECT_NE(out.str().find("--view VIEW"), std::string::npos);
}

TEST(CommandLine, ExportsOrReportsTheFaultyLine) {
    ScratchDir dir("kavrit-export-test");
    const std::string obj = (dir.path() / "m.OBJ").string();
    std::ostringstream out, err;
    ASSERT_EQ(run_export({DATA + "/hinged_summary.kavrit", obj}, out, err), 0) << err.str();
    EXPECT_TRUE(fs::exists(dir.path() / "m.mtl"));
    EXPECT_NE(read_file(obj).find("mtllib m.mtl\n"), std::string::npos);

    const fs::path bad = dir.path() / "bad.kavrit";
    std::ofstream(bad) << "#\n# cif input file: x.cif\n#\n\n# structure 1 start ---\n{\n  anchor: maybe\n";
    const fs::path svg = dir.path() / "bad.svg";
    EXPECT_EQ(run_export({bad.string(), svg.string()}, out, err), 1);
    EXPECT_NE(err.str().find("bad.kavrit: line 7: expected the anchor line"), std::string::npos) << err.str();
    EXPECT_FALSE(fs::exists(svg));
    EXPECT_EQ(run_export({(dir.path() / "none.kavrit").string(), svg.string()}, out, err), 1);
    EXPECT_NE(err.str().find("cannot open"), std::string::npos);
}
