#include "grouping/touching_pairs.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <exception>
#include <system_error>
#include <mutex>
#include <thread>

namespace grouping {

using common::extend;
using common::touch;

namespace {

constexpr std::size_t FANOUT = 12;

constexpr std::size_t THREADED_FROM = 20000;

// The join is cut into tasks at the highest tree level that has at least this
// many nodes, so that threads taking tasks in turn finish close together.
constexpr std::size_t TASK_LEVEL_NODES = 256;

// The centre, rounded down; the tile order only needs it roughly.
std::uint32_t centre_key(std::int32_t lo, std::int32_t hi) {
    const std::int64_t centre = (std::int64_t{lo} + hi) >> 1;  // within the int32 range
    return static_cast<std::uint32_t>(centre) ^ 0x80000000u;    // order-preserving for unsigned compare
}

struct Keyed {
    std::uint32_t x, y;  // centre keys; x becomes the slice number
    std::int32_t id;
};

// Sorts `items` by the member `key`, ties by `id` below a few thousand items
// (std::sort), in their previous order above (a radix sort of three 11-bit
// digits).
void sort_by(std::vector<Keyed>& items, std::uint32_t Keyed::*key, std::vector<Keyed>& scratch) {
    const std::size_t n = items.size();
    if (n < 4096) {
        std::sort(items.begin(), items.end(), [key](const Keyed& a, const Keyed& b) {
            return a.*key != b.*key ? a.*key < b.*key : a.id < b.id;
        });
        return;
    }
    constexpr unsigned BITS = 11;
    constexpr std::size_t BUCKETS = std::size_t{1} << BITS;
    scratch.resize(n);
    std::vector<std::size_t> count(BUCKETS);
    for (unsigned shift = 0; shift < 32; shift += BITS) {
        std::fill(count.begin(), count.end(), 0);
        for (const Keyed& k : items) ++count[((k.*key) >> shift) & (BUCKETS - 1)];
        std::size_t sum = 0;
        for (std::size_t& c : count) {
            const std::size_t here = c;
            c = sum;
            sum += here;
        }
        for (const Keyed& k : items) scratch[count[((k.*key) >> shift) & (BUCKETS - 1)]++] = k;
        items.swap(scratch);
    }
}

// Sort-tile-recursive order of n items: vertical slices by x centre, each
// sorted by y centre, so that consecutive runs of FANOUT items are compact
// tiles. The keys are kept beside the item numbers so that sorting reads
// memory in order.
template <class BoundsOf>
std::vector<std::int32_t> tile_order(std::size_t n, BoundsOf bounds_of) {
    std::vector<Keyed> keyed(n);
    for (std::size_t i = 0; i < n; ++i) {
        const Box& b = bounds_of(i);
        keyed[i] = {centre_key(b.xmin, b.xmax), centre_key(b.ymin, b.ymax), static_cast<std::int32_t>(i)};
    }
    if (n > FANOUT) {
        std::vector<Keyed> scratch;
        sort_by(keyed, &Keyed::x, scratch);
        const std::size_t leaves = (n + FANOUT - 1) / FANOUT;
        const auto slices = static_cast<std::size_t>(std::ceil(std::sqrt(static_cast<double>(leaves))));
        const std::size_t per_slice = ((leaves + slices - 1) / slices) * FANOUT;
        // Slice numbers by x rank; then the items in order of y, and stably
        // in order of slice.
        for (std::size_t k = 0; k < n; ++k) keyed[k].x = static_cast<std::uint32_t>(k / per_slice);
        sort_by(keyed, &Keyed::y, scratch);
        std::vector<std::size_t> slice_start((n + per_slice - 1) / per_slice + 1, 0);
        for (const Keyed& k : keyed) ++slice_start[k.x + 1];
        for (std::size_t s = 1; s < slice_start.size(); ++s) slice_start[s] += slice_start[s - 1];
        scratch.resize(n);
        for (const Keyed& k : keyed) scratch[slice_start[k.x]++] = k;
        keyed.swap(scratch);
    }
    std::vector<std::int32_t> ids(n);
    for (std::size_t k = 0; k < n; ++k) ids[k] = keyed[k].id;
    return ids;
}

struct Pair {
    std::int32_t a, b;
};
using Pairs = std::vector<Pair>;

// A packed R-tree, level by level: level 0 holds the leaves, whose `first`
// and `count` are positions in `sorted_`; a node of a higher level holds
// nodes of the level below. The last level is the root alone.
class Tree {
public:
    Tree(const std::vector<Box>& boxes, unsigned threads) {
        const std::size_t n = boxes.size();
        if (n == 0) return;
        order_ = tile_order(n, [&](std::size_t i) -> const Box& { return boxes[i]; });
        sorted_.resize(n);
        // Reads scattered over the whole list: worth the threads on large ones.
        run_parts(n, threads, [&](std::size_t from, std::size_t to) {
            for (std::size_t k = from; k < to; ++k) sorted_[k] = boxes[static_cast<std::size_t>(order_[k])];
        });
        std::vector<Node> level = group(n, [&](std::size_t k) -> const Box& { return sorted_[k]; });
        while (level.size() > 1) {
            const std::vector<std::int32_t> perm =
                tile_order(level.size(), [&](std::size_t i) -> const Box& { return level[i].bounds; });
            std::vector<Node> arranged(level.size());
            for (std::size_t k = 0; k < level.size(); ++k) arranged[k] = level[static_cast<std::size_t>(perm[k])];
            std::vector<Node> parents = group(arranged.size(), [&](std::size_t k) -> const Box& { return arranged[k].bounds; });
            levels_.push_back(std::move(arranged));
            level = std::move(parents);
        }
        levels_.push_back(std::move(level));
    }

