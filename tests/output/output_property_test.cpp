// The structure output stage against the plain rendering of its rules, on many
// random grouped box lists: hinge boxes drawn from a few extents so that
// structures pair up, chain, share neighbours and form rings; some structures
// with more than 20 hinge boxes or 10 neighbours; every option set.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "run_stage.h"

namespace {

std::string line_of(int xmin, int xmax, int ymin, int ymax, int zmin, int zmax) {
    char buf[128];
    std::snprintf(buf, sizeof buf, "\t%d\t%d\t%d\t%d\t%d\t%d\n", xmin, xmax, ymin, ymax, zmin, zmax);
    return buf;
}

std::string random_grouped_list(std::mt19937& rng, int max_structures, int hinge_extents, int max_boxes) {
    std::uniform_int_distribution<int> structures(0, max_structures), boxes(0, max_boxes), cls(0, 9),
        extent(0, hinge_extents - 1), coord(-50, 50), size(0, 30);
    std::string text;
    const int n = structures(rng);
    for (int s = 0; s < n; ++s) {
        const int count = boxes(rng);
        for (int b = 0; b < count; ++b) {
            const int c = cls(rng);
            const int e = extent(rng);
            // Hinge extents: some longer in x, some in y, some square.
            const int hx = 10 * e, hy = 7 * e;
            const int hw = (e % 3 == 0) ? 10 : (e % 3 == 1 ? 4 : 6), hh = (e % 3 == 0) ? 4 : (e % 3 == 1 ? 10 : 6);
            const int x = coord(rng), y = coord(rng);
            switch (c) {
                case 0: text += line_of(x, x + size(rng), y, y + size(rng), 0, 2 + (c % 4)); break;
                case 1: case 2: text += line_of(hx, hx + hw, hy, hy + hh, 1, 4); break;
                case 3: case 4: text += line_of(hx, hx + hw, hy, hy + hh, 5, 8); break;
                case 5: text += line_of(x, x + size(rng), y, y + size(rng), 5, 9); break;
                case 6: text += "\tnot a box\n"; break;
                default: text += line_of(x, x + size(rng), y, y + size(rng), 1 + (c % 3), 3 + (c % 3)); break;
            }
        }
        text += "\n";
    }
    return text;
}

TEST(OutputProperty, SameOutputAsThePlainRenderingOnRandomLists) {
    std::mt19937 rng(424242);
    for (int round = 0; round < 1200; ++round) {
        const bool large = round % 10 == 9;
        const std::string list = random_grouped_list(rng, round % 3 == 0 ? 25 : 10, large ? 24 : (round % 2 == 0 ? 4 : 8),
                                                     large ? 60 : 6);
        const reference::Flags flags{static_cast<int>(rng() % 2), static_cast<int>(rng() % 2), static_cast<int>(rng() % 2)};
        std::string expected_blocks;
        const std::string expected = reference::output_text(list, flags, &expected_blocks);
        const StageResult r = run_output_stage(list, flags);
        ASSERT_EQ(r.blocks, expected_blocks) << list;
        ASSERT_EQ(r.output, expected) << "flags -s " << flags.summary << " -r " << flags.group << " linkage "
                                      << flags.linkage << "\n" << list;
    }
}

}  // namespace
