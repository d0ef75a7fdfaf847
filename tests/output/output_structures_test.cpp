// Structure output on small grouped box lists whose results were worked out by
// hand from the rules for blocks, neighbours, linkage, summary and emission.
// Whole outputs of real runs are compared in tests/e2e; here each case checks
// the parts that its list was made for.
#include <gtest/gtest.h>

#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "run_stage.h"

namespace {

std::string L(int xmin, int xmax, int ymin, int ymax, int zmin, int zmax) {
    std::string line;
    for (int v : {xmin, xmax, ymin, ymax, zmin, zmax}) line.append("\t").append(std::to_string(v));
    return line.append("\n");
}

const std::string DASHES = "# ---------------------------------------\n";
const std::string EMPTY_SUMMARY = DASHES + "# total structures found: 0\n# total boxes: 0\n#\n# neighbor summary :\n";

struct Case {
    const char* label;
    std::string list;
    reference::Flags flags;  // -s, -r, linkage
    std::vector<std::string> present = {}, absent = {};
    std::optional<std::string> output = std::nullopt, blocks = std::nullopt;  // compared whole when given
};

// Anchor (with a reflector) <- plate 2 <- plate 3: a chain two deep.
const std::string CHAIN = L(0, 100, 0, 10, 0, 2) + L(10, 20, 10, 14, 5, 8) + L(40, 60, 0, 10, 5, 9) + "\n" +
                          L(10, 20, 10, 14, 1, 4) + L(0, 100, 14, 50, 1, 3) + L(30, 34, 50, 70, 5, 8) + "\n" +
                          L(30, 34, 50, 70, 1, 4) + L(0, 100, 70, 90, 3, 5) + "\n";
const std::string CHAIN_NEIGHBORS = "# struct 1:\t1 neighbor(s): 2 \n# struct 2:\t2 neighbor(s): 1 3 \n"
                                    "# struct 3:\t1 neighbor(s): 2 \n";

TEST(OutputStructures, HandWorkedLists) {
    const std::vector<Case> cases = {
        {"a chain two deep, the anchor with a reflector", CHAIN, {1, 0, 1},
         {DASHES + "# total structures found: 3\n# total boxes: 3\n#\n# neighbor summary :\n" + CHAIN_NEIGHBORS +
              "#\n# linkage summary :\n# struct 1:\thingecnt: 0\tlinked-> -1\tlinkage(s): \n"
              "# struct 2:\thingecnt: 1\tlinked-> 1\tlinkage(s): 2 \n"
              "# struct 3:\thingecnt: 0\tlinked-> 2\tlinkage(s): 3 2 \n" + DASHES +
              "\n# structure 1 start -----------------\n# (struct 1 in the neighbor summary.)\n{\n  anchor: true\n"
              "\n  reflect start\n  20.0 10.0 1.5 50.0 5.0 7.0\n  reflect end\n\n  100.0 10.0 2.0 50.0 5.0 1.0\n}\n"
              "# structure 1 end -----------------\n\n# structure 2 start",
          "{\n  anchor: false\n  link 2 start\n  rotate: +x 0.00 12.00 2.00\n\n  100.0 36.0 2.0 50.0 32.0 2.0\n}\n",
          "# (struct 3 in the neighbor summary.)\n{\n  anchor: false\n  link 3 start\n  link 2 member\n"
          "  rotate: +y 32.00 0.00 2.00\n\n  100.0 20.0 2.0 50.0 80.0 4.0\n}\n# structure 3 end -----------------\n"},
         {}},
        {"no linkage: no link lines, no linkage summary, every plate turns about its entry 0", CHAIN, {1, 0, 0},
         {CHAIN_NEIGHBORS + DASHES + "\n# structure 1 start", "{\n  anchor: false\n  rotate: +x 0.00 12.00 2.00\n\n",
          "{\n  anchor: false\n  rotate: +y 32.00 0.00 2.00\n\n"},
         {"link"}},
        {"no summary: no cross-reference lines", CHAIN, {0, 0, 0}, {"\n# structure 1 start -----------------\n{\n"},
         {DASHES, "# (struct"}},
        {"only hinge and reflector boxes: an empty block; a square hinge box turns about +y",
         L(5, 9, 5, 9, 1, 4) + L(1, 2, 1, 2, 5, 9) + "\n", {0, 0, 1}, {}, {},
         "\n# structure 1 start -----------------\n{\n  anchor: false\n  rotate: +y 7.00 0.00 2.00\n"
         "\n  reflect start\n  1.0 1.0 1.5 1.5 1.5 7.0\n  reflect end\n\n}\n# structure 1 end -----------------\n",
         "# structure 1 start --------------------\n{\n}\n# structure 1 end --------------------\n\n"},
        {"no structures, with linkage", "", {1, 0, 1}, {}, {}, EMPTY_SUMMARY + "#\n# linkage summary :\n" + DASHES, ""},
        {"no structures, without linkage", "", {1, 1, 0}, {}, {}, EMPTY_SUMMARY + DASHES},
        {"no structures, without summary", "", {0, 0, 1}, {}, {}, "", ""},
        // zmin 0 anchors whatever zmax; (1, 8) and (5, 7) are plain; one hinge
        // box gives hingecnt 0, two give 1; the last reflector is kept;
        // structure 2's low hinge box first matches its own high hinge box.
        {"box classes by the exact z range",
         L(3, 8, 0, 1, 0, 9) + L(0, 1, 0, 1, 1, 8) + L(0, 1, 0, 1, 5, 7) + "\n" + L(0, 4, 0, 1, 1, 4) +
             L(0, 4, 0, 1, 5, 8) + L(0, 2, 0, 2, 5, 9) + L(0, 6, 0, 4, 5, 9) + "\n",
         {1, 0, 1},
         {"# total boxes: 3\n", "# struct 2:\t0 neighbor(s): \n", "# struct 2:\thingecnt: 1\tlinked-> -1\tlinkage(s): \n",
          "  reflect start\n  6.0 4.0 1.5 3.0 2.0 7.0\n  reflect end\n"},
         {}, std::nullopt,
         "# structure 1 start --------------------\n{\n  5.0 1.0 9.0 5.5 0.5 4.5\n  1.0 1.0 7.0 0.5 0.5 4.5\n"
         "  1.0 1.0 2.0 0.5 0.5 6.0\n}\n# structure 1 end --------------------\n\n"
         "# structure 2 start --------------------\n{\n}\n# structure 2 end --------------------\n\n"},
        {"the parent is the neighbour that leads to an anchor (1 hangs on 2, 2 on 1 and on the anchored 3)",
         L(0, 4, 0, 10, 1, 4) + L(0, 50, 0, 50, 1, 3) + "\n" + L(0, 4, 0, 10, 5, 8) + L(60, 64, 0, 10, 1, 4) + "\n" +
             L(60, 64, 0, 10, 5, 8) + L(100, 110, 0, 10, 0, 5) + "\n",
         {1, 0, 1},
         {"# struct 1:\thingecnt: 0\tlinked-> 2\tlinkage(s): 1 2 \n# struct 2:\thingecnt: 1\tlinked-> 3\tlinkage(s): 2 \n"
          "# struct 3:\thingecnt: 0\tlinked-> -1\tlinkage(s): \n",
          "  link 1 start\n  link 2 member\n  rotate: +y 2.00 0.00 2.00\n"}},
        {"two plates that are each other's only neighbour: each chain stops where it meets its start",
         L(0, 4, 0, 10, 5, 8) + "\n" + L(0, 4, 0, 10, 1, 4) + "\n", {1, 0, 1},
         {"# struct 1:\thingecnt: 0\tlinked-> 2\tlinkage(s): 1 \n# struct 2:\thingecnt: 0\tlinked-> 1\tlinkage(s): 2 \n",
          "  anchor: false\n  link 1 start\n  rotate: +y 2.00 0.00 2.00\n"}},
        {"three plates in a ring without an anchor: no parent anywhere",
         L(0, 4, 0, 10, 5, 8) + L(40, 44, 0, 10, 1, 4) + "\n" + L(0, 4, 0, 10, 1, 4) + L(20, 24, 0, 10, 5, 8) + "\n" +
             L(20, 24, 0, 10, 1, 4) + L(40, 44, 0, 10, 5, 8) + "\n",
         {1, 0, 1},
         {"# struct 1:\t2 neighbor(s): 2 3 \n# struct 2:\t2 neighbor(s): 1 3 \n# struct 3:\t2 neighbor(s): 2 1 \n",
          "# struct 1:\thingecnt: 1\tlinked-> -1\tlinkage(s): \n# struct 2:\thingecnt: 1\tlinked-> -1\tlinkage(s): \n"
          "# struct 3:\thingecnt: 1\tlinked-> -1\tlinkage(s): \n"}},
        {"malformed lines and a group without its closing empty line are left out",
         "\tjunk\n" + L(0, 1, 0, 1, 1, 3) + "\t1\t2\t3\n\n" + L(5, 6, 5, 6, 1, 3), {1, 0, 1},
         {"# total structures found: 1\n# total boxes: 1\n"}, {}, std::nullopt,
         "# structure 1 start --------------------\n{\n  1.0 1.0 2.0 0.5 0.5 2.0\n}\n"
         "# structure 1 end --------------------\n\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const StageResult r = run_output_stage(c.list, c.flags);
        for (const std::string& part : c.present) EXPECT_NE(r.output.find(part), std::string::npos) << part << "\nin\n" << r.output;
        for (const std::string& part : c.absent) EXPECT_EQ(r.output.find(part), std::string::npos) << part;
        if (c.output) {
            EXPECT_EQ(r.output, *c.output);
        }
        if (c.blocks) {
            EXPECT_EQ(r.blocks, *c.blocks);
        }
    }
}

// Start lines and cross-references in output order, as "number:index".
std::vector<std::string> block_order(const std::string& out) {
    std::vector<std::string> order;
    const std::regex start(R"(# structure (\d+) start -+\n# \(struct (\d+) in the neighbor summary\.\)\n)");
    for (auto it = std::sregex_iterator(out.begin(), out.end(), start); it != std::sregex_iterator(); ++it)
        order.push_back((*it)[1].str() + ":" + (*it)[2].str());
    return order;
}

TEST(OutputStructures, GroupedOrder) {
    // 1 anchor, high hinge a        2 loose plate
    // 3 low a, high b               4 low b
    // 5 high c                      6 low c, low d
    // 7 high d (its neighbour 6 is the first neighbour of group start 5)
    // 8 high e                      9 low e (single neighbour: 8 follows it)
    auto box = [](int k) { return L(1000 * k, 1000 * k + 1, 0, 1, 1, 3); };
    auto hinge = [](int x, int z) { return L(x, x + 4, 0, 10, z, z == 1 ? 4 : 8); };
    const std::string list = L(0, 1, 0, 1, 0, 2) + hinge(0, 5) + "\n" + box(2) + "\n" +            // 1, 2
                             hinge(0, 1) + hinge(10, 5) + box(3) + "\n" + hinge(10, 1) + box(4) + "\n" +  // 3, 4
                             hinge(20, 5) + box(5) + "\n" + hinge(20, 1) + hinge(30, 1) + box(6) + "\n" +  // 5, 6
                             hinge(30, 5) + box(7) + "\n" + hinge(40, 5) + box(8) + "\n" +          // 7, 8
                             hinge(40, 1) + box(9) + "\n";                                          // 9
    const std::string out = run_output_stage(list, {1, 1, 1}).output;
    EXPECT_EQ(block_order(out), (std::vector<std::string>{"1:1", "2:3", "3:4", "4:6", "5:9", "6:8", "7:2", "8:5", "9:7"}));
    // End lines carry the running number too, and each block stays whole.
    EXPECT_NE(out.find("# (struct 8 in the neighbor summary.)\n{\n  anchor: false\n  link 8 start\n  rotate: +y 42.00 0.00 2.00\n\n"
                       "  1.0 1.0 2.0 8000.5 0.5 2.0\n}\n# structure 6 end -----------------\n"),
              std::string::npos);
    // Without -r the same list comes in index order.
    EXPECT_EQ(block_order(run_output_stage(list, {1, 0, 1}).output),
              (std::vector<std::string>{"1:1", "2:2", "3:3", "4:4", "5:5", "6:6", "7:7", "8:8", "9:9"}));
}

}  // namespace
