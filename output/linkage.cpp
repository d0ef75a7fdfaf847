// Neighbours, parents and chains of the structures, from their hinge boxes.
#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

#include "output/structure_table.h"

namespace output {

namespace {

struct HingeKey {
    std::int16_t kind;
    common::Rect32 extent;
    bool operator==(const HingeKey&) const = default;
};

std::uint64_t mix(std::uint64_t h) {
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdULL;
    h ^= h >> 33;
    h *= 0xc4ceb9fe1a85ec53ULL;
    h ^= h >> 33;
    return h;
}

std::uint64_t hash_of(const HingeKey& k) {
    const auto u = [](std::int32_t v) { return static_cast<std::uint64_t>(static_cast<std::uint32_t>(v)); };
    const std::uint64_t x = (u(k.extent.xmin) << 32) | u(k.extent.xmax), y = (u(k.extent.ymin) << 32) | u(k.extent.ymax);
    return mix(mix(x ^ static_cast<std::uint16_t>(k.kind)) + y);
}

// The first structure, in index order, holding a hinge entry of each kind and
// extent: an open-addressing table, linear probing, at most half full.
class FirstHolders {
public:
    explicit FirstHolders(std::size_t entries) {
        std::size_t size = 16;
        while (size < 2 * entries) size *= 2;
        slots_.resize(size);
        mask_ = size - 1;
    }
    // Records s for k unless an earlier structure holds k.
    void add(const HingeKey& k, std::int32_t s) {
        Slot& slot = find_slot(k);
        if (slot.holder == 0) slot = Slot{k, s};
    }
    // The first holder of k; 0 for none.
    std::int32_t holder(const HingeKey& k) { return find_slot(k).holder; }

private:
    struct Slot {
        HingeKey key{};
        std::int32_t holder = 0;  // structures are numbered from 1
    };
    Slot& find_slot(const HingeKey& k) {
        for (std::size_t at = hash_of(k) & mask_;; at = (at + 1) & mask_) {
            Slot& slot = slots_[at];
            if (slot.holder == 0 || slot.key == k) return slot;
        }
    }
    std::vector<Slot> slots_;
    std::size_t mask_ = 0;
};

HingeKey key_of(const HingeBox& h) { return HingeKey{h.kind, h.extent}; }

// The search for an anchored structure from structure s, arriving from `from`:
// true when s is anchored; false when s has exactly one neighbour; otherwise
// true when the search succeeds from one of s's neighbours other than `from`,
// arriving from s.
//
// Where the neighbour graph (each neighbour entry taken as an edge without
// direction) has no cycle around the search, the walk never comes back to a
// structure it has seen: a walk that never steps straight back and returns to
// a structure would, at its farthest point, have to step straight back. Then
// the answer depends on the pair (from, s) alone and is kept per neighbour
// entry, so every entry is worked out once. In a component with a cycle the
// search could go round for ever; there each top-level search visits every
// structure at most once (a structure already visited, the starting one
// included, answers false).
class AnchorSearch {
public:
    explicit AnchorSearch(const StructureTable& t) : t_(t), n_(t.count()) {
        entry_start_.assign(static_cast<std::size_t>(n_) + 2, 0);
        for (std::int32_t s = 1; s <= n_; ++s)
            entry_start_[static_cast<std::size_t>(s) + 1] = entry_start_[static_cast<std::size_t>(s)] + t_[s].neighbors.size();
        memo_.assign(entry_start_.back(), UNKNOWN);
        visit_stamp_.assign(static_cast<std::size_t>(n_) + 1, 0);
        mark_cyclic_components();
    }

    // reaches_anchor(from, s) for s = neighbour number k of `from`.
    bool reaches_anchor(std::int32_t from, std::size_t k) {
        const std::int32_t s = t_[from].neighbors[k];
        if (component_cyclic(from)) return search_with_visited_set(from, s);
        return search_memoised(from, entry_start_[static_cast<std::size_t>(from)] + k);
    }

private:
    enum : std::int8_t { UNKNOWN = -1, NO = 0, YES = 1 };

