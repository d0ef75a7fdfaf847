#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "layer_test_support.h"
#include "layers/polygon_files.h"
#include "layers/recipe_steps.h"

using namespace layers_test;

class CopyLayer : public InTempDir {};

TEST_F(CopyLayer, CopiesEveryByteAndRecordsTheDestination) {
    // Lines longer than the 99-character pieces, a NUL byte, CR LF line ends
    // and a last line without a line feed all come through unchanged.
    std::string text = "1\r\n4\n" + std::string(250, '7') + "\n";
    text += std::string("ab\0cd\n", 6);
    text += std::string(99, 'x') + "\n" + std::string(98, 'y') + "\n" + "last";
    write_file("pvtl.gpc", text);
    copy_layer("pvtl", "pvth");
    EXPECT_EQ(read_file("pvth.gpc"), text);
    ASSERT_EQ(created_files().size(), 1u);
    EXPECT_EQ(created_files()[0], "pvth.gpc");
}

TEST_F(CopyLayer, EmptySourceGivesEmptyCopy) {
    write_file("a.gpc", "");
    copy_layer("a", "b");
    ASSERT_TRUE(file_exists("b.gpc"));
    EXPECT_EQ(read_file("b.gpc"), "");
}

TEST_F(CopyLayer, SameNamesOrMissingSourceEndTheRun) {
    write_file("pvtl.gpc", "0\n");
    EXPECT_EXIT(copy_layer("pvtl", "pvtl"), testing::ExitedWithCode(1),
                "^processlayers\\(209\\): Error: output specification same as input\\.\n$");
    EXPECT_EXIT(copy_layer("nosuch", "pvth"), testing::ExitedWithCode(1), "^Error opening file nosuch\\.gpc\n$");
}

class ClipLayers : public InTempDir {
protected:
    void SetUp() override {
        InTempDir::SetUp();
        write_empty_polygon_file();
    }
};

TEST_F(ClipLayers, EmptyResultIsWrittenAndRecorded) {
    write_layer("CPS", {{0, 0, 10, 10}});
    clip_layers(GPC_INT, "CPS", "CPT", "tmp7");
    clip_layers(GPC_DIFF, "CPT", "CPS", "p2tmp");
    EXPECT_EQ(read_file("tmp7.gpc"), "0\n");
    EXPECT_EQ(read_file("p2tmp.gpc"), "0\n");
    const std::vector<std::string> expected = {"empty.gpc", "CPS.gpc", "tmp7.gpc", "p2tmp.gpc"};
    EXPECT_EQ(created_files(), expected);
}

TEST_F(ClipLayers, MissingOperandStandsForEmpty) {
    write_layer("CPS", {{8, 4, 12, 6}});
    clip_layers(GPC_DIFF, "CPS", "CHO", "ply1");
    EXPECT_EQ(read_file("ply1.gpc"), "1\n" + quad_text(8, 4, 12, 6));
    clip_layers(GPC_UNION, "CHO", "CPS", "u");
    EXPECT_EQ(read_file("u.gpc"), "1\n" + quad_text(8, 4, 12, 6));
}

TEST_F(ClipLayers, ResultMayOverwriteAnOperand) {
    // The result file is created only after both operands were read.
    write_layer("a", {{0, 0, 10, 4}});
    write_layer("b", {{5, 0, 10, 4}});
    clip_layers(GPC_DIFF, "a", "b", "a");
    EXPECT_EQ(read_file("a.gpc"), "1\n" + quad_text(0, 0, 5, 4));
}

TEST_F(ClipLayers, OverlapWithinOneOperandIsOutside) {
    write_layer("CPS", {{0, 0, 10, 10}, {5, 0, 15, 10}});
    clip_layers(GPC_DIFF, "CPS", "CHO", "ply1");
    EXPECT_EQ(read_file("ply1.gpc"), "2\n" + quad_text(0, 0, 5, 10) + quad_text(10, 0, 15, 10));
}

TEST_F(ClipLayers, UnknownOperationCodeGivesAnEmptyResult) {
    write_layer("a", {{0, 0, 10, 4}});
    clip_layers(7, "a", "a", "r");
    clip_layers(-1, "a", "a", "s");
    EXPECT_EQ(read_file("r.gpc"), "0\n");
    EXPECT_EQ(read_file("s.gpc"), "0\n");
}

