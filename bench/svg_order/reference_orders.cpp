// The reference orders of bench-svg-order (see reference_orders.h).
#include "bench/svg_order/reference_orders.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <set>
#include <unordered_map>
#include <utility>

using namespace kavrit;
using common::PointD;

namespace {

// ---- The sweep that was in face_order before, for reference ----
using Poly = std::vector<PointD>;
double cross2(const PointD& o, const PointD& a, const PointD& b) {
    return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x);
}
double signed_area(const Poly& p) {
    double a = 0;
    for (std::size_t i = 0; i < p.size(); ++i) {
        const PointD& u = p[i];
        const PointD& v = p[(i + 1) % p.size()];
        a += u.x * v.y - v.x * u.y;
    }
    return a / 2;
}
Poly clip_convex(Poly subject, const Poly& clip) {
    for (std::size_t e = 0; e < clip.size() && !subject.empty(); ++e) {
        const PointD& a = clip[e];
        const PointD& b = clip[(e + 1) % clip.size()];
        Poly out;
        for (std::size_t i = 0; i < subject.size(); ++i) {
            const PointD& p = subject[i];
            const PointD& q = subject[(i + 1) % subject.size()];
            const double sp = cross2(a, b, p), sq = cross2(a, b, q);
            if (sp >= 0) out.push_back(p);
            if ((sp >= 0) != (sq >= 0)) {
                const double t = sp / (sp - sq);
                out.push_back({p.x + t * (q.x - p.x), p.y + t * (q.y - p.y)});
            }
        }
        subject = std::move(out);
    }
    return subject;
}
double dot(const Vec3& a, const Vec3& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

}  // namespace

namespace svg_order_bench {

std::vector<std::size_t> sweep_order(const View& view, const std::vector<Face3>& faces) {
    const std::size_t n = faces.size();
    struct Flat {
        Poly poly;
        double min_x, max_x, min_y, max_y;
        double a, b, c, d;
        double depth;
    };
    std::vector<Flat> flat(n);
    double reach = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const Face3& f = faces[i];
        Flat& g = flat[i];
        Vec3 centre{0, 0, 0};
        for (const Vec3& p : f.corners) {
            g.poly.push_back(project(view, p));
            for (int k = 0; k < 3; ++k) centre[k] += p[k] / 4;
        }
        if (signed_area(g.poly) < 0) std::reverse(g.poly.begin(), g.poly.end());
        g.min_x = g.max_x = g.poly[0].x;
        g.min_y = g.max_y = g.poly[0].y;
        for (const PointD& p : g.poly) {
            g.min_x = std::min(g.min_x, p.x), g.max_x = std::max(g.max_x, p.x);
            g.min_y = std::min(g.min_y, p.y), g.max_y = std::max(g.max_y, p.y);
        }
        reach = std::max({reach, g.max_x - g.min_x, g.max_y - g.min_y, std::fabs(g.min_x), std::fabs(g.max_x),
                          std::fabs(g.min_y), std::fabs(g.max_y)});
        g.a = dot(f.normal, view.right);
        g.b = dot(f.normal, view.up);
        g.c = dot(f.normal, view.toward_viewer);
        g.d = dot(f.normal, f.corners[0]);
        g.depth = nearness(view, centre);
    }
    const double length_eps = 1e-9 * std::max(reach, 1.0);
    const double area_eps = length_eps * std::max(reach, 1.0) * 1e-3;
    std::vector<std::size_t> by_start(n);
    for (std::size_t i = 0; i < n; ++i) by_start[i] = i;
    std::sort(by_start.begin(), by_start.end(), [&](std::size_t a, std::size_t b) {
        if (flat[a].min_x != flat[b].min_x) return flat[a].min_x < flat[b].min_x;
        return a < b;
    });
    std::vector<std::vector<std::size_t>> later(n);
    std::vector<std::size_t> waiting(n, 0);
    for (std::size_t u = 0; u < n; ++u) {
        const std::size_t i = by_start[u];
        for (std::size_t v = u + 1; v < n; ++v) {
            const std::size_t j = by_start[v];
            if (flat[j].min_x >= flat[i].max_x - length_eps) break;
            if (flat[j].min_y >= flat[i].max_y - length_eps || flat[i].min_y >= flat[j].max_y - length_eps) continue;
            const Poly common = clip_convex(flat[i].poly, flat[j].poly);
            if (common.size() < 3 || signed_area(common) <= area_eps) continue;
            PointD m{0, 0};
            for (const PointD& p : common) m.x += p.x / static_cast<double>(common.size()), m.y += p.y / static_cast<double>(common.size());
            auto near_at = [&](const Flat& g) { return (g.d - g.a * m.x - g.b * m.y) / g.c; };
            const double wi = near_at(flat[i]), wj = near_at(flat[j]);
            if (wi < wj - length_eps) {
                later[i].push_back(j);
                ++waiting[j];
            } else if (wj < wi - length_eps) {
                later[j].push_back(i);
                ++waiting[i];
            }
        }
    }
    std::set<std::pair<double, std::size_t>> ready;
    for (std::size_t i = 0; i < n; ++i)
        if (waiting[i] == 0) ready.insert({flat[i].depth, i});
    std::vector<bool> done(n, false);
    std::vector<std::size_t> order;
    while (order.size() < n) {
        std::size_t next = n;
        if (!ready.empty()) {
            next = ready.begin()->second;
            ready.erase(ready.begin());
        } else {
            for (std::size_t i = 0; i < n; ++i)
                if (!done[i] && (next == n || flat[i].depth < flat[next].depth)) next = i;
        }
        done[next] = true;
        order.push_back(next);
        for (std::size_t b : later[next]) {
            if (done[b]) continue;
            if (--waiting[b] == 0) ready.insert({flat[b].depth, b});
        }
    }
    return order;
}

}  // namespace svg_order_bench

