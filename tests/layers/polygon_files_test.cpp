#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "layer_test_support.h"
#include "layers/polygon_files.h"

using namespace layers_test;

namespace {

// Builds a strip set from lists of vertices and writes it with write_quads.
std::string quads_text(std::vector<std::vector<gpc_vertex>> strips) {
    std::vector<gpc_vertex_list> lists;
    for (auto& s : strips) lists.push_back({static_cast<int>(s.size()), s.data()});
    gpc_tristrip t{static_cast<int>(lists.size()), lists.data()};
    std::FILE* f = std::tmpfile();
    write_quads(f, &t);
    std::string text;
    std::rewind(f);
    for (int c = std::getc(f); c != EOF; c = std::getc(f)) text += static_cast<char>(c);
    std::fclose(f);
    return text;
}

}  // namespace

TEST(WriteQuads, NoStripsGivesTheSingleCountLine) { EXPECT_EQ(quads_text({}), "0\n"); }

TEST(WriteQuads, FourVertexStripIsOneClosedQuad) {
    // left 0, right 0, left 1, right 1 -> written as left 0, right 0, right 1, left 1
    EXPECT_EQ(quads_text({{{0, 0}, {10, 0}, {0, 3}, {10, 3}}}),
              "1\n4\n"
              " 0.000000000000000 0.000000000000000\n"
              " 10.000000000000000 0.000000000000000\n"
              " 10.000000000000000 3.000000000000000\n"
              " 0.000000000000000 3.000000000000000\n");
}

TEST(WriteQuads, SixVertexStripGivesTwoQuadsSharingTheMiddlePair) {
    EXPECT_EQ(quads_text({{{0, 0}, {4, 0}, {0, 2}, {4, 2}, {1, 5}, {3, 5}}}),
              "2\n"
              "4\n 0.000000000000000 0.000000000000000\n 4.000000000000000 0.000000000000000\n"
              " 4.000000000000000 2.000000000000000\n 0.000000000000000 2.000000000000000\n"
              "4\n 0.000000000000000 2.000000000000000\n 4.000000000000000 2.000000000000000\n"
              " 3.000000000000000 5.000000000000000\n 1.000000000000000 5.000000000000000\n");
}

TEST(WriteQuads, FifteenDecimalsAndSignsOfEveryCoordinate) {
    EXPECT_EQ(quads_text({{{-2, -0.5}, {0.1, -0.5}, {-2, 1.0 / 3}, {0.1, 1.0 / 3}}}),
              "1\n4\n"
              " -2.000000000000000 -0.500000000000000\n"
              " 0.100000000000000 -0.500000000000000\n"
              " 0.100000000000000 0.333333333333333\n"
              " -2.000000000000000 0.333333333333333\n");
}

TEST(WriteQuads, StripsInOrderAndOddStripsGiveOnlyTheirCompleteQuads) {
    // 3 vertices: no complete quad. 5 vertices: the first quad only; the
    // trailing vertex is never read past. 7 vertices: two quads.
    EXPECT_EQ(quads_text({{{0, 0}, {1, 0}, {0, 1}}}), "0\n");
    EXPECT_EQ(quads_text({{}}), "0\n");
    const std::string five = quads_text({{{0, 0}, {1, 0}, {0, 1}, {1, 1}, {0, 2}}});
    EXPECT_EQ(five,
              "1\n4\n 0.000000000000000 0.000000000000000\n 1.000000000000000 0.000000000000000\n"
              " 1.000000000000000 1.000000000000000\n 0.000000000000000 1.000000000000000\n");
    const std::string mixed =
        quads_text({{{0, 0}, {1, 0}, {0, 1}, {1, 1}, {0, 2}, {1, 2}, {0, 3}}, {{5, 5}, {6, 5}, {5, 6}, {6, 6}}});
    EXPECT_EQ(mixed.substr(0, 2), "3\n");
    // count line, then 3 quads of five lines each
    int lines = 0;
    for (char c : mixed) lines += c == '\n';
    EXPECT_EQ(lines, 1 + 3 * 5);
    EXPECT_NE(mixed.find("4\n 5.000000000000000 5.000000000000000\n"), std::string::npos);
}

TEST(WriteQuads, OutputReadsBackAsTheSameQuads) {
    const std::string text = quads_text({{{-1.25, 2}, {7, 2}, {-1.25, 9.5}, {7, 9.5}}, {{0, 10}, {1, 10}, {0, 11}, {1, 11}}});
    std::FILE* f = std::tmpfile();
    std::fputs(text.c_str(), f);
    std::rewind(f);
    gpc_polygon p{0, nullptr, nullptr};
    gpc_read_polygon(f, 0, &p);
    std::fclose(f);
    ASSERT_EQ(p.num_contours, 2);
    ASSERT_EQ(p.contour[0].num_vertices, 4);
    EXPECT_EQ(p.contour[0].vertex[0].x, -1.25);
    EXPECT_EQ(p.contour[0].vertex[2].x, 7);
    EXPECT_EQ(p.contour[0].vertex[2].y, 9.5);
    EXPECT_EQ(p.contour[1].vertex[3].x, 0);
    EXPECT_EQ(p.contour[1].vertex[3].y, 11);
    EXPECT_EQ(p.hole[0], 0);
    gpc_free_polygon(&p);
}

class EmptyPolygonFile : public InTempDir {};

TEST_F(EmptyPolygonFile, IsTheLineZeroRecordedAndReadsAsNoContours) {
    write_empty_polygon_file();
    EXPECT_EQ(read_file("empty.gpc"), "0\n");
    ASSERT_EQ(created_files().size(), 1u);
    EXPECT_EQ(created_files()[0], "empty.gpc");
    std::FILE* f = std::fopen("empty.gpc", "r");
    ASSERT_NE(f, nullptr);
    gpc_polygon p{7, nullptr, nullptr};
    gpc_read_polygon(f, 0, &p);
    std::fclose(f);
    EXPECT_EQ(p.num_contours, 0);
    gpc_free_polygon(&p);
}