TEST_F(ClipLayers, MissingEmptyFileEndsTheRun) {
    std::remove("empty.gpc");
    write_layer("CPS", {{0, 0, 1, 1}});
    EXPECT_EXIT(clip_layers(GPC_DIFF, "CPS", "CHO", "ply1"), testing::ExitedWithCode(1),
                "^Error opening file empty\\.gpc\n$");
}

class GrowLayer : public ClipLayers {};

TEST_F(GrowLayer, SingleQuadScratchFiles) {
    write_layer("ply1", {{0, 0, 10, 4}});
    grow_layer("ply1", "p11", 2);
    EXPECT_EQ(read_file("tmpdata1.file"), "1\n4\n-2.00 -2.00\n12.00 -2.00\n12.00 6.00\n-2.00 6.00\n");
    EXPECT_EQ(read_file("tmpdata2.file"), "1\n4\n-2.00000 -2.00000\n12.00000 -2.00000\n12.00000 6.00000\n-2.00000 6.00000\n");
    EXPECT_EQ(created_files().back(), "p11.gpc");
}

TEST_F(GrowLayer, SingleQuadResult) {
    write_layer("ply1", {{0, 0, 10, 4}});
    grow_layer("ply1", "p11", 2);
    EXPECT_EQ(read_file("p11.gpc"), "1\n" + quad_text(-2, -2, 12, 6));
}

TEST_F(GrowLayer, WideningIsSinglePrecisionAndRoundsToTwoDecimals) {
    // 0.045 read as a float plus 2 lies just above 2.045 and prints as 2.05
    // (in double precision it would print as 2.04); 0.333 - 2 gives -1.67.
    write_file("src.gpc", "1\n4\n-1 0.333\n0.045 0.333\n0.045 1\n-1 1\n");
    grow_layer("src", "dst", 2);
    EXPECT_EQ(read_file("tmpdata1.file"), "1\n4\n-3.00 -1.67\n2.05 -1.67\n2.05 3.00\n-3.00 3.00\n");
    EXPECT_EQ(read_file("tmpdata2.file"), "1\n4\n-3.00000 -1.67000\n2.05000 -1.67000\n2.05000 3.00000\n-3.00000 3.00000\n");
}

TEST_F(GrowLayer, GrownResultCarriesTheRoundedValues) {
    write_file("src.gpc", "1\n4\n-1 0.333\n0.045 0.333\n0.045 1\n-1 1\n");
    grow_layer("src", "dst", 2);
    EXPECT_EQ(read_file("dst.gpc"), "1\n" + quad_text(-3, -1.67, 2.05, 3));
}

TEST_F(GrowLayer, MissingSourceWritesNothing) {
    write_file("tmpdata1.file", "earlier\n");
    grow_layer("COL", "c2st", 5);
    EXPECT_FALSE(file_exists("c2st.gpc"));
    EXPECT_EQ(read_file("tmpdata1.file"), "earlier\n");
    EXPECT_FALSE(file_exists("tmpdata2.file"));
    const std::vector<std::string> expected = {"empty.gpc"};
    EXPECT_EQ(created_files(), expected);
}

TEST_F(GrowLayer, EmptySourceGivesEmptyResultAndLeavesTmpdata2Alone) {
    write_file("tmpdata2.file", "earlier\n");
    write_file("ply1.gpc", "0\n");
    grow_layer("ply1", "p11", 2);
    EXPECT_EQ(read_file("p11.gpc"), "0\n");
    EXPECT_EQ(read_file("tmpdata1.file"), "0\n");
    EXPECT_EQ(read_file("tmpdata2.file"), "earlier\n");
}

TEST_F(GrowLayer, OtherVertexCountsAreReportedAndLeaveNoTraceInTheScratchFile) {
    write_file("src.gpc", "3\n4\n0 0\n1 0\n1 1\n0 1\n3\n5 5\n6 5\n6 6\n4\n10 0\n11 0\n11 1\n10 1\n");
    testing::internal::CaptureStderr();
    grow_layer("src", "dst", 2);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "processlayers(289): Error: nuber of vertices != 4.\n");
    EXPECT_EQ(read_file("tmpdata1.file"), "2\n4\n-2.00 -2.00\n3.00 -2.00\n3.00 3.00\n-2.00 3.00\n"
                                          "4\n8.00 -2.00\n13.00 -2.00\n13.00 3.00\n8.00 3.00\n");
    EXPECT_EQ(read_file("tmpdata2.file"), "1\n4\n8.00000 -2.00000\n13.00000 -2.00000\n13.00000 3.00000\n8.00000 3.00000\n");
}

