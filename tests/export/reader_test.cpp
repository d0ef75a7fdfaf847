#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "export/kavrit.h"

using namespace kavrit;

namespace {

Layout read_text(const std::string& text) {
    std::istringstream in(text);
    return read_kavrit(in);
}

const std::string HEADER =
    "#\n# cif input file: one.cif\n#\n# Cif file convert to kavrit format\n"
    "# Use kavrit matlab script to render and manipulate it.\n"
    "# This is a generated data file, edit at own risk.\n#\n"
    "# Please direct questions/comments for kavrit to: \n#   Someone\n#   someone@example.org\n#\n"
    "# generated on 07 December 2024, 10:15.\n#\n";
const std::string FOOTER = "#\n# end of kavrit file\n";

// The one-box run of a single CPS box: box list line 8 12 4 6 1 3.
const std::string ONE_BOX_BLOCK =
    "\n# structure 1 start -----------------\n{\n  anchor: false\n  rotate: +y 0.00 0.00 2.00\n\n"
    "  4.0 2.0 2.0 10.0 5.0 2.0\n}\n# structure 1 end -----------------\n";

}  // namespace

TEST(KavritReader, ReadsTheOneBoxRun) {
    Layout layout = read_text("\n" + HEADER + ONE_BOX_BLOCK + FOOTER);
    EXPECT_EQ(layout.cif_name, "one.cif");
    EXPECT_FALSE(layout.summary);
    ASSERT_EQ(layout.structures.size(), 1u);
    const Structure& s = layout.structures[0];
    EXPECT_EQ(s.number(), 1);
    EXPECT_EQ(s.kind(), Kind::free);
    ASSERT_TRUE(s.rotation);
    EXPECT_EQ(s.rotation->axis, 'y');
    ASSERT_EQ(s.boxes.size(), 1u);
    const SizedBox& b = s.boxes[0];
    EXPECT_EQ((std::vector<double>{b.lo(0), b.hi(0), b.lo(1), b.hi(1), b.lo(2), b.hi(2)}),
              (std::vector<double>{8, 12, 4, 6, 1, 3}));
}

TEST(KavritReader, ReadsSummaryChainsAndReflector) {
    std::ifstream in(std::string(KAVRIT_TEST_DATA) + "/hinged_summary.kavrit");
    Layout layout = read_kavrit(in);
    ASSERT_TRUE(layout.summary);
    EXPECT_EQ(layout.summary->structure_count, 4);
    EXPECT_EQ(layout.summary->box_count, 5);
    EXPECT_EQ(layout.summary->neighbors.at(2), (std::vector<int>{1, 3}));
    EXPECT_TRUE(layout.summary->neighbors.at(4).empty());
    ASSERT_EQ(layout.structures.size(), 4u);
    const Structure& anchor = layout.structures[0];
    const Structure& middle = layout.structures[1];
    const Structure& tip = layout.structures[2];
    EXPECT_EQ(anchor.kind(), Kind::anchored);
    EXPECT_FALSE(anchor.rotation);
    EXPECT_EQ(middle.kind(), Kind::hinged);
    EXPECT_EQ(middle.chain, (std::vector<int>{2}));
    EXPECT_FALSE(middle.listed_parent());          // hinged straight to the anchor
    EXPECT_EQ(layout.parent_of(middle), 1);        // which only the summary names
    EXPECT_EQ(tip.chain, (std::vector<int>{3, 2}));
    EXPECT_EQ(layout.parent_of(tip), 2);
    EXPECT_EQ(layout.parent_of(layout.structures[3]), std::nullopt);
    ASSERT_TRUE(middle.reflector);
    EXPECT_EQ(middle.reflector->lo(2), 6.25);      // 1.5 high about z 7
    EXPECT_EQ(middle.rotation->point, (std::array<double, 3>{21, 0, 2}));
    EXPECT_EQ(layout.box_count(), 5u);
    EXPECT_EQ(layout.reflector_count(), 1u);
}

