// The recipe on small layouts whose bodies are worked out by hand. Every body
// of the box list has its own z range, so the box list is read back as cells
// per body. Each layout runs on one thread, on two, and on two held to one
// large step at a time, with the same result.
#include <cctype>
#include <map>

#include "layer_test_support.h"
#include "layers/box_list.h"
#include "layers/process_layers.h"

using namespace layers_test;
using namespace layers;

namespace {

using Bodies = std::map<std::string, Cells>;

const std::map<std::pair<int, int>, std::string> body_by_z = {
    {{0, 5}, "COL"},  {{1, 7}, "COT"},  {{0, 2}, "COF"},  {{7, 8}, "mtl"},  {{5, 9}, "refl"}, {{1, 4}, "pvtl"},
    {{5, 8}, "pvth"}, {{1, 3}, "ply1"}, {{4, 6}, "p2lo"}, {{5, 7}, "p2hi"}, {{3, 5}, "ply2"},
};

}  // namespace

class Recipe : public InTempDir {
protected:
    // Runs the recipe on fresh layer files, checks that the run writes nothing
    // to the current directory, and gives the cells of each body (the quads of
    // a recipe body never overlap).
    Bodies run(const std::vector<std::pair<std::string, std::vector<Rect>>>& layers) {
        // one thread; two, three and four; two with no room for steps side by side
        const std::pair<int, std::size_t> runs[] = {
            {1, CONCURRENT_VERTICES}, {2, CONCURRENT_VERTICES}, {3, CONCURRENT_VERTICES}, {4, CONCURRENT_VERTICES}, {2, 1}};
        std::string text[std::size(runs)];
        for (std::size_t run = 0; run < std::size(runs); ++run) {
            common::PolygonFiles layer_files;
            for (const auto& [name, boxes] : layers) layers_test::write_layer(layer_files, name, boxes);
            text[run] = box_list_text(process_layers(std::move(layer_files), runs[run].first, runs[run].second));
            EXPECT_EQ(text[run], text[0]) << runs[run].first << " threads";
        }
        EXPECT_TRUE(files_here().empty());
        Bodies bodies;
        std::istringstream in(text[0]);
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

TEST_F(Recipe, PolyPlateWithAHoleKeepingTheFiles) {
    write_layer("CPS", {{0, 0, 10, 10}});
    write_layer("CHO", {{3, 3, 7, 7}});
    process_layers(std::move(files));
    // bottom, left and right of the hole, top
    EXPECT_EQ(read_file("premason.file"), "0 10 0 3 1 3\n0 3 3 7 1 3\n7 10 3 7 1 3\n0 10 7 10 1 3\n");
    // every layer and body file stays, but for c2st: the grow of COL, which is missing, makes nothing
    std::set<std::string> expected = {"CPS.gpc", "CHO.gpc", "empty.gpc", "premason.file", "tmpdata1.file",
                                      "tmpdata2.file"};
    for (const char* body : {"tmp5", "tmp6", "pvt1", "tmp7", "tmp8", "tmp9", "tmp10", "pvt2", "pvtl", "pvth", "mtl",
                             "refl", "ply1", "p2tmp", "p11", "p12", "p13", "p2hi", "tmp1", "tmp2", "tmp3", "tmp4",
                             "p2lo", "ply2"})
        expected.insert(std::string(body) + ".gpc");
    EXPECT_EQ(files_here(), expected);
    EXPECT_EQ(read_file("pvth.gpc"), read_file("pvtl.gpc"));
    // the last grow of the recipe: ply1 by 6
    const char* f = "%.2f %.2f\n";
    EXPECT_EQ(read_file("tmpdata1.file"), "4\n" + corners(f, -6, -6, 16, 9) + corners(f, -6, -3, 9, 13) +
                                              corners(f, 1, -3, 16, 13) + corners(f, -6, 1, 16, 16));
    EXPECT_EQ(read_file("tmpdata2.file"), "1\n" + corners("%.5f %.5f\n", -6, 1, 16, 16));
}

TEST_F(Recipe, BodiesOfSmallLayouts) {
    struct Case {
        const char* label;
        std::vector<std::pair<std::string, std::vector<Rect>>> layers;
        Bodies bodies;  // every body of the box list that is not empty
    };
    const Cells ring = cells_of({{-5, 1, 0, 3}, {4, 1, 9, 3}});
    const Cells pvt_overlap = cells_of({{-5, -5, 20, 15}}, {{0, 0, 5, 10}, {10, 0, 15, 10}});
    const std::vector<Case> cases = {
        // the two abutting boxes grow as one plate: p2hi lies within 4 of it,
        // p2lo between 4 and 6, ply2 is the rest of CPT
        {"second level round touching poly boxes",
         {{"CPS", {{0, 0, 5, 10}, {5, 0, 10, 10}}}, {"CPT", {{-20, -20, 30, 30}}}},
         {{"ply1", cells_of({{0, 0, 10, 10}})},
          {"p2hi", cells_of({{-4, -4, 14, 14}})},
          {"p2lo", cells_of({{-6, -6, 16, 16}}, {{-4, -4, 14, 14}})},
          {"ply2", cells_of({{-20, -20, 30, 30}}, {{-4, -4, 14, 14}})}}},
        // the 5-wide ring round the anchor, where CPT and CPS both lie
        {"hinge pivot in the anchor ring",
         {{"COL", {{0, 0, 4, 4}}}, {"CPT", {{-10, 1, 20, 3}}}, {"CPS", {{-10, 0, 20, 4}}}},
         {{"COL", cells_of({{0, 0, 4, 4}})}, {"pvtl", ring}, {"pvth", ring},
          {"ply1", cells_of({{-10, 0, 20, 4}})}, {"p2hi", cells_of({{-10, 1, 20, 3}})}}},
        // CPS ∩ CPT ∩ CMB, less COT and less CCM; mtl = CCM, refl = CCM ∩ CMB
        {"pivot on base metal and the reflector",
         {{"CPS", {{0, 0, 20, 10}}}, {"CPT", {{0, 0, 20, 10}}}, {"CMB", {{0, 0, 20, 10}}}, {"COT", {{0, 0, 5, 10}}},
          {"CCM", {{15, 0, 20, 10}}}},
         {{"COT", cells_of({{0, 0, 5, 10}})}, {"mtl", cells_of({{15, 0, 20, 10}})}, {"refl", cells_of({{15, 0, 20, 10}})},
          {"pvtl", cells_of({{5, 0, 15, 10}})}, {"pvth", cells_of({{5, 0, 15, 10}})},
          {"ply1", cells_of({{0, 0, 20, 10}})}, {"p2hi", cells_of({{0, 0, 20, 10}})}}},
        {"metal less its hole layer",
         {{"CCM", {{0, 0, 10, 10}}}, {"CMB", {{5, 0, 15, 10}}}, {"CHM", {{0, 4, 10, 6}}}},
         {{"mtl", cells_of({{0, 0, 10, 4}, {0, 6, 10, 10}})}, {"refl", cells_of({{5, 0, 10, 10}})}}},
        {"metal without a hole layer", {{"CCM", {{0, 0, 10, 10}, {20, 0, 30, 5}}}},
         {{"mtl", cells_of({{0, 0, 10, 10}, {20, 0, 30, 5}})}}},
        {"no metal: no reflector either; COF as drawn", {{"CMB", {{0, 0, 10, 10}}}, {"COF", {{1, 1, 2, 2}}}},
         {{"COF", cells_of({{1, 1, 2, 2}})}}},
        // where the two COL boxes overlap, COL has no area in a boolean step
        // (even-odd) while its grow covers it: so the overlap joins the ring
        {"overlapping anchor boxes",
         {{"COL", {{0, 0, 10, 10}, {5, 0, 15, 10}}}, {"CPS", {{-20, -20, 40, 30}}}, {"CPT", {{-20, -20, 40, 30}}}},
         {{"COL", cells_of({{0, 0, 15, 10}})}, {"pvtl", pvt_overlap}, {"pvth", pvt_overlap},
          {"ply1", cells_of({{-20, -20, 40, 30}})}, {"p2hi", cells_of({{-20, -20, 40, 30}})}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(run(c.layers), c.bodies);
    }
}
