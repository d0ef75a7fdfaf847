// The character scan: comments, user extensions, the end command, polygons
// and wires that hand their last token back, and hostile input.
#include <cmath>
#include <random>

#include "scan_fixture.h"

namespace {

using Files = std::set<std::string>;

const std::string kTracedBox = contour("8.0", "4.0", "12.0", "6.0");  // B 400 200 1000 500
const std::string kUnitBox = contour("-0.5", "-0.5", "0.5", "0.5");   // B 100 100 0 0

std::string pairs(int n) {
    std::string text;
    for (int i = 0; i < n; ++i) text += " " + std::to_string(i) + " " + std::to_string(2 * i);
    return text;
}

TEST_F(ScanTest, CommentSkipsOnlyTheRestOfItsLine) {
    scan("(Layout of a hinge; boxes follow)\nL CPS;\nB 400 200 1000 500;\n");
    EXPECT_EQ(file("CPS.gpc"), "1\n" + kTracedBox);
    EXPECT_EQ(output(), "");
}

TEST_F(ScanTest, LetterEOnTheSecondLineOfACommentActsAsEnd) {
    scan("(first line of a comment\nEnd of it)\n");
    EXPECT_EQ(output(), "nd of it)\n");
}

TEST_F(ScanTest, CommentLineIsSkippedForNinetyNineBytesOnly) {
    scan("(" + std::string(99, 'x') + "Etail\n");
    EXPECT_EQ(output(), "tail\n");
}

TEST_F(ScanTest, UserExtensionNineLosesItsLine) {
    scan("94 Ext B 1 1 0 0;\nL CPS;\nB 400 200 1000 500;\n");
    EXPECT_EQ(output(), "");
    EXPECT_EQ(file("CPS.gpc"), "1\n" + kTracedBox);
    scan("4 Ext;\n");
    EXPECT_EQ(output(), "xt;\n");  // without the '9' the 'E' acts
}

TEST_F(ScanTest, LowerCaseLettersAreNoCommands) {
    scan("l CPS;\nb 400 200 1000 500;\ne\n");
    EXPECT_EQ(files(), Files{});
    EXPECT_EQ(output(), "");
}

TEST_F(ScanTest, EndCommandCopiesItsLineWithCarriageReturn) {
    scan("L CPS;\r\nB 400 200 1000 500;\r\nE\r\n");
    EXPECT_EQ(output(), "\r\n");
    EXPECT_EQ(file("CPS.gpc"), "1\n" + kTracedBox);
}

TEST_F(ScanTest, EndCommandAsLastByteWritesNothing) {
    scan("L CPS;\nB 400 200 1000 500;\nE");
    EXPECT_EQ(output(), "");
    EXPECT_EQ(file("CPS.gpc"), "1\n" + kTracedBox);
}

TEST_F(ScanTest, EndLineIsWrittenUpToANulByte) {
    scan(std::string("E ab\0cd\nE z\n", 12));
    EXPECT_EQ(output(), " ab z\n");
}

TEST_F(ScanTest, EndCommandClosesTheLayerButTheScanGoesOn) {
    scan("L CPS;\nB 400 200 1000 500;\nE\nB 100 100 0 0;\nL CPT;\nB 100 100 0 0;\nE\n");
    EXPECT_EQ(file("CPS.gpc"), "1\n" + kTracedBox);
    EXPECT_EQ(file("CPT.gpc"), "1\n" + kUnitBox);
    EXPECT_EQ(output(), "\n\n");
}

TEST_F(ScanTest, ByteTwoFiftyFiveEndsTheScan) {
    scan("L CPS;\nB 400 200 1000 500;\n\xff" "B 100 100 0 0;\nE\n");
    EXPECT_EQ(file("CPS.gpc"), "2\n" + kTracedBox);  // counted, never read
    EXPECT_EQ(output(), "");
}

TEST_F(ScanTest, PolygonHandsItsEndingTokenBack) {
    scan("L CPS;\nB 100 100 0 0;\nP 0 0 10 0 10 10;\nB 400 200 1000 500;\n");
    EXPECT_EQ(cif_state.point_count, 3);
    EXPECT_FLOAT_EQ(cif_state.point_table[2].x, 10.0f);
    EXPECT_FLOAT_EQ(cif_state.point_table[2].y, 10.0f);
    EXPECT_EQ(file("CPS.gpc"), "1\n" + kUnitBox + kTracedBox);
}

TEST_F(ScanTest, PolygonReadsDigitStatementsAsPairsAndEndBeforeTheEndOfFile) {
    // "94" and "x" make a fourth pair (a word is y = 0); "E" is read as x, the
    // y read meets the end of the file and the scan resumes at the 'E'.
    scan("P 0 0 1 1 2 2; 94 x;\nE\n");
    EXPECT_EQ(cif_state.point_count, 4);
    EXPECT_FLOAT_EQ(cif_state.point_table[3].x, 94.0f);
    EXPECT_FLOAT_EQ(cif_state.point_table[3].y, 0.0f);
    EXPECT_EQ(output(), "\n");
}

TEST_F(ScanTest, PolygonStopsAtFiveHundredPairs) {
    testing::internal::CaptureStdout();
    scan("P" + pairs(500) + " 3 Etail;\n");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Too many points in line.\r\n");
    EXPECT_EQ(cif_state.point_count, 500);
    EXPECT_FLOAT_EQ(cif_state.point_table[499].y, 998.0f);
    EXPECT_EQ(output(), "tail;\n");  // the scan resumed at the 501st y token

    testing::internal::CaptureStdout();
    scan("P" + pairs(500) + ";\nDF;\n");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(cif_state.point_count, 500);
}

TEST_F(ScanTest, WireReadsItsWidthThenPairs) {
    scan("W 20 0 0 100 0; E\n");
    EXPECT_EQ(cif_state.point_count, 2);
    EXPECT_FLOAT_EQ(cif_state.point_table[1].x, 100.0f);
    EXPECT_EQ(output(), "\n");
}

TEST_F(ScanTest, WireWithoutWidthKeepsTheWordConsumed) {
    scan("W xE1\n");
    EXPECT_EQ(output(), "");
    // A polygon hands the same word back, and its 'E' then acts.
    scan("P xE1\n");
    EXPECT_EQ(output(), "1\n");
}

TEST_F(ScanTest, WireStopsAtFiveHundredPairs) {
    testing::internal::CaptureStdout();
    scan("W 5" + pairs(700) + ";\n");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Too many points in line.\r\n");
    EXPECT_EQ(cif_state.point_count, 500);
}

TEST_F(ScanTest, SymbolDefinitionsAndCallsArePassedOver) {
    scan("DS 1 1 1;\n9 cell;\nL CPS;\nB 400 200 1000 500;\nDF;\nC 1 T 500 0;\nE\n");
    EXPECT_EQ(file("CPS.gpc"), "1\n" + kTracedBox);
    EXPECT_EQ(output(), "\n");
}

TEST_F(ScanTest, EmptyInputWritesNothing) {
    scan("");
    EXPECT_EQ(files(), Files{});
    EXPECT_EQ(output(), "");
}

TEST_F(ScanTest, TenMegabyteLines) {
    const std::string big(10 * 1024 * 1024, '7');
    scan("L CPS;\nB " + big + " 200 1000 500;\nB 400 200 1000 500;\n(" + big + "\nE\n");
    EXPECT_EQ(file("CPS.gpc"), "2\n" + kTracedBox);
    EXPECT_EQ(output(), "\n");
    testing::internal::CaptureStdout();
    scan("P " + big + " 1 E\n");  // cut into tokens of 100, far more than 500 pairs
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Too many points in line.\r\n");
    EXPECT_EQ(output(), "\n\n");
}

TEST_F(ScanTest, NumbersOfTwoHundredDigits) {
    const std::string digits(200, '9');
    scan("L CPS;\nB " + digits + " 200 1000 500;\nB 400 200 1000 " + digits +
         ";\nB 400 200 1000 500;\nP " + digits + " " + digits + ";\nW " + digits + " 1 1;\n");
    EXPECT_EQ(file("CPS.gpc"), "3\n" + kTracedBox);
}

TEST_F(ScanTest, LongLayerNameWithoutBoxes) {
    scan("L " + std::string(5000, 'N') + ";\nE\n");
    EXPECT_EQ(files(), Files{});
    EXPECT_EQ(output(), "\n");
}

TEST_F(ScanTest, FilesOfOnlyOneCommandLetter) {
    scan(std::string(100000, 'B'));
    scan(std::string(100000, 'L'));
    scan(std::string(100000, 'P'));
    scan(std::string(100000, 'W'));
    scan(std::string(100000, 'E'));
    EXPECT_EQ(files(), Files{});
    // Each end command takes the 99 letters after it as the rest of its line.
    EXPECT_EQ(output(), std::string(99000, 'E'));
}

TEST_F(ScanTest, BinaryJunkEndsCleanly) {
    std::mt19937 random(20240607);
    std::uniform_int_distribution<int> byte(0, 254);
    // Junk weighted towards the command letters and separators.
    const std::string letters = "BLPWE9( ;-0123456789\n";
    std::uniform_int_distribution<int> pick(0, static_cast<int>(letters.size()) - 1);
    std::string junk;
    for (int i = 0; i < 1 << 20; ++i)
        junk.push_back(static_cast<char>(i % 3 == 0 ? letters[pick(random)] : byte(random)));
    scan(junk);
    for (const std::string& name : files()) {
        EXPECT_EQ(name.find('/'), std::string::npos);
        EXPECT_TRUE(layer_name_is_safe(name.substr(0, name.size() - 4))) << name;
    }
}

}  // namespace
