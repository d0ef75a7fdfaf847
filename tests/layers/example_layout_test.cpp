// The shipped example layout (examples/hinged_mirror.cif), its layer files
// written out by hand from the box commands (CIF units / 100), and the box
// list that the recipe must make of it, reasoned out body by body.
#include <gtest/gtest.h>

#include "layer_test_support.h"
#include "layers/process_layers.h"

using namespace layers_test;

class ExampleLayout : public InTempDir {};

TEST_F(ExampleLayout, HingedMirrorBoxList) {
    // frame bars, then the two hinge posts
    write_layer("COL", {{0, 0, 200, 10}, {0, 150, 200, 160}, {0, 10, 10, 150}, {190, 10, 200, 150},
                        {40, 20, 50, 30}, {150, 20, 160, 30}});
    // hinge pins on the posts, the latch
    write_layer("CPS", {{36, 26, 54, 34}, {146, 26, 164, 34}, {168, 35, 186, 50}});
    // mirror plate and its two arms, which reach down over the pins
    write_layer("CPT", {{30, 60, 170, 130}, {41, 31, 49, 60}, {151, 31, 159, 60}});
    write_layer("CHT", {{38, 68, 42, 72}, {158, 68, 162, 72}, {38, 118, 42, 122}, {158, 118, 162, 122}});
    write_layer("COF", {{172, 36, 182, 44}});
    write_layer("CHO", {{172, 44, 176, 48}, {180, 44, 184, 48}});
    write_layer("COT", {{25, 151, 35, 159}});
    write_layer("CMB", {{70, 75, 130, 115}});
    write_layer("CCM", {{20, 150, 40, 160}, {4, 153, 20, 157}, {70, 75, 130, 115}});
    write_layer("CHM", {{27, 153, 33, 157}, {68, 73, 132, 117}});
    process_layers();
    EXPECT_TRUE(gpc_files_here().empty());
    EXPECT_EQ(read_file("premason.file"),
              // COL, COT and COF straight from their layer files
              "0 200 0 10 0 5\n0 200 150 160 0 5\n0 10 10 150 0 5\n190 200 10 150 0 5\n"
              "40 50 20 30 0 5\n150 160 20 30 0 5\n"
              "25 35 151 159 1 7\n"
              "172 182 36 44 0 2\n"
              // mtl: the pad less its window, with the lead joined on the left;
              // the mirror's metal lies wholly inside its opening
              "20 40 150 153 7 8\n4 27 153 157 7 8\n33 40 153 157 7 8\n20 40 157 160 7 8\n"
              // refl: CCM on the mirror base
              "70 130 75 115 5 9\n"
              // pvtl and pvth: where the arms cross the pins, inside the
              // 5-wide rings round the posts
              "41 49 31 34 1 4\n151 159 31 34 1 4\n"
              "41 49 31 34 5 8\n151 159 31 34 5 8\n"
              // ply1: the pins, and the latch cut by its two release holes
              "36 54 26 34 1 3\n146 164 26 34 1 3\n168 186 35 44 1 3\n"
              "168 172 44 48 1 3\n176 180 44 48 1 3\n184 186 44 48 1 3\n168 186 48 50 1 3\n"
              // p2lo: the arms between 4 and 6 above the pins (y 38 to 40)
              "41 49 38 40 4 6\n151 159 38 40 4 6\n"
              // p2hi: the arms within 4 of the pins (up to y 38)
              "41 49 31 38 5 7\n151 159 31 38 5 7\n"
              // ply2: the rest of the arms, then the plate round its etch holes
              "41 49 38 60 3 5\n151 159 38 60 3 5\n"
              "30 170 60 68 3 5\n30 38 68 72 3 5\n42 158 68 72 3 5\n162 170 68 72 3 5\n"
              "30 170 72 118 3 5\n30 38 118 122 3 5\n42 158 118 122 3 5\n162 170 118 122 3 5\n"
              "30 170 122 130 3 5\n");
}