    std::int32_t root(std::int32_t x) {
        while (uf_[static_cast<std::size_t>(x)] != x) {
            uf_[static_cast<std::size_t>(x)] = uf_[static_cast<std::size_t>(uf_[static_cast<std::size_t>(x)])];
            x = uf_[static_cast<std::size_t>(x)];
        }
        return x;
    }

    void mark_cyclic_components() {
        std::vector<std::pair<std::int32_t, std::int32_t>> edges;
        for (std::int32_t s = 1; s <= n_; ++s)
            for (std::int32_t n : t_[s].neighbors) edges.emplace_back(std::min(s, n), std::max(s, n));
        std::sort(edges.begin(), edges.end());
        edges.erase(std::unique(edges.begin(), edges.end()), edges.end());
        uf_.resize(static_cast<std::size_t>(n_) + 1);
        for (std::int32_t s = 0; s <= n_; ++s) uf_[static_cast<std::size_t>(s)] = s;
        cyclic_.assign(static_cast<std::size_t>(n_) + 1, 0);
        for (const auto& [a, b] : edges) {
            const std::int32_t ra = root(a), rb = root(b);
            if (ra == rb) {
                cyclic_[static_cast<std::size_t>(ra)] = 1;
            } else {
                uf_[static_cast<std::size_t>(rb)] = ra;
                cyclic_[static_cast<std::size_t>(ra)] |= cyclic_[static_cast<std::size_t>(rb)];
            }
        }
    }

    bool component_cyclic(std::int32_t s) { return cyclic_[static_cast<std::size_t>(root(s))] != 0; }

    // Answer for neighbour entry `entry` of structure `owner`, worked out depth
    // first with an explicit stack; every entry's answer is kept.
    bool search_memoised(std::int32_t owner, std::size_t entry) {
        struct Frame {
            std::size_t entry;  // the pair (from, s) being answered
            std::int32_t from, s;
            std::size_t next;   // next neighbour of s to try
        };
        std::vector<Frame> stack;
        // Settles entry e (from `from` to s) at once where the rule allows,
        // else pushes a frame for it. Returns false when it pushed.
        auto open = [&](std::size_t e, std::int32_t from, std::int32_t s) {
            if (memo_[e] != UNKNOWN) return true;
            if (t_[s].anchor) {
                memo_[e] = YES;
                return true;
            }
            if (t_[s].neighbor_count() == 1) {
                memo_[e] = NO;
                return true;
            }
            stack.push_back(Frame{e, from, s, 0});
            return false;
        };
        open(entry, owner, t_[owner].neighbors[entry - entry_start_[static_cast<std::size_t>(owner)]]);
        while (!stack.empty()) {
            Frame& f = stack.back();
            const std::vector<std::int32_t>& around = t_[f.s].neighbors;
            bool descended = false, success = false;
            for (; f.next < around.size(); ++f.next) {
                const std::int32_t n = around[f.next];
                if (n == f.from) continue;
                const std::size_t child = entry_start_[static_cast<std::size_t>(f.s)] + f.next;
                // `f` is not used after a push; the same neighbour is looked at
                // again, answered, when the search comes back to this frame.
                if (!open(child, f.s, n)) {
                    descended = true;
                    break;
                }
                if (memo_[child] == YES) {
                    success = true;
                    break;
                }
            }
            if (descended) continue;
            memo_[stack.back().entry] = success ? YES : NO;
            stack.pop_back();
        }
        return memo_[entry] == YES;
    }

