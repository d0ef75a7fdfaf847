// Structure output on small grouped box lists whose results were worked out by
// hand from the rules for blocks, neighbours, linkage, summary and emission.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "run_stage.h"

namespace {

std::string L(int xmin, int xmax, int ymin, int ymax, int zmin, int zmax) {
    return "\t" + std::to_string(xmin) + "\t" + std::to_string(xmax) + "\t" + std::to_string(ymin) + "\t" +
           std::to_string(ymax) + "\t" + std::to_string(zmin) + "\t" + std::to_string(zmax) + "\n";
}

const std::string DASHES = "# ---------------------------------------\n";

// One structure hinged to an anchored one, as in the block example.
const std::string HINGED_PAIR = L(0, 30, -20, -10, 0, 2) + L(10, 20, 0, 4, 5, 8) + "\n" +  //
                                L(10, 20, 0, 4, 1, 4) + L(0, 30, 0, 40, 1, 3) + "\n";

TEST(OutputStructures, HingedPairWithSummary) {
    const StageResult r = run_output_stage(HINGED_PAIR, {1, 0, 1});
    EXPECT_EQ(r.blocks,
              "# structure 1 start --------------------\n{\n"
              "  30.0 10.0 2.0 15.0 -15.0 1.0\n"
              "}\n# structure 1 end --------------------\n\n"
              "# structure 2 start --------------------\n{\n"
              "  30.0 40.0 2.0 15.0 20.0 2.0\n"
              "}\n# structure 2 end --------------------\n\n");
    EXPECT_EQ(r.output, DASHES +
                            "# total structures found: 2\n"
                            "# total boxes: 2\n"
                            "#\n"
                            "# neighbor summary :\n"
                            "# struct 1:\t1 neighbor(s): 2 \n"
                            "# struct 2:\t1 neighbor(s): 1 \n"
                            "#\n"
                            "# linkage summary :\n"
                            "# struct 1:\thingecnt: 0\tlinked-> -1\tlinkage(s): \n"
                            "# struct 2:\thingecnt: 0\tlinked-> 1\tlinkage(s): 2 \n" +
                            DASHES +
                            "\n# structure 1 start -----------------\n"
                            "# (struct 1 in the neighbor summary.)\n{\n"
                            "  anchor: true\n"
                            "\n"
                            "  30.0 10.0 2.0 15.0 -15.0 1.0\n"
                            "}\n# structure 1 end -----------------\n"
                            "\n# structure 2 start -----------------\n"
                            "# (struct 2 in the neighbor summary.)\n{\n"
                            "  anchor: false\n"
                            "  link 2 start\n"
                            "  rotate: +x 0.00 2.00 2.00\n"
                            "\n"
                            "  30.0 40.0 2.0 15.0 20.0 2.0\n"
                            "}\n# structure 2 end -----------------\n");
}

// Anchor (with a reflector) <- plate 2 <- plate 3: a chain two deep.
const std::string CHAIN = L(0, 100, 0, 10, 0, 2) + L(10, 20, 10, 14, 5, 8) + L(40, 60, 0, 10, 5, 9) + "\n" +
                          L(10, 20, 10, 14, 1, 4) + L(0, 100, 14, 50, 1, 3) + L(30, 34, 50, 70, 5, 8) + "\n" +
                          L(30, 34, 50, 70, 1, 4) + L(0, 100, 70, 90, 3, 5) + "\n";

const std::string CHAIN_NEIGHBORS =
    "# struct 1:\t1 neighbor(s): 2 \n"
    "# struct 2:\t2 neighbor(s): 1 3 \n"
    "# struct 3:\t1 neighbor(s): 2 \n";

const std::string CHAIN_ANCHOR_BLOCK =
    "  anchor: true\n"
    "\n  reflect start\n"
    "  20.0 10.0 1.5 50.0 5.0 7.0\n"
    "  reflect end\n"
    "\n"
    "  100.0 10.0 2.0 50.0 5.0 1.0\n"
    "}\n";

TEST(OutputStructures, ChainTwoDeepWithReflectorOnTheAnchor) {
    const StageResult r = run_output_stage(CHAIN, {1, 0, 1});
    EXPECT_EQ(r.output, DASHES + "# total structures found: 3\n# total boxes: 3\n#\n# neighbor summary :\n" +
                            CHAIN_NEIGHBORS +
                            "#\n# linkage summary :\n"
                            "# struct 1:\thingecnt: 0\tlinked-> -1\tlinkage(s): \n"
                            "# struct 2:\thingecnt: 1\tlinked-> 1\tlinkage(s): 2 \n"
                            "# struct 3:\thingecnt: 0\tlinked-> 2\tlinkage(s): 3 2 \n" +
                            DASHES +
                            "\n# structure 1 start -----------------\n# (struct 1 in the neighbor summary.)\n{\n" +
                            CHAIN_ANCHOR_BLOCK +
                            "# structure 1 end -----------------\n"
                            "\n# structure 2 start -----------------\n# (struct 2 in the neighbor summary.)\n{\n"
                            "  anchor: false\n"
                            "  link 2 start\n"
                            "  rotate: +x 0.00 12.00 2.00\n"
                            "\n"
                            "  100.0 36.0 2.0 50.0 32.0 2.0\n"
                            "}\n# structure 2 end -----------------\n"
                            "\n# structure 3 start -----------------\n# (struct 3 in the neighbor summary.)\n{\n"
                            "  anchor: false\n"
                            "  link 3 start\n"
                            "  link 2 member\n"
                            "  rotate: +y 32.00 0.00 2.00\n"
                            "\n"
                            "  100.0 20.0 2.0 50.0 80.0 4.0\n"
                            "}\n# structure 3 end -----------------\n");
}

TEST(OutputStructures, NoLinkageLeavesOutParentsChainsAndTheirSummary) {
    // Without parents every structure turns about its hinge entry 0.
    const StageResult r = run_output_stage(CHAIN, {1, 0, 0});
    EXPECT_EQ(r.output, DASHES + "# total structures found: 3\n# total boxes: 3\n#\n# neighbor summary :\n" +
                            CHAIN_NEIGHBORS + DASHES +
                            "\n# structure 1 start -----------------\n# (struct 1 in the neighbor summary.)\n{\n" +
                            CHAIN_ANCHOR_BLOCK +
                            "# structure 1 end -----------------\n"
                            "\n# structure 2 start -----------------\n# (struct 2 in the neighbor summary.)\n{\n"
                            "  anchor: false\n"
                            "  rotate: +x 0.00 12.00 2.00\n"
                            "\n"
                            "  100.0 36.0 2.0 50.0 32.0 2.0\n"
                            "}\n# structure 2 end -----------------\n"
                            "\n# structure 3 start -----------------\n# (struct 3 in the neighbor summary.)\n{\n"
                            "  anchor: false\n"
                            "  rotate: +y 32.00 0.00 2.00\n"
                            "\n"
                            "  100.0 20.0 2.0 50.0 80.0 4.0\n"
                            "}\n# structure 3 end -----------------\n");
    // Without -s: no summary and no cross-reference lines.
    const StageResult plain = run_output_stage(CHAIN, {0, 0, 0});
    EXPECT_EQ(plain.output.rfind("\n# structure 1 start -----------------\n{\n  anchor: true\n", 0), 0u);
    EXPECT_EQ(plain.output.find("# (struct"), std::string::npos);
    EXPECT_EQ(plain.output.find(DASHES), std::string::npos);
}

TEST(OutputStructures, OnlyHingeBoxesGiveAnEmptyBlock) {
    // A square hinge box without a partner: no neighbour, no parent, axis +y
    // through the box's centre in x.
    const StageResult r = run_output_stage(L(5, 9, 5, 9, 1, 4) + L(1, 2, 1, 2, 5, 9) + "\n");
    EXPECT_EQ(r.blocks, "# structure 1 start --------------------\n{\n}\n# structure 1 end --------------------\n\n");
    EXPECT_EQ(r.output,
              "\n# structure 1 start -----------------\n{\n"
              "  anchor: false\n"
              "  rotate: +y 7.00 0.00 2.00\n"
              "\n  reflect start\n  1.0 1.0 1.5 1.5 1.5 7.0\n  reflect end\n"
              "\n"
              "}\n# structure 1 end -----------------\n");
}

TEST(OutputStructures, NoStructures) {
    EXPECT_EQ(run_output_stage("", {1, 0, 1}).output,
              DASHES + "# total structures found: 0\n# total boxes: 0\n#\n# neighbor summary :\n"
                       "#\n# linkage summary :\n" + DASHES);
    EXPECT_EQ(run_output_stage("", {1, 1, 0}).output,
              DASHES + "# total structures found: 0\n# total boxes: 0\n#\n# neighbor summary :\n" + DASHES);
    const StageResult quiet = run_output_stage("", {0, 0, 1});
    EXPECT_EQ(quiet.output, "");
    EXPECT_EQ(quiet.blocks, "");
}

TEST(OutputStructures, ClassesAreDecidedByTheExactZRange) {
    // zmin 0 anchors whatever zmax; (1, 8) and (5, 7) are plain; one hinge box
    // gives hingecnt 0, two give 1; the last reflector is the one kept.
    const std::string list = L(3, 8, 0, 1, 0, 9) + L(0, 1, 0, 1, 1, 8) + L(0, 1, 0, 1, 5, 7) + "\n" +
                             L(0, 4, 0, 1, 1, 4) + L(0, 4, 0, 1, 5, 8) + L(0, 2, 0, 2, 5, 9) + L(0, 6, 0, 4, 5, 9) +
                             "\n";
    const StageResult r = run_output_stage(list, {1, 0, 1});
    EXPECT_EQ(r.blocks,
              "# structure 1 start --------------------\n{\n"
              "  5.0 1.0 9.0 5.5 0.5 4.5\n"
              "  1.0 1.0 7.0 0.5 0.5 4.5\n"
              "  1.0 1.0 2.0 0.5 0.5 6.0\n"
              "}\n# structure 1 end --------------------\n\n"
              "# structure 2 start --------------------\n{\n"
              "}\n# structure 2 end --------------------\n\n");
    EXPECT_NE(r.output.find("# total boxes: 3\n"), std::string::npos);
    // Structure 2's low hinge box first matches its own high hinge box: no neighbour.
    EXPECT_NE(r.output.find("# struct 2:\t0 neighbor(s): \n"), std::string::npos);
    EXPECT_NE(r.output.find("# struct 2:\thingecnt: 1\tlinked-> -1\tlinkage(s): \n"), std::string::npos);
    EXPECT_NE(r.output.find("  reflect start\n  6.0 4.0 1.5 3.0 2.0 7.0\n  reflect end\n"), std::string::npos);
}

TEST(OutputStructures, ParentIsTheNeighbourThatLeadsToAnAnchor) {
    // 1 hangs only on 2; 2 is hinged to 1 and to the anchored 3.
    const std::string list = L(0, 4, 0, 10, 1, 4) + L(0, 50, 0, 50, 1, 3) + "\n" +       //
                             L(0, 4, 0, 10, 5, 8) + L(60, 64, 0, 10, 1, 4) + "\n" +      //
                             L(60, 64, 0, 10, 5, 8) + L(100, 110, 0, 10, 0, 5) + "\n";
    const std::string out = run_output_stage(list, {1, 0, 1}).output;
    EXPECT_NE(out.find("# struct 1:\thingecnt: 0\tlinked-> 2\tlinkage(s): 1 2 \n"
                       "# struct 2:\thingecnt: 1\tlinked-> 3\tlinkage(s): 2 \n"
                       "# struct 3:\thingecnt: 0\tlinked-> -1\tlinkage(s): \n"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("  link 1 start\n  link 2 member\n  rotate: +y 2.00 0.00 2.00\n"), std::string::npos);
}

TEST(OutputStructures, RingsOfParentsAndOfNeighboursEnd) {
    // Two plates that are each other's only neighbour become each other's
    // parent; each chain stops where it meets its own start again, so each
    // plate shows one link line, to itself.
    const std::string pair = L(0, 4, 0, 10, 5, 8) + "\n" + L(0, 4, 0, 10, 1, 4) + "\n";
    const std::string out = run_output_stage(pair, {1, 0, 1}).output;
    EXPECT_NE(out.find("# struct 1:\thingecnt: 0\tlinked-> 2\tlinkage(s): 1 \n"
                       "# struct 2:\thingecnt: 0\tlinked-> 1\tlinkage(s): 2 \n"),
              std::string::npos);
    EXPECT_NE(out.find("  anchor: false\n  link 1 start\n  rotate: +y 2.00 0.00 2.00\n"), std::string::npos);

    // Three plates in a ring without an anchor: no parent anywhere.
    const std::string ring = L(0, 4, 0, 10, 5, 8) + L(40, 44, 0, 10, 1, 4) + "\n" +  //
                             L(0, 4, 0, 10, 1, 4) + L(20, 24, 0, 10, 5, 8) + "\n" +  //
                             L(20, 24, 0, 10, 1, 4) + L(40, 44, 0, 10, 5, 8) + "\n";
    const std::string ring_out = run_output_stage(ring, {1, 0, 1}).output;
    EXPECT_NE(ring_out.find("# struct 1:\t2 neighbor(s): 2 3 \n# struct 2:\t2 neighbor(s): 1 3 \n"
                            "# struct 3:\t2 neighbor(s): 2 1 \n"),
              std::string::npos);
    EXPECT_NE(ring_out.find("# struct 1:\thingecnt: 1\tlinked-> -1\tlinkage(s): \n"
                            "# struct 2:\thingecnt: 1\tlinked-> -1\tlinkage(s): \n"
                            "# struct 3:\thingecnt: 1\tlinked-> -1\tlinkage(s): \n"),
              std::string::npos);
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
    const std::string a = "\t0\t4\t0\t10\t", b = "\t10\t14\t0\t10\t", c = "\t20\t24\t0\t10\t", d = "\t30\t34\t0\t10\t",
                      e = "\t40\t44\t0\t10\t";
    const std::string list = L(0, 1, 0, 1, 0, 2) + a + "5\t8\n\n" +                 // 1
                             box(2) + "\n" +                                        // 2
                             a + "1\t4\n" + b + "5\t8\n" + box(3) + "\n" +          // 3
                             b + "1\t4\n" + box(4) + "\n" +                         // 4
                             c + "5\t8\n" + box(5) + "\n" +                         // 5
                             c + "1\t4\n" + d + "1\t4\n" + box(6) + "\n" +          // 6
                             d + "5\t8\n" + box(7) + "\n" +                         // 7
                             e + "5\t8\n" + box(8) + "\n" +                         // 8
                             e + "1\t4\n" + box(9) + "\n";                          // 9
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

TEST(OutputStructures, MalformedLinesAndAnUnclosedGroupAreLeftOut) {
    const std::string list = "\tjunk\n" + L(0, 1, 0, 1, 1, 3) + "\t1\t2\t3\n\n" + L(5, 6, 5, 6, 1, 3);
    const StageResult r = run_output_stage(list, {1, 0, 1});
    EXPECT_EQ(r.blocks, "# structure 1 start --------------------\n{\n  1.0 1.0 2.0 0.5 0.5 2.0\n}\n"
                        "# structure 1 end --------------------\n\n");
    EXPECT_NE(r.output.find("# total structures found: 1\n# total boxes: 1\n"), std::string::npos);
}

}  // namespace
