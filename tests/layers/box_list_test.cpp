// The height table and the box list that lifts the final bodies into boxes.
#include <map>

#include "box_list_support.h"
#include "layer_test_support.h"
#include "layers/box_list.h"

using namespace layers_test;
using namespace layers;

namespace {

// name -> base, thickness, as the process build-up gives them
const std::map<std::string, std::pair<int, int>> rows = {
    {"PLY1", {1, 2}}, {"PLY2", {3, 2}}, {"P2LO", {4, 2}}, {"P2HI", {5, 2}}, {"C2SL", {0, 2}}, {"C2SH", {0, 4}},
    {"C21L", {3, 2}}, {"C21H", {3, 3}}, {"COF", {0, 2}},  {"COT", {1, 6}},  {"COL", {0, 5}},  {"CCM", {7, 1}},
    {"MTL", {7, 1}},  {"PVTL", {1, 3}}, {"PVTH", {5, 3}}, {"REFL", {5, 4}}, {"BASE", {-2, 1}},
};

}  // namespace

TEST(LayerHeights, RowsIgnoringCaseAndZeroForUnknownNames) {
    for (const auto& [name, row] : rows) {
        const LayerHeight h = lookup_layer_height(name);
        EXPECT_EQ(std::pair(h.z_base, h.thickness), row) << name;
        EXPECT_EQ(h.top, row.first + row.second) << name;
    }
    EXPECT_EQ(lookup_layer_height("pvth").top, 8);
    EXPECT_EQ(lookup_layer_height("PvTh").z_base, 5);
    for (const char* name : {"", "PLY", "PLY1 ", "PLY1PLY1PLY1", "cps"}) {
        const LayerHeight h = lookup_layer_height(name);
        EXPECT_EQ(h.z_base | h.thickness | h.top, 0) << name;
    }
}

TEST(LayerHeights, EachLevelConstantMovesExactlyTheRowsBuiltOnIt) {
    using S = std::set<std::string>;
    const std::pair<int LevelConstants::*, S> cases[] = {
        {&LevelConstants::level1_base,
         {"PLY1", "PLY2", "P2LO", "P2HI", "C2SH", "C21L", "C21H", "COT", "COL", "CCM", "MTL", "PVTL", "PVTH", "REFL"}},
        {&LevelConstants::level2_rise, {"PLY2", "P2LO", "C2SH", "P2HI", "C21H", "COT", "COL", "CCM", "MTL", "PVTH", "REFL"}},
        {&LevelConstants::ply1_thickness, {"PLY1", "P2LO", "P2HI", "C21L", "C21H", "COT", "COL", "CCM", "MTL", "PVTH"}},
        {&LevelConstants::ply2_thickness,
         {"PLY2", "P2LO", "P2HI", "C2SL", "C2SH", "C21L", "C21H", "COF", "COT", "CCM", "MTL", "REFL"}},
        {&LevelConstants::metal_thickness, {"CCM", "MTL"}},
        {&LevelConstants::refl_thickness, {"REFL"}},
        {&LevelConstants::pvt_thickness, {"PVTL", "PVTH"}},
    };
    for (const auto& [field, expected] : cases) {
        LevelConstants changed = BUILT_IN_LEVELS;
        changed.*field += 10;
        const HeightTable table = make_height_table(changed);
        S moved;
        for (const auto& [name, row] : rows) {
            const LayerHeight h = lookup_layer_height(name, table);
            if (std::pair(h.z_base, h.thickness) != row) moved.insert(name);
        }
        EXPECT_EQ(moved, expected);
    }
}

class BoxList : public InTempDir {
protected:
    std::string box_list(const char* const* list) { return box_list_text(write_box_list(files, list)); }
};

TEST_F(BoxList, ListOrderHeightsAndTruncationTowardZero) {
    EXPECT_EQ(box_list(BODY_LIST), "");  // every body missing
    put_text("ply2.gpc", cif_layer_text({{0, 0, 1, 1}}));
    put_text("ply1.gpc", cif_layer_text({{10, 20, 30, 25}, {-2.7, -1.2, 3.9, 4.0}, {3.5, 3.5, 0.5, 0.5}}));
    put_text("refl.gpc", cif_layer_text({{5, 5, 6, 6}}));
    put_text("mtl.gpc", cif_layer_text({{7, 7, 8, 8}}));
    put_text("COL.gpc", cif_layer_text({{-3, -4, 0, 0}}));
    put_text("pvtl.gpc", "0\n");
    // quad-writer text is read in single precision: -0.999999999999999 and
    // 9.999999999999998 become -1 and 10 before they are cut
    put_text("p2hi.gpc", "1\n" + corners(" %.15f %.15f\n", -0.999999999999999, 2, 9.999999999999998, 7.5));
    EXPECT_EQ(box_list(BODY_LIST), "-3 0 -4 0 0 5\n7 8 7 8 7 8\n5 6 5 6 5 9\n"
                                          "10 30 20 25 1 3\n-2 3 -1 4 1 3\n0 3 0 3 1 3\n-1 10 2 7 5 7\n0 1 0 1 3 5\n");
    // the stem names the file as it stands; its height ignores case
    put_text("PVTH.gpc", cif_layer_text({{2, 2, 3, 3}}));
    put_text("odd.gpc", cif_layer_text({{4, 4, 5, 5}}));
    const char* const list[] = {"PVTH", "odd", "missing", nullptr};
    EXPECT_EQ(box_list(list), "2 3 2 3 5 8\n4 5 4 5 0 0\n");
}

TEST_F(BoxList, OtherVertexCountsAndMalformedFiles) {
    // reported and passed over in step; a count that promises more than
    // follows, a cut-off contour, text that is no number and a huge vertex
    // count give the contours read completely before the fault
    put_text("refl.gpc", "3\n4\n0 0\n1 0\n1 1\n0 1\n3\n5 5\n6 5\n6 6\n4\n2 2\n3 2\n3 3\n2 3\n");
    put_text("COL.gpc", "3\n4\n0 0\n1 0\n1 1\n0 1\n");
    put_text("COT.gpc", "2\n4\n0 0\n2 0\n2 2\n0 2\n4\n5 5\n6 5\n6");
    put_text("COF.gpc", "abc\n4\n0 0\n1 0\n1 1\n0 1\n");
    put_text("mtl.gpc", "1\n4\n0 0\nx 0\n1 1\n0 1\n");
    put_text("pvtl.gpc", "2\n2000000000\n1 1\n");
    put_text("ply1.gpc", "1\n-3\n");
    testing::internal::CaptureStderr();
    const std::string boxes = box_list(BODY_LIST);
    const std::string message = "processlayers(509): number of vertices should be 4.\n";
    EXPECT_EQ(testing::internal::GetCapturedStderr(), message + message + message);
    EXPECT_EQ(boxes, "0 1 0 1 0 5\n0 2 0 2 1 7\n0 1 0 1 5 9\n2 3 2 3 5 9\n");
}
