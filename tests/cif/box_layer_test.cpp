// Box and layer commands as the character scan meets them: the layer files
// they make, the boxes they keep and drop, and the look-ahead box count.
#include <vector>

#include "scan_fixture.h"

namespace {

using Files = std::set<std::string>;

const std::string kTracedBox = contour("8.0", "4.0", "12.0", "6.0");  // B 400 200 1000 500

TEST_F(ScanTest, TracedLayoutMakesOneLayerFile) {
    scan("L CPS;\nB 400 200 1000 500;\nE\n");
    EXPECT_EQ(file("CPS.gpc"), "1\n4\n8.0 4.0\n12.0 4.0\n12.0 6.0\n8.0 6.0\n");
    EXPECT_EQ(output(), "\n");
    EXPECT_EQ(files(), Files{"CPS.gpc"});
    EXPECT_EQ(created_files(), std::vector<std::string>{"CPS.gpc"});
}

TEST_F(ScanTest, TwoLayersWithTwoBoxesEach) {
    scan("L CPS;\nB 400 200 1000 500;\nB 200 200 2000 2000;\n"
         "L CPT;\nB 100 100 0 0;\nB 1000 400 -500 -200;\nE\n");
    EXPECT_EQ(file("CPS.gpc"), "2\n" + kTracedBox + contour("19.0", "19.0", "21.0", "21.0"));
    EXPECT_EQ(file("CPT.gpc"), "2\n" + contour("-0.5", "-0.5", "0.5", "0.5") + contour("-10.0", "-4.0", "0.0", "0.0"));
    EXPECT_EQ(created_files(), (std::vector<std::string>{"CPS.gpc", "CPT.gpc"}));
}

TEST_F(ScanTest, BoxCornersUseExactHalves) {
    // Length 11 about x 10: 4.5 / 100 = 0.045 prints 0.0; an integer half
    // (5) would give 0.05, printed 0.1.
    scan("L CPS;\nB 11 2 10 0;\n");
    EXPECT_EQ(file("CPS.gpc"), "1\n" + contour("0.0", "-0.0", "0.2", "0.0"));
}

TEST_F(ScanTest, BoxesAtTheEdgesOfTheIntRange) {
    scan("L CPS;\nB 2147483647 2 2147483647 0;\nB 2 2 -2147483648 0;\n");
    EXPECT_EQ(file("CPS.gpc"), "2\n" + contour("10737418.0", "-0.0", "32212254.0", "0.0") +
                                   contour("-21474836.0", "-0.0", "-21474836.0", "0.0"));
}

TEST_F(ScanTest, MalformedBoxesAreDroppedAndReadingGoesOn) {
    scan("L CPS;\n"
         "B +400 200 1000 500;\n"         // a sign the run does not take
         "B 400  200 1000 500;\n"         // two blanks: an empty run
         "B 400 200 1000;\n"              // a number missing
         "B 99999999999 200 1000 500;\n"  // does not fit an int
         "B - 200 1000 500;\n"            // no digits
         "B 12-3 200 1000 500;\n"         // "%d" reads 12
         "B 400\t200\t1000\t500;\n"       // one tab is one separating byte
         "B 400 200 1000 500 1 0;\n");    // a direction vector is passed over
    EXPECT_EQ(file("CPS.gpc"), "8\n" + contour("9.9", "4.0", "10.1", "6.0") + kTracedBox + kTracedBox);
}

TEST_F(ScanTest, BoxCutShortByTheEndOfTheFileIsDropped) {
    scan("L CPS;\nB 400 200 1000 500");
    EXPECT_EQ(file("CPS.gpc"), "1\n");
    scan("L CPT;\nB 400 200");
    EXPECT_EQ(file("CPT.gpc"), "1\n");
}

TEST_F(ScanTest, BoxLetterWithoutBlankIsCountedButWritesNothing) {
    scan("L CPS;\nBad;\nB 400 200 1000 500;\nBX 400 200 1000 500;\n");
    EXPECT_EQ(file("CPS.gpc"), "3\n" + kTracedBox);
}

TEST_F(ScanTest, BoxesWithoutAnOpenLayerFileAreDropped) {
    scan("B 400 200 1000 500;\nL CPS;\nB 100 100 0 0;\nE\nB 400 200 1000 500;\n");
    EXPECT_EQ(file("CPS.gpc"), "1\n" + contour("-0.5", "-0.5", "0.5", "0.5"));
    EXPECT_EQ(files(), Files{"CPS.gpc"});
}

TEST_F(ScanTest, LayerFollowedByPolygonMakesNoFileAndClosesThePrevious) {
    scan("L CPS;\nB 400 200 1000 500;\nL CPT;\nP 0 0 10 0 10 10;\nB 100 100 0 0;\n");
    EXPECT_EQ(files(), Files{"CPS.gpc"});
    EXPECT_EQ(file("CPS.gpc"), "1\n" + kTracedBox);
}

TEST_F(ScanTest, LayerLetterWithoutBlankDoesNothing) {
    // 'C' is consumed; the 'P' of the name starts a polygon command that ends
    // at once on the word "S".
    scan("LCPS;\nB 400 200 1000 500;\n");
    EXPECT_EQ(files(), Files{});
    EXPECT_EQ(output(), "");
}

TEST_F(ScanTest, SameLayerTwiceKeepsOnlyTheLaterBoxes) {
    scan("L CPS;\nB 400 200 1000 500;\nL CPT;\nB 100 100 0 0;\nL CPS;\nB 200 200 2000 2000;\n");
    EXPECT_EQ(file("CPS.gpc"), "1\n" + contour("19.0", "19.0", "21.0", "21.0"));
    EXPECT_EQ(created_files(), (std::vector<std::string>{"CPS.gpc", "CPT.gpc", "CPS.gpc"}));
}

TEST_F(ScanTest, BlankBeforeSemicolonBelongsToTheName) {
    scan("L CPS ;\nB 400 200 1000 500;\n");
    EXPECT_EQ(files(), Files{"CPS .gpc"});
    EXPECT_EQ(file("CPS .gpc"), "1\n" + kTracedBox);
}

TEST_F(ScanTest, UnsafeLayerNamesMakeNoFileAndDropTheirBoxes) {
    scan(std::string("L CPS;\nB 400 200 1000 500;\n"
                     "L ../cif_scan_escape;\nB 100 100 0 0;\n"
                     "L /tmp/cif_scan_escape;\nB 100 100 0 0;\n"
                     "L ;\nB 100 100 0 0;\n"
                     "L A\tB;\nB 100 100 0 0;\n"
                     "L CPS\r\n;\nB 100 100 0 0;\n") +
         std::string("L A\0B;\n", 7) + "B 100 100 0 0;\n");
    EXPECT_EQ(files(), Files{"CPS.gpc"});
    EXPECT_EQ(file("CPS.gpc"), "1\n" + kTracedBox);  // closed by the first refused layer
    EXPECT_EQ(created_files(), std::vector<std::string>{"CPS.gpc"});
    EXPECT_FALSE(std::filesystem::exists(dir_.parent_path() / "cif_scan_escape.gpc"));
}

TEST_F(ScanTest, LayerWithoutSemicolonEndsTheScan) {
    scan("L CPS;\nB 400 200 1000 500;\nL CPT\nB 100 100 0 0\nE\n");
    EXPECT_EQ(files(), Files{"CPS.gpc"});
    EXPECT_EQ(file("CPS.gpc"), "1\n" + kTracedBox);
    EXPECT_EQ(output(), "");  // the E was part of the unfinished name
}

TEST_F(ScanTest, BreakInTheBoxRunWritesMoreContoursThanCounted) {
    scan("L CPS;\nB 400 200 1000 500;\n(a comment)\nB 100 100 0 0;\nE\n");
    EXPECT_EQ(file("CPS.gpc"), "1\n" + kTracedBox + contour("-0.5", "-0.5", "0.5", "0.5"));
}

TEST_F(ScanTest, CommentBeforeABoxOnItsLineHidesTheCountedBox) {
    scan("L CPS; (12) B 400 200 1000 500;\n");
    EXPECT_EQ(file("CPS.gpc"), "1\n");
    scan("L CPT;\nB 100 100 0 0; 9 B 400 200 1000 500;\n");
    EXPECT_EQ(file("CPT.gpc"), "2\n" + contour("-0.5", "-0.5", "0.5", "0.5"));
}

TEST_F(ScanTest, LookAheadStopsAtTheFirstOtherLetter) {
    // A lower-case 'b' is a letter other than 'B': the count is 0.
    scan("L CPS;\nb 1 1 0 0;\nB 400 200 1000 500;\n");
    EXPECT_EQ(files(), Files{});
    // Digits and punctuation between statements are passed over.
    scan("L CPT;\n;;12;\n  B 400 200 1000 500;\n,.;B 100 100 0 0; DF;\nB 1 1 0 0;\n");
    EXPECT_EQ(file("CPT.gpc"), "2\n" + kTracedBox + contour("-0.5", "-0.5", "0.5", "0.5") +
                                   contour("-0.0", "-0.0", "0.0", "0.0"));
}

TEST_F(ScanTest, LayerCommandsInsideBoxRunsCountFromTheirOwnSemicolon) {
    // Each "L a;" after a box's fourth number is a layer command whose ';'
    // ends a statement of the run that the first look-ahead counted.
    scan("L a;B 100 100 0 0 L a;B 100 100 0 0 L a;B 100 100 0 0 L a;E\n");
    EXPECT_EQ(file("a.gpc"), "1\n" + contour("-0.5", "-0.5", "0.5", "0.5"));
    EXPECT_EQ(created_files(), (std::vector<std::string>{"a.gpc", "a.gpc", "a.gpc"}));
    EXPECT_EQ(output(), "\n");
}

TEST_F(ScanTest, ManyLayerCommandsInsideOneBoxRunStayLinear) {
    std::string text = "L a;";
    const int n = 500;
    for (int i = 0; i < n; ++i) text += "B 100 100 0 0 L a;";
    text += "B 200 200 0 0;E\n";
    scan(text);
    EXPECT_EQ(file("a.gpc"), "1\n" + contour("-1.0", "-1.0", "1.0", "1.0"));
    EXPECT_EQ(created_files().size(), static_cast<std::size_t>(n + 1));
    // One look-ahead over the run, not one per layer command.
    EXPECT_LE(lookahead_bytes_read(), static_cast<long>(text.size()));
}

}  // namespace
