#include "grouping/box_index.h"

#include <algorithm>
#include <cmath>

namespace grouping {

namespace {

constexpr std::int32_t FANOUT = 12;

// Twice the centre, kept in 64 bits so that the sum of two coordinates cannot overflow.
std::int64_t centre_x2(const Box& b) { return std::int64_t{b.xmin} + b.xmax; }
std::int64_t centre_y2(const Box& b) { return std::int64_t{b.ymin} + b.ymax; }

// Sort-tile-recursive order: vertical slices by x centre, each sorted by y
// centre, so that consecutive runs of FANOUT entries are compact tiles.
template <class Key>
void tile_order(std::vector<std::int32_t>& ids, Key bounds_of) {
    const std::size_t n = ids.size();
    if (n <= static_cast<std::size_t>(FANOUT)) return;
    std::sort(ids.begin(), ids.end(), [&](std::int32_t a, std::int32_t b) {
        return centre_x2(bounds_of(a)) < centre_x2(bounds_of(b));
    });
    const std::size_t leaves = (n + FANOUT - 1) / FANOUT;
    const auto slices = static_cast<std::size_t>(std::ceil(std::sqrt(static_cast<double>(leaves))));
    const std::size_t per_slice = ((leaves + slices - 1) / slices) * FANOUT;
    for (std::size_t start = 0; start < n; start += per_slice) {
        const std::size_t end = std::min(n, start + per_slice);
        std::sort(ids.begin() + static_cast<std::ptrdiff_t>(start), ids.begin() + static_cast<std::ptrdiff_t>(end),
                  [&](std::int32_t a, std::int32_t b) {
                      return centre_y2(bounds_of(a)) < centre_y2(bounds_of(b));
                  });
    }
}

}  // namespace

BoxIndex::BoxIndex(const std::vector<Box>& boxes) : boxes_(boxes) {
    if (boxes.empty()) return;
    items_.resize(boxes.size());
    for (std::size_t i = 0; i < boxes.size(); ++i) items_[i] = static_cast<std::int32_t>(i);
    tile_order(items_, [&](std::int32_t id) -> const Box& { return boxes_[static_cast<std::size_t>(id)]; });

    // Leaves.
    std::vector<std::int32_t> level;
    for (std::size_t start = 0; start < items_.size(); start += FANOUT) {
        Node node;
        node.leaf = true;
        node.first = static_cast<std::int32_t>(start);
        node.count = static_cast<std::int32_t>(std::min<std::size_t>(FANOUT, items_.size() - start));
        node.bounds = boxes_[static_cast<std::size_t>(items_[start])];
        for (std::int32_t k = 1; k < node.count; ++k)
            node.bounds = bounding_union(node.bounds, boxes_[static_cast<std::size_t>(items_[start + static_cast<std::size_t>(k)])]);
        level.push_back(static_cast<std::int32_t>(nodes_.size()));
        nodes_.push_back(node);
    }
    // Inner levels: the nodes of one level are tiled again and grouped, and a
    // parent's children are stored next to each other.
    while (level.size() > 1) {
        tile_order(level, [&](std::int32_t id) -> const Box& { return nodes_[static_cast<std::size_t>(id)].bounds; });
        std::vector<Node> reordered;
        reordered.reserve(level.size());
        for (std::int32_t id : level) reordered.push_back(nodes_[static_cast<std::size_t>(id)]);
        const auto base = static_cast<std::int32_t>(nodes_.size());
        nodes_.insert(nodes_.end(), reordered.begin(), reordered.end());
        std::vector<std::int32_t> parents;
        for (std::size_t start = 0; start < level.size(); start += FANOUT) {
            Node node;
            node.first = base + static_cast<std::int32_t>(start);
            node.count = static_cast<std::int32_t>(std::min<std::size_t>(FANOUT, level.size() - start));
            node.bounds = nodes_[static_cast<std::size_t>(node.first)].bounds;
            for (std::int32_t k = 1; k < node.count; ++k)
                node.bounds = bounding_union(node.bounds, nodes_[static_cast<std::size_t>(node.first + k)].bounds);
            parents.push_back(static_cast<std::int32_t>(nodes_.size()));
            nodes_.push_back(node);
        }
        level.swap(parents);
    }
    root_ = level.front();
}

void BoxIndex::touching(const Box& probe, std::vector<std::int32_t>& out) const {
    if (root_ < 0) return;
    // An explicit stack: the depth is logarithmic, but no recursion is needed.
    // It is kept from one query to the next (one per thread) to spare an
    // allocation per query.
    thread_local std::vector<std::int32_t> stack;
    stack.assign(1, root_);
    while (!stack.empty()) {
        const Node& node = nodes_[static_cast<std::size_t>(stack.back())];
        stack.pop_back();
        if (!boxes_touch(node.bounds, probe)) continue;
        if (node.leaf) {
            for (std::int32_t k = 0; k < node.count; ++k) {
                const std::int32_t id = items_[static_cast<std::size_t>(node.first + k)];
                if (boxes_touch(boxes_[static_cast<std::size_t>(id)], probe)) out.push_back(id);
            }
        } else {
            for (std::int32_t k = 0; k < node.count; ++k) stack.push_back(node.first + k);
        }
    }
}

}  // namespace grouping
