// The painter's order of the sides of turned boxes (face_order).
#include "export/view.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <set>
#include <unordered_map>
#include <utility>
#include <vector>

#include "export/convex_pieces.h"
#include "export/face_pairs.h"

namespace kavrit {

using detail::clip_convex;
using detail::dot;
using detail::orientation_groups;
using detail::PictureGrid;
using detail::Poly;
using detail::signed_area;
using detail::SmallPoly;
using detail::take_away;
using common::PointD;
using common::RectD;

std::vector<std::size_t> face_order(const View& view, const std::vector<Face3>& faces) {
    return face_order(view, faces, 512);
}

std::vector<std::size_t> face_order(const View& view, const std::vector<Face3>& faces, double pairs_per_side) {
    const std::size_t n = faces.size();
    struct Flat {
        Poly poly;
        RectD box;  // its rectangle in the picture
        double a, b, c, d;  // plane: nearness = (d - a x - b y) / c at picture point (x, y)
        double depth;       // nearness of the centre
    };
    std::vector<Flat> flat(n);
    double reach = 0;
    bool finite_depths = true;
    for (std::size_t i = 0; i < n; ++i) {
        const Face3& f = faces[i];
        Flat& g = flat[i];
        Vec3 centre{0, 0, 0};
        for (const Vec3& p : f.corners) {
            g.poly.push_back(project(view, p));
            for (int k = 0; k < 3; ++k) centre[k] += p[k] / 4;
        }
        if (signed_area(g.poly) < 0) std::reverse(g.poly.begin(), g.poly.end());
        g.box = common::rect_at(g.poly[0]);
        for (const PointD& p : g.poly) common::extend(g.box, p);
        const RectD& r = g.box;
        reach = std::max({reach, r.xmax - r.xmin, r.ymax - r.ymin, std::fabs(r.xmin), std::fabs(r.xmax),
                          std::fabs(r.ymin), std::fabs(r.ymax)});
        g.a = dot(f.normal, view.right);
        g.b = dot(f.normal, view.up);
        g.c = dot(f.normal, view.toward_viewer);
        g.d = dot(f.normal, f.corners[0]);
        g.depth = nearness(view, centre);
        finite_depths = finite_depths && std::isfinite(g.depth);
    }
    const double length_eps = 1e-9 * std::max(reach, 1.0);
    const double area_eps = length_eps * std::max(reach, 1.0) * 1e-3;

    // Two sides are compared where their rectangles in the picture overlap
    // by more than a sliver, in the order of the rectangles' left edges
    // (ties by index), so that the clip and its rounding are always the same
    // for a pair.  compare(i, j) is +1 when i is drawn before j, -1 when
    // after, 0 when the pair sets no order.
    std::vector<std::size_t> by_start(n);
    for (std::size_t i = 0; i < n; ++i) by_start[i] = i;
    std::sort(by_start.begin(), by_start.end(), [&](std::size_t a, std::size_t b) {
        if (flat[a].box.xmin != flat[b].box.xmin) return flat[a].box.xmin < flat[b].box.xmin;
        return a < b;
    });
    std::vector<std::size_t> rank(n);
    for (std::size_t u = 0; u < n; ++u) rank[by_start[u]] = u;
    auto compare = [&](std::size_t i, std::size_t j) {
        int sign = 1;
        if (rank[j] < rank[i]) std::swap(i, j), sign = -1;
        const RectD &ri = flat[i].box, &rj = flat[j].box;
        if (rj.xmin >= ri.xmax - length_eps) return 0;
        if (rj.ymin >= ri.ymax - length_eps || ri.ymin >= rj.ymax - length_eps) return 0;
        const SmallPoly common = clip_convex(flat[i].poly, flat[j].poly);
        if (common.size < 3 || signed_area(common) <= area_eps) return 0;
        PointD m{0, 0};
        const auto count = static_cast<double>(common.size);
        for (std::size_t k = 0; k < common.size; ++k) m.x += common[k].x / count, m.y += common[k].y / count;
        auto near_at = [&](const Flat& g) { return (g.d - g.a * m.x - g.b * m.y) / g.c; };
        const double wi = near_at(flat[i]), wj = near_at(flat[j]);
        if (wi < wj - length_eps) return sign;
        if (wj < wi - length_eps) return -sign;
        return 0;
    };
    std::vector<std::vector<std::size_t>> later(n);
    std::vector<std::size_t> waiting(n, 0);
    auto add_order = [&](std::size_t first, std::size_t second) {
        later[first].push_back(second);
        ++waiting[second];
    };
    auto compare_pair = [&](std::size_t i, std::size_t j) {
        const int c = compare(i, j);
        if (c > 0) add_order(i, j);
        else if (c < 0) add_order(j, i);
    };

    std::vector<RectD> rectangles(n);
    for (std::size_t i = 0; i < n; ++i) rectangles[i] = flat[i].box;
    const PictureGrid grid(rectangles);
    if (grid.kind == PictureGrid::Kind::every_pair) {
        for (std::size_t i = 0; i < n; ++i)
            for (std::size_t j = i + 1; j < n; ++j) compare_pair(i, j);
    } else if (grid.kind == PictureGrid::Kind::cells) {
        // Big rectangles meet every other rectangle; each pair once.
        for (std::size_t i : grid.bigs)
            for (std::size_t j = 0; j < n; ++j)
                if (j != i && (!grid.big[j] || j > i)) compare_pair(i, j);

        const std::vector<std::size_t> group = orientation_groups(faces);
        std::unordered_map<std::uint64_t, std::vector<std::size_t>> cells;
        for (std::size_t i = 0; i < n; ++i)
            if (!grid.big[i])
                grid.for_cells(rectangles[i],
                               [&](std::int64_t cx, std::int64_t cy) { cells[PictureGrid::key(cx, cy)].push_back(i); });
        // A pair is taken once, in the cell that holds the lower left corner
        // of the two rectangles' overlap.
        auto overlap_corner_in = [&](std::size_t i, std::size_t j, std::uint64_t k) {
            const RectD &ri = rectangles[i], &rj = rectangles[j];
            const double ox = std::max(ri.xmin, rj.xmin);
            const double oy = std::max(ri.ymin, rj.ymin);
            if (ox > std::min(ri.xmax, rj.xmax) || oy > std::min(ri.ymax, rj.ymax)) return false;
            return PictureGrid::key(grid.cell_x(ox), grid.cell_y(oy)) == k;
        };
        // Sides of different groups: every pair whose rectangles overlap.
        for (auto& [k, members] : cells) {
            std::stable_sort(members.begin(), members.end(),
                             [&](std::size_t a, std::size_t b) { return group[a] < group[b]; });
            for (std::size_t u = 0, block_end = 0; u < members.size(); ++u) {
                if (u == block_end)
                    while (block_end < members.size() && group[members[block_end]] == group[members[u]]) ++block_end;
                for (std::size_t v = block_end; v < members.size(); ++v)
                    if (overlap_corner_in(members[u], members[v], k)) compare_pair(members[u], members[v]);
            }
        }

        // Within a group whose cells hold few sides, every pair is compared;
        // where they are crowded (more than pairs_per_side pairs per side
        // would be compared), the group is walked as below.
        std::vector<double> group_sides(n, 0), group_pairs(n, 0);
        for (std::size_t i = 0; i < n; ++i)
            if (!grid.big[i]) group_sides[group[i]] += 1;
        for (const auto& [k, members] : cells)
            for (std::size_t u = 0, end = 0; u < members.size(); u = end) {
                while (end < members.size() && group[members[end]] == group[members[u]]) ++end;
                const auto count = static_cast<double>(end - u);
                group_pairs[group[members[u]]] += count * (count - 1) / 2;
            }
        std::vector<bool> pairwise(n, !finite_depths);  // by group number
        for (std::size_t k = 0; k < n; ++k)
            if (group_pairs[k] <= pairs_per_side * group_sides[k]) pairwise[k] = true;

        // Sides of one group, turned alike, are taken far to near by the
        // nearness of their centres, ties by index; this is often already a
        // painter's order, and then only the sides each one lies over in the
        // picture painted so far need to be compared with it.  Each side
        // walks back through the sides before it in every cell it covers and
        // stops once the compared ones that lie behind it cover its part of
        // the cell: a side further back that overlaps it there overlaps one
        // of those, and so lies behind it through that one.  Should a
        // compared side lie in front of a side taken after it, the centres
        // are no painter's order for the group, and its sides are compared
        // pairwise like sides of different groups.
        std::vector<std::size_t> walk;
        for (std::size_t i = 0; i < n; ++i)
            if (!grid.big[i] && !pairwise[group[i]]) walk.push_back(i);
        std::sort(walk.begin(), walk.end(), [&](std::size_t a, std::size_t b) {
            if (group[a] != group[b]) return group[a] < group[b];
            if (finite_depths && flat[a].depth != flat[b].depth) return flat[a].depth < flat[b].depth;
            return a < b;
        });
        constexpr std::size_t MAX_PIECES = 32;  // beyond this, a side walks its cells to the end
        std::vector<std::size_t> seen(n, n);    // seen[e] == g: e was compared with g
        std::vector<int> verdict(n, 0);
        for (std::size_t start = 0; start < walk.size() && finite_depths;) {
            std::size_t end = start;
            while (end < walk.size() && group[walk[end]] == group[walk[start]]) ++end;
            std::unordered_map<std::uint64_t, std::vector<std::size_t>> painted;
            std::vector<std::pair<std::size_t, std::size_t>> orders;
            bool painters = true;
            for (std::size_t w = start; w < end && painters; ++w) {
                const std::size_t g = walk[w];
                grid.for_cells(rectangles[g], [&](std::int64_t cx, std::int64_t cy) {
                    std::vector<std::size_t>& list = painted[PictureGrid::key(cx, cy)];
                    if (painters && !list.empty()) {
                        const SmallPoly here = clip_convex(flat[g].poly, grid.square(cx, cy));
                        std::vector<Poly> open;
                        if (here.size >= 3 && signed_area(here) > area_eps)
                            open.push_back(here.poly());
                        bool tracking = true;
                        RectD open_box = rectangles[g];
                        auto bound_open = [&] {
                            open_box = common::rect_at(open[0][0]);
                            for (const Poly& piece : open)
                                for (const PointD& p : piece) common::extend(open_box, p);
                        };
                        if (!open.empty()) bound_open();
                        for (std::size_t k = list.size(); k-- > 0 && !open.empty();) {
                            const std::size_t e = list[k];
                            // A side that meets g only where the sides compared
                            // so far cover it lies behind g through them.
                            const RectD& r = rectangles[e];
                            if (tracking && (r.xmin >= open_box.xmax - length_eps || open_box.xmin >= r.xmax - length_eps ||
                                             r.ymin >= open_box.ymax - length_eps || open_box.ymin >= r.ymax - length_eps))
                                continue;
                            if (seen[e] != g) {
                                seen[e] = g;
                                verdict[e] = compare(e, g);
                                if (verdict[e] < 0) {
                                    painters = false;
                                    return;
                                }
                                if (verdict[e] > 0) orders.push_back({e, g});
                            }
                            if (verdict[e] > 0 && tracking) {
                                take_away(open, flat[e].poly, area_eps);
                                tracking = open.size() <= MAX_PIECES;
                                if (tracking && !open.empty()) bound_open();
                            }
                        }
                    }
                    list.push_back(g);
                });
            }
            if (painters)
                for (const auto& [first, second] : orders) add_order(first, second);
            else
                pairwise[group[walk[start]]] = true;
            start = end;
        }
        for (auto& [k, members] : cells)
            for (std::size_t u = 0; u < members.size(); ++u) {
                if (!pairwise[group[members[u]]]) continue;
                for (std::size_t v = u + 1; v < members.size() && group[members[v]] == group[members[u]]; ++v)
                    if (overlap_corner_in(members[u], members[v], k)) compare_pair(members[u], members[v]);
            }
    }

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

}  // namespace kavrit
