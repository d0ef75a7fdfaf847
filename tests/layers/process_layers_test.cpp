// The recipe on small layouts whose bodies are worked out by hand. Each body
// of the box list has its own z range (ply1 1-3, ply2 3-5, p2lo 4-6, p2hi
// 5-7, pvtl 1-4, pvth 5-8, mtl 7-8, refl 5-9, COL 0-5, COT 1-7, COF 0-2), so
// a body is found in premason.file by its z range.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "layer_test_support.h"
#include "layers/process_layers.h"

using namespace layers_test;

namespace {

constexpr int PLY1[2] = {1, 3}, PLY2[2] = {3, 5}, P2LO[2] = {4, 6}, P2HI[2] = {5, 7}, PVTL[2] = {1, 4},
              PVTH[2] = {5, 8}, MTL[2] = {7, 8}, REFL[2] = {5, 9}, COL[2] = {0, 5};

}  // namespace

class Recipe : public InTempDir {
protected:
    // Runs the recipe and checks what every run must leave behind.
    std::vector<BoxLine> run() {
        process_layers();
        EXPECT_TRUE(gpc_files_here().empty()) << "left: " << gpc_files_here().front();
        EXPECT_TRUE(created_files().empty());
        EXPECT_TRUE(file_exists("premason.file"));
        return read_box_lines("premason.file");
    }
    // The cells of one body, which must not be covered twice.
    Cells body(const std::vector<BoxLine>& lines, const int z[2]) {
        int overlaps = 0;
        Cells c = cells_at(lines, z[0], z[1], &overlaps);
        EXPECT_EQ(overlaps, 0) << "boxes of the body at z " << z[0] << "-" << z[1] << " overlap";
        return c;
    }
    static std::size_t count_at(const std::vector<BoxLine>& lines, const int z[2]) {
        return std::count_if(lines.begin(), lines.end(), [&](const BoxLine& b) { return b.zmin == z[0] && b.zmax == z[1]; });
    }
};

TEST_F(Recipe, NoLayersAtAll) {
    write_file("other.gpc", "0\n");  // not made by this run: stays
    const std::vector<BoxLine> lines = [&] {
        process_layers();
        return read_box_lines("premason.file");
    }();
    EXPECT_TRUE(lines.empty());
    EXPECT_EQ(read_file("premason.file"), "");
    EXPECT_EQ(gpc_files_here(), std::vector<std::string>{"other.gpc"});
    EXPECT_TRUE(created_files().empty());
    // COL missing: its grow wrote nothing; ply1 is empty, so the last grow
    // wrote a scratch file without boxes and never reached tmpdata2.file.
    EXPECT_EQ(read_file("tmpdata1.file"), "0\n");
    EXPECT_FALSE(file_exists("tmpdata2.file"));
}

TEST_F(Recipe, LayerFilesAreRemovedEvenWhenUnused) {
    write_layer("XYZ", {{0, 0, 1, 1}});
    write_layer("CHT", {{0, 0, 1, 1}});
    EXPECT_TRUE(run().empty());
}

TEST_F(Recipe, SinglePolyBox) {
    write_layer("CPS", {{8, 4, 12, 6}});
    const auto lines = run();
    EXPECT_EQ(read_file("premason.file"), "8 12 4 6 1 3\n");
    // the scratch files hold ply1 grown by 6, the last grow of the recipe
    EXPECT_EQ(read_file("tmpdata1.file"), "1\n4\n2.00 -2.00\n18.00 -2.00\n18.00 12.00\n2.00 12.00\n");
    EXPECT_EQ(read_file("tmpdata2.file"), "1\n4\n2.00000 -2.00000\n18.00000 -2.00000\n18.00000 12.00000\n2.00000 12.00000\n");
}

