// A scan-beam sweep for rectilinear polygons that reproduces, result for
// result, the triangle strips and polygon contours of the classic clipper that
// this converter was designed against.
//
// How the result is decided
// -------------------------
// Every contour is cut into "bounds": maximal runs of upward vertical edges,
// found exactly as that clipper finds them (vertices in the middle of a
// horizontal run are dropped first; a bound starts at each local minimum, in
// the order: all forward minima of a contour, then all reverse minima;
// subject contours before clip contours). A vertex in the middle of a bound
// (a collinear vertex) makes the bound continue with a successor edge.
//
// The active edges are ordered by x; edges with equal x keep the order in
// which they became active, new ones after old ones. At each scan-beam
// boundary y, coincident edges at one x are "bundled" separately above and
// below y: the last edge of the group that exists above y carries the parity
// of all of them above, and the last one that existed below y carries it
// below. An edge that is bundled on one side only (it passes through y while a
// coincident edge starts or ends there) thus acts as if it ended or started at
// y. Walking those bundle heads from left to right gives, for each one, the
// result's inside/outside state in its four quadrants; everything below is
// decided from those quadrants alone.
//
// Triangle strips: every strip is a column [xl, xr] (a vertical stack of
// rectangles) bounded by two active edges. A strip carries on through y when
// both its sides are plain straight sides at y and nothing in between changes;
// it then gets an extra vertex pair at y only when one of its two side edges
// starts there (a collinear vertex). Otherwise the strip is closed at y and
// every column that begins at y opens a new strip. Strips are listed in the
// order they were opened.
//
// Polygons: each side carries a partial contour. Corners open, extend and
// join partial contours; the second of two corners at the same x and y along
// a horizontal run adds no vertex of its own. Contours are listed from the
// most recently opened, with their vertices in reverse of the order in which
// the partial list holds them.
//
// Cost: only the edges that start, end or pass a collinear vertex at y, the
// edges coincident with them, and the edges crossed by a horizontal input
// edge at y are visited; prefix parities come from a Fenwick tree. A sweep
// costs O((n + k) log n) for n edges and k crossings of horizontal by
// vertical edges.
#include "polygon/engine.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <utility>

namespace polyclip {
namespace {

constexpr int kSubject = 0;
constexpr int kClip = 1;

struct Edge {
    double x;     // x of the bottom vertex
    double xtop;  // x of the top vertex (equal, but for the sign of a zero)
    double ybot;
    double ytop;
    int type;
    int succ;  // next edge of the same bound, or -1
};

struct Bound {
    double y;
    double x;
    int first_edge;
};

// Set of integer keys in [0, n) with successor/predecessor queries.
class RankSet {
public:
    explicit RankSet(int n) : n_(n) {
        int size = std::max(n, 1);
        do {
            levels_.emplace_back((size + 63) / 64, 0);
            size = (size + 63) / 64;
        } while (size > 1);
    }
    void insert(int k) {
        for (auto& level : levels_) {
            level[k >> 6] |= uint64_t{1} << (k & 63);
            k >>= 6;
        }
    }
    void erase(int k) {
        for (auto& level : levels_) {
            level[k >> 6] &= ~(uint64_t{1} << (k & 63));
            if (level[k >> 6] != 0) return;
            k >>= 6;
        }
    }
    // Smallest key > k, or -1.
    int next(int k) const {
        if (k + 1 >= n_) return -1;
        return next_from(0, k + 1);
    }
    // Largest key <= k, or -1.
    int prev_or_equal(int k) const {
        if (k < 0) return -1;
        if (k >= n_) k = n_ - 1;
        return prev_from(0, k);
    }

private:
    int next_from(size_t level, int k) const {
        // smallest set key >= k at this level
        const auto& words = levels_[level];
        int w = k >> 6;
        if (w >= static_cast<int>(words.size())) return -1;
        uint64_t bits = words[w] & (~uint64_t{0} << (k & 63));
        if (bits != 0) return (w << 6) | __builtin_ctzll(bits);
        if (level + 1 == levels_.size()) return -1;
        const int up = next_from(level + 1, w + 1);
        if (up < 0) return -1;
        return (up << 6) | __builtin_ctzll(words[up]);
    }
    int prev_from(size_t level, int k) const {
        const auto& words = levels_[level];
        int w = k >> 6;
        uint64_t mask = (k & 63) == 63 ? ~uint64_t{0} : ((uint64_t{1} << ((k & 63) + 1)) - 1);
        uint64_t bits = words[w] & mask;
        if (bits != 0) return (w << 6) | (63 - __builtin_clzll(bits));
        if (level + 1 == levels_.size() || w == 0) return -1;
        const int up = prev_from(level + 1, w - 1);
        if (up < 0) return -1;
        return (up << 6) | (63 - __builtin_clzll(words[up]));
    }

