#include "grouping/grouping_table.h"

#include <algorithm>
#include <functional>
#include <limits>
#include <queue>

#include "grouping/touching_pairs.h"

namespace grouping {

// How the table's result is reached without rescanning every slot for every box
// and restarting every merge pass from slot 0.
//
// Placing. While boxes are being placed no merge has happened, so a slot's list
// holds only boxes added to it directly and its bounds contain all of them: the
// slot accepts a box exactly when one of its boxes touches it. The lowest slot
// that accepts box b is therefore the lowest slot of the earlier boxes that touch
// b. All touching pairs are found at once beforehand (touching_pairs.h), which
// gives each box's touching boxes once and for all; the merge phase only ever
// needs those. Placing and merging take minima over them or test each of them
// alone, so their order within a box's list does not matter.
//
// Merging. A pass of the table takes the first slot i (in number order) that has
// a box p (in list order) accepted by another active slot, and merges into i the
// lowest active slot j that accepts p. Call a box "clear" when no active slot
// other than its own accepts it. The merge below keeps a set of "suspect" boxes
// per slot with the invariant: every box outside the suspect sets is clear.
// Then the first suspect slot, examined in list order with clear suspects
// dropped, yields exactly the box and the slot a pass from slot 0 would find,
// because every box of a lower slot, and every earlier box of the same slot, is
// clear. When no suspect is left, a pass would find nothing, and merging ends
// with the table's result.
//
// The invariant survives a merge of j into i because of what a merge changes:
// only the list of i grows (by the boxes of j), j stops being active, and no
// bounds change. A clear box of i or of j stays clear: the other slots' lists and
// bounds are as before, and j's disappearance only takes away a slot that might
// accept. A clear box p of a third slot stays clear with respect to every slot
// but i; i now accepts p only if i's bounds touch p and p touches a box that came
// from j. So exactly those boxes become suspects again: the boxes touching one
// of j's boxes, outside i, that i's bounds touch.
//
// Positions. Suspects are ordered by their position in their slot's list. A
// merge appends the whole list of j behind that of i, so positions are kept in a
// union-find over boxes whose links carry offsets: a merge shifts all of j's
// positions by the length of i in one step. Within one slot the relative order
// of two boxes never changes, so each slot's suspects can live in a binary heap
// keyed by the current positions; merging two heaps pushes the smaller into the
// larger. A heap keeps each suspect's position beside it, less an offset of the
// heap, so that moving all of j's suspects back by the length of i changes
// only the offset.
//
// At the start every box that is not clear is a suspect. Before any merge a
// box's slot is the one it was placed in, so this first check needs no
// union-find and can run on several threads.

namespace {

constexpr std::int32_t NONE = -1;

class MergeTable {
public:
    MergeTable(const std::vector<Box>& boxes, unsigned threads) : boxes_(boxes) {
        threads_ = threads == 0 ? default_threads(boxes.size()) : threads;
    }

    void place_all() {
        Neighbours found = touching_neighbours(boxes_, threads_);
        neighbor_start_ = std::move(found.start);
        neighbors_ = std::move(found.list);
        const std::size_t n = boxes_.size();
        slot_of_placed_.assign(n, NONE);
        next_.assign(n, NONE);
        for (std::size_t b = 0; b < n; ++b) {
            std::int32_t lowest = std::numeric_limits<std::int32_t>::max();
            for (std::size_t e = neighbor_start_[b]; e < neighbor_start_[b + 1]; ++e) {
                const std::int32_t q = neighbors_[e];
                if (static_cast<std::size_t>(q) < b) lowest = std::min(lowest, slot_of_placed_[static_cast<std::size_t>(q)]);
            }
            const auto box = static_cast<std::int32_t>(b);
            if (lowest == std::numeric_limits<std::int32_t>::max()) {
                lowest = static_cast<std::int32_t>(bounds_.size());
                bounds_.push_back(boxes_[b]);
                head_.push_back(box);
                tail_.push_back(box);
                length_.push_back(1);
            } else {
                const auto k = static_cast<std::size_t>(lowest);
                extend(bounds_[k], boxes_[b]);
                next_[static_cast<std::size_t>(tail_[k])] = box;
                tail_[k] = box;
                ++length_[k];
            }
            slot_of_placed_[b] = lowest;
        }
    }