TEST_F(Recipe, PlateWithAHole) {
    write_layer("CPS", {{0, 0, 10, 10}});
    write_layer("CHO", {{3, 3, 7, 7}});
    run();
    // bottom, then left and right of the hole, then top
    EXPECT_EQ(read_file("premason.file"), "0 10 0 3 1 3\n0 3 3 7 1 3\n7 10 3 7 1 3\n0 10 7 10 1 3\n");
    EXPECT_EQ(read_file("tmpdata1.file"), "4\n"
                                          "4\n-6.00 -6.00\n16.00 -6.00\n16.00 9.00\n-6.00 9.00\n"
                                          "4\n-6.00 -3.00\n9.00 -3.00\n9.00 13.00\n-6.00 13.00\n"
                                          "4\n1.00 -3.00\n16.00 -3.00\n16.00 13.00\n1.00 13.00\n"
                                          "4\n-6.00 1.00\n16.00 1.00\n16.00 16.00\n-6.00 16.00\n");
    EXPECT_EQ(read_file("tmpdata2.file"), "1\n4\n-6.00000 1.00000\n16.00000 1.00000\n16.00000 16.00000\n-6.00000 16.00000\n");
}

TEST_F(Recipe, SecondLevelAroundAPolyPlate) {
    // ply1 grown by 2, 4 and 6 cuts the second level: p2hi within 4 of the
    // plate, p2lo between 4 and 6, ply2 the rest of CPT.
    write_layer("CPS", {{0, 0, 10, 10}});
    write_layer("CPT", {{-20, -20, 30, 30}});
    const auto lines = run();
    EXPECT_EQ(body(lines, PLY1), cells_of({{0, 0, 10, 10}}));
    EXPECT_EQ(count_at(lines, PLY1), 1u);
    EXPECT_EQ(body(lines, P2HI), cells_of({{-4, -4, 14, 14}}));
    EXPECT_EQ(body(lines, P2LO), cells_of({{-6, -6, 16, 16}}, {{-4, -4, 14, 14}}));
    EXPECT_EQ(body(lines, PLY2), cells_of({{-20, -20, 30, 30}}, {{-4, -4, 14, 14}}));
    EXPECT_EQ(count_at(lines, PVTL) + count_at(lines, PVTH), 0u);
    EXPECT_EQ(lines.size(), count_at(lines, PLY1) + count_at(lines, P2HI) + count_at(lines, P2LO) + count_at(lines, PLY2));
}

TEST_F(Recipe, GrowsOfTouchingQuadsUniteIntoOneOutline) {
    // Two abutting poly boxes behave as one plate in every grown body.
    write_layer("CPS", {{0, 0, 5, 10}, {5, 0, 10, 10}});
    write_layer("CPT", {{-20, -20, 30, 30}});
    const auto lines = run();
    EXPECT_EQ(body(lines, PLY1), cells_of({{0, 0, 10, 10}}));
    EXPECT_EQ(body(lines, P2HI), cells_of({{-4, -4, 14, 14}}));
    EXPECT_EQ(body(lines, P2LO), cells_of({{-6, -6, 16, 16}}, {{-4, -4, 14, 14}}));
    EXPECT_EQ(body(lines, PLY2), cells_of({{-20, -20, 30, 30}}, {{-4, -4, 14, 14}}));
}

TEST_F(Recipe, HingeFromTheAnchorRing) {
    // The ring of width 5 around the anchor, where CPT and CPS both lie, is
    // the hinge pivot (pvtl, and pvth above it).
    write_layer("COL", {{0, 0, 4, 4}});
    write_layer("CPT", {{-10, 1, 20, 3}});
    write_layer("CPS", {{-10, 0, 20, 4}});
    const auto lines = run();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0].xmin, 0);
    EXPECT_EQ(lines[0].xmax, 4);
    EXPECT_EQ(lines[0].zmax, 5);
    EXPECT_EQ(body(lines, COL), cells_of({{0, 0, 4, 4}}));
    const Cells pivot = cells_of({{-5, 1, 0, 3}, {4, 1, 9, 3}});
    EXPECT_EQ(body(lines, PVTL), pivot);
    EXPECT_EQ(body(lines, PVTH), pivot);
    EXPECT_EQ(body(lines, PLY1), cells_of({{-10, 0, 20, 4}}));
    EXPECT_EQ(body(lines, P2HI), cells_of({{-10, 1, 20, 3}}));
    EXPECT_EQ(count_at(lines, P2LO) + count_at(lines, PLY2), 0u);
    // pvth is the same body as pvtl, box for box
    std::vector<BoxLine> low, high;
    for (const BoxLine& b : lines) {
        if (b.zmin == PVTL[0] && b.zmax == PVTL[1]) low.push_back(b);
        if (b.zmin == PVTH[0] && b.zmax == PVTH[1]) high.push_back(b);
    }
    ASSERT_EQ(low.size(), high.size());
    for (std::size_t i = 0; i < low.size(); ++i) {
        EXPECT_EQ(low[i].xmin, high[i].xmin);
        EXPECT_EQ(low[i].xmax, high[i].xmax);
        EXPECT_EQ(low[i].ymin, high[i].ymin);
        EXPECT_EQ(low[i].ymax, high[i].ymax);
    }
}

