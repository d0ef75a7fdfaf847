// The clipping facade: what a StripSink is told, and that an operand gives
// the same result whichever ContourSource hands it over.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <tuple>
#include <vector>

#include "polygon/clip.h"
#include "polygon/gpc.h"

namespace {

using polygon::Contour;
using polygon::Contours;
using polygon::Operation;
using Pair = std::tuple<double, double, double>;  // xl, xr, y

Contour box(double x0, double y0, double x1, double y1) { return {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}}; }

// Records the calls, and whether they came in the order the sink is promised.
class RecordingSink final : public polygon::StripSink {
public:
    void begin(size_t strips, size_t pairs) override {
        ++begins;
        if (!strips_.empty()) in_order = false;
        promised_strips = strips;
        promised_pairs = pairs;
    }
    void strip(int pairs) override {
        if (begins != 1) in_order = false;
        strips_.push_back({});
        declared.push_back(pairs);
    }
    void pair(double xl, double xr, double y) override {
        if (strips_.empty()) {
            in_order = false;
            return;
        }
        strips_.back().push_back({xl, xr, y});
    }
    std::vector<std::vector<Pair>> strips_;
    std::vector<int> declared;
    size_t promised_strips = 0, promised_pairs = 0;
    int begins = 0;
    bool in_order = true;
};

// Boxes in a row, made only when asked for, and with a vertex count that is
// only a rough guess (it serves for reserving, nothing more).
class GeneratedBoxes final : public polygon::ContourSource {
public:
    explicit GeneratedBoxes(int n) : n_(n) {}
    int count() const override { return n_; }
    size_t vertices() const override { return 1; }
    void contour(int i, std::vector<common::PointD>& out) const override { out = box(3 * i, i % 2, 3 * i + 4, 5); }

private:
    int n_;
};

}  // namespace

// Each case worked out by hand: strips bottom up, then left to right, each as
// its pairs from the bottom up; begin() once, first, with the totals.
TEST(ClipFacade, TheSinkHearsOfEveryStripAfterOneBeginWithTheTotals) {
    struct Case {
        const char* what;
        Operation op;
        Contours subject, clip;
        std::vector<std::vector<Pair>> expected;
    };
    const std::vector<Case> cases = {
        {"a frame", Operation::Difference, {box(0, 0, 10, 10)}, {box(3, 3, 7, 7)},
         {{{0, 10, 0}, {0, 10, 3}}, {{0, 3, 3}, {0, 3, 7}}, {{7, 10, 3}, {7, 10, 7}}, {{0, 10, 7}, {0, 10, 10}}}},
        {"an overlap", Operation::Intersection, {box(0, 0, 4, 2)}, {box(2, 1, 6, 3)}, {{{2, 4, 1}, {2, 4, 2}}}},
        {"a collinear vertex adds a pair", Operation::Union, {{{0, 0}, {10, 0}, {10, 4}, {0, 4}, {0, 2}}}, {},
         {{{0, 10, 0}, {0, 10, 2}, {0, 10, 4}}}},
        {"nothing minus a box", Operation::Difference, {}, {box(0, 0, 1, 1)}, {}},
        {"boxes that do not meet", Operation::Intersection, {box(0, 0, 1, 1)}, {box(5, 5, 6, 6)}, {}},
        {"a slanted edge empties the result", Operation::Union, {{{0, 0}, {4, 0}, {2, 3}}}, {box(5, 5, 6, 6)}, {}},
    };
    for (const Case& c : cases) {
        RecordingSink sink;
        polygon::clip_to_sink(c.op, polygon::ContoursSource(c.subject), polygon::ContoursSource(c.clip), sink);
        EXPECT_EQ(sink.begins, 1) << c.what;
        EXPECT_TRUE(sink.in_order) << c.what;
        EXPECT_EQ(sink.strips_, c.expected) << c.what;
        size_t pairs = 0;
        for (size_t s = 0; s < sink.strips_.size(); ++s) {
            EXPECT_EQ(static_cast<size_t>(sink.declared[s]), sink.strips_[s].size()) << c.what;
            pairs += sink.strips_[s].size();
        }
        EXPECT_EQ(sink.promised_strips, c.expected.size()) << c.what;
        EXPECT_EQ(sink.promised_pairs, pairs) << c.what;
    }
}

