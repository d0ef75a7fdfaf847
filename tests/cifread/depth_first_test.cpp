// The depth-first search over call graphs that both layout readers use: the
// order in which it finishes nodes, what it reports on a cycle, and that no
// depth of nesting runs the program's stack out.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "cifread/depth_first.h"

namespace {

using Graph = std::vector<std::vector<int>>;

struct Cycle {
    int edge_target;
    std::vector<int> stack;
};

// Runs the search; returns the finishing order, or throws Cycle.
std::vector<int> finish_order(const Graph& g) {
    std::vector<int> order;
    cifread::depth_first(
        g.size(), [&](int n) -> const std::vector<int>& { return g[static_cast<std::size_t>(n)]; },
        [](int t) { return t; },
        [](int t, const std::vector<cifread::DepthFirstFrame>& stack) {
            Cycle c{t, {}};
            for (const auto& f : stack) c.stack.push_back(f.node);
            throw c;
        },
        [&](int n) { order.push_back(n); });
    return order;
}

TEST(DepthFirst, FinishesEveryNodeOnceAfterWhatItReaches) {
    struct Case {
        const char* what;
        Graph graph;
        std::vector<int> order;  // worked out by hand
    };
    const Case cases[] = {
        {"no edges", {{}, {}, {}}, {0, 1, 2}},
        {"chain", {{1}, {2}, {}}, {2, 1, 0}},
        {"chain given backwards", {{}, {0}, {1}}, {0, 1, 2}},
        // 0 calls 1 and 2, both call 3: 3 is finished once, first under 1.
        {"diamond", {{1, 2}, {3}, {3}, {}}, {3, 1, 2, 0}},
        // Edges to nowhere (negative) are passed over.
        {"edges to nowhere", {{-1, 1, -7}, {}}, {1, 0}},
        // Two calls of the same node, and a node reached from a later start.
        {"repeated edge", {{2, 2}, {2}, {}}, {2, 0, 1}},
    };
    for (const Case& c : cases) EXPECT_EQ(finish_order(c.graph), c.order) << c.what;
}

TEST(DepthFirst, ReportsTheEdgeBackAndTheStackAtIt) {
    struct Case {
        const char* what;
        Graph graph;
        int target;
        std::vector<int> stack;
    };
    const Case cases[] = {
        {"self", {{0}}, 0, {0}},
        {"through two others", {{1}, {2}, {0}}, 0, {0, 1, 2}},
        // The cycle 2 -> 3 -> 2 below a node that is not part of it.
        {"below the start", {{1}, {2}, {3}, {2}}, 2, {0, 1, 2, 3}},
        // Node 0 finishes cleanly first; the cycle is found from start 1.
        {"from a later start", {{}, {2}, {1}}, 1, {1, 2}},
    };
    for (const Case& c : cases) {
        try {
            finish_order(c.graph);
            ADD_FAILURE() << c.what << ": no cycle reported";
        } catch (const Cycle& got) {
            EXPECT_EQ(got.edge_target, c.target) << c.what;
            EXPECT_EQ(got.stack, c.stack) << c.what;
        }
    }
}

TEST(DepthFirst, DeepNestingDoesNotUseTheCallStack) {
    // A chain two million nodes deep: a recursive search would overflow.
    const int n = 2'000'000;
    Graph g(static_cast<std::size_t>(n));
    for (int i = 0; i + 1 < n; ++i) g[static_cast<std::size_t>(i)].push_back(i + 1);
    const std::vector<int> order = finish_order(g);
    ASSERT_EQ(order.size(), static_cast<std::size_t>(n));
    EXPECT_EQ(order.front(), n - 1);
    EXPECT_EQ(order.back(), 0);
}

}  // namespace