TEST_F(Recipe, PivotTopOfStackedPolyOnBaseMetal) {
    // CPS ∩ CPT ∩ CMB, less COT and CCM, is the second kind of pivot.
    write_layer("CPS", {{0, 0, 20, 10}});
    write_layer("CPT", {{0, 0, 20, 10}});
    write_layer("CMB", {{0, 0, 20, 10}});
    write_layer("COT", {{0, 0, 5, 10}});
    write_layer("CCM", {{15, 0, 20, 10}});
    run();
    EXPECT_EQ(read_file("premason.file"),
              "0 5 0 10 1 7\n"     // COT
              "15 20 0 10 7 8\n"   // mtl = CCM
              "15 20 0 10 5 9\n"   // refl = CCM ∩ CMB
              "5 15 0 10 1 4\n"    // pvtl
              "5 15 0 10 5 8\n"    // pvth
              "0 20 0 10 1 3\n"    // ply1
              "0 20 0 10 5 7\n");  // p2hi: CPT within 4 of ply1
}

TEST_F(Recipe, ReflectorAndMetalCutByTheHole) {
    write_layer("CCM", {{0, 0, 10, 10}});
    write_layer("CMB", {{5, 0, 15, 10}});
    write_layer("CHM", {{0, 4, 10, 6}});
    run();
    EXPECT_EQ(read_file("premason.file"), "0 10 0 4 7 8\n0 10 6 10 7 8\n5 10 0 10 5 9\n");
}

TEST_F(Recipe, MetalWithoutHoleIsTheWholeMetalLayer) {
    write_layer("CCM", {{0, 0, 10, 10}, {20, 0, 30, 5}});
    const auto lines = run();
    EXPECT_EQ(body(lines, MTL), cells_of({{0, 0, 10, 10}, {20, 0, 30, 5}}));
    EXPECT_EQ(lines.size(), count_at(lines, MTL));
}

TEST_F(Recipe, NoMetalMeansNoMetalAndNoReflector) {
    write_layer("CMB", {{0, 0, 10, 10}});
    write_layer("CHM", {{0, 0, 10, 10}});
    write_layer("COF", {{1, 1, 2, 2}});
    run();
    EXPECT_EQ(read_file("premason.file"), "1 2 1 2 0 2\n");  // only COF, as the layer file holds it
}

TEST_F(Recipe, OverlappingBoxesOnOneLayer) {
    // Where the two anchor boxes overlap, COL has no area in a boolean step
    // (even-odd), while the grow of COL covers it: so the overlap belongs to
    // the ring c2st - COL, and to the pivot.
    write_layer("COL", {{0, 0, 10, 10}, {5, 0, 15, 10}});
    write_layer("CPS", {{-20, -20, 40, 30}});
    write_layer("CPT", {{-20, -20, 40, 30}});
    const auto lines = run();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(read_file("premason.file").substr(0, 28), "0 10 0 10 0 5\n5 15 0 10 0 5\n");
    const Cells pivot = body(lines, PVTL);
    EXPECT_EQ(pivot, cells_of({{-5, -5, 20, 15}}, {{0, 0, 5, 10}, {10, 0, 15, 10}}));
    EXPECT_TRUE(pivot.count({7, 5}));
    EXPECT_FALSE(pivot.count({2, 5}));
    EXPECT_EQ(body(lines, PLY1), cells_of({{-20, -20, 40, 30}}));
    EXPECT_EQ(body(lines, P2HI), cells_of({{-20, -20, 40, 30}}));
}

TEST_F(Recipe, UnwritableEmptyFileEndsTheRun) {
    std::filesystem::create_directory("empty.gpc");
    EXPECT_EXIT(process_layers(), testing::ExitedWithCode(1), "^Error opening file empty\\.gpc\n$");
}
