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
using kavrit_test::count_of;
using kavrit_test::cross;
using kavrit_test::dot;
using kavrit_test::minus;
using kavrit_test::export_run;
using kavrit_test::ExportRun;
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
        EXPECT_GT(dot(cross(minus(p[1], p[0]), minus(p[2], p[0])), n), 0) << "triangle " << t;
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
        const ExportRun r = export_run(args);
        EXPECT_EQ(r.status, 2) << (args.empty() ? "" : args[0]);
        EXPECT_NE(r.err.find("usage: kavrit-export"), std::string::npos);
    }
    const ExportRun help = export_run({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("--view VIEW"), std::string::npos);
}

TEST(CommandLine, ExportsOrReportsTheFaultyLine) {
    ScratchDir dir("kavrit-export-test");
    const std::string obj = (dir.path() / "m.OBJ").string();
    const ExportRun written = export_run({DATA + "/hinged_summary.kavrit", obj});
    ASSERT_EQ(written.status, 0) << written.err;
    EXPECT_TRUE(fs::exists(dir.path() / "m.mtl"));
    EXPECT_NE(read_file(obj).find("mtllib m.mtl\n"), std::string::npos);

    const fs::path bad = dir.path() / "bad.kavrit";
    std::ofstream(bad) << "#\n# cif input file: x.cif\n#\n\n# structure 1 start ---\n{\n  anchor: maybe\n";
    const fs::path svg = dir.path() / "bad.svg";
    const ExportRun faulty = export_run({bad.string(), svg.string()});
    EXPECT_EQ(faulty.status, 1);
    EXPECT_NE(faulty.err.find("bad.kavrit: line 7: expected the anchor line"), std::string::npos) << faulty.err;
    EXPECT_FALSE(fs::exists(svg));
    const ExportRun missing = export_run({(dir.path() / "none.kavrit").string(), svg.string()});
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("cannot open"), std::string::npos);
}