TEST_F(GrowLayer, TruncatedOrMalformedSourceGivesTheCompleteQuads) {
    write_file("a.gpc", "5\n4\n0 0\n1 0\n1 1\n0 1\n4\n3 3\n4");
    grow_layer("a", "b", 2);
    EXPECT_EQ(read_file("tmpdata1.file"), "1\n4\n-2.00 -2.00\n3.00 -2.00\n3.00 3.00\n-2.00 3.00\n");
    write_file("c.gpc", "nonsense");
    grow_layer("c", "d", 2);
    EXPECT_EQ(read_file("tmpdata1.file"), "0\n");
    EXPECT_EQ(read_file("d.gpc"), "0\n");
}

TEST_F(GrowLayer, TouchingQuadsGrowIntoOneOutline) {
    // Two stacked quads: the united outline, cut where the upper box's grown
    // lower edge lay (y = 2), not two overlapping quads.
    write_layer("ply1", {{0, 0, 10, 4}, {0, 4, 10, 8}});
    grow_layer("ply1", "p11", 2);
    EXPECT_EQ(read_file("p11.gpc"), "2\n" + quad_text(-2, -2, 12, 2) + quad_text(-2, 2, 12, 10));
}

TEST_F(GrowLayer, OverlappingQuadsAreCoveredWhole) {
    // Unlike a boolean step, the grow unites its boxes: the overlap stays inside.
    write_layer("ply1", {{0, 0, 6, 6}, {3, 3, 9, 9}});
    grow_layer("ply1", "p11", 2);
    EXPECT_EQ(read_file("p11.gpc"),
              "3\n" + quad_text(-2, -2, 8, 1) + quad_text(-2, 1, 11, 8) + quad_text(1, 8, 11, 11));
}

TEST_F(GrowLayer, SameNamesOrMissingEmptyFileEndTheRun) {
    write_layer("ply1", {{0, 0, 1, 1}});
    EXPECT_EXIT(grow_layer("ply1", "ply1", 2), testing::ExitedWithCode(1),
                "^processlayers\\(245\\): Error: output specification same as input\\.\n$");
    std::remove("empty.gpc");
    EXPECT_EXIT(grow_layer("ply1", "p11", 2), testing::ExitedWithCode(1), "^Error opening file empty\\.gpc\n$");
}

class UniteContours : public InTempDir {};

TEST_F(UniteContours, LastContourIsLeftInTmpdata2AtFiveDecimals) {
    write_file("boxes", "2\n4\n0 0\n1 0\n1 1\n0 1\n4\n0.123456789 2\n3 2\n3 3.000004\n0.123456789 3.000004\n");
    gpc_polygon acc{0, nullptr, nullptr};
    unite_contours("boxes", &acc);
    gpc_free_polygon(&acc);
    EXPECT_EQ(read_file("tmpdata2.file"), "1\n4\n0.12346 2.00000\n3.00000 2.00000\n3.00000 3.00000\n0.12346 3.00000\n");
}

TEST_F(UniteContours, UnitesWithTheRoundedVertices) {
    write_file("boxes", "1\n4\n0.123456789 2\n3 2\n3 3.000004\n0.123456789 3.000004\n");
    gpc_polygon acc{0, nullptr, nullptr};
    unite_contours("boxes", &acc);
    ASSERT_EQ(acc.num_contours, 1);
    double xmin = 1e9, ymax = -1e9;
    for (int i = 0; i < acc.contour[0].num_vertices; ++i) {
        xmin = std::min(xmin, acc.contour[0].vertex[i].x);
        ymax = std::max(ymax, acc.contour[0].vertex[i].y);
    }
    EXPECT_EQ(xmin, 0.12346);
    EXPECT_EQ(ymax, 3.0);
    gpc_free_polygon(&acc);
}

TEST_F(UniteContours, NoContoursLeavesTmpdata2AndTheAccumulatorAlone) {
    write_file("tmpdata2.file", "earlier\n");
    write_file("boxes", "3\n4\n1 2\n");  // promises three, holds none complete
    gpc_polygon acc{0, nullptr, nullptr};
    unite_contours("boxes", &acc);
    EXPECT_EQ(acc.num_contours, 0);
    EXPECT_EQ(read_file("tmpdata2.file"), "earlier\n");
    EXPECT_EXIT(unite_contours("nosuch", &acc), testing::ExitedWithCode(1), "^Error opening file nosuch\n$");
}
