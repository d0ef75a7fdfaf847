// The quad writer: the order of the strip vertices in each quad and the text of a vertex.
#include <cmath>

#include "layer_test_support.h"
#include "layers/polygon_files.h"

using namespace layers_test;

namespace {

std::string quads_text(std::vector<std::vector<gpc_vertex>> strips) {
    std::vector<gpc_vertex_list> lists;
    for (auto& s : strips) lists.push_back({static_cast<int>(s.size()), s.data()});
    gpc_tristrip t{static_cast<int>(lists.size()), lists.data()};
    std::FILE* f = std::tmpfile();
    write_quads(f, &t);
    std::rewind(f);
    std::string text;
    for (int c = std::getc(f); c != EOF; c = std::getc(f)) text += static_cast<char>(c);
    std::fclose(f);
    return text;
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
