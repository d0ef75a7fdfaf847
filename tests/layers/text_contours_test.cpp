// A polygon file given as text is read once into the form every reader
// takes. The oracle is the old way of reading it: the library's stream
// readers over the bytes (gpc_read_polygon for "%lf", and the contour
// sequence with "%f", as the growing step and the box list read it).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "layer_test_support.h"
#include "common/polygon_file.h"
#include "layers/box_list.h"
#include "layers/recipe_steps.h"
#include "polygon/polygon_io.h"

namespace {

using layers_test::same;
using layers_test::expect_reads_as_gpc_read_polygon;

// The contours "%d" / "%f %f" reads from a stream, each as its vertex count
// and its vertices (none when it was cut short, and then it is the last).
struct StreamContour {
    int count;
    bool complete;
    std::vector<float> values;
};

std::vector<StreamContour> read_stream_as_float(std::string text) {
    std::vector<StreamContour> out;
    if (text.empty()) return out;
    std::FILE* in = fmemopen(text.data(), text.size(), "r");
    if (in == nullptr) return out;
    int contours = 0;
    if (scan_int(in, contours)) {
        for (int c = 0; c < contours; ++c) {
            StreamContour s{0, true, {}};
            if (!scan_int(in, s.count)) break;
            for (int v = 0; v < s.count && s.complete; ++v) {
                float x = 0, y = 0;
                s.complete = scan_float(in, x) && scan_float(in, y);
                s.values.insert(s.values.end(), {x, y});
            }
            if (!s.complete) s.values.clear();
            out.push_back(s);
            if (!s.complete) break;
        }
    }
    std::fclose(in);
    return out;
}

void expect_as_stream_reads(std::string text) {
    SCOPED_TRACE(testing::PrintToString(text));
    const common::PolygonFile file = common::PolygonFile::from_text(text);
    EXPECT_EQ(file.render(), text);
    const common::TextContours& got = file.text_contours();

    // "%lf": the library's polygon reader
    expect_reads_as_gpc_read_polygon(file, text);

    // "%f", with the vertex counts as read and where the reading stopped
    const std::vector<StreamContour> narrow = read_stream_as_float(text);
    ASSERT_EQ(got.contours.size(), narrow.size());
    for (std::size_t c = 0; c < narrow.size(); ++c) {
        const common::TextContour& g = got.contours[c];
        EXPECT_EQ(g.vertex_count, narrow[c].count);
        EXPECT_EQ(g.complete, narrow[c].complete);
        ASSERT_EQ(2 * g.held(), narrow[c].values.size());
        for (std::size_t k = 0; k < g.held(); ++k) {
            EXPECT_TRUE(same(got.narrow[g.first + k].x, narrow[c].values[2 * k]));
            EXPECT_TRUE(same(got.narrow[g.first + k].y, narrow[c].values[2 * k + 1]));
        }
    }
}

TEST(TextContours, ReadAsTheStreamReadersRead) {
    const std::vector<std::string> texts = {
        "", "0\n", "1\n4\n0 0\n1 0\n1 1\n0 1\n", "3\n0\n-3\n1\n7 8\n", "2\n4\n0 0\n2 0\n2 2\n0 2\n4\n5 5\n6 5\n6",
        "1\n2\nINF Infinity\nnan(x_1) nAn\n", "1\n2\ninf infinit\n", "1\n2\ninfinityx 1 infx 2\n",
        "1\n2\nnan( ) nan()\n", "1\n2\nnan() NAN(abc_9)x\n", "1\n1\nnannan 0\n", "1\n1\n-inf 0\n",
        "1\n1\n0x1p3 2\n", "1\n1\n1e5000 -1e-5000\n", "1\n1\n1.5e 2E+\n", "1\n1\n1,5 2\n",
        std::string("1\n2\n1 2\0 3 4\n", 14), std::string("1\n1\ni\0f 2\n", 10), "1\n1\n3 4", "2\n1\n3 4\n1\n5 ",
        "1\n1\n\x80 2\n", "4\n2147483647\n1 1", "1\n-2147483649\n", "1\n1\n0.1 16777217.0000000001\n",
    };
    for (const std::string& t : texts) expect_as_stream_reads(t);
}

// Random texts over the characters that matter to the readers.
TEST(TextContours, RandomTextsReadAsTheStreamReadersRead) {
    std::mt19937 rng(19);
    const std::vector<std::string> pieces = {"0", "1", "2", "3", "4", "4", "4", "-", "+", ".", "e", "5", "9",
                                             " ", " ", "\n", "\t", "inf", "nan", "(", ")", "x", "i", "n",
                                             "ity", std::string(1, '\0'), "1e39", "0.125", "-7.3"};
    for (int round = 0; round < 3000; ++round) {
        std::string text = std::to_string(rng() % 4) + "\n";
        const int length = static_cast<int>(rng() % 40);
        for (int i = 0; i < length; ++i) text += pieces[rng() % pieces.size()];
        expect_as_stream_reads(text);
    }
}

// A writer's file with a value that is no finite number is read from its
// printed text: "-nan" and "-inf" are no numbers to the readers, "nan" and
// "inf" are.
TEST(TextContours, NonFiniteWriterFilesReadFromTheirText) {
    const std::vector<common::PointD> corners = {{0, 0}, {1, 0}, {1, 1}, {0, 1}, {INFINITY, 2}, {3, 2}, {3, 3}, {2, 3},
                                                 {-INFINITY, 5}, {6, 5}, {6, 6}, {5, 6}};
    const common::PolygonFile file(common::VertexFormat::OneDecimal, 3, corners);
    ASSERT_TRUE(file.is_text());
    EXPECT_EQ(file.render(), "3\n4\n0.0 0.0\n1.0 0.0\n1.0 1.0\n0.0 1.0\n4\ninf 2.0\n3.0 2.0\n3.0 3.0\n2.0 3.0\n"
                             "4\n-inf 5.0\n6.0 5.0\n6.0 6.0\n5.0 6.0\n");
    expect_as_stream_reads(file.render());
    const common::TextContours& t = file.text_contours();
    ASSERT_EQ(t.contours.size(), 3u);
    EXPECT_TRUE(t.contours[1].complete);
    EXPECT_FALSE(t.contours[2].complete);
    // the box list: the first contour, then the second with x from inf
    // clamped; the third is cut short at "-inf"
    std::string messages;
    const std::vector<common::Box> boxes = layers::lift_body(file, layers::LayerHeight{1, 2, 3}, messages);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].xmin, 2);
    EXPECT_EQ(boxes[1].xmax, 2147483647);
    EXPECT_EQ(messages, "");
}

