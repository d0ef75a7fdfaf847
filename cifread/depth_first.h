// Depth-first search over the call graph of a layout (CIF symbols calling
// symbols, GDSII structures referencing structures) with an explicit stack,
// so that no depth of nesting can exhaust the program's own stack.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace cifread {

// A node on the stack of the search and the index of its next edge.
struct DepthFirstFrame {
    int node;
    std::size_t next;
};

// Visits the nodes 0 to n-1, each start node in turn, following the edges
// in their order. `edges(node)` gives a node's edges (a vector), and
// `target(edge)` the node an edge leads to (negative: it leads nowhere and is
// passed over). An edge back to a node still on the stack calls
// `on_cycle(edge, stack)`, with the stack from the first start node to the
// node whose edge it is; it is meant to throw (if it returns, the edge is
// passed over). `finished(node)` is called once all of a node's edges are
// done, so every node is finished after all the nodes it reaches.
template <class Edges, class Target, class OnCycle, class Finished>
void depth_first(std::size_t n, Edges edges, Target target, OnCycle on_cycle, Finished finished) {
    std::vector<std::uint8_t> state(n, 0);  // 0 new, 1 on the stack, 2 done
    std::vector<DepthFirstFrame> stack;
    for (std::size_t start = 0; start < n; ++start) {
        if (state[start] != 0) continue;
        state[start] = 1;
        stack.push_back({static_cast<int>(start), 0});
        while (!stack.empty()) {
            const int node = stack.back().node;
            const auto& out = edges(node);
            if (stack.back().next == out.size()) {
                state[static_cast<std::size_t>(node)] = 2;
                stack.pop_back();
                finished(node);
                continue;
            }
            const auto& edge = out[stack.back().next++];
            const int t = target(edge);
            if (t < 0) continue;
            if (state[static_cast<std::size_t>(t)] == 1) {
                on_cycle(edge, stack);
            } else if (state[static_cast<std::size_t>(t)] == 0) {
                state[static_cast<std::size_t>(t)] = 1;
                stack.push_back({t, 0});
            }
        }
    }
}

}  // namespace cifread