    // The join as a list of tasks, each a pair of nodes of level `cut` (the
    // same node twice for the pairs within one node), in the order in which a
    // join from the root would reach them.
    struct Task {
        std::int32_t a, b;
    };
    std::size_t cut_level() const {
        std::size_t cut = 0;
        while (cut + 1 < levels_.size() && levels_[cut + 1].size() >= TASK_LEVEL_NODES) ++cut;
        return cut;
    }
    std::vector<Task> tasks(std::size_t cut) const {
        std::vector<Task> out;
        if (!levels_.empty()) plan_self(levels_.size() - 1, 0, cut, out);
        return out;
    }

    // The whole join at once: the same pairs in the same order as all tasks
    // of tasks(cut) run in turn, for any cut.
    void run_all(Pairs& out) const {
        if (!levels_.empty()) self(levels_.size() - 1, 0, out);
    }

    void run(std::size_t level, const Task& t, Pairs& out) const {
        if (t.a == t.b)
            self(level, t.a, out);
        else
            cross(level, t.a, t.b, out);
    }

private:
    struct Node {
        Box bounds;
        std::int32_t first = 0;
        std::int32_t count = 0;
    };

    template <class BoundsOf>
    static std::vector<Node> group(std::size_t n, BoundsOf bounds_of) {
        std::vector<Node> nodes;
        nodes.reserve((n + FANOUT - 1) / FANOUT);
        for (std::size_t start = 0; start < n; start += FANOUT) {
            Node node;
            node.first = static_cast<std::int32_t>(start);
            node.count = static_cast<std::int32_t>(std::min(FANOUT, n - start));
            node.bounds = bounds_of(start);
            for (std::size_t k = start + 1; k < start + static_cast<std::size_t>(node.count); ++k)
                extend(node.bounds, bounds_of(k));
            nodes.push_back(node);
        }
        return nodes;
    }

    const Node& node(std::size_t level, std::int32_t k) const { return levels_[level][static_cast<std::size_t>(k)]; }

    void emit(std::int32_t i, std::int32_t j, Pairs& out) const {
        out.push_back({order_[static_cast<std::size_t>(i)], order_[static_cast<std::size_t>(j)]});
    }

    // Pairs within node a.
    void self(std::size_t level, std::int32_t a, Pairs& out) const {
        const Node& na = node(level, a);
        const std::int32_t end = na.first + na.count;
        if (level == 0) {
            for (std::int32_t i = na.first; i < end; ++i) {
                const Box& bi = sorted_[static_cast<std::size_t>(i)];
                for (std::int32_t j = i + 1; j < end; ++j)
                    if (touch(bi, sorted_[static_cast<std::size_t>(j)])) emit(i, j, out);
            }
            return;
        }
        for (std::int32_t i = na.first; i < end; ++i) {
            self(level - 1, i, out);
            const Box& bi = node(level - 1, i).bounds;
            for (std::int32_t j = i + 1; j < end; ++j)
                if (touch(bi, node(level - 1, j).bounds)) cross(level - 1, i, j, out);
        }
    }

    // Pairs between two different nodes of one level whose bounds touch.
    void cross(std::size_t level, std::int32_t a, std::int32_t b, Pairs& out) const {
        const Node& na = node(level, a);
        const Node& nb = node(level, b);
        // Only the entries of b that touch a's bounds can touch an entry of a.
        std::int32_t near[FANOUT];
        std::size_t near_count = 0;
        if (level == 0) {
            for (std::int32_t j = nb.first; j < nb.first + nb.count; ++j)
                if (touch(sorted_[static_cast<std::size_t>(j)], na.bounds)) near[near_count++] = j;
            if (near_count == 0) return;
            for (std::int32_t i = na.first; i < na.first + na.count; ++i) {
                const Box& bi = sorted_[static_cast<std::size_t>(i)];
                if (!touch(bi, nb.bounds)) continue;
                for (std::size_t k = 0; k < near_count; ++k)
                    if (touch(bi, sorted_[static_cast<std::size_t>(near[k])])) emit(i, near[k], out);
            }
            return;
        }
        for (std::int32_t j = nb.first; j < nb.first + nb.count; ++j)
            if (touch(node(level - 1, j).bounds, na.bounds)) near[near_count++] = j;
        if (near_count == 0) return;
        for (std::int32_t i = na.first; i < na.first + na.count; ++i) {
            const Box& bi = node(level - 1, i).bounds;
            if (!touch(bi, nb.bounds)) continue;
            for (std::size_t k = 0; k < near_count; ++k)
                if (touch(bi, node(level - 1, near[k]).bounds)) cross(level - 1, i, near[k], out);
        }
    }