    int n_;
    std::vector<std::vector<uint64_t>> levels_;
};

// Prefix XOR of two-bit values (bit 0: subject, bit 1: clip) over ranks.
class XorFenwick {
public:
    explicit XorFenwick(int n) : tree_(n + 1, 0) {}
    void toggle(int rank, uint8_t bits) {
        for (int i = rank + 1; i < static_cast<int>(tree_.size()); i += i & -i) tree_[i] ^= bits;
    }
    // XOR over ranks < rank.
    uint8_t prefix(int rank) const {
        uint8_t v = 0;
        for (int i = rank; i > 0; i -= i & -i) v ^= tree_[i];
        return v;
    }

private:
    std::vector<uint8_t> tree_;
};

struct Slot {
    int edge;
    int rank;
    uint32_t seq;
    uint8_t below;  // bundle parity carried below y (non-zero only on a bundle head)
    uint8_t above;  // bundle parity carried above y, computed at y
    bool ending;    // the edge ends at this y and has no successor
    int point;      // index into this y's point list, or -1
    int strip_left = -1;
    int strip_right = -1;
    int poly = -1;        // partial contour of the side below y
    int poly_above = -1;  // partial contour of the side above y, computed at y
    int next_at_rank = -1;  // next active slot of equal x, in activation order
    int prev_at_rank = -1;
};

struct SweepPoint {
    int slot;
    bool tl, tr, bl, br;
};

bool result_inside(Operation op, uint8_t parity) {
    const bool s = (parity & 1) != 0;
    const bool c = (parity & 2) != 0;
    switch (op) {
        case Operation::Difference: return s && !c;
        case Operation::Intersection: return s && c;
        case Operation::ExclusiveOr: return s != c;
        case Operation::Union: return s || c;
    }
    return false;
}

struct ContourInfo {
    double xmin, xmax, ymin, ymax;
    int zero_sign;  // sign of the first kept vertex with y == 0: 1 for +0, -1 for -0, 0 for none
};

// The edges and bounds of both operands, ready to sweep.
struct SweepInput {
    std::vector<Edge> edges;
    std::vector<Bound> bounds;  // in bound-list order within each y after a stable sort
    std::vector<ContourInfo> contours[2];
    bool positive_zero_y = false;
    bool negative_zero_y = false;
};

// Access to an operand's contours, either our own containers or the C structs.
struct ContoursAccess {
    const Contours& c;
    int count() const { return static_cast<int>(c.size()); }
    int size(int i) const { return static_cast<int>(c[i].size()); }
    Point at(int i, int k) const { return c[i][k]; }
};
struct GpcAccess {
    const gpc_polygon& p;
    int count() const { return p.num_contours > 0 ? p.num_contours : 0; }
    int size(int i) const { return p.contour[i].num_vertices > 0 ? p.contour[i].num_vertices : 0; }
    Point at(int i, int k) const { return {p.contour[i].vertex[k].x, p.contour[i].vertex[k].y}; }
};

template <typename Access>
void add_operand(const Access& operand, int type, SweepInput& in) {
    std::vector<Point> v;
    std::vector<Point> contour;
    for (int ci = 0; ci < operand.count(); ++ci) {
        const int n0 = operand.size(ci);
        contour.resize(n0);
        for (int k = 0; k < n0; ++k) contour[k] = operand.at(ci, k);
        ContourInfo info{0, 0, 0, 0, 0};
        v.clear();
        for (int i = 0; i < n0; ++i) {
            const Point& p = contour[i];
            if (i == 0) info = {p.x, p.x, p.y, p.y, 0};
            info.xmin = std::min(info.xmin, p.x);
            info.xmax = std::max(info.xmax, p.x);
            info.ymin = std::min(info.ymin, p.y);
            info.ymax = std::max(info.ymax, p.y);
            const double py = contour[(i - 1 + n0) % n0].y;
            const double ny = contour[(i + 1) % n0].y;
            if (py != p.y || ny != p.y) {
                v.push_back(p);
                if (p.y == 0) {
                    const int sign = std::signbit(p.y) ? -1 : 1;
                    if (info.zero_sign == 0) info.zero_sign = sign;
                    (sign > 0 ? in.positive_zero_y : in.negative_zero_y) = true;
                }
            }
        }
        in.contours[type].push_back(info);
        const int n = static_cast<int>(v.size());
        if (n == 0) continue;
        auto prev = [n](int i) { return (i - 1 + n) % n; };
        auto next = [n](int i) { return (i + 1) % n; };
        auto add_chain = [&](int from, auto step, auto continues) {
            int first = -1;
            int last = -1;
            int a = from;
            while (true) {
                const int b = step(a);
                Edge e{v[a].x, v[b].x, v[a].y, v[b].y, type, -1};
                const int id = static_cast<int>(in.edges.size());
                in.edges.push_back(e);
                if (last >= 0) in.edges[last].succ = id;
                if (first < 0) first = id;
                last = id;
                a = b;
                if (!continues(a)) break;
            }
            in.bounds.push_back({v[from].y, v[from].x, first});
        };
        for (int m = 0; m < n; ++m) {
            if (v[prev(m)].y >= v[m].y && v[next(m)].y > v[m].y)
                add_chain(m, next, [&](int j) { return v[next(j)].y > v[j].y; });
        }
        for (int m = 0; m < n; ++m) {
            if (v[prev(m)].y > v[m].y && v[next(m)].y >= v[m].y)
                add_chain(m, prev, [&](int j) { return v[prev(j)].y > v[j].y; });
        }
    }
}

// A key that orders like the double it comes from, with -0 equal to +0.
uint64_t order_key(double v) {
    if (v == 0) v = 0.0;
    uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    return (bits >> 63) != 0 ? ~bits : (bits | (uint64_t{1} << 63));
}

// Sorts `order` (indices into `keys`) by key, keeping the order of equal keys.
void stable_sort_by_key(std::vector<int>& order, const std::vector<uint64_t>& keys) {
    if (order.size() < 4096) {
        std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return keys[a] < keys[b]; });
        return;
    }
    std::vector<int> scratch(order.size());
    std::vector<int> count(1 << 16);
    for (int shift = 0; shift < 64; shift += 16) {
        std::fill(count.begin(), count.end(), 0);
        for (int i : order) ++count[(keys[i] >> shift) & 0xffff];
        if (count[(keys[order[0]] >> shift) & 0xffff] == static_cast<int>(order.size())) continue;  // one digit only
        int sum = 0;
        for (int& c : count) {
            const int here = c;
            c = sum;
            sum += here;
        }
        for (int i : order) scratch[count[(keys[i] >> shift) & 0xffff]++] = i;
        order.swap(scratch);
    }
}

