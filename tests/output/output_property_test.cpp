// The structure output stage against the plain rendering of its rules, on many
// random grouped box lists: hinge boxes drawn from a few extents so that
// structures pair up, chain, share neighbours and form rings; every option set.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "grouping/box.h"
#include "grouping/group_boxes.h"
#include "reference_grouping.h"
#include "run_stage.h"

namespace {

std::string line_of(int xmin, int xmax, int ymin, int ymax, int zmin, int zmax) {
    char buf[128];
    std::snprintf(buf, sizeof buf, "\t%d\t%d\t%d\t%d\t%d\t%d\n", xmin, xmax, ymin, ymax, zmin, zmax);
    return buf;
}

std::string random_grouped_list(std::mt19937& rng, int max_structures, int hinge_extents) {
    std::uniform_int_distribution<int> structures(0, max_structures), boxes(0, 6), cls(0, 9), extent(0, hinge_extents - 1),
        coord(-50, 50), size(0, 30);
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
    int compared = 0;
    for (int round = 0; round < 1200; ++round) {
        const std::string list = random_grouped_list(rng, round % 3 == 0 ? 25 : 10, round % 2 == 0 ? 4 : 8);
        const reference::Flags flags{static_cast<int>(rng() % 2), static_cast<int>(rng() % 2), static_cast<int>(rng() % 2)};
        std::string expected_blocks;
        const std::string expected = reference::output_text(list, flags, &expected_blocks);
        const StageResult r = run_output_stage(list, flags);
        ASSERT_EQ(r.blocks, expected_blocks) << list;
        ASSERT_EQ(r.output, expected) << "flags -s " << flags.summary << " -r " << flags.group << " linkage "
                                      << flags.linkage << "\n" << list;
        ++compared;
    }
    EXPECT_EQ(compared, 1200);
}

TEST(OutputProperty, GroupingThenOutputMatchesThePlainRenderings) {
    // Random box lists through both stages: hinge pairs lie on top of each
    // other, so grouping keeps them apart (z 4 and 5 do not touch) while the
    // output pairs them up.
    std::mt19937 rng(99);
    for (int round = 0; round < 300; ++round) {
        std::string premason;
        std::vector<Box> boxes;
        const int n = 1 + static_cast<int>(rng() % 30);
        for (int k = 0; k < n; ++k) {
            static const int z[][2] = {{1, 3}, {3, 5}, {0, 5}, {1, 4}, {5, 8}, {5, 9}, {7, 8}};
            const int c = static_cast<int>(rng() % 7);
            const int x = static_cast<int>(rng() % 60), y = static_cast<int>(rng() % 60);
            Box b{x, x + 1 + static_cast<int>(rng() % 15), y, y + 1 + static_cast<int>(rng() % 15), z[c][0], z[c][1]};
            if (c == 3 || c == 4) b = Box{10 * (x % 4), 10 * (x % 4) + 4, 0, 8, z[c][0], z[c][1]};
            boxes.push_back(b);
            premason += std::to_string(b.xmin) + " " + std::to_string(b.xmax) + " " + std::to_string(b.ymin) + " " +
                        std::to_string(b.ymax) + " " + std::to_string(b.zmin) + " " + std::to_string(b.zmax) + "\n";
        }
        const std::string grouped = reference::grouped_text(reference::group(boxes));
        const reference::Flags flags{1, static_cast<int>(round % 2), static_cast<int>((round / 2) % 2)};
        std::string postmason, out;
        {
            ScratchDir dir;
            write_file("premason.file", premason);
            group_boxes();
            postmason = read_file("postmason.file");
        }
        ASSERT_EQ(postmason, grouped);
        ASSERT_EQ(run_output_stage(postmason, flags).output, reference::output_text(grouped, flags));
    }
}

}  // namespace
