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

// Two threads for large lists where the machine has two cores, one otherwise:
// below some tens of thousands of boxes, starting a thread costs more than it
// saves.
unsigned default_threads(std::size_t boxes);

// work(0, n / 2) and work(n / 2, n), on two threads when `threads` is two or
// more. `work` must not throw and the two halves must not write the same
// memory. When no thread can be started, both halves run on this one.
template <class Work>
void run_halves(std::size_t n, unsigned threads, Work work) {
    if (threads < 2) {
        work(std::size_t{0}, n);
        return;
    }
    std::thread helper;
    try {
        helper = std::thread(work, n / 2, n);
    } catch (const std::system_error&) {
        work(n / 2, n);
    }
    work(std::size_t{0}, n / 2);
    if (helper.joinable()) helper.join();
}

}  // namespace grouping