bool boxes_touch(const ContourInfo& a, const ContourInfo& b) {
    return !(a.xmax < b.xmin || a.xmin > b.xmax) && !(a.ymax < b.ymin || a.ymin > b.ymax);
}

// The scan-beam boundary at height zero takes its sign from the first vertex
// at that height, in contour order, among the contours that can contribute:
// for an intersection or a difference, contours whose bounding box touches no
// bounding box of the other operand are left out of the sweep altogether.
// (Leaving them out changes nothing else: such a contour is nowhere near the
// result.) Only -0 and +0 can tell equal heights apart, so the test runs only
// when both occur.
double canonical_zero_y(Operation op, const SweepInput& in) {
    if (!(in.positive_zero_y && in.negative_zero_y)) return in.negative_zero_y ? -0.0 : 0.0;
    const bool filtered = (op == Operation::Intersection || op == Operation::Difference) &&
                          !in.contours[kSubject].empty() && !in.contours[kClip].empty();
    for (int type : {kSubject, kClip}) {
        for (const ContourInfo& c : in.contours[type]) {
            if (c.zero_sign == 0) continue;
            bool included = true;
            if (filtered && (type == kClip || op == Operation::Intersection)) {
                included = false;
                for (const ContourInfo& other : in.contours[1 - type]) {
                    if (boxes_touch(c, other)) {
                        included = true;
                        break;
                    }
                }
            }
            if (included) return c.zero_sign < 0 ? -0.0 : 0.0;
        }
    }
    return 0.0;
}

