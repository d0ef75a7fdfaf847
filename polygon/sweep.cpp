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

size_t Operand::vertices() const {
    if (source_ != nullptr) return source_->vertices();
    size_t n = 0;
    for (int c = 0; c < count(); ++c) {
        if (contours_ != nullptr)
            n += (*contours_)[c].size();
        else if (polygon_->contour[c].num_vertices > 0)
            n += static_cast<size_t>(polygon_->contour[c].num_vertices);
    }
    return n;
}

void Operand::contour(int i, std::vector<Point>& out) const {
    if (contours_ != nullptr) {
        out.assign((*contours_)[i].begin(), (*contours_)[i].end());
    } else if (source_ != nullptr) {
        source_->contour(i, out);
    } else {
        const gpc_vertex_list& list = polygon_->contour[i];
        out.resize(list.num_vertices > 0 ? list.num_vertices : 0);
        for (size_t k = 0; k < out.size(); ++k) out[k] = {list.vertex[k].x, list.vertex[k].y};
    }
}

void Sweep::add_operand(const Operand& operand, int type) {
    std::vector<Point>& v = kept_;
    std::vector<Point>& contour = contour_;
    for (int ci = 0; ci < operand.count(); ++ci) {
        operand.contour(ci, contour);
        const int n0 = static_cast<int>(contour.size());
        v.clear();
        // Vertices in the middle of a horizontal run are dropped.
        double py = n0 > 0 ? contour[n0 - 1].y : 0;
        for (int i = 0; i < n0; ++i) {
            const Point& p = contour[i];
            const Point& next = contour[i + 1 < n0 ? i + 1 : 0];
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
Sweep::ContourInfo Sweep::contour_info(const Operand& operand, int i) {
    std::vector<Point>& contour = contour_;
    operand.contour(i, contour);
    const int n0 = static_cast<int>(contour.size());
    ContourInfo info{0, 0, 0, 0, 0};
    if (n0 > 0) info = {contour[0].x, contour[0].x, contour[0].y, contour[0].y, 0};
    double py = n0 > 0 ? contour[n0 - 1].y : 0;
    for (int k = 0; k < n0; ++k) {
        const Point& p = contour[k];
        info.xmin = std::min(info.xmin, p.x);
        info.xmax = std::max(info.xmax, p.x);
        info.ymin = std::min(info.ymin, p.y);
        info.ymax = std::max(info.ymax, p.y);
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
// when both occur.
double Sweep::canonical_zero_y(Operation op, const Operand& subject, const Operand& clip) {
    if (!(positive_zero_y_ && negative_zero_y_)) return negative_zero_y_ ? -0.0 : 0.0;
    // Rare: the contours are read again for their boxes.
    std::vector<ContourInfo> infos[2];
    const Operand* operands[2] = {&subject, &clip};
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

void Sweep::run(Operation op, const Operand& subject, const Operand& clip, SweepBuilder& builder) {
    edges_.clear();
    bounds_.clear();
    slots_.clear();
    free_slots_.clear();
    positive_zero_y_ = negative_zero_y_ = false;
    rectilinear_ = true;
    {
        const size_t vertices = subject.vertices() + clip.vertices();
        edges_.reserve(vertices / 2 + 1);  // about one upward edge per two vertices
        bounds_.reserve(vertices / 2 + 1);
    }
    add_operand(subject, kSubject);
    add_operand(clip, kClip);
    if (!rectilinear_) {
        // An operand with an edge that is neither horizontal nor vertical, or
        // with a value that is not finite: the result is empty.
        edges_.clear();
        bounds_.clear();
    }
    const int edge_count = static_cast<int>(edges_.size());
    if (edge_count == 0) {
        builder.begin(edges_, slots_, 0);
        return;
    }

    const double zero_y = canonical_zero_y(op, subject, clip);
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
    const bool large_run = static_cast<size_t>(edge_count) >= kLargeEdges;
    {
        // The bounds in the order the sweep starts them, as their indices.
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
        // A large run's buffers go after it anyway: the dead ones go now,
        // before the next ones are made.
        if (large_run) release(by_x_);
        // Edge tops by height, each with its bound (the edges of a bound
        // follow each other) and its successor plus one. The order of tops
        // at equal heights does not matter: each changes only its own
        // bound's slot.
        by_top_.resize(edge_count);
        for (int i = 0; i < bound_count; ++i) {
            const int end = i + 1 < bound_count ? bounds_[i + 1].first_edge : edge_count;
            for (int e = bounds_[i].first_edge; e < end; ++e)
                by_top_[e] = {{order_key(edges_[e].ytop)}, static_cast<uint32_t>(i),
                              static_cast<uint32_t>(edges_[e].succ + 1)};
        }
        sort_keyed(by_top_, sort_scratch_);
    }
    if (large_run) release(sort_scratch_);

    bound_slot_.assign(bounds_.size(), -1);
    ranks_.assign(rank_count, RankState{});
    occupied_.reset(rank_count);
    event_set_.reset(rank_count);
    below_parity_.reset(rank_count);
    uint32_t next_seq = 0;

    builder.begin(edges_, slots_, rank_count);
    const bool carries = builder.carries();

    const std::vector<Edge>& edges = edges_;
    const std::vector<Bound>& bounds = bounds_;
    const std::vector<uint32_t>& order = bound_order_;
    const std::vector<KeyedIndex<1>>& tops = by_top_;
    std::vector<Slot>& slots = slots_;
    std::vector<RankState>& ranks = ranks_;
    size_t top_i = 0;
    size_t bound_i = 0;
    while (top_i < tops.size() || bound_i < bounds.size()) {
        double y = std::numeric_limits<double>::infinity();
        if (top_i < tops.size()) y = key_value(tops[top_i].key[0]);
        if (bound_i < order.size()) y = std::min(y, bounds[order[bound_i]].y);
        if (y == 0) y = zero_y;

        event_ranks_.clear();
        // Edges that end here: a successor takes over the slot, else the slot ends.
        for (; top_i < tops.size() && key_value(tops[top_i].key[0]) == y; ++top_i) {
            const int s = bound_slot_[tops[top_i].index];
            if (s < 0) continue;  // cannot happen: an edge ends above its bound's start
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
        for (; bound_i < order.size() && bounds[order[bound_i]].y == y; ++bound_i) {
            constexpr size_t kAhead = 8;
            if (bound_i + kAhead < order.size()) __builtin_prefetch(&bounds[order[bound_i + kAhead]]);
            const Bound& b = bounds[order[bound_i]];
            Slot slot{};
            slot.edge = b.first_edge;
            slot.rank = static_cast<int>(b.rank);
            slot.seq = next_seq++;
            slot.below = 0;
            slot.above = 0;
            slot.ending = false;
            slot.type = static_cast<uint8_t>(b.type);
            slot.point = -1;
            int s = static_cast<int>(slots.size());
            if (!free_slots_.empty()) {
                s = free_slots_.back();
                free_slots_.pop_back();
            }
            bound_slot_[order[bound_i]] = s;
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
            if (s == static_cast<int>(slots.size()))
                slots.push_back(slot);
            else
                slots[s] = slot;
            event_ranks_.push_back(slot.rank);
        }
        sort_event_ranks();

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
#ifdef POLYCLIP_CHECK_FREED_SLOTS
                    // Checking builds: a freed slot is never taken again, and
                    // any later use of it fails.
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
}

}  // namespace polyclip
