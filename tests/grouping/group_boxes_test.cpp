#include <gtest/gtest.h>

#include <string>

#include "grouping/box.h"
#include "grouping/group_boxes.h"
#include "scratch_dir.h"

namespace {

std::string group_text(const std::string& premason) {
    ScratchDir dir;
    write_file("premason.file", premason);
    group_boxes();
    return read_file("postmason.file");
}

TEST(GroupBoxes, ThreeBoxesTwoOfWhichTouch) {
    // A and C meet along an edge (x 10, z 3); B lies apart. Slot 0 holds A, C.
    EXPECT_EQ(group_text("0 10 0 10 1 3\n"
                         "20 30 0 10 1 3\n"
                         "10 15 5 8 3 5\n"),
              "\t0\t10\t0\t10\t1\t3\n"
              "\t10\t15\t5\t8\t3\t5\n"
              "\n"
              "\t20\t30\t0\t10\t1\t3\n"
              "\n");
}

TEST(GroupBoxes, BridgingBoxMergesTheLaterSlotBehind) {
    // C joins slot 0 through A, then the merge finds B touching C.
    EXPECT_EQ(group_text("0 10 0 10 1 3\n"
                         "20 30 0 10 1 3\n"
                         "10 20 0 2 1 3\n"),
              "\t0\t10\t0\t10\t1\t3\n"
              "\t10\t20\t0\t2\t1\t3\n"
              "\t20\t30\t0\t10\t1\t3\n"
              "\n");
}

TEST(GroupBoxes, EmptyAndSingleAndDuplicate) {
    EXPECT_EQ(group_text(""), "");
    EXPECT_EQ(group_text("-5 5 -5 5 0 2\n"), "\t-5\t5\t-5\t5\t0\t2\n\n");
    EXPECT_EQ(group_text("1 2 3 4 5 6\n1 2 3 4 5 6\n"), "\t1\t2\t3\t4\t5\t6\n\t1\t2\t3\t4\t5\t6\n\n");
}

TEST(GroupBoxes, CornerContactJoinsAndOneUnitGapSeparates) {
    // Corner at (10, 10, 3).
    EXPECT_EQ(group_text("0 10 0 10 1 3\n10 20 10 20 3 5\n"),
              "\t0\t10\t0\t10\t1\t3\n\t10\t20\t10\t20\t3\t5\n\n");
    // One unit apart in x, then in y, then in z.
    EXPECT_EQ(group_text("0 10 0 10 1 3\n11 20 0 10 1 3\n"), "\t0\t10\t0\t10\t1\t3\n\n\t11\t20\t0\t10\t1\t3\n\n");
    EXPECT_EQ(group_text("0 10 0 10 1 3\n0 10 11 20 1 3\n"), "\t0\t10\t0\t10\t1\t3\n\n\t0\t10\t11\t20\t1\t3\n\n");
    EXPECT_EQ(group_text("0 10 0 10 1 3\n0 10 0 10 4 5\n"), "\t0\t10\t0\t10\t1\t3\n\n\t0\t10\t0\t10\t4\t5\n\n");
}

TEST(GroupBoxes, LinesWithoutSixIntegersAreSkipped) {
    EXPECT_EQ(group_text("0 10 0 10 1 3\n"
                         "1 2 3 4 5\n"
                         "garbage\n"
                         "\n"
                         "1 2 3 4 5 99999999999\n"
                         "20 30 0 10 1 3 trailing words\n"),
              "\t0\t10\t0\t10\t1\t3\n\n\t20\t30\t0\t10\t1\t3\n\n");
}

TEST(GroupBoxes, LongLinesAreReadInPiecesOf99Characters) {
    // 93 blanks and "0 10 0" fill the first piece of 99 characters; the second
    // piece holds " 10 1 3": three numbers each, no box. A line of
    // twelve numbers whose first six fit in the first piece gives two boxes.
    std::string line(93, ' ');
    line += "0 10 0 10 1 3\n";
    EXPECT_EQ(group_text(line), "");
    std::string twelve(80, ' ');
    twelve += "0 10 0 10 1 3";                     // characters 81 to 93
    twelve += "      ";                            // up to 99
    twelve += "20 30 0 10 1 3\n";                  // second piece
    EXPECT_EQ(group_text(twelve), "\t0\t10\t0\t10\t1\t3\n\n\t20\t30\t0\t10\t1\t3\n\n");
}

TEST(ScanSixInts, FollowsDecimalConversion) {
    Box b;
    ASSERT_TRUE(scan_six_ints("\t-1\t+2\t3\t4\t5\t6\n", b));
    EXPECT_EQ(b, (Box{-1, 2, 3, 4, 5, 6}));
    ASSERT_TRUE(scan_six_ints("-2147483648 2147483647 0 0 0 0", b));
    EXPECT_EQ(b.xmin, -2147483647 - 1);
    EXPECT_EQ(b.xmax, 2147483647);
    EXPECT_FALSE(scan_six_ints("2147483648 0 0 0 0 0", b));
    EXPECT_FALSE(scan_six_ints("1 2 3 4 5 -", b));
    EXPECT_FALSE(scan_six_ints("1,2,3,4,5,6", b));
}

}  // namespace
