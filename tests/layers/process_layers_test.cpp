// The recipe on small layouts whose bodies are worked out by hand. Every body
// of the box list has its own z range, so premason.file is read back as cells
// per body.
#include <cctype>
#include <map>

#include "layer_test_support.h"
#include "layers/process_layers.h"

using namespace layers_test;

namespace {

const std::map<std::pair<int, int>, std::string> body_by_z = {
    {{0, 5}, "COL"},  {{1, 7}, "COT"},  {{0, 2}, "COF"},  {{7, 8}, "mtl"},  {{5, 9}, "refl"}, {{1, 4}, "pvtl"},
    {{5, 8}, "pvth"}, {{1, 3}, "ply1"}, {{4, 6}, "p2lo"}, {{5, 7}, "p2hi"}, {{3, 5}, "ply2"},
};

}  // namespace

class Recipe : public InTempDir {
protected:
    // Runs the recipe, checks that no polygon file of the run is left, and
    // gives the cells of each body (the quads of a recipe body never overlap).
    std::map<std::string, Cells> run() {
        process_layers();
        EXPECT_TRUE(gpc_files_here().empty());
        EXPECT_TRUE(created_files().empty());
        std::map<std::string, Cells> bodies;
        std::istringstream in(read_file("premason.file"));
        int x0, x1, y0, y1, z0, z1, twice = 0;
        while (in >> x0 >> x1 >> y0 >> y1 >> z0 >> z1) {
            const std::string& name = body_by_z.at({z0, z1});
            // COL, COT and COF are the layer files' boxes as drawn, overlaps and all
            add_cells(bodies[name], x0, y0, x1, y1, true, std::islower(name[0]) ? &twice : nullptr);
        }
        EXPECT_EQ(twice, 0);
        return bodies;
    }
};

TEST_F(Recipe, NoLayersAtAll) {
    write_file("other.gpc", "0\n");  // not made by this run: stays
    process_layers();
    EXPECT_EQ(read_file("premason.file"), "");
    EXPECT_EQ(gpc_files_here(), std::vector<std::string>{"other.gpc"});
    // COL is missing, so its grow wrote nothing; ply1 is empty, so the last
    // grow left a scratch file without boxes and never wrote tmpdata2.file
    EXPECT_EQ(read_file("tmpdata1.file"), "0\n");
    EXPECT_FALSE(file_exists("tmpdata2.file"));
}

TEST_F(Recipe, PolyPlateWithAHole) {
    write_layer("CPS", {{0, 0, 10, 10}});
    write_layer("CHO", {{3, 3, 7, 7}});
    write_layer("XYZ", {{0, 0, 1, 1}});  // unused, removed all the same
    run();
    // bottom, left and right of the hole, top
    EXPECT_EQ(read_file("premason.file"), "0 10 0 3 1 3\n0 3 3 7 1 3\n7 10 3 7 1 3\n0 10 7 10 1 3\n");
    // the last grow of the recipe: ply1 by 6
    const char* f = "%.2f %.2f\n";
    EXPECT_EQ(read_file("tmpdata1.file"), "4\n" + corners(f, -6, -6, 16, 9) + corners(f, -6, -3, 9, 13) +
                                              corners(f, 1, -3, 16, 13) + corners(f, -6, 1, 16, 16));
    EXPECT_EQ(read_file("tmpdata2.file"), "1\n" + corners("%.5f %.5f\n", -6, 1, 16, 16));
}

TEST_F(Recipe, SecondLevelRoundTouchingPolyBoxes) {
    // the two abutting boxes grow as one plate: p2hi lies within 4 of it,
    // p2lo between 4 and 6, ply2 is the rest of CPT
    write_layer("CPS", {{0, 0, 5, 10}, {5, 0, 10, 10}});
    write_layer("CPT", {{-20, -20, 30, 30}});
    auto b = run();
    EXPECT_EQ(b.size(), 4u);
    EXPECT_EQ(b["ply1"], cells_of({{0, 0, 10, 10}}));
    EXPECT_EQ(b["p2hi"], cells_of({{-4, -4, 14, 14}}));
    EXPECT_EQ(b["p2lo"], cells_of({{-6, -6, 16, 16}}, {{-4, -4, 14, 14}}));
    EXPECT_EQ(b["ply2"], cells_of({{-20, -20, 30, 30}}, {{-4, -4, 14, 14}}));
}