TEST(KavritReader, AcceptsWhatTheConverterMayWriteAroundTheBlocks) {
    // Text of the CIF end line before the header, even without its own line
    // end; Windows line ends; a structure without box lines; no structure.
    Layout glued = read_text("; trailing text#\r\n# cif input file: a b.cif\r\n#\r\n" +
                             std::string("\n# structure 1 start -----------------\n{\n  anchor: true\n\n}\n"
                                         "# structure 1 end -----------------\n") +
                             FOOTER);
    EXPECT_EQ(glued.cif_name, "a b.cif");
    ASSERT_EQ(glued.structures.size(), 1u);
    EXPECT_TRUE(glued.structures[0].boxes.empty());

    Layout none = read_text(HEADER +
                            "# ---------------------------------------\n# total structures found: 0\n"
                            "# total boxes: 0\n#\n# neighbor summary :\n#\n# linkage summary :\n"
                            "# ---------------------------------------\n" + FOOTER);
    EXPECT_TRUE(none.structures.empty());
    EXPECT_EQ(none.summary->structure_count, 0);
}

TEST(KavritReader, ParsesOnlyPlainDecimals) {
    EXPECT_EQ(parse_number("-12.5"), -12.5);
    EXPECT_EQ(parse_number("3"), 3.0);
    for (const char* bad : {"", "-", ".", "1e5", "+1.0", "nan", "inf", "1.0.0", "0x10", "1,5",
                            "99999999999999999999.0"})
        EXPECT_FALSE(parse_number(bad)) << bad;
}

// Each malformed text: the line the refusal must name and a part of what it
// must say was expected.
struct Malformed {
    const char* what;
    std::string text;
    int line;
    const char* says;
};

class KavritReaderRefuses : public testing::TestWithParam<Malformed> {};

TEST_P(KavritReaderRefuses, NamingLineAndExpectation) {
    const Malformed& m = GetParam();
    try {
        read_text(m.text);
        FAIL() << m.what << ": accepted";
    } catch (const ParseError& e) {
        EXPECT_EQ(e.line(), m.line) << m.what << ": " << e.what();
        EXPECT_NE(std::string(e.what()).find(m.says), std::string::npos) << m.what << ": " << e.what();
        EXPECT_EQ(std::string(e.what()).rfind("line " + std::to_string(m.line) + ": ", 0), 0u);
    }
}

namespace {

// HEADER has 13 lines, so a block appended to it starts on line 14 with its
// empty line, and its start line is line 15.
std::string block(const std::string& body, int n = 1) {
    return "\n# structure " + std::to_string(n) + " start -----------------\n" + body +
           "# structure " + std::to_string(n) + " end -----------------\n";
}
std::string in_file(const std::string& blocks) { return HEADER + blocks + FOOTER; }
const std::string FREE_HEAD = "{\n  anchor: false\n  rotate: +y 0.00 0.00 2.00\n\n";
const std::string SUMMARY_1 =
    "# ---------------------------------------\n# total structures found: 1\n# total boxes: 1\n#\n"
    "# neighbor summary :\n# struct 1:\t0 neighbor(s): \n# ---------------------------------------\n";

}  // namespace

