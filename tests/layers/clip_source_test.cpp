// Clipping steps on files in memory: the operands read contour by contour
// from the compact files give the values ReadPolygon copies out, and
// clip_layers writes the file the gpc_polygon/gpc_tristrip path wrote.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>

#include "layer_test_support.h"
#include "layers/polygon_files.h"
#include "layers/recipe_steps.h"

using namespace layers;

namespace {

// A file of the given vertices as the writers make it, four per contour.
common::PolygonFile file_of(common::VertexFormat format, long long count_line, const std::vector<common::PointD>& v) {
    return common::PolygonFile(format, count_line, v);
}

std::vector<common::PointD> rect(double x0, double y0, double x1, double y1) {
    return {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}};
}

std::vector<common::PointD> operator+(std::vector<common::PointD> a, const std::vector<common::PointD>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

bool same_bits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// The clipping source of `file` gives, contour by contour, the vertices that
// ReadPolygon copies out, bit for bit.
void expect_source_as_read_polygon(const common::PolygonFile& file) {
    ReadPolygon read(file);
    const PolygonFileSource source(file);
    const gpc_polygon* p = read.get();
    ASSERT_EQ(source.count(), p->num_contours);
    size_t vertices = 0;
    for (int c = 0; c < p->num_contours; ++c) vertices += static_cast<size_t>(std::max(p->contour[c].num_vertices, 0));
    EXPECT_EQ(source.vertices(), vertices);
    std::vector<polygon::PointD> contour;
    for (int c = 0; c < source.count(); ++c) {
        source.contour(c, contour);
        ASSERT_EQ(contour.size(), static_cast<size_t>(p->contour[c].num_vertices)) << c;
        for (size_t k = 0; k < contour.size(); ++k) {
            EXPECT_TRUE(same_bits(contour[k].x, p->contour[c].vertex[k].x)) << c << " " << k;
            EXPECT_TRUE(same_bits(contour[k].y, p->contour[c].vertex[k].y)) << c << " " << k;
        }
    }
}

// The step as the recipe made it before: through gpc_polygon and gpc_tristrip.
std::string reference_clip(int op, const common::PolygonFile& a, const common::PolygonFile& b) {
    gpc_tristrip strips{0, nullptr};
    {
        ReadPolygon subject(a);
        ReadPolygon clip(b);
        if (op >= GPC_DIFF && op <= GPC_UNION) gpc_tristrip_clip(static_cast<gpc_op>(op), subject.get(), clip.get(), &strips);
    }
    const std::string text = write_quads(&strips).render();
    gpc_free_tristrip(&strips);
    return text;
}

std::string clip_text(int op, common::PolygonFile a, common::PolygonFile b) {
    common::PolygonFiles files;
    write_empty_polygon_file(files);
    files.create("a.gpc", std::move(a));
    files.create("b.gpc", std::move(b));
    clip_layers(files, op, "a", "b", "r");
    return files.find("r.gpc")->render();
}

}  // namespace

// Each kind of storage a file can have (rectangles, pairs of digits, plain
// values, -0) and count lines that promise more or fewer contours than follow.
TEST(PolygonFileSource, GivesTheValuesReadPolygonHolds) {
    using common::VertexFormat;
    const std::vector<common::PointD> slanted = {{0, 0}, {2, 0}, {3, 1}, {0, 1}};
    const std::vector<common::PointD> turned = {{0, 0}, {0, 1}, {2, 1}, {2, 0}};  // rectilinear, not a writer's rectangle
    const struct {
        common::PolygonFile file;
        bool rectilinear;
    } cases[] = {
        {file_of(VertexFormat::Quad, 2, rect(0, 0, 1.5, 2) + rect(-3.25, 0.1, 7, 9.99)), true},
        {file_of(VertexFormat::Quad, 2, rect(0, 0, 1, 1) + turned), true},
        {file_of(VertexFormat::Quad, 2, rect(1.0 / 3, -0.0, 2, 1) + rect(0, 0, 1e9, 1e-9)), true},
        {file_of(VertexFormat::Quad, 1, rect(0, 0, 1, 1) + slanted), true},  // the slanted contour is not read
        {file_of(VertexFormat::Quad, 2, rect(0, 0, 1, 1) + slanted), false},
        {file_of(VertexFormat::Quad, 5, rect(0, 0, 1, 1)), true},
        {file_of(VertexFormat::OneDecimal, 1, rect(0.04, -0.04, 0.25, 1.15)), true},
        {file_of(VertexFormat::OneDecimal, -1, rect(0, 0, 1, 1)), true},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        const common::PolygonFile& file = cases[i].file;
        expect_source_as_read_polygon(file);
        // Only the contours read count: a clip of the file gives quads when
        // there are some and all are rectilinear, as the library's check says.
        ReadPolygon read(file);
        EXPECT_EQ(clip_text(GPC_UNION, file, common::PolygonFile{}) != "0\n",
                  cases[i].rectilinear && read.get()->num_contours > 0);
        EXPECT_EQ(gpc_is_rectilinear(read.get()), cases[i].rectilinear);
    }
}