// The growing step and the box list pass over a contour of another vertex
// count with a message, and stop without one at a four-vertex contour cut
// short; a cut-short contour of another count still gets its message.
TEST(TextContours, ReadersTakeTheirShareOfTheOneForm) {
    const struct {
        const char* text;
        std::size_t boxes;
        int messages;
    } cases[] = {
        {"2\n3\n0 0 1 0 1 1\n4\n0 0 1 0 1 1 0 1\n", 1, 1},
        {"2\n4\n0 0 1 0 1 1 0 1\n4\n0 0 1\n", 1, 0},
        {"2\n4\n0 0 1 0 1 1 0 1\n5\n0 0 1\n", 1, 1},
        {"3\n0\n-1\n4\n0 0 1 0 1 1 0 1\n", 1, 2},
        {"1\n4\n0 0 1 0 1 1 0 1\n4\n5 5 6 5 6 6 5 6\n", 1, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const common::PolygonFile file = common::PolygonFile::from_text(c.text);
        std::string messages;
        EXPECT_EQ(layers::lift_body(file, layers::LayerHeight{}, messages).size(), c.boxes);
        std::string expected;
        for (int m = 0; m < c.messages; ++m) expected += "processlayers(509): number of vertices should be 4.\n";
        EXPECT_EQ(messages, expected);
        testing::internal::CaptureStderr();
        EXPECT_EQ(layers::read_widened_boxes(file, 1).size(), c.boxes);
        expected.clear();
        for (int m = 0; m < c.messages; ++m) expected += "processlayers(289): Error: nuber of vertices != 4.\n";
        EXPECT_EQ(testing::internal::GetCapturedStderr(), expected);
    }
}

}  // namespace
