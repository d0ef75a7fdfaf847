// Reading polygon files: well-formed, truncated and malformed.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "polygon/gpc.h"
#include "polygon/polygon_io.h"

namespace {

struct Read {
    gpc_polygon p{0, nullptr, nullptr};
    explicit Read(const std::string& text, int hole_flags = 0) {
        std::FILE* f = std::tmpfile();
        std::fputs(text.c_str(), f);
        std::rewind(f);
        gpc_read_polygon(f, hole_flags, &p);
        std::fclose(f);
    }
    ~Read() { gpc_free_polygon(&p); }
};

}  // namespace

TEST(ReadPolygon, ReadsCountsAndVerticesWithHoleFlagsOnlyWhenAsked) {
    Read r("2\n4\n 1.5 2.0\n3 2\n3 4\n1.5 4\n3\n0 0\n1 0\n1 1\n");
    ASSERT_EQ(r.p.num_contours, 2);
    EXPECT_EQ(r.p.hole[0], 0);
    ASSERT_EQ(r.p.contour[0].num_vertices, 4);
    EXPECT_EQ(r.p.contour[0].vertex[0].x, 1.5);
    EXPECT_EQ(r.p.contour[1].num_vertices, 3);
    Read empty("0\n");
    EXPECT_EQ(empty.p.num_contours, 0);
    EXPECT_EQ(empty.p.contour, nullptr);
    Read holed("1\n4\n1\n0 0\n1 0\n1 1\n0 1\n", 1);
    ASSERT_EQ(holed.p.num_contours, 1);
    EXPECT_EQ(holed.p.hole[0], 1);
}

TEST(ReadPolygon, AShortOrBrokenFileGivesTheContoursReadCompletely) {
    EXPECT_EQ(Read("3\n4\n0 0\n1 0\n1 1\n0 1\n4\n5 5\n6 5\n").p.num_contours, 1);  // promised more
    for (const char* broken : {"2\n4\n0 0\n1 0\nabc\n", "2000000000\n", "1\n2000000000\n0 0\n", "", "-4\n"})
        EXPECT_EQ(Read(broken).p.num_contours, 0) << broken;
}

TEST(ScanInt, TakesDigitsLikePercentDAndRefusesWhatDoesNotFit) {
    std::FILE* f = std::tmpfile();
    std::fputs("  -12x 99999999999 +7", f);
    std::rewind(f);
    int v = 0;
    ASSERT_TRUE(scan_int(f, v));
    EXPECT_EQ(v, -12);
    EXPECT_FALSE(scan_int(f, v));  // 'x' is no number
    EXPECT_EQ(std::fgetc(f), 'x');
    EXPECT_FALSE(scan_int(f, v));  // too large for an int
    ASSERT_TRUE(scan_int(f, v));
    EXPECT_EQ(v, 7);
    EXPECT_FALSE(scan_int(f, v));  // end of file
    std::fclose(f);
}
