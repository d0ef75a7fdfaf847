// Whole conversions whose structure part was worked out by hand: the one-box
// run, an anchored structure carrying a reflector, and the shipped example
// (which also converts cleanly under the other option sets).
#include <gtest/gtest.h>

#include <string>

#include "harness.h"

namespace {

// The text between the header and the footer of a conversion of `cif` with
// `options` to out.kav; also checks that the run ended well and cleaned up,
// with `err` on standard error.
std::string structure_part(const std::vector<std::string>& options, const std::string& cif,
                           const std::string& err = "") {
    std::vector<std::string> args = options;
    args.insert(args.end(), {"-o", "out.kav", "a.cif"});
    const e2e::RunResult r = e2e::run_cif2kavrit(args, {{"a.cif", cif}});
    EXPECT_TRUE(r.ended_cleanly()) << r.err;
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(r.err, err);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.file_names(), (std::set<std::string>{"a.cif", "out.kav"}));
    if (!r.output_file) return "<no output file>";
    int time_lines = 0;
    const std::string masked = e2e::mask_time_line(*r.output_file, &time_lines);
    EXPECT_EQ(time_lines, 1);
    const std::string head = std::string("\n").append(e2e::expected_header("a.cif"));
    if (masked.compare(0, head.size(), head) != 0) return "<header differs>\n" + masked;
    if (masked.size() < head.size() + e2e::FOOTER.size() ||
        masked.compare(masked.size() - e2e::FOOTER.size(), e2e::FOOTER.size(), e2e::FOOTER) != 0)
        return "<footer differs>\n" + masked;
    return masked.substr(head.size(), masked.size() - head.size() - e2e::FOOTER.size());
}

TEST(StructuresEndToEnd, OneBoxRun) {
    const std::string cif = "L CPS;\nB 400 200 1000 500;\nE\n";
    EXPECT_EQ(structure_part({}, cif),
              "\n# structure 1 start -----------------\n{\n"
              "  anchor: false\n"
              "  rotate: +y 0.00 0.00 2.00\n"
              "\n"
              "  4.0 2.0 2.0 10.0 5.0 2.0\n"
              "}\n# structure 1 end -----------------\n");
    EXPECT_EQ(structure_part({"-s", "-nolinkage"}, cif),
              "# ---------------------------------------\n"
              "# total structures found: 1\n"
              "# total boxes: 1\n"
              "#\n"
              "# neighbor summary :\n"
              "# struct 1:\t0 neighbor(s): \n"
              "# ---------------------------------------\n"
              "\n# structure 1 start -----------------\n"
              "# (struct 1 in the neighbor summary.)\n{\n"
              "  anchor: false\n"
              "  rotate: +y 0.00 0.00 2.00\n"
              "\n"
              "  4.0 2.0 2.0 10.0 5.0 2.0\n"
              "}\n# structure 1 end -----------------\n");
}

TEST(StructuresEndToEnd, AnchoredStructureWithReflector) {
    // An anchor (z 0 to 5), the reflector where metal lies over the mirror base
    // (z 5 to 9) and the metal itself (z 7 to 8), all over the same rectangle:
    // the reflector touches both, so the three are one anchored structure.
    const std::string cif = "L COL;\nB 400 200 1000 500;\nL CCM;\nB 400 200 1000 500;\nL CMB;\nB 400 200 1000 500;\nE\n";
    EXPECT_EQ(structure_part({"-r"}, cif),
              "\n# structure 1 start -----------------\n{\n"
              "  anchor: true\n"
              "\n  reflect start\n"
              "  4.0 2.0 1.5 10.0 5.0 7.0\n"
              "  reflect end\n"
              "\n"
              "  4.0 2.0 5.0 10.0 5.0 2.5\n"
              "  4.0 2.0 1.0 10.0 5.0 7.5\n"
              "}\n# structure 1 end -----------------\n");
}

TEST(StructuresEndToEnd, BoxesOfDifferentBodiesGroupInSlotOrder) {
    // A first-level box that touches an anchor at a corner joins the anchor's
    // structure behind it; a second anchor and a lone first-level box make
    // structures of their own, in the order in which their slots were opened
    // (anchors are listed before first-level boxes). -r writes the anchors
    // first, which is the same order here.
    const std::string cif =
        "L CPS;\nB 400 200 1000 500;\nB 400 200 3000 500;\n"
        "L COL;\nB 200 200 1300 700;\nB 200 200 5000 5000;\nE\n";
    const std::string expected =
        "\n# structure 1 start -----------------\n{\n  anchor: true\n\n"
        "  2.0 2.0 5.0 13.0 7.0 2.5\n  4.0 2.0 2.0 10.0 5.0 2.0\n}\n# structure 1 end -----------------\n"
        "\n# structure 2 start -----------------\n{\n  anchor: true\n\n"
        "  2.0 2.0 5.0 50.0 50.0 2.5\n}\n# structure 2 end -----------------\n"
        "\n# structure 3 start -----------------\n{\n  anchor: false\n  rotate: +y 0.00 0.00 2.00\n\n"
        "  4.0 2.0 2.0 30.0 5.0 2.0\n}\n# structure 3 end -----------------\n";
    EXPECT_EQ(structure_part({}, cif), expected);
    EXPECT_EQ(structure_part({"-r"}, cif), expected);
}

