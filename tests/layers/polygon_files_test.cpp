// The quad writer: the order of the strip vertices in each quad and the text
// of a vertex; polygon files in memory read exactly as their text reads. The
// text of a vertex is the shared fixed-point text, checked against printf in
// tests/common; here, that the files print it.
#include <cmath>
#include <random>

#include "polygon/polygon_io.h"

#include "layer_test_support.h"
#include "common/decimal.h"
#include "layers/polygon_files.h"

using namespace layers_test;
using namespace layers;

namespace {

std::string quads_text(std::vector<std::vector<gpc_vertex>> strips) {
    std::vector<gpc_vertex_list> lists;
    for (auto& s : strips) lists.push_back({static_cast<int>(s.size()), s.data()});
    gpc_tristrip t{static_cast<int>(lists.size()), lists.data()};
    return write_quads(&t).render();
}

}  // namespace

TEST(WriteQuads, EachQuadGoesRoundItsPieceOfTheStrip) {
    EXPECT_EQ(quads_text({}), "0\n");
    // strip vertices left 0, right 0, left 1, right 1, ...: a quad is written
    // left k, right k, right k+1, left k+1; two quads share the middle pair
    EXPECT_EQ(quads_text({{{0, 0}, {4, 0}, {0, 2}, {4, 2}, {1, 5}, {3, 5}}, {{-2, -0.5}, {0.1, -0.5}, {-2, 1.0 / 3}, {0.1, 1.0 / 3}}}),
              "3\n"
              "4\n 0.000000000000000 0.000000000000000\n 4.000000000000000 0.000000000000000\n"
              " 4.000000000000000 2.000000000000000\n 0.000000000000000 2.000000000000000\n"
              "4\n 0.000000000000000 2.000000000000000\n 4.000000000000000 2.000000000000000\n"
              " 3.000000000000000 5.000000000000000\n 1.000000000000000 5.000000000000000\n"
              "4\n -2.000000000000000 -0.500000000000000\n 0.100000000000000 -0.500000000000000\n"
              " 0.100000000000000 0.333333333333333\n -2.000000000000000 0.333333333333333\n");
    // odd strips give only their complete quads: 3 vertices none, 5 one (the
    // trailing vertex is never read), 7 two
    EXPECT_EQ(quads_text({{{0, 0}, {1, 0}, {0, 1}}, {}}), "0\n");
    EXPECT_EQ(quads_text({{{0, 0}, {1, 0}, {0, 1}, {1, 1}, {0, 2}}}), "1\n" + quad_text(0, 0, 1, 1));
    EXPECT_EQ(quads_text({{{0, 0}, {1, 0}, {0, 1}, {1, 1}, {0, 2}, {1, 2}, {0, 3}}, {{5, 5}, {6, 5}, {5, 6}, {6, 6}}}),
              "3\n" + quad_text(0, 0, 1, 1) + quad_text(0, 1, 1, 2) + quad_text(5, 5, 6, 6));
}

// Every value a reader takes from a polygon file in memory must be the one it
// would take from the file's text: "%lf" for the polygon library's reader,
// "%f" for the growing step and the box list, on both writers' formats and on
// count lines that promise more or fewer contours than follow. Files keep
// most values as whole tenths or hundredths and most contours as rectangles;
// the values drawn here reach each form and the edges between them.
TEST(PolygonFileInMemory, ReadsAsItsText) {
    std::mt19937_64 rng(7);
    const double edges[] = {0.0, -0.0, -0.04, -0.05, 0.05, 0.25, -0.25, 0.75, 1.25, -1.75, 7.9, 8.0, 8.1, -8.3,
                            12.35, 0.01, -0.01, 0.07, 1677721.5, 1677721.6, -1677721.5, 167772.15, 167772.16,
                            -167772.15, 16777.21, 131072.03, 1e-300, 4.9e-324, 1.7976931348623157e308};
    for (int round = 0; round < 600; ++round) {
        const bool layer = round % 2 == 0;
        const int contours = static_cast<int>(rng() % 5);
        std::vector<common::PointD> v;
        auto value = [&] {
            const long long k = static_cast<long long>(rng() % 2000001) - 1000000;
            switch (rng() % 8) {
                case 0: return static_cast<double>(static_cast<float>(static_cast<double>(k) / 100));
                case 1: return static_cast<double>(k) / 8;
                case 2: return static_cast<double>(k) / 100 + 1e-13;
                case 3: return static_cast<double>(k) / 3;
                case 4: return static_cast<double>(k) / 10;
                case 5: return static_cast<double>(k) / 100;
                case 6: return static_cast<double>(k * 17) / 100;
                default: return edges[rng() % std::size(edges)];
            }
        };
        // Mostly rectangles gone round corner after corner, as the writers
        // make them, sometimes four free vertices or a contour cut short.
        for (int c = 0; c < contours; ++c) {
            const double x0 = value(), y0 = value(), x2 = value(), y2 = value();
            if (rng() % 4 != 0) {
                v.insert(v.end(), {{x0, y0}, {x2, y0}, {x2, y2}, {x0, y2}});
            } else {
                v.insert(v.end(), {{x0, y0}, {x2, y0}, {x2, y2}, {value(), y2}});
            }
        }
        if (rng() % 8 == 0) v.push_back({value(), value()});
        const int precision = layer ? 1 : 15;
        const long long count = contours + static_cast<long long>(rng() % 3) - 1;
        const common::PolygonFile file(layer ? common::VertexFormat::OneDecimal : common::VertexFormat::Quad, count, v);
        std::string text = file.render();
        SCOPED_TRACE(text);
        // The text is what the writer prints for the values it was given.
        std::string printed = std::to_string(count) + "\n";
        for (std::size_t i = 0; i < v.size(); ++i) {
            if (i % 4 == 0) printed += "4\n";
            if (!layer) printed += ' ';
            common::append_fixed(printed, v[i].x, precision);
            printed += ' ';
            common::append_fixed(printed, v[i].y, precision);
            printed += '\n';
        }
        ASSERT_EQ(text, printed);
        // "%lf", as the polygon library's reader takes it from the text
        const int contours_read = expect_reads_as_gpc_read_polygon(file, text);
        for (int c = 0; c < contours_read; ++c) {
            common::PointF as_float[4];
            file.read_quad(static_cast<std::size_t>(c), as_float);
            for (int k = 0; k < 4; ++k) {
                // and single precision, as the growing step and the box list read it
                for (const auto& [written, read] : {std::pair{v[4 * c + k].x, as_float[k].x}, {v[4 * c + k].y, as_float[k].y}}) {
                    std::string t;
                    common::append_fixed(t, written, precision);
                    const float expected = std::strtof(t.c_str(), nullptr);
                    EXPECT_EQ(read, expected) << t;
                    EXPECT_EQ(std::signbit(read), std::signbit(expected)) << t;
                }
            }
        }
    }
}