    bool search_with_visited_set(std::int32_t from, std::int32_t start) {
        ++stamp_;
        visit_stamp_[static_cast<std::size_t>(from)] = stamp_;
        struct Frame {
            std::int32_t from, s;
            std::size_t next;
        };
        std::vector<Frame> stack;
        auto enter = [&](std::int32_t came_from, std::int32_t s) -> int {
            // 1 true, 0 false, -1 pushed
            if (visit_stamp_[static_cast<std::size_t>(s)] == stamp_) return 0;
            visit_stamp_[static_cast<std::size_t>(s)] = stamp_;
            if (t_[s].anchor) return 1;
            if (t_[s].neighbor_count() == 1) return 0;
            stack.push_back(Frame{came_from, s, 0});
            return -1;
        };
        const int first = enter(from, start);
        if (first >= 0) return first == 1;
        while (!stack.empty()) {
            Frame& f = stack.back();
            const Structure& s = t_[f.s];
            if (f.next >= s.neighbors.size()) {
                stack.pop_back();  // false; the caller goes on with its next neighbour
                continue;
            }
            const std::int32_t n = s.neighbors[f.next++];
            if (n == f.from) continue;
            if (enter(f.s, n) == 1) return true;  // a success ends the whole search
        }
        return false;
    }

    const StructureTable& t_;
    std::int32_t n_;
    std::vector<std::size_t> entry_start_;
    std::vector<std::int8_t> memo_;
    std::vector<std::int32_t> uf_;
    std::vector<char> cyclic_;
    std::vector<std::uint64_t> visit_stamp_;
    std::uint64_t stamp_ = 0;
};

}  // namespace

void find_neighbors(StructureTable& t) {
    const std::int32_t n = t.count();
    std::size_t hinge_entries = 0;
    for (std::int32_t s = 1; s <= n; ++s) hinge_entries += t[s].hinges.size();
    FirstHolders first_holder(hinge_entries);
    for (std::int32_t s = 1; s <= n; ++s)
        for (const HingeBox& h : t[s].hinges) first_holder.add(key_of(h), s);

    std::vector<std::int32_t> listed_for(static_cast<std::size_t>(n) + 1, 0);
    for (std::int32_t i = 1; i <= n; ++i) {
        Structure& s = t[i];
        s.neighbors.clear();
        // Entry 0 is looked at even when there is no hinge box: it is of kind 0
        // and matches nothing.
        for (const HingeBox& h : s.hinges) {
            HingeKey wanted = key_of(h);
            wanted.kind = static_cast<std::int16_t>(3 - h.kind);
            // Only the first matching structure counts, even when it is i itself.
            const std::int32_t m = first_holder.holder(wanted);
            if (m == 0 || m == i || listed_for[static_cast<std::size_t>(m)] == i) continue;
            listed_for[static_cast<std::size_t>(m)] = i;
            s.neighbors.push_back(m);
        }
    }
}

void compute_linkage(StructureTable& t) {
    const std::int32_t n = t.count();
    AnchorSearch search(t);
    for (std::int32_t i = 1; i <= n; ++i) {
        Structure& s = t[i];
        s.parent = -1;
        if (s.anchor) continue;
        if (s.neighbor_count() == 1) {
            s.parent = s.neighbors[0];
            continue;
        }
        for (std::size_t k = 0; k < s.neighbors.size(); ++k) {
            if (search.reaches_anchor(i, k)) {
                s.parent = s.neighbors[k];
                break;
            }
        }
    }
    // Chains follow the parents; a walk that comes back to a structure already
    // in the chain (parents in a ring) stops there.
    std::vector<std::int32_t> in_chain_of(static_cast<std::size_t>(n) + 1, 0);
    for (std::int32_t i = 1; i <= n; ++i) {
        Structure& s = t[i];
        s.chain.assign(1, i);
        in_chain_of[static_cast<std::size_t>(i)] = i;
        for (std::int32_t at = i; t[at].parent != -1;) {
            const std::int32_t p = t[at].parent;
            if (in_chain_of[static_cast<std::size_t>(p)] == i) break;
            in_chain_of[static_cast<std::size_t>(p)] = i;
            s.chain.push_back(p);
            at = p;
        }
        s.chain_length = static_cast<std::int32_t>(s.chain.size()) - 1;
    }
}

}  // namespace output