namespace {

// ---- The grid of picture cells that followed it, for reference ----
// A polygon of at most CAPACITY corners, kept in place.  Clipping a quad by
// the four edges of a quad at most doubles the corners per edge (each corner
// gives itself and one crossing): 4 * 2^4 = 64, however rounding falls.
struct SmallPoly {
    static constexpr std::size_t CAPACITY = 64;
    std::array<PointD, CAPACITY> at;
    std::size_t size = 0;
    void push(const PointD& p) {
        if (size < CAPACITY) at[size++] = p;
    }
};

// The part of convex `subject` (a quad) inside convex counter-clockwise
// `clip` (a quad).
SmallPoly clip_small(const Poly& subject_quad, const Poly& clip) {
    SmallPoly subject;
    for (const PointD& p : subject_quad) subject.push(p);
    for (std::size_t e = 0; e < clip.size() && subject.size > 0; ++e) {
        const PointD& a = clip[e];
        const PointD& b = clip[(e + 1) % clip.size()];
        SmallPoly out;
        for (std::size_t i = 0; i < subject.size; ++i) {
            const PointD& p = subject.at[i];
            const PointD& q = subject.at[(i + 1) % subject.size];
            const double sp = cross2(a, b, p), sq = cross2(a, b, q);
            if (sp >= 0) out.push(p);
            if ((sp >= 0) != (sq >= 0)) {
                const double t = sp / (sp - sq);
                out.push({p.x + t * (q.x - p.x), p.y + t * (q.y - p.y)});
            }
        }
        subject = out;
    }
    return subject;
}

double signed_area(const SmallPoly& p) {
    double a = 0;
    for (std::size_t i = 0; i < p.size; ++i) {
        const PointD& u = p.at[i];
        const PointD& v = p.at[(i + 1) % p.size];
        a += u.x * v.y - v.x * u.y;
    }
    return a / 2;
}

// Pairs of rectangles that overlap, found through a grid of square cells
// over the picture: each rectangle is listed in every cell it covers, and a
// pair is reported once, from the cell that holds the lower left corner of
// the two rectangles' overlap.  A rectangle that covers many cells goes into
// a list of its own and is paired with every other; the cell size is the
// median extent, so that with rectangles of alike sizes each lies in a few
// cells and meets only its neighbours.
template <typename Report>
void overlapping_rectangles(const std::vector<std::array<double, 4>>& r, Report report) {
    const std::size_t n = r.size();
    if (n < 2) return;
    std::vector<double> extents;
    extents.reserve(n);
    double lo_x = r[0][0], hi_x = r[0][1], lo_y = r[0][2], hi_y = r[0][3];
    bool finite = true;
    for (const auto& b : r) {
        for (double v : b) finite = finite && std::isfinite(v);
        extents.push_back(std::max(b[1] - b[0], b[3] - b[2]));
        lo_x = std::min(lo_x, b[0]), hi_x = std::max(hi_x, b[1]);
        lo_y = std::min(lo_y, b[2]), hi_y = std::max(hi_y, b[3]);
    }
    if (!finite || !std::isfinite(hi_x - lo_x) || !std::isfinite(hi_y - lo_y)) {
        // No grid over a picture without finite bounds: every pair.
        for (std::size_t i = 0; i < n; ++i)
            for (std::size_t j = i + 1; j < n; ++j) report(i, j);
        return;
    }
    std::nth_element(extents.begin(), extents.begin() + static_cast<std::ptrdiff_t>(n / 2), extents.end());
    double cell = extents[n / 2];
    if (!(cell > 0)) cell = *std::max_element(extents.begin(), extents.end());
    // Rectangles without area overlap nothing by more than a sliver.
    if (!(cell > 0)) return;
    // At most 2^30 cells across, so that cell numbers fit the key.
    constexpr double MAX_ACROSS = 1073741824.0;
    cell = std::max({cell, (hi_x - lo_x) / MAX_ACROSS, (hi_y - lo_y) / MAX_ACROSS});
    constexpr double MAX_CELLS = 64;  // cells one rectangle may be listed in
    auto cell_of = [&](double v, double lo) { return static_cast<std::int64_t>(std::floor((v - lo) / cell)); };
    std::vector<bool> big(n, false);
    std::unordered_map<std::uint64_t, std::vector<std::size_t>> grid;
    auto key = [](std::int64_t cx, std::int64_t cy) {
        return (static_cast<std::uint64_t>(cx) << 32) | static_cast<std::uint64_t>(cy);
    };
    std::vector<std::size_t> bigs;
    for (std::size_t i = 0; i < n; ++i) {
        const double wx = (r[i][1] - r[i][0]) / cell + 1, wy = (r[i][3] - r[i][2]) / cell + 1;
        if (!(wx * wy <= MAX_CELLS)) {
            big[i] = true;
            bigs.push_back(i);
            continue;
        }
        for (std::int64_t cx = cell_of(r[i][0], lo_x); cx <= cell_of(r[i][1], lo_x); ++cx)
            for (std::int64_t cy = cell_of(r[i][2], lo_y); cy <= cell_of(r[i][3], lo_y); ++cy)
                grid[key(cx, cy)].push_back(i);
    }
    // Big rectangles meet every other rectangle; each pair once.
    for (std::size_t i : bigs)
        for (std::size_t j = 0; j < n; ++j)
            if (j != i && (!big[j] || j > i)) report(i, j);
    for (const auto& [k, members] : grid) {
        for (std::size_t u = 0; u < members.size(); ++u)
            for (std::size_t v = u + 1; v < members.size(); ++v) {
                const std::size_t i = members[u], j = members[v];
                // The overlap's lower left corner lies in this cell for one cell only.
                const double ox = std::max(r[i][0], r[j][0]), oy = std::max(r[i][2], r[j][2]);
                if (ox > std::min(r[i][1], r[j][1]) || oy > std::min(r[i][3], r[j][3])) continue;
                if (key(cell_of(ox, lo_x), cell_of(oy, lo_y)) != k) continue;
                report(i, j);
            }
    }
}

}  // namespace

