#include "export/view.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <set>
#include <unordered_map>

namespace kavrit {

std::optional<ViewName> parse_view_name(const std::string& text) {
    if (text == "iso") return ViewName::iso;
    if (text == "top") return ViewName::top;
    if (text == "front") return ViewName::front;
    if (text == "side") return ViewName::side;
    return std::nullopt;
}

const char* view_title(ViewName view) {
    switch (view) {
    case ViewName::iso: return "isometric view";
    case ViewName::top: return "top view";
    case ViewName::front: return "front view";
    case ViewName::side: return "side view";
    }
    return "view";
}

namespace {

Vec3 scaled(Vec3 v, double f) { return {v[0] * f, v[1] * f, v[2] * f}; }

double dot(const Vec3& a, const Vec3& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

Vec3 cross(const Vec3& a, const Vec3& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

Vec3 sign_vector(const View& view) {
    Vec3 s{};
    for (int a = 0; a < 3; ++a)
        s[a] = view.toward_viewer[a] > 1e-12 ? 1 : (view.toward_viewer[a] < -1e-12 ? -1 : 0);
    return s;
}

struct Interval {
    double lo;
    double hi;
};

Interval range_of(const Vec3& f, const Cuboid& b) {
    Interval r{0, 0};
    for (int a = 0; a < 3; ++a) {
        double p = f[a] * b.lo[a];
        double q = f[a] * b.hi[a];
        r.lo += std::min(p, q);
        r.hi += std::max(p, q);
    }
    return r;
}

// -1 when a lies behind b, +1 when b lies behind a, 0 when no plane of the
// axes separates them (they pierce each other).
int behind(const Vec3& eye, const Cuboid& a, const Cuboid& b) {
    for (int k = 0; k < 3; ++k) {
        if (eye[k] > 0) {
            if (a.hi[k] <= b.lo[k]) return -1;
            if (b.hi[k] <= a.lo[k]) return +1;
        } else if (eye[k] < 0) {
            if (a.lo[k] >= b.hi[k]) return -1;
            if (b.lo[k] >= a.hi[k]) return +1;
        }
    }
    return 0;
}

}  // namespace

View make_view(ViewName name) {
    switch (name) {
    case ViewName::iso:
        return {scaled({-1, -1, 1}, 1 / std::sqrt(3.0)), scaled({1, -1, 0}, 1 / std::sqrt(2.0)),
                scaled({1, 1, 2}, 1 / std::sqrt(6.0))};
    case ViewName::top: return {{0, 0, 1}, {1, 0, 0}, {0, 1, 0}};
    case ViewName::front: return {{0, -1, 0}, {1, 0, 0}, {0, 0, 1}};
    case ViewName::side: return {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    }
    return make_view(ViewName::iso);
}

Point2 project(const View& view, const Vec3& p) { return {dot(view.right, p), dot(view.up, p)}; }

double nearness(const View& view, const Vec3& p) { return dot(view.toward_viewer, p); }

std::vector<std::size_t> painter_order(const View& view, const std::vector<Cuboid>& boxes) {
    const std::size_t n = boxes.size();
    const Vec3 eye = sign_vector(view);

    // The pictures of two boxes overlap exactly when their ranges overlap on
    // every picture direction across a projected box edge, e_k x eye.
    std::vector<Vec3> across;
    for (int k = 0; k < 3; ++k) {
        Vec3 axis{0, 0, 0};
        axis[k] = 1;
        Vec3 f = cross(axis, eye);
        if (dot(f, f) > 0) across.push_back(f);
    }
    std::vector<std::vector<Interval>> ranges(n);
    for (std::size_t i = 0; i < n; ++i)
        for (const Vec3& f : across) ranges[i].push_back(range_of(f, boxes[i]));

    // Sweep along the first picture direction; compare only boxes whose
    // ranges there overlap.
    std::vector<std::size_t> by_start(n);
    for (std::size_t i = 0; i < n; ++i) by_start[i] = i;
    std::sort(by_start.begin(), by_start.end(), [&](std::size_t a, std::size_t b) {
        if (ranges[a][0].lo != ranges[b][0].lo) return ranges[a][0].lo < ranges[b][0].lo;
        return a < b;
    });
    std::vector<std::vector<std::size_t>> later(n);  // later[a]: boxes drawn after a
    std::vector<std::size_t> waiting(n, 0);          // boxes still to be drawn before it
    for (std::size_t u = 0; u < n; ++u) {
        std::size_t a = by_start[u];
        for (std::size_t v = u + 1; v < n; ++v) {
            std::size_t b = by_start[v];
            if (ranges[b][0].lo >= ranges[a][0].hi) break;
            bool overlap = true;
            for (std::size_t k = 0; k < across.size() && overlap; ++k)
                overlap = ranges[a][k].lo < ranges[b][k].hi && ranges[b][k].lo < ranges[a][k].hi;
            if (!overlap) continue;
            int order = behind(eye, boxes[a], boxes[b]);
            if (order < 0) {
                later[a].push_back(b);
                ++waiting[b];
            } else if (order > 0) {
                later[b].push_back(a);
                ++waiting[a];
            }
        }
    }

    // Farthest ready box first; ties by index, so the order is reproducible.
    std::vector<double> depth(n);
    for (std::size_t i = 0; i < n; ++i) {
        Vec3 c{};
        for (int k = 0; k < 3; ++k) c[k] = (boxes[i].lo[k] + boxes[i].hi[k]) / 2;
        depth[i] = dot(eye, c);
    }
    std::set<std::pair<double, std::size_t>> ready;
    for (std::size_t i = 0; i < n; ++i)
        if (waiting[i] == 0) ready.insert({depth[i], i});
    std::vector<bool> done(n, false);
    std::vector<std::size_t> order;
    order.reserve(n);
    while (order.size() < n) {
        std::size_t next;
        if (!ready.empty()) {
            next = ready.begin()->second;
            ready.erase(ready.begin());
        } else {
            // The rest hide each other in a ring: go on with the farthest box left.
            next = n;
            for (std::size_t i = 0; i < n; ++i)
                if (!done[i] && (next == n || depth[i] < depth[next])) next = i;
        }
        done[next] = true;
        order.push_back(next);
        for (std::size_t b : later[next]) {
            if (done[b]) continue;
            if (--waiting[b] == 0) ready.insert({depth[b], b});
        }
    }
    return order;
}

}  // namespace kavrit

namespace kavrit {

namespace {

using Poly = std::vector<Point2>;

Vec3 minus(const Vec3& a, const Vec3& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }

double cross2(const Point2& o, const Point2& a, const Point2& b) {
    return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x);
}

double signed_area(const Poly& p) {
    double a = 0;
    for (std::size_t i = 0; i < p.size(); ++i) {
        const Point2& u = p[i];
        const Point2& v = p[(i + 1) % p.size()];
        a += u.x * v.y - v.x * u.y;
    }
    return a / 2;
}

// A polygon of at most CAPACITY corners, kept in place.  Clipping a quad by
// the four edges of a quad at most doubles the corners per edge (each corner
// gives itself and one crossing): 4 * 2^4 = 64, however rounding falls.
struct SmallPoly {
    static constexpr std::size_t CAPACITY = 64;
    std::array<Point2, CAPACITY> at;
    std::size_t size = 0;
    void push(const Point2& p) {
        if (size < CAPACITY) at[size++] = p;
    }
};

// The part of convex `subject` (a quad) inside convex counter-clockwise
// `clip` (a quad).
SmallPoly clip_convex(const Poly& subject_quad, const Poly& clip) {
    SmallPoly subject;
    for (const Point2& p : subject_quad) subject.push(p);
    for (std::size_t e = 0; e < clip.size() && subject.size > 0; ++e) {
        const Point2& a = clip[e];
        const Point2& b = clip[(e + 1) % clip.size()];
        SmallPoly out;
        for (std::size_t i = 0; i < subject.size; ++i) {
            const Point2& p = subject.at[i];
            const Point2& q = subject.at[(i + 1) % subject.size];
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
        const Point2& u = p.at[i];
        const Point2& v = p.at[(i + 1) % p.size];
        a += u.x * v.y - v.x * u.y;
    }
    return a / 2;
}

// The grid of square cells over the picture through which the sides whose
// rectangles may overlap are found.  Each rectangle is listed in every cell
// it covers, unless it would cover more than MAX_CELLS: such a big rectangle
// is compared with every other.  The cell size is the median extent, so that
// with rectangles of alike sizes each lies in a few cells and meets only its
// neighbours.
struct PictureGrid {
    enum class Kind { cells, every_pair, no_pair };
    static constexpr double MAX_CELLS = 64;  // cells one rectangle may be listed in
    // At most 2^30 cells across, so that cell numbers fit the key.
    static constexpr double MAX_ACROSS = 1073741824.0;

    Kind kind = Kind::cells;
    double cell = 0, lo_x = 0, lo_y = 0;
    std::vector<bool> big;
    std::vector<std::size_t> bigs;

    explicit PictureGrid(const std::vector<std::array<double, 4>>& r) : big(r.size(), false) {
        const std::size_t n = r.size();
        if (n < 2) {
            kind = Kind::no_pair;
            return;
        }
        std::vector<double> extents;
        extents.reserve(n);
        lo_x = r[0][0], lo_y = r[0][2];
        double hi_x = r[0][1], hi_y = r[0][3];
        bool finite = true;
        for (const auto& b : r) {
            for (double v : b) finite = finite && std::isfinite(v);
            extents.push_back(std::max(b[1] - b[0], b[3] - b[2]));
            lo_x = std::min(lo_x, b[0]), hi_x = std::max(hi_x, b[1]);
            lo_y = std::min(lo_y, b[2]), hi_y = std::max(hi_y, b[3]);
        }
        if (!finite || !std::isfinite(hi_x - lo_x) || !std::isfinite(hi_y - lo_y)) {
            // No grid over a picture without finite bounds: every pair.
            kind = Kind::every_pair;
            return;
        }
        std::nth_element(extents.begin(), extents.begin() + static_cast<std::ptrdiff_t>(n / 2), extents.end());
        cell = extents[n / 2];
        if (!(cell > 0)) cell = *std::max_element(extents.begin(), extents.end());
        // Rectangles without area overlap nothing by more than a sliver.
        if (!(cell > 0)) {
            kind = Kind::no_pair;
            return;
        }
        cell = std::max({cell, (hi_x - lo_x) / MAX_ACROSS, (hi_y - lo_y) / MAX_ACROSS});
        for (std::size_t i = 0; i < n; ++i) {
            const double wx = (r[i][1] - r[i][0]) / cell + 1, wy = (r[i][3] - r[i][2]) / cell + 1;
            if (!(wx * wy <= MAX_CELLS)) {
                big[i] = true;
                bigs.push_back(i);
            }
        }
    }
    std::int64_t cell_x(double v) const { return static_cast<std::int64_t>(std::floor((v - lo_x) / cell)); }
    std::int64_t cell_y(double v) const { return static_cast<std::int64_t>(std::floor((v - lo_y) / cell)); }
    static std::uint64_t key(std::int64_t cx, std::int64_t cy) {
        return (static_cast<std::uint64_t>(cx) << 32) | static_cast<std::uint64_t>(cy);
    }
    // The cell's square, counter-clockwise.
    Poly square(std::int64_t cx, std::int64_t cy) const {
        const double x0 = lo_x + static_cast<double>(cx) * cell, y0 = lo_y + static_cast<double>(cy) * cell;
        return {{x0, y0}, {x0 + cell, y0}, {x0 + cell, y0 + cell}, {x0, y0 + cell}};
    }
    // Calls visit(cx, cy) for every cell rectangle r covers.
    template <typename Visit>
    void for_cells(const std::array<double, 4>& r, Visit visit) const {
        for (std::int64_t cx = cell_x(r[0]); cx <= cell_x(r[1]); ++cx)
            for (std::int64_t cy = cell_y(r[2]); cy <= cell_y(r[3]); ++cy) visit(cx, cy);
    }
};

// Sides of boxes turned alike share a group: the directions of a side's
// normal and of its two edges, each up to its sign, rounded to 1e-6 and
// taken in sorted order.  The groups only choose how pairs are found (see
// face_order); sides put apart by rounding are still compared.
std::vector<std::size_t> orientation_groups(const std::vector<Face3>& faces) {
    using Key = std::array<std::int64_t, 9>;
    std::map<Key, std::size_t> ids;
    std::vector<std::size_t> group(faces.size());
    for (std::size_t i = 0; i < faces.size(); ++i) {
        const Face3& f = faces[i];
        const std::array<Vec3, 3> directions = {f.normal, minus(f.corners[1], f.corners[0]),
                                                minus(f.corners[3], f.corners[0])};
        std::array<std::array<std::int64_t, 3>, 3> rounded{};
        bool usable = true;
        for (std::size_t d = 0; d < 3 && usable; ++d) {
            const double length = std::sqrt(dot(directions[d], directions[d]));
            usable = length > 0 && std::isfinite(length);
            if (!usable) break;
            int sign = 0;
            for (int c = 0; c < 3; ++c) {
                rounded[d][c] = std::llround(directions[d][c] / length * 1e6);
                if (sign == 0 && rounded[d][c] != 0) sign = rounded[d][c] > 0 ? 1 : -1;
            }
            for (int c = 0; c < 3; ++c) rounded[d][c] *= sign;
        }
        Key key{};  // all zero: the group of sides without usable directions
        if (usable) {
            std::sort(rounded.begin(), rounded.end());
            for (std::size_t d = 0; d < 3; ++d)
                for (std::size_t c = 0; c < 3; ++c) key[3 * d + c] = rounded[d][c];
        }
        group[i] = ids.emplace(key, ids.size()).first->second;
    }
    return group;
}

// The part of convex counter-clockwise `piece` on the left of the line from
// a to b (keep_left) or on its right.
Poly half_plane(const Poly& piece, const Point2& a, const Point2& b, bool keep_left) {
    Poly out;
    for (std::size_t i = 0; i < piece.size(); ++i) {
        const Point2& p = piece[i];
        const Point2& q = piece[(i + 1) % piece.size()];
        const double sp = keep_left ? cross2(a, b, p) : -cross2(a, b, p);
        const double sq = keep_left ? cross2(a, b, q) : -cross2(a, b, q);
        if (sp >= 0) out.push_back(p);
        if ((sp >= 0) != (sq >= 0)) {
            const double t = sp / (sp - sq);
            out.push_back({p.x + t * (q.x - p.x), p.y + t * (q.y - p.y)});
        }
    }
    return out;
}

// What is left of the convex pieces after taking away convex
// counter-clockwise `cover`, as convex pieces: for each edge of the cover,
// the part outside it and inside the edges before.  Pieces of no more than
// `sliver` area are dropped.
void take_away(std::vector<Poly>& pieces, const Poly& cover, double sliver) {
    std::vector<Poly> left;
    for (const Poly& piece : pieces) {
        Poly rest = piece;
        for (std::size_t e = 0; e < cover.size() && rest.size() >= 3; ++e) {
            const Point2& a = cover[e];
            const Point2& b = cover[(e + 1) % cover.size()];
            Poly outside = half_plane(rest, a, b, false);
            if (outside.size() >= 3 && signed_area(outside) > sliver) left.push_back(std::move(outside));
            rest = half_plane(rest, a, b, true);
            if (signed_area(rest) <= sliver) rest.clear();
        }
    }
    pieces = std::move(left);
}

}  // namespace

std::vector<std::size_t> face_order(const View& view, const std::vector<Face3>& faces) {
    return face_order(view, faces, 512);
}

std::vector<std::size_t> face_order(const View& view, const std::vector<Face3>& faces, double pairs_per_side) {
    const std::size_t n = faces.size();
    struct Flat {
        Poly poly;
        double min_x, max_x, min_y, max_y;
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
        g.min_x = g.max_x = g.poly[0].x;
        g.min_y = g.max_y = g.poly[0].y;
        for (const Point2& p : g.poly) {
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
        if (flat[a].min_x != flat[b].min_x) return flat[a].min_x < flat[b].min_x;
        return a < b;
    });
    std::vector<std::size_t> rank(n);
    for (std::size_t u = 0; u < n; ++u) rank[by_start[u]] = u;
    auto compare = [&](std::size_t i, std::size_t j) {
        int sign = 1;
        if (rank[j] < rank[i]) std::swap(i, j), sign = -1;
        if (flat[j].min_x >= flat[i].max_x - length_eps) return 0;
        if (flat[j].min_y >= flat[i].max_y - length_eps || flat[i].min_y >= flat[j].max_y - length_eps) return 0;
        const SmallPoly common = clip_convex(flat[i].poly, flat[j].poly);
        if (common.size < 3 || signed_area(common) <= area_eps) return 0;
        Point2 m{0, 0};
        const auto count = static_cast<double>(common.size);
        for (std::size_t k = 0; k < common.size; ++k) m.x += common.at[k].x / count, m.y += common.at[k].y / count;
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

    std::vector<std::array<double, 4>> rectangles(n);
    for (std::size_t i = 0; i < n; ++i) rectangles[i] = {flat[i].min_x, flat[i].max_x, flat[i].min_y, flat[i].max_y};
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
            const double ox = std::max(rectangles[i][0], rectangles[j][0]);
            const double oy = std::max(rectangles[i][2], rectangles[j][2]);
            if (ox > std::min(rectangles[i][1], rectangles[j][1]) || oy > std::min(rectangles[i][3], rectangles[j][3]))
                return false;
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
                            open.emplace_back(here.at.begin(),
                                              here.at.begin() + static_cast<std::ptrdiff_t>(here.size));
                        bool tracking = true;
                        std::array<double, 4> open_box = rectangles[g];
                        auto bound_open = [&] {
                            open_box = {open[0][0].x, open[0][0].x, open[0][0].y, open[0][0].y};
                            for (const Poly& piece : open)
                                for (const Point2& p : piece) {
                                    open_box[0] = std::min(open_box[0], p.x), open_box[1] = std::max(open_box[1], p.x);
                                    open_box[2] = std::min(open_box[2], p.y), open_box[3] = std::max(open_box[3], p.y);
                                }
                        };
                        if (!open.empty()) bound_open();
                        for (std::size_t k = list.size(); k-- > 0 && !open.empty();) {
                            const std::size_t e = list[k];
                            // A side that meets g only where the sides compared
                            // so far cover it lies behind g through them.
                            const auto& r = rectangles[e];
                            if (tracking && (r[0] >= open_box[1] - length_eps || open_box[0] >= r[1] - length_eps ||
                                             r[2] >= open_box[3] - length_eps || open_box[2] >= r[3] - length_eps))
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
