#include "cifread/boxes.h"

#include <algorithm>
#include <map>

namespace cifread {

namespace {

using Run = std::pair<std::int64_t, std::int64_t>;

// Turns the maximal x runs of successive bands into boxes: a box stays open
// while the bands above it hold exactly its run, and is closed at the first
// band that does not.
class BandCutter {
public:
    explicit BandCutter(std::vector<HalfBox>& out) : out_(out) {}

    // The band that begins at y has these runs (sorted, disjoint, maximal).
    void band(std::int64_t y, const std::vector<Run>& runs) {
        next_.clear();
        std::size_t i = 0;
        std::size_t j = 0;
        while (i < open_.size() || j < runs.size()) {
            if (i < open_.size() && j < runs.size() && open_[i].x1 == runs[j].first && open_[i].x2 == runs[j].second) {
                next_.push_back(open_[i]);
                ++i;
                ++j;
            } else if (j == runs.size() || (i < open_.size() && open_[i].x1 <= runs[j].first)) {
                close(open_[i], y);
                ++i;
            } else {
                next_.push_back({runs[j].first, runs[j].second, y});
                ++j;
            }
        }
        open_.swap(next_);
    }

    void finish(std::int64_t y) {
        for (const Open& o : open_) close(o, y);
        open_.clear();
    }

private:
    struct Open {
        std::int64_t x1;
        std::int64_t x2;
        std::int64_t y0;
    };
    void close(const Open& o, std::int64_t y) {
        if (y > o.y0) out_.push_back({o.x1, o.y0, o.x2, y});
    }
    std::vector<HalfBox>& out_;
    std::vector<Open> open_;
    std::vector<Open> next_;
};

void sort_boxes(std::vector<HalfBox>& boxes, std::size_t from) {
    std::sort(boxes.begin() + static_cast<std::ptrdiff_t>(from), boxes.end(), [](const HalfBox& a, const HalfBox& b) {
        return a.ymin != b.ymin ? a.ymin < b.ymin : a.xmin < b.xmin;
    });
}

// Coverage counts over the elementary x intervals between sorted distinct x
// values. A node's count says how many rectangles cover all of it; `any` says
// whether some part of it is covered. The depth is log2 of the number of x
// values, so the recursion is shallow and bounded.
class CoverTree {
public:
    explicit CoverTree(const std::vector<std::int64_t>& xs)
        : xs_(xs), leaves_(xs.size() - 1), count_(4 * leaves_, 0), any_(4 * leaves_, 0) {}

    void add(std::uint32_t lo, std::uint32_t hi, int d) { update(1, 0, leaves_, lo, hi, d); }

    // Maximal covered runs, left to right; counts visited nodes into steps.
    void runs(std::vector<Run>& out, std::uint64_t& steps) const {
        out.clear();
        collect(1, 0, leaves_, out, steps);
    }

private:
    void update(std::size_t node, std::size_t l, std::size_t r, std::size_t lo, std::size_t hi, int d) {
        if (hi <= l || r <= lo) return;
        if (lo <= l && r <= hi) {
            count_[node] += d;
        } else {
            const std::size_t mid = (l + r) / 2;
            update(2 * node, l, mid, lo, hi, d);
            update(2 * node + 1, mid, r, lo, hi, d);
        }
        const bool leaf = r - l == 1;
        any_[node] = count_[node] > 0 || (!leaf && (any_[2 * node] != 0 || any_[2 * node + 1] != 0));
    }

    void collect(std::size_t node, std::size_t l, std::size_t r, std::vector<Run>& out, std::uint64_t& steps) const {
        ++steps;
        if (count_[node] > 0) {
            if (!out.empty() && out.back().second == xs_[l])
                out.back().second = xs_[r];
            else
                out.push_back({xs_[l], xs_[r]});
            return;
        }
        if (any_[node] == 0 || r - l == 1) return;
        const std::size_t mid = (l + r) / 2;
        collect(2 * node, l, mid, out, steps);
        collect(2 * node + 1, mid, r, out, steps);
    }