namespace svg_order_bench {

std::vector<std::size_t> grid_order(const View& view, const std::vector<Face3>& faces) {
    const std::size_t n = faces.size();
    struct Flat {
        Poly poly;
        double min_x, max_x, min_y, max_y;
        double a, b, c, d;  // plane: nearness = (d - a x - b y) / c at picture point (x, y)
        double depth;       // nearness of the centre
    };
    std::vector<Flat> flat(n);
    double reach = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const Face3& f = faces[i];
        Flat& g = flat[i];
        Vec3 centre{0, 0, 0};
        for (const Vec3& p : f.corners) {
            g.poly.push_back(project(view, p));
            for (int k = 0; k < 3; ++k) centre[k] += p[k] / 4;
        }
        if (signed_area(g.poly) < 0) std::reverse(g.poly.begin(), g.poly.end());
        g.min_x = g.max_x = g.poly[0].x;
        g.min_y = g.max_y = g.poly[0].y;
        for (const PointD& p : g.poly) {
            g.min_x = std::min(g.min_x, p.x), g.max_x = std::max(g.max_x, p.x);
            g.min_y = std::min(g.min_y, p.y), g.max_y = std::max(g.max_y, p.y);
        }
        reach = std::max({reach, g.max_x - g.min_x, g.max_y - g.min_y, std::fabs(g.min_x), std::fabs(g.max_x),
                          std::fabs(g.min_y), std::fabs(g.max_y)});
        g.a = dot(f.normal, view.right);
        g.b = dot(f.normal, view.up);
        g.c = dot(f.normal, view.toward_viewer);
        g.d = dot(f.normal, f.corners[0]);
        g.depth = nearness(view, centre);
    }
    const double length_eps = 1e-9 * std::max(reach, 1.0);
    const double area_eps = length_eps * std::max(reach, 1.0) * 1e-3;