INSTANTIATE_TEST_SUITE_P(
    EachKindOfFault, KavritReaderRefuses,
    testing::Values(
        Malformed{"no header", "just text\n" + FOOTER, 1, "cif input file"},
        Malformed{"header without its # line", "# cif input file: a.cif\n" + FOOTER, 1, "\"#\" before"},
        Malformed{"cut before the footer", HEADER + ONE_BOX_BLOCK, 22, "footer"},
        Malformed{"cut inside a block", HEADER + "\n# structure 1 start -----------------\n{\n", 16,
                  "the file ends here; expected the anchor line"},
        Malformed{"stray text between blocks", in_file(ONE_BOX_BLOCK + "oops\n"), 23, "structure start line"},
        Malformed{"end line without start", in_file("# structure 1 end -----------------\n"), 14,
                  "structure start line"},
        Malformed{"cross-reference outside a block", in_file("# (struct 1 in the neighbor summary.)\n"), 14,
                  "structure start line"},
        Malformed{"start line without number",
                  in_file("\n# structure x start -----------------\n" + FREE_HEAD +
                          "}\n# structure 1 end -----------------\n"),
                  15, "start line"},
        Malformed{"no opening brace", in_file(block("  anchor: true\n\n}\n")), 16, "\"{\""},
        Malformed{"anchor neither true nor false", in_file(block("{\n  anchor: yes\n\n}\n")), 17, "anchor line"},
        Malformed{"anchored with a link line", in_file(block("{\n  anchor: true\n  link 1 start\n\n}\n")), 18,
                  "empty line after the header lines"},
        Malformed{"chain starting with member", in_file(block("{\n  anchor: false\n  link 1 member\n}\n")), 18,
                  "link N start"},
        Malformed{"chain not starting with the structure",
                  in_file(block("# (struct 1 in the neighbor summary.)\n{\n  anchor: false\n  link 2 start\n"
                                "  rotate: +x 0.00 1.00 2.00\n\n}\n")),
                  19, "chain of structure 1"},
        Malformed{"rotation about z", in_file(block("{\n  anchor: false\n  rotate: +z 0.00 0.00 2.00\n\n}\n")),
                  18, "rotate line"},
        Malformed{"free structure without rotate line", in_file(block("{\n  anchor: false\n\n}\n")), 18,
                  "rotate line"},
        Malformed{"no empty line before the boxes",
                  in_file(block("{\n  anchor: true\n  1.0 1.0 1.0 0.0 0.0 0.0\n}\n")), 18, "empty line"},
        Malformed{"five numbers in a box line", in_file(block(FREE_HEAD + "  1.0 1.0 1.0 0.0 0.0\n}\n")), 20,
                  "box line"},
        Malformed{"negative size", in_file(block(FREE_HEAD + "  1.0 -1.0 1.0 0.0 0.0 0.0\n}\n")), 20,
                  "sizes of 0 or more"},
        Malformed{"exponent in a box line", in_file(block(FREE_HEAD + "  1e400 1.0 1.0 0.0 0.0 0.0\n}\n")), 20,
                  "box line"},
        Malformed{"reflector not closed",
                  in_file(block(FREE_HEAD + "  reflect start\n  1.0 1.0 1.5 0.0 0.0 7.0\n\n}\n")), 22,
                  "reflect end"},
        Malformed{"end line of another structure",
                  HEADER + "\n# structure 1 start -----------------\n" + FREE_HEAD +
                      "}\n# structure 2 end -----------------\n" + FOOTER,
                  21, "structure 1 end"},
        Malformed{"structure given twice", in_file(block(FREE_HEAD + "}\n") + block(FREE_HEAD + "}\n")), 23,
                  "already given at line 15"},
        Malformed{"summary counting other structures",
                  HEADER + SUMMARY_1 + block(FREE_HEAD + "  1.0 1.0 1.0 0.0 0.0 0.0\n}\n") +
                      block(FREE_HEAD + "}\n", 2) + FOOTER,
                  15, "counts 1 structures but the file holds 2"},
        Malformed{"summary counting other boxes", HEADER + SUMMARY_1 + block(FREE_HEAD + "}\n") + FOOTER, 16,
                  "counts 1 boxes but the structure blocks hold 0"},
        Malformed{"neighbour line with a missing number",
                  HEADER + "# ---------------------------------------\n# total structures found: 1\n"
                           "# total boxes: 0\n#\n# neighbor summary :\n# struct 1:\t1 neighbor(s): \n" +
                      FOOTER,
                  19, "neighbour line of structure 1"},
        Malformed{"text after the footer", in_file(ONE_BOX_BLOCK) + "more\n", 25, "nothing after the footer"}));