    const std::vector<std::int64_t>& xs_;
    std::size_t leaves_;
    std::vector<std::int32_t> count_;
    std::vector<std::uint8_t> any_;
};

}  // namespace

bool is_rectilinear(const std::vector<Point>& outline) {
    const std::size_t n = outline.size();
    for (std::size_t i = 0; i < n; ++i) {
        const Point& a = outline[i];
        const Point& b = outline[(i + 1) % n];
        if (a.x != b.x && a.y != b.y) return false;
    }
    return true;
}

bool outline_rects(const std::vector<Point>& outline, std::vector<HalfBox>& out, SweepBudget& budget) {
    // Vertical edges as (y, x, change of winding): +d at the lower end and
    // -d at the upper end of an edge that runs up (d = 1) or down (d = -1).
    struct Event {
        std::int64_t y;
        std::int64_t x;
        int d;
    };
    std::vector<Event> events;
    const std::size_t n = outline.size();
    for (std::size_t i = 0; i < n; ++i) {
        const Point& a = outline[i];
        const Point& b = outline[(i + 1) % n];
        if (a.x != b.x || a.y == b.y) continue;  // horizontal or no edge
        const int d = b.y > a.y ? 1 : -1;
        events.push_back({std::min(a.y, b.y), a.x, d});
        events.push_back({std::max(a.y, b.y), a.x, -d});
    }
    if (!budget.spend(events.size())) return false;
    std::sort(events.begin(), events.end(), [](const Event& a, const Event& b) { return a.y < b.y; });

    std::vector<HalfBox> boxes;
    BandCutter cutter(boxes);
    std::map<std::int64_t, long> active;  // x -> sum of winding changes of the edges there
    std::vector<Run> runs;
    std::size_t e = 0;
    while (e < events.size()) {
        const std::int64_t y = events[e].y;
        for (; e < events.size() && events[e].y == y; ++e) {
            auto it = active.emplace(events[e].x, 0).first;
            it->second += events[e].d;
            if (it->second == 0) active.erase(it);
        }
        if (!budget.spend(active.size() + 1)) return false;
        runs.clear();
        long winding = 0;
        std::int64_t start = 0;
        for (const auto& [x, d] : active) {
            const long before = winding;
            winding += d;
            if (before == 0 && winding != 0) start = x;
            if (before != 0 && winding == 0) runs.push_back({start, x});
        }
        cutter.band(y, runs);
    }
    if (!events.empty()) cutter.finish(events.back().y);
    for (const HalfBox& b : boxes) out.push_back({b.xmin, b.ymin, b.xmax, b.ymax});
    return true;
}

bool union_boxes(const std::vector<HalfBox>& rects, std::vector<HalfBox>& out, SweepBudget& budget) {
    std::vector<std::int64_t> xs;
    xs.reserve(2 * rects.size());
    for (const HalfBox& r : rects)
        if (r.xmin < r.xmax && r.ymin < r.ymax) {
            xs.push_back(r.xmin);
            xs.push_back(r.xmax);
        }
    if (xs.empty()) return true;
    std::sort(xs.begin(), xs.end());
    xs.erase(std::unique(xs.begin(), xs.end()), xs.end());

    struct Event {
        std::int64_t y;
        std::uint32_t lo;
        std::uint32_t hi;
        int d;
    };
    std::vector<Event> events;
    events.reserve(xs.size());
    auto index = [&xs](std::int64_t x) {
        return static_cast<std::uint32_t>(std::lower_bound(xs.begin(), xs.end(), x) - xs.begin());
    };
    for (const HalfBox& r : rects) {
        if (!(r.xmin < r.xmax && r.ymin < r.ymax)) continue;
        const std::uint32_t lo = index(r.xmin);
        const std::uint32_t hi = index(r.xmax);
        events.push_back({r.ymin, lo, hi, 1});
        events.push_back({r.ymax, lo, hi, -1});
    }
    std::sort(events.begin(), events.end(), [](const Event& a, const Event& b) { return a.y < b.y; });

    const std::size_t from = out.size();
    CoverTree tree(xs);
    BandCutter cutter(out);
    std::vector<Run> runs;
    std::size_t e = 0;
    while (e < events.size()) {
        const std::int64_t y = events[e].y;
        std::uint64_t steps = 0;
        for (; e < events.size() && events[e].y == y; ++e) {
            tree.add(events[e].lo, events[e].hi, events[e].d);
            steps += 64;  // one update: two paths of at most log2(2^32) nodes
        }
        tree.runs(runs, steps);
        if (!budget.spend(steps)) return false;
        cutter.band(y, runs);
    }
    cutter.finish(events.back().y);
    sort_boxes(out, from);
    return true;
}

}  // namespace cifread
