// The quad writer: the order of the strip vertices in each quad and the text
// of a vertex; polygon files in memory read exactly as their text reads.
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

TEST(WriteQuads, VertexTextIsPrintfsFifteenDecimalsForAnyDouble) {
    std::vector<double> values = {0.0, -0.0, 1e-16, 5e-16, -5e-16, 1.5e-15, 2.5e-15, 0.1, 1.0 / 3, 123456789.123456789,
                                  1e20, -1e300, 1.7976931348623157e308, 2.2250738585072014e-308, 4.9e-324};
    unsigned long long seed = 12345;
    for (int i = 0; i < 2000; ++i) {
        seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
        const double unit = static_cast<double>(seed >> 11) / 9007199254740992.0;
        values.push_back((unit - 0.5) * std::pow(10.0, static_cast<int>(seed % 19) - 6));
    }
    for (std::size_t i = 0; i + 1 < values.size(); i += 2) {
        const double x = values[i], y = values[i + 1];
        std::vector<char> line(800);
        std::snprintf(line.data(), line.size(), " %.15f %.15f\n", x, y);
        const std::string text = quads_text({{{x, y}, {x, y}, {x, y}, {x, y}}});
        EXPECT_EQ(text, "1\n4\n" + std::string(line.data()) + line.data() + line.data() + line.data()) << x << " " << y;
    }
}

// Every value a reader takes from a polygon file in memory must be the one it
// would take from the file's text: "%lf" for the polygon library's reader,
// "%f" for the growing step and the box list, on both writers' formats and on
// count lines that promise more or fewer contours than follow.
TEST(PolygonFileInMemory, ReadsAsItsText) {
    std::mt19937_64 rng(7);
    for (int round = 0; round < 300; ++round) {
        const bool layer = round % 2 == 0;
        const int contours = static_cast<int>(rng() % 5);
        std::vector<common::Vertex> v;
        for (int i = 0; i < 4 * contours; ++i) {
            auto value = [&] {
                const long long k = static_cast<long long>(rng() % 2000001) - 1000000;
                switch (rng() % 4) {
                    case 0: return static_cast<double>(static_cast<float>(static_cast<double>(k) / 100));
                    case 1: return static_cast<double>(k) / 8;
                    case 2: return static_cast<double>(k) / 100 + 1e-13;
                    default: return static_cast<double>(k) / 3;
                }
            };
            v.push_back({value(), value()});
        }
        const long long count = contours + static_cast<long long>(rng() % 3) - 1;
        const common::PolygonFile file(layer ? common::VertexFormat::OneDecimal : common::VertexFormat::Quad, count, v);
        std::string text = file.render();
        SCOPED_TRACE(text);
        std::FILE* in = fmemopen(text.data(), text.size(), "r");
        ASSERT_NE(in, nullptr);
        gpc_polygon from_text{0, nullptr, nullptr}, in_memory{0, nullptr, nullptr};
        gpc_read_polygon(in, 0, &from_text);
        read_polygon(file, &in_memory);
        ASSERT_EQ(in_memory.num_contours, from_text.num_contours);
        for (int c = 0; c < from_text.num_contours; ++c) {
            ASSERT_EQ(in_memory.contour[c].num_vertices, 4);
            for (int k = 0; k < 4; ++k) {
                EXPECT_EQ(in_memory.contour[c].vertex[k].x, from_text.contour[c].vertex[k].x);
                EXPECT_EQ(in_memory.contour[c].vertex[k].y, from_text.contour[c].vertex[k].y);
                // and single precision, as the growing step and the box list read it
                std::rewind(in);
                const std::string value = [&] {
                    std::string t;
                    common::append_fixed(t, v[4 * c + k].x, layer ? 1 : 15);
                    return t;
                }();
                EXPECT_EQ(file.read_float(v[4 * c + k].x), std::strtof(value.c_str(), nullptr));
            }
        }
        gpc_free_polygon(&from_text);
        gpc_free_polygon(&in_memory);
        std::fclose(in);
    }
}