// Walks the scan-beam boundaries and hands each one's points to `mode`.
template <typename Mode, typename Access>
void sweep(Operation op, const Access& subject, const Access& clip, Mode& mode) {
    SweepInput in;
    {
        size_t vertices = 0;
        for (int c = 0; c < subject.count(); ++c) vertices += subject.size(c);
        for (int c = 0; c < clip.count(); ++c) vertices += clip.size(c);
        in.edges.reserve(vertices / 2 + 1);  // about one upward edge per two vertices
        in.bounds.reserve(vertices / 2 + 1);
        in.contours[kSubject].reserve(subject.count());
        in.contours[kClip].reserve(clip.count());
    }
    add_operand(subject, kSubject, in);
    add_operand(clip, kClip, in);
    const int edge_count = static_cast<int>(in.edges.size());
    if (edge_count == 0) return;

    const double zero_y = canonical_zero_y(op, in);
    bool inside[4];
    for (uint8_t parity = 0; parity < 4; ++parity) inside[parity] = result_inside(op, parity);

    // Distinct x values (ranks), bounds in the order of the clipper's local
    // minimum table (by y, then x, then the order they were found in), and
    // edge tops by height (ties in edge order).
    std::vector<uint64_t> x_keys(edge_count), top_keys(edge_count);
    std::vector<int> by_x(edge_count), by_top(edge_count);
    for (int i = 0; i < edge_count; ++i) {
        x_keys[i] = order_key(in.edges[i].x);
        top_keys[i] = order_key(in.edges[i].ytop);
        by_x[i] = by_top[i] = i;
    }
    stable_sort_by_key(by_x, x_keys);
    stable_sort_by_key(by_top, top_keys);
    std::vector<double> xs;
    std::vector<int> edge_rank(edge_count);
    xs.reserve(edge_count);
    for (int k = 0; k < edge_count; ++k) {
        const int e = by_x[k];
        if (k == 0 || x_keys[e] != x_keys[by_x[k - 1]]) xs.push_back(in.edges[e].x);
        edge_rank[e] = static_cast<int>(xs.size()) - 1;
    }
    const int rank_count = static_cast<int>(xs.size());
    {
        const int bound_count = static_cast<int>(in.bounds.size());
        std::vector<uint64_t> bx(bound_count), by(bound_count);
        std::vector<int> order(bound_count);
        for (int i = 0; i < bound_count; ++i) {
            bx[i] = order_key(in.bounds[i].x);
            by[i] = order_key(in.bounds[i].y);
            order[i] = i;
        }
        stable_sort_by_key(order, bx);
        stable_sort_by_key(order, by);
        std::vector<Bound> sorted(bound_count);
        for (int i = 0; i < bound_count; ++i) sorted[i] = in.bounds[order[i]];
        in.bounds = std::move(sorted);
    }

    std::vector<Slot> slots;
    slots.reserve(in.bounds.size());
    std::vector<int> edge_slot(edge_count, -1);
    // Active slots of each x, in activation order, as intrusive lists.
    std::vector<int> rank_first(rank_count, -1), rank_last(rank_count, -1);
    RankSet occupied(rank_count);
    XorFenwick below_parity(rank_count);
    uint32_t next_seq = 0;

    mode.begin(in.edges, slots, xs);

    std::vector<int> events;       // slots touched by an event at this y
    std::vector<int> event_ranks;  // their ranks, sorted and unique
    std::vector<SweepPoint> points;
    std::vector<int> processed_ranks;
    std::vector<uint8_t> start_bits(rank_count, 0), end_bits(rank_count, 0);

    size_t top_i = 0;
    size_t bound_i = 0;
    while (top_i < by_top.size() || bound_i < in.bounds.size()) {
        double y = std::numeric_limits<double>::infinity();
        if (top_i < by_top.size()) y = in.edges[by_top[top_i]].ytop;
        if (bound_i < in.bounds.size()) y = std::min(y, in.bounds[bound_i].y);
        if (y == 0) y = zero_y;

        events.clear();
        // Edges that end here: a successor takes over the slot, else the slot ends.
        for (; top_i < by_top.size() && in.edges[by_top[top_i]].ytop == y; ++top_i) {
            const int e = by_top[top_i];
            const int s = edge_slot[e];
            if (s < 0) continue;
            const int succ = in.edges[e].succ;
            if (succ >= 0) {
                slots[s].edge = succ;
                edge_slot[succ] = s;
            } else {
                slots[s].ending = true;
                end_bits[slots[s].rank] ^= static_cast<uint8_t>(1u << in.edges[e].type);
            }
            events.push_back(s);
        }
        // Bounds that start here join after every active edge of equal x.
        for (; bound_i < in.bounds.size() && in.bounds[bound_i].y == y; ++bound_i) {
            const Bound& b = in.bounds[bound_i];
            Slot slot{};
            slot.edge = b.first_edge;
            slot.rank = edge_rank[b.first_edge];
            slot.seq = next_seq++;
            slot.below = 0;
            slot.above = 0;
            slot.ending = false;
            slot.point = -1;
            const int s = static_cast<int>(slots.size());
            slots.push_back(slot);
            edge_slot[b.first_edge] = s;
            if (rank_last[slot.rank] < 0) {
                rank_first[slot.rank] = s;
                occupied.insert(slot.rank);
            } else {
                slots[rank_last[slot.rank]].next_at_rank = s;
                slots[s].prev_at_rank = rank_last[slot.rank];
            }
            rank_last[slot.rank] = s;
            start_bits[slot.rank] ^= static_cast<uint8_t>(1u << in.edges[b.first_edge].type);
            events.push_back(s);
        }
        event_ranks.clear();
        for (int s : events) event_ranks.push_back(slots[s].rank);
        std::sort(event_ranks.begin(), event_ranks.end());
        event_ranks.erase(std::unique(event_ranks.begin(), event_ranks.end()), event_ranks.end());

        points.clear();
        processed_ranks.clear();
        auto process_rank = [&](int r, uint8_t horizontal) {
            processed_ranks.push_back(r);
            uint8_t below_state = below_parity.prefix(r);
            uint8_t above_state = below_state ^ horizontal;
            int head = -1;
            uint8_t above_flags = 0;
            for (int s = rank_first[r]; s >= 0; s = slots[s].next_at_rank) {
                if (in.edges[slots[s].edge].ytop > y) {
                    head = s;
                    above_flags ^= static_cast<uint8_t>(1u << in.edges[slots[s].edge].type);
                }
            }
            for (int s = rank_first[r]; s >= 0; s = slots[s].next_at_rank) {
                Slot& slot = slots[s];
                slot.above = (s == head) ? above_flags : 0;
                if ((slot.above | slot.below) == 0) continue;
                SweepPoint p{s, false, false, false, false};
                p.tl = inside[above_state];
                p.bl = inside[below_state];
                above_state ^= slot.above;
                below_state ^= slot.below;
                p.tr = inside[above_state];
                p.br = inside[below_state];
                slot.point = static_cast<int>(points.size());
                points.push_back(p);
            }
        };
        uint8_t horizontal = 0;
        int previous = -1;
        for (int r : event_ranks) {
            if (horizontal != 0) {
                // A horizontal input edge runs along y here: every edge it crosses matters.
                for (int g = occupied.next(previous); g >= 0 && g < r; g = occupied.next(g)) process_rank(g, horizontal);
            }
            process_rank(r, horizontal);
            horizontal ^= start_bits[r] ^ end_bits[r];
            previous = r;
        }

        mode.boundary(y, points);

        // Carry the bundles up, drop the edges that ended, update the parity tree.
        for (int r : processed_ranks) {
            for (int s = rank_first[r]; s >= 0;) {
                Slot& slot = slots[s];
                const int next = slot.next_at_rank;
                slot.below = slot.above;
                mode.carry(slot);
                slot.point = -1;
                if (slot.ending) {
                    (slot.prev_at_rank >= 0 ? slots[slot.prev_at_rank].next_at_rank : rank_first[r]) = next;
                    (next >= 0 ? slots[next].prev_at_rank : rank_last[r]) = slot.prev_at_rank;
                }
                s = next;
            }
            if (start_bits[r] | end_bits[r]) below_parity.toggle(r, start_bits[r] ^ end_bits[r]);
            start_bits[r] = 0;
            end_bits[r] = 0;
            if (rank_first[r] < 0) occupied.erase(r);
        }
    }
}