TEST(ClipLayers, HandCheckedQuads) {
    // a box with a notch cut from its top: the part below the notch, then the two beside it
    EXPECT_EQ(clip_text(GPC_DIFF, file_of(common::VertexFormat::OneDecimal, 1, rect(0, 0, 3, 2)),
                        file_of(common::VertexFormat::Quad, 1, rect(1, 1, 2, 3))),
              "3\n" + layers_test::quad_text(0, 0, 3, 1) + layers_test::quad_text(0, 1, 1, 2) +
                  layers_test::quad_text(2, 1, 3, 2));
    // an L of six vertices, read from its text, less the square: what stays of it
    EXPECT_EQ(clip_text(GPC_DIFF, common::PolygonFile::from_text("1\n6\n0 0\n2 0\n2 1\n1 1\n1 2\n0 2\n"),
                        common::PolygonFile::from_text("1\n4\n0 0\n1 0\n1 1\n0 1\n")),
              "2\n" + layers_test::quad_text(1, 0, 2, 1) + layers_test::quad_text(0, 1, 1, 2));
}

// Random boxes on a grid of tenths and hundredths, some given in a turned
// vertex order, others with values that are no tenths at all.
TEST(ClipLayers, SameFileAsTheGpcPath) {
    std::mt19937 rng(7);
    // Now and then a zero is -0, which the files keep as it is.
    auto value = [&](int range, int scale) {
        const double v = std::uniform_int_distribution<int>(-range, range)(rng) / static_cast<double>(scale);
        return v == 0 && rng() % 2 ? -0.0 : v;
    };
    auto layer = [&](common::VertexFormat format, int boxes) {
        std::vector<common::PointD> v;
        const int scale = rng() % 2 ? 10 : 100;
        for (int i = 0; i < boxes; ++i) {
            const double x0 = value(40, scale), y0 = value(40, scale);
            const double x1 = x0 + 0.5 + std::abs(value(20, scale)), y1 = y0 + 0.5 + std::abs(value(20, scale));
            if (rng() % 10 == 0)
                v = v + std::vector<common::PointD>{{x0, y0}, {x0, y1}, {x1, y1}, {x1, y0}};
            else if (rng() % 10 == 0)
                v = v + rect(x0 / 3, y0, x1, y1 / 7);
            else
                v = v + rect(x0, y0, x1, y1);
        }
        return file_of(format, boxes, v);
    };
    for (int round = 0; round < 60; ++round) {
        const common::PolygonFile a = layer(common::VertexFormat::OneDecimal, 1 + round % 25);
        const common::PolygonFile b = layer(common::VertexFormat::Quad, round % 30);
        for (const int op : {GPC_DIFF, GPC_INT, GPC_XOR, GPC_UNION}) {
            ASSERT_EQ(clip_text(op, a, b), reference_clip(op, a, b)) << "round " << round << " op " << op;
        }
    }
}

// Files read from a text are clipped through the same source: contours of
// any vertex count, empty ones, a cut-short last contour, and operands of
// either kind against each other.
TEST(ClipLayers, TextOperandsSameFileAsTheGpcPath) {
    const std::vector<std::string> texts = {
        "",
        "2\n3\n0 0\n4 0\n0 4\n0\n",
        "3\n5\n0 0\n3 0\n3 3\n1 3\n0 1\n4\n1 1\n2 1\n2 2\n1 2\n6\n5 5\n6",
        "1\n4\n-1.5 0.25\n2.125 0.25\n2.125 1e0\n-1.5 1\n",
        "2\n4\n0 0 1 0 1 1 0 1\n-2\n",
        "1\n4\n0 0 nan 0 1 1 0 1\n",
    };
    const common::PolygonFile compact = file_of(common::VertexFormat::Quad, 1, rect(0.5, 0.5, 2.5, 1.5));
    for (const std::string& t : texts) {
        SCOPED_TRACE(t);
        const common::PolygonFile text = common::PolygonFile::from_text(t);
        expect_source_as_read_polygon(text);
        for (const int op : {GPC_DIFF, GPC_INT, GPC_XOR, GPC_UNION}) {
            EXPECT_EQ(clip_text(op, text, compact), reference_clip(op, text, compact)) << op;
            EXPECT_EQ(clip_text(op, compact, text), reference_clip(op, compact, text)) << op;
            EXPECT_EQ(clip_text(op, text, text), reference_clip(op, text, text)) << op;
        }
    }
}