    void merge_all() {
        const std::size_t n = boxes_.size();
        const std::size_t slots = bounds_.size();
        active_.assign(slots, 1);
        queued_.assign(slots, 0);
        suspects_.assign(slots, {});
        heap_offset_.assign(slots, 0);
        slot_root_.assign(slots, NONE);
        uf_.assign(n, Link{});
        suspect_.assign(n, 0);
        for (std::size_t k = 0; k < slots; ++k) {
            const std::int32_t root = head_[k];
            slot_root_[k] = root;
            uf_[static_cast<std::size_t>(root)] = {root_link(static_cast<std::int32_t>(k)), 0};
            std::int32_t position = 1;
            for (std::int32_t b = next_[static_cast<std::size_t>(root)]; b != NONE; b = next_[static_cast<std::size_t>(b)], ++position)
                uf_[static_cast<std::size_t>(b)] = {root, position};
        }
        // The boxes that are clear before any merge need not be suspects.
        // The others are, each slot's in list order, which is a valid heap
        // order (positions increase along it).
        mark_unclear_at_start();
        std::vector<std::int32_t>().swap(slot_of_placed_);
        std::vector<std::int32_t> first_queue;
        std::vector<Suspect> found;
        for (std::size_t k = 0; k < slots; ++k) {
            found.clear();
            std::int32_t position = 0;
            for (std::int32_t b = head_[k]; b != NONE; b = next_[static_cast<std::size_t>(b)], ++position)
                if (suspect_[static_cast<std::size_t>(b)]) found.push_back({position, b});
            if (!found.empty()) {
                suspects_[k].assign(found.begin(), found.end());  // no room to spare: there are many slots
                first_queue.push_back(static_cast<std::int32_t>(k));
                queued_[k] = 1;
            }
        }
        // Slot numbers in increasing order already form a heap.
        queue_ = decltype(queue_)(std::greater<>(), std::move(first_queue));

        while (!queue_.empty()) {
            const std::int32_t i = queue_.top();
            queue_.pop();
            const auto si = static_cast<std::size_t>(i);
            queued_[si] = 0;
            if (!active_[si]) continue;
            std::vector<Suspect>& heap = suspects_[si];
            while (!heap.empty()) {
                const std::int32_t p = heap.front().box;
                const std::int32_t j = lowest_accepting_slot(p, i);
                if (j == NONE) {
                    std::pop_heap(heap.begin(), heap.end(), LaterInList{});
                    heap.pop_back();
                    suspect_[static_cast<std::size_t>(p)] = 0;
                    continue;
                }
                merge_slots(i, j);
                enqueue(i);  // p may be accepted by yet another slot
                break;
            }
        }
    }

    Grouping result() const {
        Grouping g;
        g.order.reserve(boxes_.size());
        for (std::size_t k = 0; k < bounds_.size(); ++k) {
            if (!active_[k]) continue;
            for (std::int32_t b = head_[k]; b != NONE; b = next_[static_cast<std::size_t>(b)]) g.order.push_back(b);
            g.ends.push_back(g.order.size());
        }
        return g;
    }

private:
    // A union-find link: a box below another, with its list position
    // relative to that box; or the root of a slot's boxes, with its own list
    // position, the slot kept as a negative number in `up`.
    struct Link {
        std::int32_t up = NONE;
        std::int32_t offset = 0;
    };
    static std::int32_t root_link(std::int32_t slot) { return -1 - slot; }