// The shipped example converts cleanly without options and with all three:
// its end command stands alone on the last line (an empty rest of line), so
// the header comes first, and the footer ends the file.
TEST(StructuresEndToEnd, ShippedExampleUnderOtherOptions) {
    const std::string cif = e2e::read_file(e2e::source_dir() + "/examples/hinged_mirror.cif");
    ASSERT_FALSE(cif.empty());
    const std::string note = "cif2kavrit: note: a.cif places symbols; read with --flatten to place every instance\n";
    for (const std::vector<std::string>& options : {std::vector<std::string>{}, {"-s", "-r", "-nolinkage"}}) {
        const std::string part = structure_part(options, cif, note);
        EXPECT_EQ(part.rfind("<", 0), std::string::npos) << part;
    }
}

// The shipped example: a frame of anchor bars with a contact pad (1), two
// anchored posts carrying the hinge pins, each with the low hinge box of its
// hinge (2, 3), an anchored latch (4), and the mirror plate (5) with both high
// hinge boxes, its arms and its reflector, hung on post 2.
TEST(StructuresEndToEnd, ShippedExampleWithSummary) {
    const std::string cif = e2e::read_file(e2e::source_dir() + "/examples/hinged_mirror.cif");
    ASSERT_FALSE(cif.empty());
    // The example places its latch anchor as a symbol: the default reading notes it.
    const std::string note = "cif2kavrit: note: a.cif places symbols; read with --flatten to place every instance\n";
    EXPECT_EQ(structure_part({"-s"}, cif, note), R"(# ---------------------------------------
# total structures found: 5
# total boxes: 34
#
# neighbor summary :
# struct 1:	0 neighbor(s): 
# struct 2:	1 neighbor(s): 5 
# struct 3:	1 neighbor(s): 5 
# struct 4:	0 neighbor(s): 
# struct 5:	2 neighbor(s): 2 3 
#
# linkage summary :
# struct 1:	hingecnt: 0	linked-> -1	linkage(s): 
# struct 2:	hingecnt: 0	linked-> -1	linkage(s): 
# struct 3:	hingecnt: 0	linked-> -1	linkage(s): 
# struct 4:	hingecnt: 0	linked-> -1	linkage(s): 
# struct 5:	hingecnt: 1	linked-> 2	linkage(s): 5 
# ---------------------------------------

# structure 1 start -----------------
# (struct 1 in the neighbor summary.)
{
  anchor: true

  200.0 10.0 5.0 100.0 5.0 2.5
  10.0 140.0 5.0 5.0 80.0 2.5
  10.0 140.0 5.0 195.0 80.0 2.5
  200.0 10.0 5.0 100.0 155.0 2.5
  10.0 8.0 6.0 30.0 155.0 4.0
  20.0 3.0 1.0 30.0 151.5 7.5
  23.0 4.0 1.0 15.5 155.0 7.5
  7.0 4.0 1.0 36.5 155.0 7.5
  20.0 3.0 1.0 30.0 158.5 7.5
}
# structure 1 end -----------------

# structure 2 start -----------------
# (struct 2 in the neighbor summary.)
{
  anchor: true

  10.0 10.0 5.0 45.0 25.0 2.5
  18.0 8.0 2.0 45.0 30.0 2.0
}
# structure 2 end -----------------

# structure 3 start -----------------
# (struct 3 in the neighbor summary.)
{
  anchor: true

  10.0 10.0 5.0 155.0 25.0 2.5
  18.0 8.0 2.0 155.0 30.0 2.0
}
# structure 3 end -----------------

# structure 4 start -----------------
# (struct 4 in the neighbor summary.)
{
  anchor: true

  10.0 8.0 2.0 177.0 40.0 1.0
  18.0 9.0 2.0 177.0 39.5 2.0
  4.0 4.0 2.0 170.0 46.0 2.0
  4.0 4.0 2.0 178.0 46.0 2.0
  2.0 4.0 2.0 185.0 46.0 2.0
  18.0 2.0 2.0 177.0 49.0 2.0
}
# structure 4 end -----------------

# structure 5 start -----------------
# (struct 5 in the neighbor summary.)
{
  anchor: false
  link 5 start
  rotate: +x 0.00 32.50 2.00

  reflect start
  60.0 40.0 1.5 100.0 95.0 7.0
  reflect end

  140.0 46.0 2.0 100.0 95.0 4.0
  8.0 4.0 2.0 34.0 120.0 4.0
  116.0 4.0 2.0 100.0 120.0 4.0
  8.0 4.0 2.0 166.0 120.0 4.0
  140.0 8.0 2.0 100.0 126.0 4.0
  8.0 7.0 2.0 45.0 34.5 6.0
  8.0 22.0 2.0 45.0 49.0 4.0
  140.0 8.0 2.0 100.0 64.0 4.0
  8.0 4.0 2.0 34.0 70.0 4.0
  116.0 4.0 2.0 100.0 70.0 4.0
  8.0 4.0 2.0 166.0 70.0 4.0
  8.0 2.0 2.0 45.0 39.0 5.0
  8.0 7.0 2.0 155.0 34.5 6.0
  8.0 22.0 2.0 155.0 49.0 4.0
  8.0 2.0 2.0 155.0 39.0 5.0
}
# structure 5 end -----------------
)");
}

}  // namespace
