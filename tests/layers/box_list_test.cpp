#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <string>

#include "layer_test_support.h"
#include "layers/box_list.h"

using namespace layers_test;

namespace {

struct Row {
    int base, thickness, top;
};

// The table as the process build-up gives it, row by row.
const std::map<std::string, Row> expected_rows = {
    {"PLY1", {1, 2, 3}}, {"PLY2", {3, 2, 5}}, {"P2LO", {4, 2, 6}}, {"P2HI", {5, 2, 7}}, {"C2SL", {0, 2, 2}},
    {"C2SH", {0, 4, 4}}, {"C21L", {3, 2, 5}}, {"C21H", {3, 3, 6}}, {"COF", {0, 2, 2}},  {"COT", {1, 6, 7}},
    {"COL", {0, 5, 5}},  {"CCM", {7, 1, 8}},  {"MTL", {7, 1, 8}},  {"PVTL", {1, 3, 4}}, {"PVTH", {5, 3, 8}},
    {"REFL", {5, 4, 9}}, {"BASE", {-2, 1, -1}},
};

}  // namespace

TEST(LayerHeights, EveryRowOfTheTable) {
    for (const auto& [name, row] : expected_rows) {
        const LayerHeight h = lookup_layer_height(name);
        EXPECT_EQ(h.z_base, row.base) << name;
        EXPECT_EQ(h.thickness, row.thickness) << name;
        EXPECT_EQ(h.top, row.top) << name;
    }
}

TEST(LayerHeights, CaseIsIgnoredAndUnknownNamesAreZero) {
    for (const char* name : {"pvth", "PVTH", "PvTh"}) {
        const LayerHeight h = lookup_layer_height(name);
        EXPECT_EQ(h.z_base, 5) << name;
        EXPECT_EQ(h.top, 8) << name;
    }
    for (const char* name : {"", "XYZ", "PLY", "PLY1 ", "PLY1X", "PLY1PLY1PLY1", "cps"}) {
        const LayerHeight h = lookup_layer_height(name);
        EXPECT_EQ(h.z_base, 0) << name;
        EXPECT_EQ(h.thickness, 0) << name;
        EXPECT_EQ(h.top, 0) << name;
    }
}

TEST(LayerHeights, EachLevelConstantMovesExactlyTheRowsBuiltOnIt) {
    const std::set<std::string> all_but_c2sl_cof_base = {"PLY1", "PLY2", "P2LO", "P2HI", "C2SH", "C21L", "C21H",
                                                         "COT",  "COL",  "CCM",  "MTL",  "PVTL", "PVTH", "REFL"};
    const std::set<std::string> rise = {"PLY2", "P2LO", "C2SH", "P2HI", "C21H", "COT",
                                        "COL",  "CCM",  "MTL",  "PVTH", "REFL"};
    const std::set<std::string> ply1 = {"PLY1", "P2LO", "P2HI", "C21L", "C21H", "COT", "COL", "CCM", "MTL", "PVTH"};
    const std::set<std::string> ply2 = {"PLY2", "P2LO", "P2HI", "C2SL", "C2SH", "C21L",
                                        "C21H", "COF",  "COT",  "CCM",  "MTL",  "REFL"};
    struct Case {
        int LevelConstants::*field;
        std::set<std::string> moved;
    };
    const Case cases[] = {
        {&LevelConstants::level1_base, all_but_c2sl_cof_base},
        {&LevelConstants::level2_rise, rise},
        {&LevelConstants::ply1_thickness, ply1},
        {&LevelConstants::ply2_thickness, ply2},
        {&LevelConstants::metal_thickness, {"CCM", "MTL"}},
        {&LevelConstants::refl_thickness, {"REFL"}},
        {&LevelConstants::pvt_thickness, {"PVTL", "PVTH"}},
    };
    for (const Case& c : cases) {
        LevelConstants changed = BUILT_IN_LEVELS;
        changed.*(c.field) += 10;
        const HeightTable table = make_height_table(changed);
        std::set<std::string> moved;
        for (const auto& [name, row] : expected_rows) {
            const LayerHeight h = lookup_layer_height(name, table);
            if (h.z_base != row.base || h.thickness != row.thickness) moved.insert(name);
        }
        EXPECT_EQ(moved, c.moved);
    }
}

class BoxList : public InTempDir {};

TEST_F(BoxList, AllBodiesMissingGivesAnEmptyFile) {
    write_box_list(BODY_LIST);
    ASSERT_TRUE(file_exists("premason.file"));
    EXPECT_EQ(read_file("premason.file"), "");
}