    // The same walks as self and cross, stopping at level `cut`.
    void plan_self(std::size_t level, std::int32_t a, std::size_t cut, std::vector<Task>& out) const {
        if (level == cut) {
            out.push_back({a, a});
            return;
        }
        const Node& na = node(level, a);
        const std::int32_t end = na.first + na.count;
        for (std::int32_t i = na.first; i < end; ++i) {
            plan_self(level - 1, i, cut, out);
            const Box& bi = node(level - 1, i).bounds;
            for (std::int32_t j = i + 1; j < end; ++j)
                if (touch(bi, node(level - 1, j).bounds)) plan_cross(level - 1, i, j, cut, out);
        }
    }

    void plan_cross(std::size_t level, std::int32_t a, std::int32_t b, std::size_t cut, std::vector<Task>& out) const {
        if (level == cut) {
            out.push_back({a, b});
            return;
        }
        const Node& na = node(level, a);
        const Node& nb = node(level, b);
        for (std::int32_t i = na.first; i < na.first + na.count; ++i) {
            const Box& bi = node(level - 1, i).bounds;
            if (!touch(bi, nb.bounds)) continue;
            for (std::int32_t j = nb.first; j < nb.first + nb.count; ++j)
                if (touch(bi, node(level - 1, j).bounds)) plan_cross(level - 1, i, j, cut, out);
        }
    }

    std::vector<std::int32_t> order_;  // box numbers in leaf order
    std::vector<Box> sorted_;          // the boxes in leaf order
    std::vector<std::vector<Node>> levels_;
};

}  // namespace

// The join cut into tasks that `threads` threads take in turn. Each task
// writes its own list, so the lists, taken in task order, are the same however
// the tasks fall to the threads, and hold the pairs of Tree::run_all in its
// order.
void join_on_threads(const Tree& tree, std::vector<Pairs>& found, unsigned threads) {
    const std::size_t cut = tree.cut_level();
    const std::vector<Tree::Task> tasks = tree.tasks(cut);
    found.resize(tasks.size());
    std::atomic<std::size_t> next{0};
    auto work = [&]() {
        for (std::size_t t = next++; t < tasks.size(); t = next++) tree.run(cut, tasks[t], found[t]);
    };
    std::vector<std::thread> helpers;
    std::mutex failure_mutex;
    std::exception_ptr failure;
    for (unsigned k = 1; k < threads && k < tasks.size(); ++k) {
        try {
            helpers.emplace_back([&]() {
                try {
                    work();
                } catch (...) {
                    const std::lock_guard lock(failure_mutex);
                    if (!failure) failure = std::current_exception();
                    next = tasks.size();
                }
            });
        } catch (const std::system_error&) {
            break;  // no more threads to be had: those running do the tasks
        }
    }
    try {
        work();
    } catch (...) {
        next = tasks.size();
        for (std::thread& t : helpers) t.join();
        throw;
    }
    for (std::thread& t : helpers) t.join();
    if (failure) std::rethrow_exception(failure);
}

unsigned default_threads(std::size_t boxes, unsigned most_threads) {
    return boxes >= THREADED_FROM && most_threads > 1 ? most_threads : 1;
}

Neighbours touching_neighbours(const std::vector<Box>& boxes, unsigned threads) {
    const std::size_t n = boxes.size();
    if (threads == 0) threads = default_threads(n);

    std::vector<Pairs> found;
    {
        const Tree tree(boxes, threads);
        if (threads <= 1) {
            found.resize(1);
            tree.run_all(found[0]);
        } else {
            join_on_threads(tree, found, threads);
        }
    }

    // Counts first, then every pair written into both lists from the back of
    // each box's range, so that start[b] ends where box b's list begins. On
    // several threads each takes the boxes of one part and reads all pairs, so
    // the lists come out the same.
    Neighbours result;
    result.start.assign(n + 1, 0);
    run_parts(n, threads, [&](std::size_t from, std::size_t to) {
        for (const Pairs& pairs : found)
            for (const Pair& p : pairs) {
                const auto a = static_cast<std::size_t>(p.a), b = static_cast<std::size_t>(p.b);
                if (a >= from && a < to) ++result.start[a];
                if (b >= from && b < to) ++result.start[b];
            }
    });
    std::size_t total = 0;
    for (std::size_t b = 0; b < n; ++b) {
        total += result.start[b];
        result.start[b] = total;
    }
    result.start[n] = total;
    result.list.resize(total);
    run_parts(n, threads, [&](std::size_t from, std::size_t to) {
        for (const Pairs& pairs : found)
            for (const Pair& p : pairs) {
                const auto a = static_cast<std::size_t>(p.a), b = static_cast<std::size_t>(p.b);
                if (a >= from && a < to) result.list[--result.start[a]] = p.b;
                if (b >= from && b < to) result.list[--result.start[b]] = p.a;
            }
    });
    return result;
}

}  // namespace grouping