// The x an edge reports at y: its bottom vertex's x where it starts, its top
// vertex's x where it ends, and in between the bottom x plus its zero slope
// times the height, which turns -0 into +0.
double edge_x_at(const Edge& e, double y) {
    if (e.ybot == y) return e.x;
    if (e.ytop == y) return e.xtop;
    return e.x + 0.0;
}

bool quadrants(const SweepPoint& p, bool bl, bool br, bool tl, bool tr) {
    return p.bl == bl && p.br == br && p.tl == tl && p.tr == tr;
}

// ---------------------------------------------------------------------------
// Triangle strips

class StripMode {
public:
    void begin(const std::vector<Edge>& edges, std::vector<Slot>& slots, const std::vector<double>& xs) {
        edges_ = &edges;
        slots_ = &slots;
        xs_ = &xs;
        by_left_.assign(xs.size(), -1);
        lefts_ = std::make_unique<RankSet>(static_cast<int>(xs.size()));
    }

    void carry(Slot&) {}

    void boundary(double y, const std::vector<SweepPoint>& points) {
        touched_.clear();
        for (const SweepPoint& p : points) {
            const Slot& slot = (*slots_)[p.slot];
            if (slot.strip_left >= 0) touch(slot.strip_left);
            if (slot.strip_right >= 0) touch(slot.strip_right);
            const int left_rank = lefts_->prev_or_equal(slot.rank);
            if (left_rank >= 0) {
                const int s = by_left_[left_rank];
                if ((*slots_)[strips_[s].right].rank >= slot.rank) touch(s);
            }
        }

        markers_.clear();
        for (const SweepPoint& p : points)
            if (p.tl != p.tr) markers_.push_back({p.slot, !p.tl});
        for (int id : touched_) {
            StripState& st = strips_[id];
            const bool carry_on = continues(st, points);
            const double xl = x_of(st.left, y);
            const double xr = x_of(st.right, y);
            if (carry_on) {
                if (edge_of(st.left).ybot == y || edge_of(st.right).ybot == y) add_pair(st, xl, xr, y);
            } else {
                add_pair(st, xl, xr, y);
                close(id);
            }
            // Unvisited sides pass straight through y and bound a column above.
            if ((*slots_)[st.left].point < 0) markers_.push_back({st.left, true});
            if ((*slots_)[st.right].point < 0) markers_.push_back({st.right, false});
        }
        std::sort(markers_.begin(), markers_.end(),
                  [&](const std::pair<int, bool>& a, const std::pair<int, bool>& b) { return key_less(a.first, b.first); });

        int open = -1;
        for (const auto& [s, opens] : markers_) {
            if (opens) {
                open = s;
                continue;
            }
            if (open < 0) continue;  // cannot happen for a consistent sweep
            const Slot& ls = (*slots_)[open];
            if (!(ls.strip_left >= 0 && strips_[ls.strip_left].alive && strips_[ls.strip_left].right == s)) {
                const int id = static_cast<int>(strips_.size());
                StripState st;
                st.left = open;
                st.right = s;
                add_pair(st, x_of(open, y), x_of(s, y), y);
                strips_.push_back(st);
                (*slots_)[open].strip_left = id;
                (*slots_)[s].strip_right = id;
                by_left_[(*slots_)[open].rank] = id;
                lefts_->insert((*slots_)[open].rank);
            }
            open = -1;
        }
        for (int id : touched_) strips_[id].touched = false;
    }