    // Root of box x, and x's list position, compressing the path to the root.
    // Positions and the relative offsets on the way lie between -n and n.
    std::int32_t find(std::int32_t x, std::int64_t& position) {
        std::int32_t r = x;
        std::int64_t below_root = 0;  // x's position minus the root's
        while (uf_[static_cast<std::size_t>(r)].up >= 0) {
            below_root += uf_[static_cast<std::size_t>(r)].offset;
            r = uf_[static_cast<std::size_t>(r)].up;
        }
        position = below_root + uf_[static_cast<std::size_t>(r)].offset;
        for (std::int32_t v = x; v != r;) {
            Link& link = uf_[static_cast<std::size_t>(v)];
            const std::int32_t up = link.up;
            const std::int32_t offset = link.offset;
            link.up = r;
            link.offset = static_cast<std::int32_t>(below_root);
            below_root -= offset;
            v = up;
        }
        return r;
    }

    std::int32_t slot_of(std::int32_t x) {
        std::int64_t position = 0;
        return root_link(uf_[static_cast<std::size_t>(find(x, position))].up);
    }

    std::int64_t position_of(std::int32_t x) {
        std::int64_t position = 0;
        find(x, position);
        return position;
    }

    // A suspect in a slot's heap. The box's list position is `key` plus the
    // heap's offset, so that a merge that moves a whole heap's boxes back
    // changes one offset. Keys, offsets and positions lie between -n and n.
    struct Suspect {
        std::int32_t key;
        std::int32_t box;
    };
    // Heap order: the box with the lowest list position on top.
    struct LaterInList {
        bool operator()(const Suspect& a, const Suspect& b) const { return a.key > b.key; }
    };

    // Marks in suspect_ the boxes that another slot accepts before any merge,
    // when a box's slot is the one it was placed in. Reads only, so large
    // lists are split between the threads.
    void mark_unclear_at_start() {
        const std::size_t n = boxes_.size();
        auto mark = [this](std::size_t from, std::size_t to) {
            for (std::size_t b = from; b < to; ++b) {
                const std::int32_t own = slot_of_placed_[b];
                for (std::size_t e = neighbor_start_[b]; e < neighbor_start_[b + 1]; ++e) {
                    const std::int32_t s = slot_of_placed_[static_cast<std::size_t>(neighbors_[e])];
                    if (s != own && touch(bounds_[static_cast<std::size_t>(s)], boxes_[b])) {
                        suspect_[b] = 1;
                        break;
                    }
                }
            }
        };
        run_parts(n, threads_, mark);
    }

    // The lowest active slot other than `own` whose bounds touch box p and which
    // holds a box touching p; NONE when there is none.
    std::int32_t lowest_accepting_slot(std::int32_t p, std::int32_t own) {
        const Box& box = boxes_[static_cast<std::size_t>(p)];
        std::int32_t best = NONE;
        for (std::size_t e = neighbor_start_[static_cast<std::size_t>(p)]; e < neighbor_start_[static_cast<std::size_t>(p) + 1]; ++e) {
            const std::int32_t s = slot_of(neighbors_[e]);
            if (s == own || (best != NONE && s >= best)) continue;
            if (touch(bounds_[static_cast<std::size_t>(s)], box)) best = s;
        }
        return best;
    }

    void enqueue(std::int32_t k) {
        if (!queued_[static_cast<std::size_t>(k)]) {
            queued_[static_cast<std::size_t>(k)] = 1;
            queue_.push(k);
        }
    }

    void make_suspect(std::int32_t p, std::int32_t slot) {
        if (suspect_[static_cast<std::size_t>(p)]) return;
        suspect_[static_cast<std::size_t>(p)] = 1;
        const auto k = static_cast<std::size_t>(slot);
        std::vector<Suspect>& heap = suspects_[k];
        heap.push_back({static_cast<std::int32_t>(position_of(p) - heap_offset_[k]), p});
        std::push_heap(heap.begin(), heap.end(), LaterInList{});
        enqueue(slot);
    }

