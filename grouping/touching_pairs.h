// Every pair of touching boxes of a box list, found at once by joining a
// packed R-tree with itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <system_error>
#include <thread>
#include <vector>

#include "common/box.h"

namespace grouping {

using common::Box;

// The touching boxes of every box (the box itself not included), in one array:
// those of box b are list[start[b]] up to list[start[b + 1]], in no particular
// order but the same for every number of threads.
struct Neighbours {
    std::vector<std::size_t> start;
    std::vector<std::int32_t> list;
};

// `threads` 0 stands for default_threads(boxes.size()).
Neighbours touching_neighbours(const std::vector<Box>& boxes, unsigned threads = 0);

// `most_threads` (at least one) for large lists, one otherwise: below some
// tens of thousands of boxes, starting a thread costs more than it saves.
unsigned default_threads(std::size_t boxes, unsigned most_threads = 2);

// work(from, to) over `threads` consecutive parts of [0, n), each on a thread
// of its own (the first on this one). `work` must not throw and the parts
// must not write the same memory. A part whose thread cannot be started runs
// on this one.
template <class Work>
void run_parts(std::size_t n, unsigned threads, Work work) {
    if (threads < 2) {
        work(std::size_t{0}, n);
        return;
    }
    auto bound = [&](unsigned k) { return n / threads * k + n % threads * k / threads; };
    std::vector<std::thread> helpers;
    for (unsigned k = 1; k < threads; ++k) {
        try {
            helpers.emplace_back(work, bound(k), bound(k + 1));
        } catch (const std::system_error&) {
            work(bound(k), bound(k + 1));
        }
    }
    work(std::size_t{0}, bound(1));
    for (std::thread& t : helpers) t.join();
}

}  // namespace grouping