TEST_F(BoxList, BodiesInListOrderWithTheirHeights) {
    // Written in another order than the list's, to show the list decides.
    write_file("ply2.gpc", cif_layer_text({{0, 0, 1, 1}}));
    write_file("ply1.gpc", cif_layer_text({{10, 20, 30, 25}, {1, 2, 3, 4}}));
    write_file("refl.gpc", cif_layer_text({{5, 5, 6, 6}}));
    write_file("mtl.gpc", cif_layer_text({{7, 7, 8, 8}}));
    write_file("COL.gpc", cif_layer_text({{-3, -4, 0, 0}}));
    write_file("pvtl.gpc", "0\n");
    write_box_list(BODY_LIST);
    EXPECT_EQ(read_file("premason.file"),
              "-3 0 -4 0 0 5\n"
              "7 8 7 8 7 8\n"
              "5 6 5 6 5 9\n"
              "10 30 20 25 1 3\n"
              "1 3 2 4 1 3\n"
              "0 1 0 1 3 5\n");
}

TEST_F(BoxList, CoordinatesTruncateTowardZeroBeforeMinAndMax) {
    write_file("ply1.gpc", "2\n4\n-2.7 -1.2\n3.9 -1.2\n3.9 4.0\n-2.7 4.0\n"
                           "4\n3.5 3.5\n0.5 3.5\n0.5 0.5\n3.5 0.5\n");
    // Quad-writer text with fifteen decimals is read in single precision:
    // -0.999999999999999 and 9.999999999999998 become -1 and 10 before the cut.
    write_file("ply2.gpc", "1\n4\n -0.999999999999999 2.000000000000000\n 9.999999999999998 2.000000000000000\n"
                           " 9.999999999999998 7.500000000000000\n -0.999999999999999 7.500000000000000\n");
    write_box_list(BODY_LIST);
    EXPECT_EQ(read_file("premason.file"), "-2 3 -1 4 1 3\n0 3 0 3 1 3\n-1 10 2 7 3 5\n");
}

TEST_F(BoxList, StemCaseChoosesTheFileNotTheHeight) {
    write_file("pvth.gpc", cif_layer_text({{0, 0, 1, 1}}));
    write_file("PVTH.gpc", cif_layer_text({{2, 2, 3, 3}}));
    write_file("odd.gpc", cif_layer_text({{4, 4, 5, 5}}));
    const char* const list[] = {"PVTH", "pvth", "odd", "missing", nullptr};
    write_box_list(list);
    EXPECT_EQ(read_file("premason.file"), "2 3 2 3 5 8\n0 1 0 1 5 8\n4 5 4 5 0 0\n");
}

TEST_F(BoxList, ContourOfOtherVertexCountIsReportedAndPassedOver) {
    write_file("refl.gpc", "3\n4\n0 0\n1 0\n1 1\n0 1\n3\n5 5\n6 5\n6 6\n4\n2 2\n3 2\n3 3\n2 3\n");
    testing::internal::CaptureStderr();
    write_box_list(BODY_LIST);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "processlayers(509): number of vertices should be 4.\n");
    EXPECT_EQ(read_file("premason.file"), "0 1 0 1 5 9\n2 3 2 3 5 9\n");
}

TEST_F(BoxList, MalformedFilesGiveTheContoursReadCompletely) {
    // A count that promises more than follows (as a layer file can when a box
    // statement wrote nothing), a contour cut off in its vertices, text that is
    // no number, and a huge vertex count that runs into the end of the file.
    write_file("COL.gpc", "3\n4\n0 0\n1 0\n1 1\n0 1\n");
    write_file("COT.gpc", "2\n4\n0 0\n2 0\n2 2\n0 2\n4\n5 5\n6 5\n6");
    write_file("COF.gpc", "abc\n4\n0 0\n1 0\n1 1\n0 1\n");
    write_file("mtl.gpc", "1\n4\n0 0\nx 0\n1 1\n0 1\n");
    write_file("refl.gpc", "2\n2000000000\n1 1\n");
    write_file("pvtl.gpc", "");
    write_file("pvth.gpc", "-5\n");
    write_file("ply1.gpc", "1\n-3\n");
    testing::internal::CaptureStderr();
    write_box_list(BODY_LIST);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(read_file("premason.file"), "0 1 0 1 0 5\n0 2 0 2 1 7\n");
    // one report each for the huge count and the negative count
    EXPECT_EQ(err, "processlayers(509): number of vertices should be 4.\n"
                   "processlayers(509): number of vertices should be 4.\n");
}

TEST_F(BoxList, UnwritableBoxListEndsTheRun) {
    std::filesystem::create_directory("premason.file");
    EXPECT_EXIT(write_box_list(BODY_LIST), testing::ExitedWithCode(1), "^Error opening file premason\\.file\n$");
}