    // Sides are compared pairwise only where their rectangles in the picture
    // overlap by more than a sliver; the grid finds those pairs without
    // looking at all others.  Each pair is compared in the order of the
    // rectangles' left edges (ties by index), so the clip and its rounding
    // are those of a sweep from left to right.
    std::vector<std::size_t> by_start(n);
    for (std::size_t i = 0; i < n; ++i) by_start[i] = i;
    std::sort(by_start.begin(), by_start.end(), [&](std::size_t a, std::size_t b) {
        if (flat[a].min_x != flat[b].min_x) return flat[a].min_x < flat[b].min_x;
        return a < b;
    });
    std::vector<std::size_t> rank(n);
    for (std::size_t u = 0; u < n; ++u) rank[by_start[u]] = u;
    std::vector<std::array<double, 4>> rectangles(n);
    for (std::size_t i = 0; i < n; ++i) rectangles[i] = {flat[i].min_x, flat[i].max_x, flat[i].min_y, flat[i].max_y};
    std::vector<std::vector<std::size_t>> later(n);
    std::vector<std::size_t> waiting(n, 0);
    overlapping_rectangles(rectangles, [&](std::size_t i, std::size_t j) {
        if (rank[j] < rank[i]) std::swap(i, j);
        if (flat[j].min_x >= flat[i].max_x - length_eps) return;
        if (flat[j].min_y >= flat[i].max_y - length_eps || flat[i].min_y >= flat[j].max_y - length_eps) return;
        const SmallPoly common = clip_small(flat[i].poly, flat[j].poly);
        if (common.size < 3 || signed_area(common) <= area_eps) return;
        PointD m{0, 0};
        const auto count = static_cast<double>(common.size);
        for (std::size_t k = 0; k < common.size; ++k) m.x += common.at[k].x / count, m.y += common.at[k].y / count;
        auto near_at = [&](const Flat& g) { return (g.d - g.a * m.x - g.b * m.y) / g.c; };
        const double wi = near_at(flat[i]), wj = near_at(flat[j]);
        if (wi < wj - length_eps) {
            later[i].push_back(j);
            ++waiting[j];
        } else if (wj < wi - length_eps) {
            later[j].push_back(i);
            ++waiting[i];
        }
    });

    std::set<std::pair<double, std::size_t>> ready;
    for (std::size_t i = 0; i < n; ++i)
        if (waiting[i] == 0) ready.insert({flat[i].depth, i});
    std::vector<bool> done(n, false);
    std::vector<std::size_t> order;
    order.reserve(n);
    while (order.size() < n) {
        std::size_t next = n;
        if (!ready.empty()) {
            next = ready.begin()->second;
            ready.erase(ready.begin());
        } else {
            for (std::size_t i = 0; i < n; ++i)
                if (!done[i] && (next == n || flat[i].depth < flat[next].depth)) next = i;
        }
        done[next] = true;
        order.push_back(next);
        for (std::size_t b : later[next]) {
            if (done[b]) continue;
            if (--waiting[b] == 0) ready.insert({flat[b].depth, b});
        }
    }
    return order;
}

}  // namespace svg_order_bench
