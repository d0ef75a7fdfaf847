#include "polygon/sweep.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace polyclip {
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

bool boxes_touch(const Sweep::ContourInfo& a, const Sweep::ContourInfo& b) {
    return !(a.xmax < b.xmin || a.xmin > b.xmax) && !(a.ymax < b.ymin || a.ymin > b.ymax);
}

}  // namespace

bool Sweep::large() const { return edges_.capacity() >= kLargeEdges; }

void Sweep::add_operand(const Operand& operand, int type) {
    std::vector<Point>& v = kept_;
    std::vector<Point>& contour = contour_;
    for (int ci = 0; ci < operand.count(); ++ci) {
        const int n0 = operand.size(ci);
        contour.resize(n0);
        for (int k = 0; k < n0; ++k) contour[k] = operand.at(ci, k);
        ContourInfo info{0, 0, 0, 0, 0};
        v.clear();
        if (n0 > 0) info = {contour[0].x, contour[0].x, contour[0].y, contour[0].y, 0};
        // Vertices in the middle of a horizontal run are dropped.
        double py = n0 > 0 ? contour[n0 - 1].y : 0;
        for (int i = 0; i < n0; ++i) {
            const Point& p = contour[i];
            info.xmin = std::min(info.xmin, p.x);
            info.xmax = std::max(info.xmax, p.x);
            info.ymin = std::min(info.ymin, p.y);
            info.ymax = std::max(info.ymax, p.y);
            const double ny = contour[i + 1 < n0 ? i + 1 : 0].y;
            if (py != p.y || ny != p.y) {
                v.push_back(p);
                if (p.y == 0) {
                    const int sign = std::signbit(p.y) ? -1 : 1;
                    if (info.zero_sign == 0) info.zero_sign = sign;
                    (sign > 0 ? positive_zero_y_ : negative_zero_y_) = true;
                }
            }
            py = p.y;
        }
        contours_[type].push_back(info);
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
                Edge e{v[a].x, v[b].x, v[a].y, v[b].y, type, -1};
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

// The scan-beam boundary at height zero takes its sign from the first vertex
// at that height, in contour order, among the contours that can contribute:
// for an intersection or a difference, contours whose bounding box touches no
// bounding box of the other operand are left out of the sweep altogether.
// (Leaving them out changes nothing else: such a contour is nowhere near the
// result.) Only -0 and +0 can tell equal heights apart, so the test runs only
// when both occur.
double Sweep::canonical_zero_y(Operation op) const {
    if (!(positive_zero_y_ && negative_zero_y_)) return negative_zero_y_ ? -0.0 : 0.0;
    const bool filtered = (op == Operation::Intersection || op == Operation::Difference) &&
                          !contours_[kSubject].empty() && !contours_[kClip].empty();
    for (int type : {kSubject, kClip}) {
        for (const ContourInfo& c : contours_[type]) {
            if (c.zero_sign == 0) continue;
            bool included = true;
            if (filtered && (type == kClip || op == Operation::Intersection)) {
                included = false;
                for (const ContourInfo& other : contours_[1 - type]) {
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

void Sweep::run(Operation op, const Operand& subject, const Operand& clip, SweepBuilder& builder) {
    edges_.clear();
    bounds_.clear();
    slots_.clear();
    contours_[kSubject].clear();
    contours_[kClip].clear();
    positive_zero_y_ = negative_zero_y_ = false;
    {
        size_t vertices = 0;
        for (int c = 0; c < subject.count(); ++c) vertices += subject.size(c);
        for (int c = 0; c < clip.count(); ++c) vertices += clip.size(c);
        edges_.reserve(vertices / 2 + 1);  // about one upward edge per two vertices
        bounds_.reserve(vertices / 2 + 1);
        contours_[kSubject].reserve(subject.count());
        contours_[kClip].reserve(clip.count());
    }
    add_operand(subject, kSubject);
    add_operand(clip, kClip);
    const int edge_count = static_cast<int>(edges_.size());
    if (edge_count == 0) {
        builder.begin(edges_, slots_, 0);
        return;
    }

    const double zero_y = canonical_zero_y(op);
    if (static_cast<size_t>(edge_count) >= kLargeEdges) {
        // The contours' boxes serve only the sign of zero.
        release(contours_[kSubject]);
        release(contours_[kClip]);
    }
    bool inside[4];
    for (uint8_t parity = 0; parity < 4; ++parity) inside[parity] = result_inside(op, parity);

    // Distinct x values (ranks).
    by_x_.resize(edge_count);
    for (int i = 0; i < edge_count; ++i) by_x_[i] = {{order_key(edges_[i].x)}, static_cast<uint32_t>(i), 0};
    // A bound's first edge carries the bound's index plus one.
    for (size_t i = 0; i < bounds_.size(); ++i) by_x_[bounds_[i].first_edge].aux = static_cast<uint32_t>(i + 1);
    sort_keyed(by_x_, sort_scratch_);
    int rank_count = 0;
    {
        // Ranks, given to the bounds through their first edges, and the
        // bounds in the order of the clipper's local minimum table: by y,
        // then x (which their ranks order as well), then the order they
        // were found in, which is also the order of their first edges. Small
        // sets sort by all three; large ones take the bounds in the order of
        // their first edges by x and sort that stably by y.
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
        ++rank_count;
    }
    {
        // Bound i becomes slot position[i].
        const int bound_count = static_cast<int>(bounds_.size());
        std::vector<int>& position = bound_position_;
        position.resize(bound_count);
        sorted_bounds_.resize(bound_count);
        if (static_cast<size_t>(bound_count) < kRadixFrom) {
            bound_order_.resize(bound_count);
            for (int i = 0; i < bound_count; ++i)
                bound_order_[i] = {{order_key(bounds_[i].y), bounds_[i].rank}, static_cast<uint32_t>(i), 0};
            std::sort(bound_order_.begin(), bound_order_.end(),
                      [](const KeyedIndex<2>& a, const KeyedIndex<2>& b) { return keyed_less(a, b); });
            for (int i = 0; i < bound_count; ++i) {
                sorted_bounds_[i] = bounds_[bound_order_[i].index];
                position[bound_order_[i].index] = i;
            }
        } else {
            std::vector<KeyedIndex<1>>& by_y = sort_scratch_;
            radix_sort(by_y, by_x_);
            for (int i = 0; i < bound_count; ++i) {
                sorted_bounds_[i] = bounds_[by_y[i].index];
                position[by_y[i].index] = i;
            }
        }
        // Edge tops by height, each with the slot its bound gets (the edges
        // of a bound follow each other) and its successor plus one. The order
        // of tops at equal heights does not matter: each changes only its
        // own slot.
        by_top_.resize(edge_count);
        for (int i = 0; i < bound_count; ++i) {
            const uint32_t slot = static_cast<uint32_t>(position[i]);
            const int end = i + 1 < bound_count ? bounds_[i + 1].first_edge : edge_count;
            for (int e = bounds_[i].first_edge; e < end; ++e)
                by_top_[e] = {{order_key(edges_[e].ytop)}, slot, static_cast<uint32_t>(edges_[e].succ + 1)};
        }
        bounds_.swap(sorted_bounds_);
    }
    sort_keyed(by_top_, sort_scratch_);
    if (static_cast<size_t>(edge_count) >= kLargeEdges) {
        // A large run's buffers go after it anyway: the dead ones go now.
        release(by_x_);
        release(sort_scratch_);
        release(sorted_bounds_);
        release(bound_position_);
    }

    slots_.reserve(bounds_.size());
    ranks_.assign(rank_count, RankState{});
    occupied_.reset(rank_count);
    below_parity_.reset(rank_count);
    uint32_t next_seq = 0;

    builder.begin(edges_, slots_, rank_count);
    const bool carries = builder.carries();

    const std::vector<Edge>& edges = edges_;
    const std::vector<Bound>& bounds = bounds_;
    const std::vector<KeyedIndex<1>>& tops = by_top_;
    std::vector<Slot>& slots = slots_;
    std::vector<RankState>& ranks = ranks_;
    size_t top_i = 0;
    size_t bound_i = 0;
    while (top_i < tops.size() || bound_i < bounds.size()) {
        double y = std::numeric_limits<double>::infinity();
        if (top_i < tops.size()) y = key_value(tops[top_i].key[0]);
        if (bound_i < bounds.size()) y = std::min(y, bounds[bound_i].y);
        if (y == 0) y = zero_y;

        event_ranks_.clear();
        // Edges that end here: a successor takes over the slot, else the slot ends.
        for (; top_i < tops.size() && key_value(tops[top_i].key[0]) == y; ++top_i) {
            const size_t s = tops[top_i].index;
            if (s >= slots.size()) continue;  // cannot happen: an edge ends above its bound's start
            Slot& slot = slots[s];
            const int succ = static_cast<int>(tops[top_i].aux) - 1;
            if (succ >= 0) {
                slot.edge = succ;
            } else {
                slot.ending = true;
                ranks[slot.rank].end_bits ^= static_cast<uint8_t>(1u << slot.type);
            }
            event_ranks_.push_back(slot.rank);
        }
        // Bounds that start here join after every active edge of equal x.
        for (; bound_i < bounds.size() && bounds[bound_i].y == y; ++bound_i) {
            const Bound& b = bounds[bound_i];
            Slot slot{};
            slot.edge = b.first_edge;
            slot.rank = static_cast<int>(b.rank);
            slot.seq = next_seq++;
            slot.below = 0;
            slot.above = 0;
            slot.ending = false;
            slot.type = static_cast<uint8_t>(b.type);
            slot.point = -1;
            const int s = static_cast<int>(slots.size());
            RankState& rank = ranks[slot.rank];
            if (rank.last < 0) {
                rank.first = s;
                occupied_.insert(slot.rank);
            } else {
                slots[rank.last].next_at_rank = s;
                slot.prev_at_rank = rank.last;
            }
            rank.last = s;
            rank.start_bits ^= static_cast<uint8_t>(1u << b.type);
            slots.push_back(slot);
            event_ranks_.push_back(slot.rank);
        }
        if (event_ranks_.size() <= 16) {
            // Usually a handful: insertion beats the general sort's setup.
            for (size_t i = 1; i < event_ranks_.size(); ++i) {
                const int r = event_ranks_[i];
                size_t j = i;
                for (; j > 0 && event_ranks_[j - 1] > r; --j) event_ranks_[j] = event_ranks_[j - 1];
                event_ranks_[j] = r;
            }
        } else {
            std::sort(event_ranks_.begin(), event_ranks_.end());
        }
        event_ranks_.erase(std::unique(event_ranks_.begin(), event_ranks_.end()), event_ranks_.end());

        points_.clear();
        processed_ranks_.clear();
        auto process_rank = [&](int r, uint8_t horizontal) {
            processed_ranks_.push_back(r);
            uint8_t below_state = below_parity_.prefix(r);
            uint8_t above_state = below_state ^ horizontal;
            int head = -1;
            uint8_t above_flags = 0;
            const int first = ranks[r].first;
            for (int s = first; s >= 0; s = slots[s].next_at_rank) {
                if (edges[slots[s].edge].ytop > y) {
                    head = s;
                    above_flags ^= static_cast<uint8_t>(1u << slots[s].type);
                }
            }
            for (int s = first; s >= 0; s = slots[s].next_at_rank) {
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
                slot.point = static_cast<int>(points_.size());
                points_.push_back(p);
            }
        };
        uint8_t horizontal = 0;
        int previous = -1;
        for (int r : event_ranks_) {
            if (horizontal != 0) {
                // A horizontal input edge runs along y here: every edge it crosses matters.
                for (int g = occupied_.next(previous); g >= 0 && g < r; g = occupied_.next(g)) process_rank(g, horizontal);
            }
            process_rank(r, horizontal);
            horizontal ^= ranks[r].start_bits ^ ranks[r].end_bits;
            previous = r;
        }

        builder.boundary(y, points_);

        // Carry the bundles up, drop the edges that ended, update the parity tree.
        for (int r : processed_ranks_) {
            RankState& rank = ranks[r];
            for (int s = rank.first; s >= 0;) {
                Slot& slot = slots[s];
                const int next = slot.next_at_rank;
                slot.below = slot.above;
                if (carries) builder.carry(slot);
                slot.point = -1;
                if (slot.ending) {
                    (slot.prev_at_rank >= 0 ? slots[slot.prev_at_rank].next_at_rank : rank.first) = next;
                    (next >= 0 ? slots[next].prev_at_rank : rank.last) = slot.prev_at_rank;
                }
                s = next;
            }
            if (rank.start_bits | rank.end_bits) below_parity_.toggle(r, rank.start_bits ^ rank.end_bits);
            rank.start_bits = 0;
            rank.end_bits = 0;
            if (rank.first < 0) occupied_.erase(r);
        }
    }
}

}  // namespace polyclip
