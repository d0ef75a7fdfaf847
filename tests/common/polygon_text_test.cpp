// What the polygon file readers take from a text: the contour sequence and
// the numbers, worked out by hand from the C library's rules for "%d", "%lf"
// and "%f".
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <string>
#include <vector>

#include "common/polygon_text.h"

namespace {

struct Expected {
    int vertex_count;
    bool complete;
    std::vector<double> coordinates;  // x, y per held vertex, as "%lf" reads them
};

TEST(TextContours, SequenceStopsAtTheFirstFault) {
    const struct {
        const char* text;
        std::vector<Expected> contours;
    } cases[] = {
        {"", {}},
        {"abc\n4\n0 0\n", {}},
        {"0\n4\n0 0 1 0 1 1 0 1\n", {}},   // the count promises nothing
        {"-1\n4\n0 0 1 0 1 1 0 1\n", {}},  // nor does a negative count
        {"2\n4\n0 0\n1 0\n1 1\n0 1\n3\n5 5 6 5 6 6\n", {{4, true, {0, 0, 1, 0, 1, 1, 0, 1}}, {3, true, {5, 5, 6, 5, 6, 6}}}},
        // the count promises more than follows: the last count is missing
        {"3\n4\n0 0\n1 0\n1 1\n0 1\n", {{4, true, {0, 0, 1, 0, 1, 1, 0, 1}}}},
        // a count of 1 reads one contour however many follow
        {"1\n1\n2 3\n1\n4 5\n", {{1, true, {2, 3}}}},
        // cut short in the middle of a vertex: none of its vertices is held
        {"2\n4\n0 0\n2 0\n2 2\n0 2\n4\n5 5\n6 5\n6", {{4, true, {0, 0, 2, 0, 2, 2, 0, 2}}, {4, false, {}}}},
        {"1\n4\n0 0\nx 0\n1 1\n0 1\n", {{4, false, {}}}},
        // empty and negative vertex counts are whole contours of no vertex
        {"3\n0\n-3\n1\n7 8\n", {{0, true, {}}, {-3, true, {}}, {1, true, {7, 8}}}},
        // a vertex count beyond the int range is no count
        {"2\n1\n1 1\n2147483648\n", {{1, true, {1, 1}}}},
        {"2\n1\n1 1\n-2147483648\n", {{1, true, {1, 1}}, {INT_MIN, true, {}}}},
        // a run of number characters is taken whole: "1e" is 1, "2-3" is 2
        {"1\n2\n1e 2-3\n.5 +4.\n", {{2, true, {1, 2, 0.5, 4}}}},
        // "+" alone converts nothing
        {"1\n1\n+ 1\n", {{1, false, {}}}},
        // signs of counts, white space of every kind, CR LF lines
        {"+1\r\n\t\v\f2\r\n-0 0.25 \r\n 3 -1\r\n", {{2, true, {-0.0, 0.25, 3, -1}}}},
        // a name of infinity, in any case, and "-inf" that is a lone "-"
        {"1\n2\nINF Infinity\n-inf 0\n", {{2, false, {}}}},
        {"1\n2\nINF Infinity\nnan nAn\n", {{2, true, {INFINITY, INFINITY, NAN, NAN}}}},
        // a NaN is the three letters: "(x_1)" after them is no number
        {"1\n1\nnan(x_1) 0\n", {{1, false, {}}}},
        // a name broken off is no number
        {"1\n1\ninfinit 0\n", {{1, false, {}}}},
        // "nan" or "inf" ends where their word ends: "nanx" is a NaN and "x"
        {"1\n1\nnanx 0\n", {{1, false, {}}}},
        {"1\n1\ninf1 0\n", {{1, true, {INFINITY, 1}}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const common::TextContours got = common::read_text_contours(c.text);
        ASSERT_EQ(got.contours.size(), c.contours.size());
        ASSERT_EQ(got.wide.size(), got.narrow.size());
        for (std::size_t i = 0; i < c.contours.size(); ++i) {
            const common::TextContour& g = got.contours[i];
            const Expected& e = c.contours[i];
            EXPECT_EQ(g.vertex_count, e.vertex_count);
            EXPECT_EQ(g.complete, e.complete);
            ASSERT_EQ(2 * g.held(), e.coordinates.size());
            for (std::size_t k = 0; k < g.held(); ++k) {
                const common::PointD& v = got.wide[g.first + k];
                for (const auto& [value, want] : {std::pair{v.x, e.coordinates[2 * k]}, {v.y, e.coordinates[2 * k + 1]}}) {
                    if (std::isnan(want)) {
                        EXPECT_TRUE(std::isnan(value));
                    } else {
                        EXPECT_EQ(value, want);
                        EXPECT_EQ(std::signbit(value), std::signbit(want));
                    }
                }
            }
        }
    }
}

// Each number in both precisions: "%f" rounds the decimal once, to float,
// not the double that "%lf" reads.
TEST(TextContours, BothPrecisionsFromTheSameCharacters) {
    const struct {
        const char* text;
        double wide;
        float narrow;
        std::size_t end;  // where the next number starts to be looked for
    } cases[] = {
        {"0.1", 0.1, 0.1f, 3},
        // 16777217 = 2^24 + 1 is a double, but lies half way between the
        // floats 2^24 and 2^24 + 2 and rounds to even: 2^24
        {" 16777217 ", 16777217.0, 16777216.0f, 9},
        // 2^24 + 1 + 1/8 is nearer to 2^24 + 2 as a decimal; a float taken
        // from the double 16777217.125 would be too, but 16777217.0000000001
        // is not a double, and the double nearest it is the tie 2^24 + 1
        {"16777217.0000000001", 16777217.0, 16777218.0f, 19},
        {"1e-50", 1e-50, 0.0f, 5},
        {"-0.0", -0.0, -0.0f, 4},
        {"1e39 ", 1e39, INFINITY, 4},
        {"7.5x", 7.5, 7.5f, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        std::size_t pos = 0;
        double wide = 0;
        float narrow = 0;
        ASSERT_TRUE(common::read_text_real(c.text, pos, wide, narrow));
        EXPECT_EQ(wide, c.wide);
        EXPECT_EQ(narrow, c.narrow);
        EXPECT_EQ(std::signbit(narrow), std::signbit(c.narrow));
        EXPECT_EQ(pos, c.end);
    }
}

}  // namespace
