// Stack files: reading and refusing them, heights of levels worked out by
// hand, a layout's z values and hinge points moved to their heights, and the
// command line (--stack with the other formats, and against --z-scale).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "export/cli.h"
#include "export/kavrit.h"
#include "export/stack.h"
#include "tests/export/test_support.h"

using namespace kavrit;
using kavrit_test::export_run;
using kavrit_test::ExportRun;
using kavrit_test::read_file;
using kavrit_test::ScratchDir;

namespace {

const std::string DATA = KAVRIT_TEST_DATA;

Stack stack_of(const std::string& text) {
    std::istringstream in(text);
    return read_stack(in, "s.txt");
}

std::string refusal(const std::string& text) {
    try {
        stack_of(text);
    } catch (const StackError& e) {
        return e.what();
    }
    return "(accepted)";
}

TEST(Stack, HeightsBetweenAndAtListedLevels) {
    // Levels 0, 1, 3 at 0, 2, 2.75 um: between 1 and 3 a level unit is 0.375 um.
    const Stack s = stack_of("# level height\n0 0\n\n1 2.0   # first layer\n3\t2.75\n");
    ASSERT_EQ(s.levels.size(), 3u);
    EXPECT_EQ(s.levels[2].line, 5);
    const struct {
        double level, height;
    } cases[] = {{0, 0}, {0.5, 1.0}, {1, 2.0}, {2, 2.375}, {2.5, 2.5625}, {3, 2.75}};
    for (const auto& c : cases) {
        EXPECT_TRUE(s.covers(c.level)) << c.level;
        EXPECT_DOUBLE_EQ(s.height_of(c.level), c.height) << c.level;
    }
    EXPECT_FALSE(s.covers(-0.1));
    EXPECT_FALSE(s.covers(3.1));
    // A negative level and a signed height read as numbers.
    const Stack n = stack_of("-2 -1.5\n+0 0\n");
    EXPECT_DOUBLE_EQ(n.height_of(-1), -0.75);
}

TEST(Stack, RefusedWithTheLineAndTheReason) {
    const struct {
        const char* text;
        const char* message;
    } cases[] = {
        {"0 0\n1 2\n1 3\n", "s.txt: line 3: level 1 does not lie above level 1 of line 2"},
        {"0 0\n2 2\n1 3\n", "s.txt: line 3: level 1 does not lie above level 2 of line 2"},
        {"0 0\n# x\n1 0\n", "s.txt: line 3: height 0 does not lie above height 0 of line 1"},
        {"0 0\n1 2 3\n", "s.txt: line 2: expected a level and its height in micrometres, \"LEVEL HEIGHT\""},
        {"0 0\n1\n", "s.txt: line 2: expected a level and its height"},
        {"0 zero\n", "s.txt: line 1: expected a level"},
        {"0 nan\n1 2\n", "s.txt: line 1: expected a level"},
        {"0 1e999\n1 2\n", "s.txt: line 1: expected a level"},
        {"# only a comment\n0 0\n", "s.txt: line 2: the only level; a stack needs at least two"},
        {"", "s.txt: no levels; a stack needs at least two"},
        {"# 0 0\n\n", "s.txt: no levels"},
    };
    for (const auto& c : cases) EXPECT_EQ(refusal(c.text).rfind(c.message, 0), 0u) << c.text << "\n" << refusal(c.text);
}

Layout plate_flap() {
    std::ifstream in(DATA + "/plate_flap.kavrit", std::ios::binary);
    return read_kavrit(in);
}

TEST(Stack, MovesBoxesReflectorsAndHingePoints) {
    // Levels 0 1 3 5 at 0 0.5 2.5 3.0: level 1->0.5, 3->2.5, 4->2.75, 5->3.
    const Stack s = stack_of("0 0\n1 0.5\n3 2.5\n5 3\n");
    Layout layout = plate_flap();
    apply_stack(layout, s, "plate_flap.kavrit");
    const auto& st = layout.structures;
    // Structure 1: z 0 to 5 -> 0 to 3.
    EXPECT_DOUBLE_EQ(st[0].boxes[0].lo(2), 0);
    EXPECT_DOUBLE_EQ(st[0].boxes[0].hi(2), 3);
    // Structure 2: z 1 to 3 -> 0.5 to 2.5; its hinge point at z 2 -> 1.5; x and y untouched.
    EXPECT_DOUBLE_EQ(st[1].boxes[0].lo(2), 0.5);
    EXPECT_DOUBLE_EQ(st[1].boxes[0].hi(2), 2.5);
    EXPECT_DOUBLE_EQ(st[1].rotation->point[2], 1.5);
    EXPECT_DOUBLE_EQ(st[1].rotation->point[1], 10);
    EXPECT_DOUBLE_EQ(st[1].boxes[0].lo(0), 0);
    EXPECT_DOUBLE_EQ(st[1].boxes[0].hi(1), 40);
    // Structure 3's second box: z 3 to 5 -> 2.5 to 3.
    EXPECT_DOUBLE_EQ(st[2].boxes[1].lo(2), 2.5);
    EXPECT_DOUBLE_EQ(st[2].boxes[1].hi(2), 3);
    // Structure 5's reflector: z 3.25 to 4.75 -> 2.5625 to 2.9375.
    EXPECT_DOUBLE_EQ(st[4].reflector->lo(2), 2.5625);
    EXPECT_DOUBLE_EQ(st[4].reflector->hi(2), 2.9375);
}

TEST(Stack, RefusesAZValueOutsideItsLevels) {
    Layout layout = plate_flap();
    // The anchor reaches z 5; structure 1 starts on line 16 of the file.
    EXPECT_THROW(
        {
            try {
                apply_stack(layout, stack_of("0 0\n# x\n4 1\n"), "plate_flap.kavrit");
            } catch (const StackError& e) {
                EXPECT_STREQ(e.what(), "s.txt: line 3: plate_flap.kavrit, structure 1 (line 16 on): a box reaches "
                                       "z 5, above the last level of the stack, 4");
                throw;
            }
        },
        StackError);
    Layout again = plate_flap();
    EXPECT_THROW(apply_stack(again, stack_of("1 0\n9 1\n"), "p"), StackError);  // z 0 lies below level 1
}

TEST(Stack, CommandLine) {
    ScratchDir dir("kavrit-stack-test");
    const std::string stack = dir / "stack.txt";
    std::ofstream(stack) << "0 0\n1 0.5\n3 2.5\n5 3\n";
    const std::string input = DATA + "/plate_flap.kavrit";

    // OBJ with the stack: structure 1's box, x 0..50... z 0 to 5 becomes 0 to 3.
    ASSERT_EQ(export_run({"--stack", stack, input, dir / "a.obj"}).status, 0);
    const std::string obj = read_file(dir / "a.obj");
    EXPECT_NE(obj.find("\nv -5 0 3\n"), std::string::npos) << obj.substr(0, 400);
    EXPECT_EQ(obj.find("\nv -5 0 5\n"), std::string::npos);

    // The same file with --stack=FILE gives the same bytes.
    ASSERT_EQ(export_run({"--stack=" + stack, input, dir / "b.obj"}).status, 0);
    std::string b = read_file(dir / "b.obj");
    const std::size_t mtl = b.find("mtllib b.mtl");
    ASSERT_NE(mtl, std::string::npos);
    EXPECT_EQ(b.replace(mtl, 12, "mtllib a.mtl"), obj);

    const struct {
        std::vector<std::string> args;
        int status;
        const char* message;
    } refusals[] = {
        {{"--stack", stack, "--z-scale", "2", input, dir / "c.obj"}, 2, "--stack and --z-scale cannot be combined"},
        {{"--z-scale=2", "--stack=" + stack, input, dir / "c.svg"}, 2, "--stack and --z-scale cannot be combined"},
        {{"--stack=", input, dir / "c.obj"}, 2, "--stack needs the name of a stack file"},
        {{input, dir / "c.obj", "--stack"}, 2, "--stack needs the name of a stack file"},
        {{"--stack", dir / "none.txt", input, dir / "c.obj"}, 1, "cannot open"},
        {{"--stack", DATA + "/plate_flap.kavrit", input, dir / "c.obj"}, 1, "line 17: expected a level"},
    };
    for (const auto& r : refusals) {
        const ExportRun got = export_run(r.args);
        EXPECT_EQ(got.status, r.status) << got.err;
        EXPECT_NE(got.err.find(r.message), std::string::npos) << got.err;
        EXPECT_FALSE(std::filesystem::exists(dir / "c.obj"));
        EXPECT_FALSE(std::filesystem::exists(dir / "c.svg"));
    }

    // A stack that stops below the anchor's top: refused, no file written.
    std::ofstream(dir / "low.txt") << "0 0\n4 1\n";
    const ExportRun low = export_run({"--stack", dir / "low.txt", input, dir / "c.glb"});
    EXPECT_EQ(low.status, 1);
    EXPECT_NE(low.err.find("structure 1 (line 16 on): a box reaches z 5"), std::string::npos) << low.err;
    EXPECT_FALSE(std::filesystem::exists(dir / "c.glb"));

    // Without the STEP writer handed in, .step is a wrong command line.
    EXPECT_EQ(export_run({input, dir / "c.step"}).status, 2);
}

}  // namespace
