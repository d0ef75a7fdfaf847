// The STEP writer on small layouts written out here: names, colours and unit
// in the STEP text, and the structures that give no solid refused with their
// name, through the command line with no file left behind.  gmsh measures the
// solids themselves (step_check.py).
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "export/cli.h"
#include "export/kavrit.h"
#include "export/pose.h"
#include "export/step_writer.h"
#include "tests/export/kavrit_writer.h"
#include "tests/export/test_support.h"

using namespace kavrit;
using kavrit_test::count_of;
using kavrit_test::export_run;
using kavrit_test::ExportRun;
using kavrit_test::kavrit_text;
using kavrit_test::parse;
using kavrit_test::read_file;
using kavrit_test::ScratchDir;

namespace {

std::string step_of(const std::vector<std::string>& blocks) {
    const Layout layout = parse(kavrit_text(blocks));
    return make_step(layout, flat_pose(layout));
}

// An anchored L of two overlapping boxes with a reflector, a free bar, and a
// hinged structure of two boxes that meet only along an edge.
const std::vector<std::string> THREE = {
    "  anchor: true\n\n  reflect start\n  2.0 2.0 1.0 1.0 1.0 5.5\n  reflect end\n\n"
    "  4.0 2.0 5.0 2.0 1.0 2.5\n  2.0 4.0 5.0 1.0 2.0 2.5\n",
    "  anchor: false\n  rotate: +y 0.00 0.00 0.00\n\n  10.0 1.0 1.0 20.0 0.5 0.5\n",
    "  anchor: false\n  link 3 start\n  rotate: +x 0.00 30.00 1.00\n\n"
    "  2.0 2.0 2.0 31.0 31.0 1.0\n  2.0 2.0 2.0 33.0 31.0 3.0\n",
};

TEST(Step, NamesColoursAndUnit) {
    const std::string step = step_of(THREE);
    EXPECT_EQ(step.rfind("ISO-10303-21;", 0), 0u);
    EXPECT_NE(step.find("AUTOMOTIVE_DESIGN"), std::string::npos);  // AP214
    EXPECT_NE(step.find("SI_UNIT(.MICRO.,.METRE.)"), std::string::npos);
    EXPECT_EQ(count_of(step, "PRODUCT('structure_1',"), 1u);
    EXPECT_EQ(count_of(step, "PRODUCT('structure_1_reflector',"), 1u);
    EXPECT_EQ(count_of(step, "PRODUCT('structure_2',"), 1u);
    // The edge-joined pair: the assembly and its two solids, all of that name.
    EXPECT_EQ(count_of(step, "PRODUCT('structure_3',"), 3u);
    EXPECT_EQ(count_of(step, "MANIFOLD_SOLID_BREP"), 5u);
    // The colours of the OBJ materials: anchored, reflector, free, hinged.
    // The kernel keeps colours in single precision.
    std::vector<std::array<double, 3>> written;
    const std::string colour = "COLOUR_RGB('',";
    for (std::size_t at = step.find(colour); at != std::string::npos; at = step.find(colour, at + 1)) {
        std::istringstream in(step.substr(at + colour.size(), step.find(')', at) - at - colour.size()));
        std::array<double, 3> rgb{};
        char comma = 0;
        in >> rgb[0] >> comma >> rgb[1] >> comma >> rgb[2];
        EXPECT_TRUE(in) << step.substr(at, 80);
        written.push_back(rgb);
    }
    EXPECT_EQ(written.size(), 4u);
    const std::array<double, 3> kinds[] = {{0.62, 0.62, 0.62}, {1, 0.82, 0.25}, {0.35, 0.7, 0.4}, {0.26, 0.52, 0.86}};
    for (const auto& rgb : kinds) {
        bool found = false;
        for (const auto& w : written)
            found = found || (std::abs(w[0] - rgb[0]) < 1e-6 && std::abs(w[1] - rgb[1]) < 1e-6 &&
                              std::abs(w[2] - rgb[2]) < 1e-6);
        EXPECT_TRUE(found) << rgb[0] << " " << rgb[1] << " " << rgb[2];
    }
    // The numbers stay micrometres: the reflector's top at z 6, the bar's end at x 25.
    EXPECT_NE(step.find("CARTESIAN_POINT('',(0.,0.,6.))"), std::string::npos);
    EXPECT_NE(step.find("CARTESIAN_POINT('',(25.,0.,0.))"), std::string::npos);
}

TEST(Step, UnionHasTheFacesOfItsOutline) {
    // The L of two overlapping boxes, united and its coplanar faces merged:
    // an L-shaped prism has 8 faces (6 sides, top and bottom), not the 12
    // of the two boxes or the pieces the union cuts them into.
    const std::string step = step_of({THREE[0]});
    const std::string solid = "MANIFOLD_SOLID_BREP('',#";
    const std::size_t at = step.find(solid);
    ASSERT_NE(at, std::string::npos);
    const std::string shell_id = step.substr(at + solid.size(), step.find(')', at) - at - solid.size());
    std::string shell = "#";
    shell += shell_id;
    shell += " = CLOSED_SHELL('',(";
    const std::size_t from = step.find(shell);
    ASSERT_NE(from, std::string::npos) << shell;
    const std::string faces = step.substr(from + shell.size(), step.find(')', from) - from - shell.size());
    EXPECT_EQ(count_of(faces, "#"), 8u) << faces;
}

TEST(Step, StructuresWithoutASolidAreNamed) {
    const struct {
        std::vector<std::string> blocks;
        const char* message;
    } cases[] = {
        {{THREE[1], "  anchor: true\n\n  0.0 2.0 2.0 5.0 5.0 1.0\n  3.0 0.0 2.0 5.0 5.0 1.0\n"},
         "structure_2: none of its 2 boxes has a volume, so no solid can be made of it"},
        {{"  anchor: true\n\n  2.0 2.0 0.0 5.0 5.0 1.0\n"},
         "structure_1: none of its 1 box has a volume, so no solid can be made of it"},
        {{"  anchor: true\n\n  reflect start\n  2.0 2.0 0.0 5.0 5.0 2.0\n  reflect end\n\n  2.0 2.0 2.0 5.0 5.0 1.0\n"},
         "structure_1_reflector: the reflector has no volume, so no solid can be made of it"},
        {{}, "the layout holds no box, so there is no solid to write"},
    };
    for (const auto& c : cases) {
        try {
            step_of(c.blocks);
            ADD_FAILURE() << "accepted: " << c.message;
        } catch (const StepError& e) {
            EXPECT_STREQ(e.what(), c.message);
        }
    }
    // A box without volume beside boxes with one holds no material: the
    // structure is the solid of the others.
    const std::string step = step_of({"  anchor: true\n\n  0.0 2.0 2.0 4.0 5.0 1.0\n  2.0 2.0 2.0 5.0 5.0 1.0\n"});
    EXPECT_EQ(count_of(step, "MANIFOLD_SOLID_BREP"), 1u);
}

ExportRun run(const std::vector<std::string>& args) { return export_run(args, make_step); }

TEST(Step, CommandLine) {
    ScratchDir dir("kavrit-step-test");
    const std::string good = dir / "good.kav", flat = dir / "flat.kav", bad = dir / "bad.kav";
    std::ofstream(good) << kavrit_text(THREE);
    std::ofstream(flat) << kavrit_text({THREE[1], "  anchor: true\n\n  2.0 2.0 0.0 5.0 5.0 1.0\n"});
    std::ofstream(bad) << kavrit_text({"  anchor: maybe\n\n  2.0 2.0 2.0 5.0 5.0 1.0\n"});

    ASSERT_EQ(run({good, dir / "a.step"}).status, 0);
    ASSERT_EQ(run({"--raise", "30", good, dir / "b.STP"}).status, 0);
    EXPECT_NE(read_file(dir / "b.STP").find("PRODUCT('structure_3',"), std::string::npos);

    // Refused as for every format, or for want of a solid: status 1, the
    // file and the structure named, nothing written.
    const ExportRun none = run({flat, dir / "c.step"});
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.err, "kavrit-export: " + flat + ": structure_2: none of its 1 box has a volume, so no solid can be made of it\n");
    const ExportRun obj = export_run({bad, dir / "c.obj"});
    EXPECT_EQ(obj.status, 1);
    const ExportRun refused = run({bad, dir / "c.step"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.err, obj.err);
    EXPECT_FALSE(std::filesystem::exists(dir / "c.step"));
    EXPECT_FALSE(std::filesystem::exists(dir / "c.obj"));

    // A turn of a structure that does not turn: a wrong command line, as for OBJ.
    EXPECT_EQ(run({"--pose", "1=10", good, dir / "c.step"}).status, 2);
    EXPECT_FALSE(std::filesystem::exists(dir / "c.step"));
}

}  // namespace