// The same boxes handed over by a generator, from our own vectors and as a
// gpc_polygon give the same strips. Box i spans x 3i..3i+4 (so neighbours
// overlap by one) and y (i mod 2)..5: their union is one region whose bottom
// steps between 0 and 1.
TEST(ClipFacade, EveryKindOfOperandGivesTheSameStrips) {
    constexpr int n = 40;
    Contours boxes;
    for (int i = 0; i < n; ++i) boxes.push_back(box(3 * i, i % 2, 3 * i + 4, 5));
    std::vector<gpc_vertex_list> lists;
    for (Contour& c : boxes) {
        auto* v = new gpc_vertex[c.size()];
        for (size_t k = 0; k < c.size(); ++k) v[k] = {c[k].x, c[k].y};
        lists.push_back({static_cast<int>(c.size()), v});
    }
    std::vector<int> holes(n, 0);
    gpc_polygon as_gpc{n, holes.data(), lists.data()};
    const Contours none;

    RecordingSink generated, vectors, gpc;
    polygon::clip_to_sink(Operation::Union, GeneratedBoxes(n), polygon::ContoursSource(none), generated);
    polygon::clip_to_sink(Operation::Union, polygon::ContoursSource(boxes), polygon::ContoursSource(none), vectors);
    polygon::clip_to_sink(Operation::Union, polygon::GpcSource(as_gpc), polygon::ContoursSource(none), gpc);
    EXPECT_EQ(generated.strips_, vectors.strips_);
    EXPECT_EQ(gpc.strips_, vectors.strips_);
    // The strips reach from the first box's left side to the last one's right.
    ASSERT_FALSE(vectors.strips_.empty());
    double xmin = 1e9, xmax = -1e9;
    for (const auto& s : vectors.strips_)
        for (const Pair& p : s) {
            xmin = std::min(xmin, std::get<0>(p));
            xmax = std::max(xmax, std::get<1>(p));
        }
    EXPECT_EQ(xmin, 0);
    EXPECT_EQ(xmax, 3 * (n - 1) + 4);

    gpc_tristrip t{0, nullptr};
    gpc_polygon empty{0, nullptr, nullptr};
    gpc_tristrip_clip(GPC_UNION, &as_gpc, &empty, &t);
    ASSERT_EQ(static_cast<size_t>(t.num_strips), vectors.strips_.size());
    for (int s = 0; s < t.num_strips; ++s) {
        ASSERT_EQ(static_cast<size_t>(t.strip[s].num_vertices), 2 * vectors.strips_[s].size());
        for (size_t p = 0; p < vectors.strips_[s].size(); ++p) {
            EXPECT_EQ(t.strip[s].vertex[2 * p].x, std::get<0>(vectors.strips_[s][p]));
            EXPECT_EQ(t.strip[s].vertex[2 * p + 1].x, std::get<1>(vectors.strips_[s][p]));
            EXPECT_EQ(t.strip[s].vertex[2 * p].y, std::get<2>(vectors.strips_[s][p]));
        }
    }
    gpc_free_tristrip(&t);
    for (gpc_vertex_list& l : lists) delete[] l.vertex;
}

// Contours with hole flags: a frame is an outer contour and a hole, an
// overlap one plain contour (its corners, in some order).
TEST(ClipFacade, PolygonResultsCarryTheirHoles) {
    const polygon::PolygonResult frame =
        polygon::clip_to_polygon(Operation::Difference, Contours{box(0, 0, 10, 10)}, Contours{box(3, 3, 7, 7)});
    ASSERT_EQ(frame.contours.size(), 2u);
    ASSERT_EQ(frame.holes.size(), 2u);
    EXPECT_NE(frame.holes[0], frame.holes[1]);
    for (size_t c = 0; c < 2; ++c) {
        ASSERT_EQ(frame.contours[c].size(), 4u);
        const double low = frame.holes[c] ? 3 : 0, high = frame.holes[c] ? 7 : 10;
        for (const common::PointD& p : frame.contours[c]) {
            EXPECT_TRUE(p.x == low || p.x == high) << c;
            EXPECT_TRUE(p.y == low || p.y == high) << c;
        }
    }
    const polygon::PolygonResult overlap =
        polygon::clip_to_polygon(Operation::Intersection, Contours{box(0, 0, 4, 2)}, Contours{box(2, 1, 6, 3)});
    ASSERT_EQ(overlap.contours.size(), 1u);
    EXPECT_FALSE(overlap.holes[0]);
    std::vector<std::array<double, 2>> corners;
    for (const common::PointD& p : overlap.contours[0]) corners.push_back({p.x, p.y});
    std::sort(corners.begin(), corners.end());
    EXPECT_EQ(corners, (std::vector<std::array<double, 2>>{{2, 1}, {2, 2}, {4, 1}, {4, 2}}));
}
