#include "polygon/sweep.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

// The phases of one boundary are functions to read, and one loop to run.
#define PHASE [[gnu::always_inline]] inline

namespace polygon {
namespace {

constexpr int kSubject = 0;
constexpr int kClip = 1;

// Sizes from which a run's buffers are released after it (see Sweep::large).
constexpr size_t kLargeEdges = size_t{1} << 16;

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

template <class T>
void release(std::vector<T>& v) {
    std::vector<T>().swap(v);
}

}  // namespace

bool Sweep::large() const { return edges_.capacity() >= kLargeEdges; }

void Sweep::add_operand(const ContourSource& operand, int type) {
    std::vector<PointD>& v = kept_;
    std::vector<PointD>& contour = contour_;
    for (int ci = 0; ci < operand.count(); ++ci) {
        operand.contour(ci, contour);
        const int n0 = static_cast<int>(contour.size());
        v.clear();
        // Vertices in the middle of a horizontal run are dropped.
        double py = n0 > 0 ? contour[n0 - 1].y : 0;
        for (int i = 0; i < n0; ++i) {
            const PointD& p = contour[i];
            const PointD& next = contour[i + 1 < n0 ? i + 1 : 0];
            if (!std::isfinite(p.x) || !std::isfinite(p.y) || (p.x != next.x && p.y != next.y)) rectilinear_ = false;
            const double ny = next.y;
            if (py != p.y || ny != p.y) {
                v.push_back(p);
                if (p.y == 0) (std::signbit(p.y) ? negative_zero_y_ : positive_zero_y_) = true;
            }
            py = p.y;
        }
        const int n = static_cast<int>(v.size());
        if (n == 0) continue;
        auto prev = [n](int i) { return i == 0 ? n - 1 : i - 1; };
        auto next = [n](int i) { return i + 1 == n ? 0 : i + 1; };
        auto add_chain = [&](int from, auto step, auto continues) {
            int first = -1;
            int last = -1;
            int a = from;
            while (true) {
                const int b = step(a);
                // Edges go up, so a rectilinear edge is vertical.
                Edge e{v[a].x, v[a].y, v[b].y, -1, std::signbit(v[a].x) != std::signbit(v[b].x)};
                const int id = static_cast<int>(edges_.size());
                edges_.push_back(e);
                if (last >= 0) edges_[last].succ = id;
                if (first < 0) first = id;
                last = id;
                a = b;
                if (!continues(a)) break;
            }
            bounds_.push_back({v[from].y, first, 0, static_cast<uint32_t>(type)});
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

// A contour's bounding box and the sign of its first kept vertex at height
// zero (kept as add_operand keeps vertices).
Sweep::ContourInfo Sweep::contour_info(const ContourSource& operand, int i) {
    std::vector<PointD>& contour = contour_;
    operand.contour(i, contour);
    const int n0 = static_cast<int>(contour.size());
    ContourInfo info;
    if (n0 > 0) info.box = common::bounds_of(contour.data(), static_cast<size_t>(n0));
    double py = n0 > 0 ? contour[n0 - 1].y : 0;
    for (int k = 0; k < n0; ++k) {
        const PointD& p = contour[k];
        const double ny = contour[k + 1 < n0 ? k + 1 : 0].y;
        if ((py != p.y || ny != p.y) && p.y == 0 && info.zero_sign == 0) info.zero_sign = std::signbit(p.y) ? -1 : 1;
        py = p.y;
    }
    return info;
}

// The scan-beam boundary at height zero takes its sign from the first vertex
// at that height, in contour order, among the contours that can contribute:
// for an intersection or a difference, contours whose bounding box touches no
// bounding box of the other operand are left out of the sweep altogether.
// (Leaving them out changes nothing else: such a contour is nowhere near the
// result.) Only -0 and +0 can tell equal heights apart, so the test runs only
// when both occur. Boxes touch when their closed rectangles share a point
// (common::touch); every value is finite here, since a run with a value that
// is not ends before this.
double Sweep::canonical_zero_y(Operation op, const ContourSource& subject, const ContourSource& clip) {
    if (!(positive_zero_y_ && negative_zero_y_)) return negative_zero_y_ ? -0.0 : 0.0;
    // Rare: the contours are read again for their boxes.
    std::vector<ContourInfo> infos[2];
    const ContourSource* operands[2] = {&subject, &clip};
    for (int type : {kSubject, kClip}) {
        infos[type].reserve(operands[type]->count());
        for (int i = 0; i < operands[type]->count(); ++i) infos[type].push_back(contour_info(*operands[type], i));
    }
    const bool filtered = (op == Operation::Intersection || op == Operation::Difference) && !infos[kSubject].empty() &&
                          !infos[kClip].empty();
    for (int type : {kSubject, kClip}) {
        for (const ContourInfo& c : infos[type]) {
            if (c.zero_sign == 0) continue;
            bool included = true;
            if (filtered && (type == kClip || op == Operation::Intersection)) {
                included = false;
                for (const ContourInfo& other : infos[1 - type]) {
                    if (common::touch(c.box, other.box)) {
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

// Sorts event_ranks_ and drops repeated ranks.
void Sweep::sort_event_ranks() {
    std::vector<int>& ranks = event_ranks_;
    if (ranks.size() <= 16) {
        // Usually a handful: insertion beats the general sort's setup.
        for (size_t i = 1; i < ranks.size(); ++i) {
            const int r = ranks[i];
            size_t j = i;
            for (; j > 0 && ranks[j - 1] > r; --j) ranks[j] = ranks[j - 1];
            ranks[j] = r;
        }
        ranks.erase(std::unique(ranks.begin(), ranks.end()), ranks.end());
        return;
    }
    // Many (a row of boxes at one height): through the bit set of ranks,
    // which leaves them empty again.
    for (const int r : ranks) event_set_.insert(r);
    ranks.clear();
    for (int r = event_set_.next(-1); r >= 0; r = event_set_.next(r)) {
        ranks.push_back(r);
        event_set_.erase(r);
    }
}

// Phase 1: the edges and bounds of both operands; none when an operand is not
// rectilinear or holds a value that is not finite (the result is then empty).
PHASE void Sweep::read_operands(const ContourSource& subject, const ContourSource& clip) {
    edges_.clear();
    bounds_.clear();
    slots_.clear();
    free_slots_.clear();
    positive_zero_y_ = negative_zero_y_ = false;
    rectilinear_ = true;
    const size_t vertices = subject.vertices() + clip.vertices();
    edges_.reserve(vertices / 2 + 1);  // about one upward edge per two vertices
    bounds_.reserve(vertices / 2 + 1);
    add_operand(subject, kSubject);
    add_operand(clip, kClip);
    if (!rectilinear_) {
        edges_.clear();
        bounds_.clear();
    }
    large_run_ = edges_.size() >= kLargeEdges;
}

// Phase 2: the distinct x values (ranks), given to the bounds through their
// first edges, and the bounds listed for phase 3 in the order of their first
// edges by x. Returns the number of ranks.
PHASE int Sweep::rank_x_values() {
    const int edge_count = static_cast<int>(edges_.size());
    by_x_.resize(edge_count);
    for (int i = 0; i < edge_count; ++i) by_x_[i] = {{order_key(edges_[i].x)}, static_cast<uint32_t>(i), 0};
    // A bound's first edge carries the bound's index plus one.
    for (size_t i = 0; i < bounds_.size(); ++i) by_x_[bounds_[i].first_edge].aux = static_cast<uint32_t>(i + 1);
    sort_keyed(by_x_, sort_scratch_);
    int rank_count = 0;
    std::vector<KeyedIndex<1>>& by_y = sort_scratch_;
    by_y.clear();
    const size_t n = by_x_.size();
    for (size_t k = 0; k < n; ++k) {
        constexpr size_t kAhead = 16;
        if (k + kAhead < n && by_x_[k + kAhead].aux != 0) __builtin_prefetch(&bounds_[by_x_[k + kAhead].aux - 1]);
        if (k > 0 && by_x_[k].key[0] != by_x_[k - 1].key[0]) ++rank_count;
        if (by_x_[k].aux == 0) continue;
        const uint32_t i = by_x_[k].aux - 1;
        bounds_[i].rank = static_cast<uint32_t>(rank_count);
        by_y.push_back({{order_key(bounds_[i].y)}, i, 0});
    }
    return rank_count + 1;
}

// Phase 3: the bounds in the order the sweep starts them, which is the order
// of the clipper's local minimum table: by y, then x (which their ranks order
// as well), then the order they were found in, which is also the order of
// their first edges. Small sets sort by all three; large ones sort phase 2's
// list (by x) stably by y. Then the edge tops by height, each with its bound
// and its successor plus one; the order of tops at equal heights does not
// matter, as each changes only its own bound's slot.
PHASE void Sweep::order_events() {
    const int edge_count = static_cast<int>(edges_.size());
    const int bound_count = static_cast<int>(bounds_.size());
    std::vector<uint32_t>& order = bound_order_;
    order.resize(bound_count);
    if (static_cast<size_t>(bound_count) < kRadixFrom) {
        std::vector<KeyedIndex<2>>& by_y_x = small_bound_order_;
        by_y_x.resize(bound_count);
        for (int i = 0; i < bound_count; ++i)
            by_y_x[i] = {{order_key(bounds_[i].y), bounds_[i].rank}, static_cast<uint32_t>(i), 0};
        std::sort(by_y_x.begin(), by_y_x.end(),
                  [](const KeyedIndex<2>& a, const KeyedIndex<2>& b) { return keyed_less(a, b); });
        for (int i = 0; i < bound_count; ++i) order[i] = by_y_x[i].index;
    } else {
        std::vector<KeyedIndex<1>>& by_y = sort_scratch_;
        radix_sort(by_y, by_x_);
        for (int i = 0; i < bound_count; ++i) order[i] = by_y[i].index;
    }
    // A large run's buffers go after it anyway: the dead ones go now, before
    // the next ones are made.
    if (large_run_) release(by_x_);
    by_top_.resize(edge_count);
    for (int i = 0; i < bound_count; ++i) {
        const int end = i + 1 < bound_count ? bounds_[i + 1].first_edge : edge_count;
        for (int e = bounds_[i].first_edge; e < end; ++e)
            by_top_[e] = {{order_key(edges_[e].ytop)}, static_cast<uint32_t>(i), static_cast<uint32_t>(edges_[e].succ + 1)};
    }
    sort_keyed(by_top_, sort_scratch_);
    if (large_run_) release(sort_scratch_);
}

// Phase 4: no slot active yet, every rank empty.
PHASE void Sweep::reset_active(int rank_count) {
    bound_slot_.assign(bounds_.size(), -1);
    ranks_.assign(rank_count, RankState{});
    occupied_.reset(rank_count);
    event_set_.reset(rank_count);
    below_parity_.reset(rank_count);
    next_seq_ = 0;
    top_i_ = 0;
    bound_i_ = 0;
}

// The lowest height where an edge ends or a bound starts (all zeros as one).
PHASE double Sweep::next_boundary(double zero_y) const {
    double y = std::numeric_limits<double>::infinity();
    if (top_i_ < by_top_.size()) y = key_value(by_top_[top_i_].key[0]);
    if (bound_i_ < bound_order_.size()) y = std::min(y, bounds_[bound_order_[bound_i_]].y);
    return y == 0 ? zero_y : y;
}

// At a boundary, first: the edges that end at y. A successor takes over the
// slot, else the slot ends here.
PHASE void Sweep::end_edges(double y) {
    size_t i = top_i_;
    for (; i < by_top_.size() && key_value(by_top_[i].key[0]) == y; ++i) {
        const int s = bound_slot_[by_top_[i].index];
        if (s < 0) continue;  // cannot happen: an edge ends above its bound's start
        Slot& slot = slots_[s];
        const int succ = static_cast<int>(by_top_[i].aux) - 1;
        if (succ >= 0) {
            slot.edge = succ;
        } else {
            slot.ending = true;
            ranks_[slot.rank].end_bits ^= static_cast<uint8_t>(1u << slot.type);
        }
        event_ranks_.push_back(slot.rank);
    }
    top_i_ = i;
}

// Then the bounds that start at y, each in a new or freed slot that joins
// after every active slot of equal x.
PHASE void Sweep::start_bounds(double y) {
    const std::vector<uint32_t>& order = bound_order_;
    size_t i = bound_i_;
    for (; i < order.size() && bounds_[order[i]].y == y; ++i) {
        constexpr size_t kAhead = 8;
        if (i + kAhead < order.size()) __builtin_prefetch(&bounds_[order[i + kAhead]]);
        const Bound& b = bounds_[order[i]];
        Slot slot{};
        slot.edge = b.first_edge;
        slot.rank = static_cast<int>(b.rank);
        slot.seq = next_seq_++;
        slot.below = 0;
        slot.above = 0;
        slot.ending = false;
        slot.type = static_cast<uint8_t>(b.type);
        slot.point = -1;
        int s = static_cast<int>(slots_.size());
        if (!free_slots_.empty()) {
            s = free_slots_.back();
            free_slots_.pop_back();
        }
        bound_slot_[order[i]] = s;
        RankState& rank = ranks_[slot.rank];
        if (rank.last < 0) {
            rank.first = s;
            occupied_.insert(slot.rank);
        } else {
            slots_[rank.last].next_at_rank = s;
            slot.prev_at_rank = rank.last;
        }
        rank.last = s;
        rank.start_bits ^= static_cast<uint8_t>(1u << b.type);
        if (s == static_cast<int>(slots_.size()))
            slots_.push_back(slot);
        else
            slots_[s] = slot;
        event_ranks_.push_back(slot.rank);
    }
    bound_i_ = i;
}

// Then the points of the boundary, left to right: at every rank with an
// event, and where a horizontal input edge runs along y, at every occupied
// rank it crosses.
PHASE void Sweep::find_points(double y) {
    points_.clear();
    processed_ranks_.clear();
    uint8_t horizontal = 0;
    int previous = -1;
    for (const int r : event_ranks_) {
        if (horizontal != 0) {
            for (int g = occupied_.next(previous); g >= 0 && g < r; g = occupied_.next(g)) bundle_rank(g, y, horizontal);
        }
        bundle_rank(r, y, horizontal);
        horizontal ^= ranks_[r].start_bits ^ ranks_[r].end_bits;
        previous = r;
    }
}

// The bundles of one rank: the last slot whose edge goes on above y carries
// the parity of all of them above; each bundle head gives a point with the
// inside state of its four quadrants.
PHASE void Sweep::bundle_rank(int r, double y, uint8_t horizontal) {
    processed_ranks_.push_back(r);
    uint8_t below_state = below_parity_.prefix(r);
    uint8_t above_state = below_state ^ horizontal;
    int head = -1;
    uint8_t above_flags = 0;
    const int first = ranks_[r].first;
    for (int s = first; s >= 0; s = slots_[s].next_at_rank) {
        if (edges_[slots_[s].edge].ytop > y) {
            head = s;
            above_flags ^= static_cast<uint8_t>(1u << slots_[s].type);
        }
    }
    for (int s = first; s >= 0; s = slots_[s].next_at_rank) {
        Slot& slot = slots_[s];
        slot.above = (s == head) ? above_flags : 0;
        if ((slot.above | slot.below) == 0) continue;
        SweepPoint p{s, false, false, false, false};
        p.tl = inside_[above_state];
        p.bl = inside_[below_state];
        above_state ^= slot.above;
        below_state ^= slot.below;
        p.tr = inside_[above_state];
        p.br = inside_[below_state];
        slot.point = static_cast<int>(points_.size());
        points_.push_back(p);
    }
}

// Last at a boundary: the bundles carried up, the slots that ended freed, the
// parity tree updated.
PHASE void Sweep::carry_and_retire(SweepBuilder& builder, bool carries) {
    for (const int r : processed_ranks_) {
        RankState& rank = ranks_[r];
        for (int s = rank.first; s >= 0;) {
            Slot& slot = slots_[s];
            const int next = slot.next_at_rank;
            slot.below = slot.above;
            if (carries) builder.carry(slot);
            slot.point = -1;
            if (slot.ending) {
                (slot.prev_at_rank >= 0 ? slots_[slot.prev_at_rank].next_at_rank : rank.first) = next;
                (next >= 0 ? slots_[next].prev_at_rank : rank.last) = slot.prev_at_rank;
#ifdef POLYGON_CHECK_FREED_SLOTS
                // Checking builds: a freed slot is never taken again, and any
                // later use of it fails.
                slot.edge = -1;
                slot.rank = -1;
#else
                free_slots_.push_back(s);
#endif
            }
            s = next;
        }
        if (rank.start_bits | rank.end_bits) below_parity_.toggle(r, rank.start_bits ^ rank.end_bits);
        rank.start_bits = 0;
        rank.end_bits = 0;
        if (rank.first < 0) occupied_.erase(r);
    }
}

// The sweep, as a loop of its phases: read the operands into edges and
// bounds, rank the x values, order the events, then one scan-beam boundary
// after the other from the bottom up.
void Sweep::run(Operation op, const ContourSource& subject, const ContourSource& clip, SweepBuilder& builder) {
    read_operands(subject, clip);
    if (edges_.empty()) {
        builder.begin(edges_, slots_, 0);
        return;
    }
    const double zero_y = canonical_zero_y(op, subject, clip);
    for (uint8_t parity = 0; parity < 4; ++parity) inside_[parity] = result_inside(op, parity);
    const int rank_count = rank_x_values();
    order_events();
    reset_active(rank_count);

    builder.begin(edges_, slots_, rank_count);
    const bool carries = builder.carries();
    while (top_i_ < by_top_.size() || bound_i_ < bound_order_.size()) {
        const double y = next_boundary(zero_y);
        event_ranks_.clear();
        end_edges(y);
        start_bounds(y);
        sort_event_ranks();
        find_points(y);
        builder.boundary(y, points_);
        carry_and_retire(builder, carries);
    }
}

}  // namespace polygon