    // Hands the strips over in the C layout, one array per strip.
    void take_into(gpc_tristrip* out) {
        int count = 0;
        for (const StripState& st : strips_) count += st.pairs > 1;
        out->num_strips = count;
        out->strip = count > 0 ? new gpc_vertex_list[count] : nullptr;
        int k = 0;
        for (const StripState& st : strips_) {
            if (st.pairs <= 1) continue;
            gpc_vertex_list& list = out->strip[k++];
            list.num_vertices = 2 * st.pairs;
            list.vertex = new gpc_vertex[list.num_vertices];
            int v = 0;
            for (int p = st.first_pair; p >= 0; p = pairs_[p].next) {
                list.vertex[v++] = {pairs_[p].xl, pairs_[p].y};
                list.vertex[v++] = {pairs_[p].xr, pairs_[p].y};
            }
        }
    }

    Strips take() {
        Strips out;
        for (const StripState& st : strips_) {
            if (2 * st.pairs <= 2) continue;
            std::vector<Point> v;
            v.reserve(2 * st.pairs);
            for (int p = st.first_pair; p >= 0; p = pairs_[p].next) {
                v.push_back({pairs_[p].xl, pairs_[p].y});
                v.push_back({pairs_[p].xr, pairs_[p].y});
            }
            out.push_back(std::move(v));
        }
        return out;
    }

private:
    struct StripState {
        int left = -1;
        int right = -1;
        bool alive = true;
        bool touched = false;
        int first_pair = -1;  // the strip's vertex pairs, bottom up, as a list in pairs_
        int last_pair = -1;
        int pairs = 0;
    };
    struct Pair {
        double xl, xr, y;
        int next;
    };

    void add_pair(StripState& st, double xl, double xr, double y) {
        const int p = static_cast<int>(pairs_.size());
        pairs_.push_back({xl, xr, y, -1});
        if (st.last_pair >= 0)
            pairs_[st.last_pair].next = p;
        else
            st.first_pair = p;
        st.last_pair = p;
        ++st.pairs;
    }

    void touch(int id) {
        if (!strips_[id].alive || strips_[id].touched) return;
        strips_[id].touched = true;
        touched_.push_back(id);
    }
    double x_of(int s, double y) const { return edge_x_at(edge_of(s), y); }
    const Edge& edge_of(int s) const { return (*edges_)[(*slots_)[s].edge]; }
    bool key_less(int a, int b) const {
        const Slot& sa = (*slots_)[a];
        const Slot& sb = (*slots_)[b];
        if (sa.rank != sb.rank) return sa.rank < sb.rank;
        return sa.seq < sb.seq;
    }
    bool continues(const StripState& st, const std::vector<SweepPoint>& points) const {
        const Slot& l = (*slots_)[st.left];
        const Slot& r = (*slots_)[st.right];
        if (l.point >= 0 && !quadrants(points[l.point], false, true, false, true)) return false;
        if (r.point >= 0 && !quadrants(points[r.point], true, false, true, false)) return false;
        // Nothing may change strictly between the two sides.
        auto after_left = std::upper_bound(points.begin(), points.end(), st.left, [&](int s, const SweepPoint& p) {
            return key_less(s, p.slot);
        });
        for (auto it = after_left; it != points.end() && key_less(it->slot, st.right); ++it) {
            if (!(it->tl == it->tr && it->tr == it->bl && it->bl == it->br)) return false;
        }
        return true;
    }
    void close(int id) {
        StripState& st = strips_[id];
        st.alive = false;
        Slot& l = (*slots_)[st.left];
        Slot& r = (*slots_)[st.right];
        if (l.strip_left == id) l.strip_left = -1;
        if (r.strip_right == id) r.strip_right = -1;
        if (by_left_[l.rank] == id) {
            by_left_[l.rank] = -1;
            lefts_->erase(l.rank);
        }
    }

