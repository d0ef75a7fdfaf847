#include "driver/threads.h"

#include <algorithm>
#include <thread>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace driver {

std::optional<int> read_thread_count(const std::string& text) {
    if (text.empty() || text.size() > 3) return std::nullopt;
    int n = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        n = n * 10 + (c - '0');
    }
    if (n < 1 || n > MAX_THREADS_OPTION) return std::nullopt;
    return n;
}

int run_threads(int requested) {
    if (requested > 0) return requested;
    const unsigned machine = std::thread::hardware_concurrency();  // 0 when unknown
    return std::clamp(static_cast<int>(std::min(machine, 64u)), 1, MOST_USEFUL_THREADS);
}

void tune_allocator() {
#if defined(__GLIBC__)
    // The stages allocate and free large arrays over and over. By default
    // glibc gives arrays above 128 KiB back to the system at once, and every
    // new one is then faulted in page by page again; keeping them in the heap
    // for reuse spares a tenth of the run on big layouts.
    mallopt(M_MMAP_THRESHOLD, 256 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 512 * 1024 * 1024);
    // The threads of the layer recipe and the grouping all allocate from one
    // arena: memory that a large step on one thread gives back serves the
    // next large step on any, instead of staying with the thread that freed
    // it.
    mallopt(M_ARENA_MAX, 1);
#endif
}

}  // namespace driver