    // Slot i absorbs slot j: j's list goes behind i's, i's bounds stay.
    void merge_slots(std::int32_t i, std::int32_t j) {
        const auto si = static_cast<std::size_t>(i);
        const auto sj = static_cast<std::size_t>(j);
        // Boxes of other slots that i may accept from now on.
        const Box& bounds_i = bounds_[si];
        for (std::int32_t q = head_[sj]; q != NONE; q = next_[static_cast<std::size_t>(q)]) {
            for (std::size_t e = neighbor_start_[static_cast<std::size_t>(q)]; e < neighbor_start_[static_cast<std::size_t>(q) + 1]; ++e) {
                const std::int32_t p = neighbors_[e];
                if (suspect_[static_cast<std::size_t>(p)] || !touch(bounds_i, boxes_[static_cast<std::size_t>(p)])) continue;
                const std::int32_t s = slot_of(p);
                if (s != i && s != j) make_suspect(p, s);
            }
        }

        // Positions: every box of j moves back by the length of i. The larger
        // tree of the union-find takes the other.
        const std::int32_t ri = slot_root_[si];
        const std::int32_t rj = slot_root_[sj];
        const std::int64_t len_i = length_[si];
        Link& link_i = uf_[static_cast<std::size_t>(ri)];
        Link& link_j = uf_[static_cast<std::size_t>(rj)];
        if (length_[sj] <= length_[si]) {
            link_j.up = ri;
            link_j.offset = static_cast<std::int32_t>(len_i + link_j.offset - link_i.offset);
            link_i.up = root_link(i);
        } else {
            link_j.offset = static_cast<std::int32_t>(link_j.offset + len_i);
            link_i.offset -= link_j.offset;
            link_i.up = rj;
            link_j.up = root_link(i);
            slot_root_[si] = rj;
        }

        // The suspects of both slots now order by positions in i: those of j
        // moved back by len_i. The smaller heap goes into the larger.
        std::vector<Suspect>* into = &suspects_[si];
        std::vector<Suspect>* from = &suspects_[sj];
        std::int64_t into_offset = heap_offset_[si];
        std::int64_t from_offset = heap_offset_[sj] + len_i;
        if (from->size() > into->size()) {
            std::swap(into, from);
            std::swap(into_offset, from_offset);
        }
        for (const Suspect& s : *from) {
            into->push_back({static_cast<std::int32_t>(s.key + from_offset - into_offset), s.box});
            std::push_heap(into->begin(), into->end(), LaterInList{});
        }
        if (into != &suspects_[si]) suspects_[si].swap(*into);
        std::vector<Suspect>().swap(suspects_[sj]);
        heap_offset_[si] = into_offset;
        heap_offset_[sj] = 0;

        next_[static_cast<std::size_t>(tail_[si])] = head_[sj];
        tail_[si] = tail_[sj];
        length_[si] += length_[sj];
        active_[sj] = 0;
    }

    const std::vector<Box>& boxes_;
    unsigned threads_ = 1;
    // Touching boxes of every box, in one array.
    std::vector<std::size_t> neighbor_start_;
    std::vector<std::int32_t> neighbors_;
    std::vector<std::int32_t> slot_of_placed_;
    // Slots: bounds of the directly added boxes, list ends, list length.
    std::vector<Box> bounds_;
    std::vector<std::int32_t> head_, tail_;
    std::vector<std::int64_t> length_;
    std::vector<std::int32_t> next_;  // list links, per box
    std::vector<char> active_, queued_;
    std::vector<std::vector<Suspect>> suspects_;  // heap per slot
    std::vector<std::int64_t> heap_offset_;       // per slot
    std::vector<char> suspect_;                   // per box
    std::priority_queue<std::int32_t, std::vector<std::int32_t>, std::greater<>> queue_;
    std::vector<Link> uf_;                        // per box
    std::vector<std::int32_t> slot_root_;
};

}  // namespace

Grouping group_into_structures(const std::vector<Box>& boxes, unsigned threads) {
    MergeTable table(boxes, threads);
    table.place_all();
    table.merge_all();
    return table.result();
}

}  // namespace grouping