    const std::vector<Edge>* edges_ = nullptr;
    std::vector<Slot>* slots_ = nullptr;
    const std::vector<double>* xs_ = nullptr;
    std::vector<StripState> strips_;
    std::vector<Pair> pairs_;
    std::vector<int> by_left_;
    std::unique_ptr<RankSet> lefts_;
    std::vector<int> touched_;
    std::vector<std::pair<int, bool>> markers_;  // side slot, and whether a region opens to its right
};

// ---------------------------------------------------------------------------
// Polygon contours

class PolygonMode {
public:
    void begin(const std::vector<Edge>& edges, std::vector<Slot>& slots, const std::vector<double>& xs) {
        edges_ = &edges;
        slots_ = &slots;
        xs_ = &xs;
    }

    void carry(Slot& slot) { slot.poly = slot.point >= 0 ? slot.poly_above : -1; }

    void boundary(double y, const std::vector<SweepPoint>& points) {
        int cf = -1;
        double px = -std::numeric_limits<double>::infinity();
        bool have_px = false;
        auto differs = [&](double x) { return !have_px || x != px; };
        for (const SweepPoint& p : points) {
            Slot& slot = (*slots_)[p.slot];
            const double x = edge_x_at((*edges_)[slot.edge], y);
            const int below = slot.poly;
            slot.poly_above = -1;
            auto set_px = [&] {
                px = x;
                have_px = true;
            };
            if (quadrants(p, false, true, false, true) || quadrants(p, true, false, true, false)) {
                // Straight side: a collinear vertex of the input stays a vertex.
                if ((*edges_)[slot.edge].ybot == y) {
                    if (p.br)
                        add_left(below, x, y);
                    else
                        add_right(below, x, y);
                }
                slot.poly_above = below;
                set_px();
            } else if (quadrants(p, false, false, false, true) || quadrants(p, true, true, true, false)) {
                // Bottom-left corner of a region or of a hole: a new partial contour.
                cf = new_poly(x, y);
                slot.poly_above = cf;
                set_px();
            } else if (quadrants(p, false, true, false, false)) {
                // Left side ends, boundary turns right along the top.
                add_left(below, x, y);
                cf = below;
                set_px();
            } else if (quadrants(p, true, false, true, true)) {
                // Right side ends, boundary steps out to the right.
                add_right(below, x, y);
                cf = below;
                set_px();
            } else if (quadrants(p, false, false, true, false)) {
                // Right side starts, coming from the left.
                if (differs(x)) {
                    add_right(cf, x, y);
                    set_px();
                }
                slot.poly_above = cf;
                cf = -1;
            } else if (quadrants(p, true, true, false, true)) {
                // Left side starts, coming from the left (the floor of a step or hole).
                if (differs(x)) {
                    add_left(cf, x, y);
                    set_px();
                }
                slot.poly_above = cf;
                cf = -1;
            } else if (quadrants(p, true, false, false, false)) {
                // Top-right corner: the run from the left closes onto this side.
                if (differs(x)) {
                    add_left(cf, x, y);
                    set_px();
                }
                merge_right(cf, below);
                cf = -1;
            } else if (quadrants(p, false, true, true, true)) {
                // Top of a hole, closing onto this side.
                if (differs(x)) {
                    add_right(cf, x, y);
                    set_px();
                }
                merge_left(cf, below);
                cf = -1;
            } else if (quadrants(p, true, false, false, true)) {
                // Regions meeting at a corner: close from the left, then open anew.
                if (differs(x)) {
                    add_left(cf, x, y);
                    set_px();
                }
                merge_right(cf, below);
                cf = new_poly(x, y);
                slot.poly_above = cf;
            } else if (quadrants(p, false, true, true, false)) {
                if (differs(x)) {
                    add_right(cf, x, y);
                    set_px();
                }
                merge_left(cf, below);
                cf = new_poly(x, y);
                slot.poly_above = cf;
            }
        }
    }

