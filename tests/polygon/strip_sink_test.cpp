// Strips handed to a sink, from operands given contour by contour: the same
// strips, in the same order, as clip_to_tristrip copies out.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <random>
#include <vector>

#include "polygon/engine.h"

namespace {

using polyclip::Contours;
using polyclip::Operation;
using polyclip::Point;

// Operands as the layer files give them: contour by contour.
class ListSource final : public polyclip::ContourSource {
public:
    explicit ListSource(const Contours& contours) : contours_(contours) {}
    int count() const override { return static_cast<int>(contours_.size()); }
    size_t vertices() const override { return 0; }  // only a hint
    void contour(int i, std::vector<Point>& out) const override { out = contours_[i]; }

private:
    const Contours& contours_;
};

// Strips as (x, y) vertex lists, left and right of each pair in turn.
using Strip = std::vector<std::pair<double, double>>;

class RecordingSink final : public polyclip::StripSink {
public:
    void begin(size_t strips, size_t pairs) override {
        ++begins;
        announced = {strips, pairs};
    }
    void strip(int pairs) override {
        strips.emplace_back();
        declared.push_back(pairs);
    }
    void pair(double xl, double xr, double y) override {
        strips.back().push_back({xl, y});
        strips.back().push_back({xr, y});
    }
    int begins = 0;
    std::pair<size_t, size_t> announced;
    std::vector<Strip> strips;
    std::vector<int> declared;
};

RecordingSink through_sink(Operation op, const Contours& a, const Contours& b) {
    RecordingSink sink;
    polyclip::clip_to_sink(op, ListSource(a), ListSource(b), sink);
    return sink;
}

std::vector<Strip> through_tristrip(Operation op, const Contours& a, const Contours& b) {
    auto to_gpc = [](const Contours& c, std::vector<std::vector<gpc_vertex>>& v, std::vector<gpc_vertex_list>& l) {
        for (const auto& contour : c) {
            v.emplace_back();
            for (const Point& p : contour) v.back().push_back({p.x, p.y});
        }
        for (auto& contour : v) l.push_back({static_cast<int>(contour.size()), contour.data()});
        return gpc_polygon{static_cast<int>(l.size()), nullptr, l.data()};
    };
    std::vector<std::vector<gpc_vertex>> va, vb;
    std::vector<gpc_vertex_list> la, lb;
    const gpc_polygon pa = to_gpc(a, va, la);
    const gpc_polygon pb = to_gpc(b, vb, lb);
    gpc_tristrip t{0, nullptr};
    polyclip::clip_to_tristrip(op, pa, pb, &t);
    std::vector<Strip> out;
    for (int s = 0; s < t.num_strips; ++s) {
        out.emplace_back();
        for (int i = 0; i < t.strip[s].num_vertices; ++i) out.back().push_back({t.strip[s].vertex[i].x, t.strip[s].vertex[i].y});
    }
    gpc_free_tristrip(&t);
    return out;
}

Contours boxes(std::initializer_list<std::array<double, 4>> list) {
    Contours out;
    for (const auto& b : list) out.push_back({{b[0], b[1]}, {b[2], b[1]}, {b[2], b[3]}, {b[0], b[3]}});
    return out;
}

}  // namespace

TEST(StripSink, HandCheckedStrips) {
    // one box: one strip of two pairs
    RecordingSink one = through_sink(Operation::Union, boxes({{0, 0, 2, 1}}), {});
    EXPECT_EQ(one.begins, 1);
    EXPECT_EQ(one.announced, std::make_pair(size_t{1}, size_t{2}));
    EXPECT_EQ(one.strips, (std::vector<Strip>{{{0, 0}, {2, 0}, {0, 1}, {2, 1}}}));
    // two boxes apart, opened at the same height: left one first
    RecordingSink two = through_sink(Operation::Union, boxes({{2, 0, 3, 2}}), boxes({{0, 0, 1, 1}}));
    EXPECT_EQ(two.announced, std::make_pair(size_t{2}, size_t{4}));
    EXPECT_EQ(two.strips, (std::vector<Strip>{{{0, 0}, {1, 0}, {0, 1}, {1, 1}}, {{2, 0}, {3, 0}, {2, 2}, {3, 2}}}));
    // nothing to clip: begin alone
    for (const Operation op : {Operation::Intersection, Operation::Difference}) {
        RecordingSink none = through_sink(op, {}, boxes({{0, 0, 1, 1}}));
        EXPECT_EQ(none.begins, 1);
        EXPECT_EQ(none.announced, std::make_pair(size_t{0}, size_t{0}));
        EXPECT_TRUE(none.strips.empty());
    }
}

// Random rectilinear operands: boxes and staircase contours with collinear
// vertices on a coarse grid (many shared edges and heights), with heights of
// -0 and +0 in the same operands now and then.
TEST(StripSink, SameStripsAsTheTristripCopy) {
    std::mt19937 rng(20261207);
    auto coord = [&](int range) { return static_cast<double>(std::uniform_int_distribution<int>(-range, range)(rng)); };
    auto operand = [&](int contours) {
        Contours out;
        for (int c = 0; c < contours; ++c) {
            const double x0 = coord(6), y0 = coord(6);
            const double x1 = x0 + 1 + coord(3) * coord(3) / 3, y1 = y0 + 1 + std::abs(coord(4));
            if (x1 <= x0) continue;
            if (rng() % 3 == 0) {
                // a staircase with a collinear vertex on its left side
                const double xm = x0 + (x1 - x0) / 2, ym = y0 + (y1 - y0) / 2;
                out.push_back({{x0, y0}, {x1, y0}, {x1, ym}, {xm, ym}, {xm, y1}, {x0, y1}, {x0, ym}});
            } else {
                out.push_back({{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}});
            }
            if (rng() % 4 == 0)
                for (Point& p : out.back())
                    if (p.y == 0) p.y = (rng() % 2) ? -0.0 : 0.0;
        }
        return out;
    };
    const Operation ops[] = {Operation::Difference, Operation::Intersection, Operation::ExclusiveOr, Operation::Union};
    for (int round = 0; round < 300; ++round) {
        const Contours a = operand(1 + round % 12), b = operand(round % 9);
        for (const Operation op : ops) {
            const RecordingSink sink = through_sink(op, a, b);
            const std::vector<Strip> expected = through_tristrip(op, a, b);
            ASSERT_EQ(sink.strips, expected) << "round " << round << " op " << static_cast<int>(op);
            size_t pairs = 0;
            for (size_t s = 0; s < expected.size(); ++s) {
                pairs += expected[s].size() / 2;
                EXPECT_EQ(sink.declared[s] * size_t{2}, expected[s].size());
            }
            EXPECT_EQ(sink.announced, std::make_pair(expected.size(), pairs));
            // the sign of a zero counts too
            for (size_t s = 0; s < expected.size(); ++s)
                for (size_t v = 0; v < expected[s].size(); ++v)
                    ASSERT_EQ(std::signbit(sink.strips[s][v].second), std::signbit(expected[s][v].second));
        }
    }
}
