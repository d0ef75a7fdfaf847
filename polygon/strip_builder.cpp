#include "polygon/strip_builder.h"

#include <algorithm>

namespace polygon {

namespace {
constexpr size_t kLargePairs = size_t{1} << 16;
}  // namespace

void StripBuilder::begin(const std::vector<Edge>& edges, std::vector<Slot>& slots, int rank_count) {
    edges_ = &edges;
    slots_ = &slots;
    strips_.clear();
    pairs_.clear();
    by_left_.assign(rank_count, -1);
    lefts_.reset(rank_count);
}

bool StripBuilder::large() const { return pairs_.size() >= kLargePairs || strips_.size() >= kLargePairs; }

void StripBuilder::boundary(double y, const std::vector<SweepPoint>& points) {
    touched_.clear();
    for (const SweepPoint& p : points) {
        const Slot& slot = (*slots_)[p.slot];
        if (slot.own[0] >= 0) touch(slot.own[0]);
        if (slot.own[1] >= 0) touch(slot.own[1]);
        const int left_rank = lefts_.prev_or_equal(slot.rank);
        if (left_rank >= 0) {
            const int s = by_left_[left_rank];
            if ((*slots_)[strips_[s].right].rank >= slot.rank) touch(s);
        }
    }

    markers_.clear();
    for (const SweepPoint& p : points)
        if (p.tl != p.tr) markers_.push_back(marker(p.slot, !p.tl));
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
        if ((*slots_)[st.left].point < 0) markers_.push_back(marker(st.left, true));
        if ((*slots_)[st.right].point < 0) markers_.push_back(marker(st.right, false));
    }
    // The same comparisons as by key_less, so the same order (also of
    // markers of one slot).
    std::sort(markers_.begin(), markers_.end(), [](const Marker& a, const Marker& b) { return a.key < b.key; });

    int open = -1;
    for (const Marker& m : markers_) {
        const int s = m.slot;
        const bool opens = m.opens;
        if (opens) {
            open = s;
            continue;
        }
        if (open < 0) continue;  // cannot happen for a consistent sweep
        const Slot& ls = (*slots_)[open];
        if (!(ls.own[0] >= 0 && strips_[ls.own[0]].alive && strips_[ls.own[0]].right == s)) {
            const int id = static_cast<int>(strips_.size());
            StripState st;
            st.left = open;
            st.right = s;
            add_pair(st, x_of(open, y), x_of(s, y), y);
            strips_.push_back(st);
            (*slots_)[open].own[0] = id;
            (*slots_)[s].own[1] = id;
            by_left_[(*slots_)[open].rank] = id;
            lefts_.insert((*slots_)[open].rank);
        }
        open = -1;
    }
    for (int id : touched_) strips_[id].touched = false;
}

void StripBuilder::emit(StripSink& sink) const {
    size_t count = 0;
    size_t pairs = 0;
    for (size_t i = 0; i < strips_.size(); ++i) {
        if (strips_[i].pairs <= 1) continue;
        ++count;
        pairs += static_cast<size_t>(strips_[i].pairs);
    }
    sink.begin(count, pairs);
    for (size_t i = 0; i < strips_.size(); ++i) {
        const StripState& st = strips_[i];
        if (st.pairs <= 1) continue;
        sink.strip(st.pairs);
        for (int p = st.first_pair; p >= 0; p = pairs_[p].next) sink.pair(pairs_[p].xl, pairs_[p].xr, pairs_[p].y);
    }
}

void StripBuilder::add_pair(StripState& st, double xl, double xr, double y) {
    const int p = static_cast<int>(pairs_.size());
    pairs_.push_back({xl, xr, y, -1});
    if (st.last_pair >= 0)
        pairs_[st.last_pair].next = p;
    else
        st.first_pair = p;
    st.last_pair = p;
    ++st.pairs;
}

void StripBuilder::touch(int id) {
    if (!strips_[id].alive || strips_[id].touched) return;
    strips_[id].touched = true;
    touched_.push_back(id);
}

bool StripBuilder::key_less(int a, int b) const {
    const Slot& sa = (*slots_)[a];
    const Slot& sb = (*slots_)[b];
    if (sa.rank != sb.rank) return sa.rank < sb.rank;
    return sa.seq < sb.seq;
}

bool StripBuilder::continues(const StripState& st, const std::vector<SweepPoint>& points) const {
    const Slot& l = (*slots_)[st.left];
    const Slot& r = (*slots_)[st.right];
    if (l.point >= 0 && !quadrants(points[l.point], false, true, false, true)) return false;
    if (r.point >= 0 && !quadrants(points[r.point], true, false, true, false)) return false;
    // Nothing may change strictly between the two sides.
    auto after_left = std::upper_bound(points.begin(), points.end(), st.left,
                                       [&](int s, const SweepPoint& p) { return key_less(s, p.slot); });
    for (auto it = after_left; it != points.end() && key_less(it->slot, st.right); ++it) {
        if (!(it->tl == it->tr && it->tr == it->bl && it->bl == it->br)) return false;
    }
    return true;
}

void StripBuilder::close(int id) {
    StripState& st = strips_[id];
    st.alive = false;
    Slot& l = (*slots_)[st.left];
    Slot& r = (*slots_)[st.right];
    if (l.own[0] == id) l.own[0] = -1;
    if (r.own[1] == id) r.own[1] = -1;
    if (by_left_[l.rank] == id) {
        by_left_[l.rank] = -1;
        lefts_.erase(l.rank);
    }
}

}  // namespace polygon