TEST_F(Recipe, HingePivotInTheAnchorRing) {
    // the 5-wide ring round the anchor, where CPT and CPS both lie
    write_layer("COL", {{0, 0, 4, 4}});
    write_layer("CPT", {{-10, 1, 20, 3}});
    write_layer("CPS", {{-10, 0, 20, 4}});
    auto b = run();
    EXPECT_EQ(b.size(), 5u);
    EXPECT_EQ(b["COL"], cells_of({{0, 0, 4, 4}}));
    EXPECT_EQ(b["pvtl"], cells_of({{-5, 1, 0, 3}, {4, 1, 9, 3}}));
    EXPECT_EQ(b["pvth"], b["pvtl"]);
    EXPECT_EQ(b["ply1"], cells_of({{-10, 0, 20, 4}}));
    EXPECT_EQ(b["p2hi"], cells_of({{-10, 1, 20, 3}}));
}

TEST_F(Recipe, PivotOnBaseMetalAndTheReflector) {
    // CPS ∩ CPT ∩ CMB, less COT and less CCM
    for (const char* layer : {"CPS", "CPT", "CMB"}) write_layer(layer, {{0, 0, 20, 10}});
    write_layer("COT", {{0, 0, 5, 10}});
    write_layer("CCM", {{15, 0, 20, 10}});
    run();
    EXPECT_EQ(read_file("premason.file"), "0 5 0 10 1 7\n"  // COT
                                          "15 20 0 10 7 8\n15 20 0 10 5 9\n"  // mtl = CCM, refl = CCM ∩ CMB
                                          "5 15 0 10 1 4\n5 15 0 10 5 8\n"  // pvtl, pvth
                                          "0 20 0 10 1 3\n0 20 0 10 5 7\n");  // ply1, p2hi
}

TEST_F(Recipe, MetalWithAndWithoutItsHoleLayer) {
    write_layer("CCM", {{0, 0, 10, 10}});
    write_layer("CMB", {{5, 0, 15, 10}});
    write_layer("CHM", {{0, 4, 10, 6}});
    run();
    EXPECT_EQ(read_file("premason.file"), "0 10 0 4 7 8\n0 10 6 10 7 8\n5 10 0 10 5 9\n");
    write_layer("CCM", {{0, 0, 10, 10}, {20, 0, 30, 5}});
    auto b = run();
    EXPECT_EQ(b.size(), 1u);
    EXPECT_EQ(b["mtl"], cells_of({{0, 0, 10, 10}, {20, 0, 30, 5}}));
    // no CCM: neither metal nor reflector, and COF as its layer file holds it
    write_layer("CMB", {{0, 0, 10, 10}});
    write_layer("COF", {{1, 1, 2, 2}});
    run();
    EXPECT_EQ(read_file("premason.file"), "1 2 1 2 0 2\n");
}

TEST_F(Recipe, OverlappingAnchorBoxes) {
    // where the two COL boxes overlap, COL has no area in a boolean step
    // (even-odd) while its grow covers it: so the overlap joins the ring
    write_layer("COL", {{0, 0, 10, 10}, {5, 0, 15, 10}});
    write_layer("CPS", {{-20, -20, 40, 30}});
    write_layer("CPT", {{-20, -20, 40, 30}});
    auto b = run();
    EXPECT_EQ(read_file("premason.file").substr(0, 28), "0 10 0 10 0 5\n5 15 0 10 0 5\n");
    EXPECT_EQ(b["pvtl"], cells_of({{-5, -5, 20, 15}}, {{0, 0, 5, 10}, {10, 0, 15, 10}}));
    EXPECT_EQ(b["p2hi"], cells_of({{-20, -20, 40, 30}}));
}

TEST_F(Recipe, UnwritableEmptyFileEndsTheRun) {
    std::filesystem::create_directory("empty.gpc");
    EXPECT_EXIT(process_layers(), testing::ExitedWithCode(1), "^Error opening file empty\\.gpc\n$");
}