    PolygonResult take() {
        PolygonResult out;
        for (int n = static_cast<int>(nodes_.size()) - 1; n >= 0; --n) {
            if (nodes_[n].parent != n) continue;
            std::vector<Point> list;
            for (int v = nodes_[n].head; v >= 0; v = vertices_[v].next) list.push_back(vertices_[v].p);
            if (list.size() <= 2) continue;
            std::reverse(list.begin(), list.end());
            out.contours.push_back(std::move(list));
            out.holes.push_back(nodes_[n].hole);
        }
        return out;
    }

private:
    struct Node {
        int parent;
        bool hole;
        int head;
        int tail;
    };
    struct Vertex {
        Point p;
        int next;
    };

    int find(int n) {
        int root = n;
        while (nodes_[root].parent != root) root = nodes_[root].parent;
        while (nodes_[n].parent != root) {
            const int up = nodes_[n].parent;
            nodes_[n].parent = root;
            n = up;
        }
        return root;
    }
    int new_vertex(double x, double y) {
        vertices_.push_back({{x, y}, -1});
        return static_cast<int>(vertices_.size()) - 1;
    }
    int new_poly(double x, double y) {
        const int v = new_vertex(x, y);
        const int id = static_cast<int>(nodes_.size());
        nodes_.push_back({id, false, v, v});
        return id;
    }
    void add_left(int n, double x, double y) {
        if (n < 0) return;
        const int r = find(n);
        const int v = new_vertex(x, y);
        vertices_[v].next = nodes_[r].head;
        nodes_[r].head = v;
    }
    void add_right(int n, double x, double y) {
        if (n < 0) return;
        const int r = find(n);
        const int v = new_vertex(x, y);
        vertices_[nodes_[r].tail].next = v;
        nodes_[r].tail = v;
    }
    // q's contour takes p's vertices in front of its own and counts as a hole.
    void merge_left(int p, int q) {
        if (p < 0 || q < 0) return;
        const int qr = find(q);
        nodes_[qr].hole = true;
        const int pr = find(p);
        if (pr == qr) return;
        vertices_[nodes_[pr].tail].next = nodes_[qr].head;
        nodes_[qr].head = nodes_[pr].head;
        nodes_[pr].parent = qr;
    }
    // q's contour takes p's vertices behind its own and counts as an outer contour.
    void merge_right(int p, int q) {
        if (p < 0 || q < 0) return;
        const int qr = find(q);
        nodes_[qr].hole = false;
        const int pr = find(p);
        if (pr == qr) return;
        vertices_[nodes_[qr].tail].next = nodes_[pr].head;
        nodes_[qr].tail = nodes_[pr].tail;
        nodes_[pr].parent = qr;
    }

    const std::vector<Edge>* edges_ = nullptr;
    std::vector<Slot>* slots_ = nullptr;
    const std::vector<double>* xs_ = nullptr;
    std::vector<Node> nodes_;
    std::vector<Vertex> vertices_;
};

bool trivially_empty(Operation op, bool no_subject, bool no_clip) {
    return (no_subject && no_clip) ||
           (no_subject && (op == Operation::Intersection || op == Operation::Difference)) ||
           (no_clip && op == Operation::Intersection);
}

}  // namespace

Strips clip_to_strips(Operation op, const Contours& subject, const Contours& clip) {
    if (trivially_empty(op, subject.empty(), clip.empty())) return {};
    StripMode mode;
    sweep(op, ContoursAccess{subject}, ContoursAccess{clip}, mode);
    return mode.take();
}

void clip_to_tristrip(Operation op, const gpc_polygon& subject, const gpc_polygon& clip, gpc_tristrip* result) {
    result->num_strips = 0;
    result->strip = nullptr;
    if (trivially_empty(op, subject.num_contours <= 0, clip.num_contours <= 0)) return;
    StripMode mode;
    sweep(op, GpcAccess{subject}, GpcAccess{clip}, mode);
    mode.take_into(result);
}

PolygonResult clip_to_polygon(Operation op, const Contours& subject, const Contours& clip) {
    if (trivially_empty(op, subject.empty(), clip.empty())) return {};
    PolygonMode mode;
    sweep(op, ContoursAccess{subject}, ContoursAccess{clip}, mode);
    return mode.take();
}

PolygonResult clip_to_polygon(Operation op, const gpc_polygon& subject, const gpc_polygon& clip) {
    if (trivially_empty(op, subject.num_contours <= 0, clip.num_contours <= 0)) return {};
    PolygonMode mode;
    sweep(op, GpcAccess{subject}, GpcAccess{clip}, mode);
    return mode.take();
}

}  // namespace polyclip
