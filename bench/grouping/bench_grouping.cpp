// Times structure grouping alone on a box list read from a file in the
// premason.file format (one line "xmin xmax ymin ymax zmin zmax" per box), as
// a run with --keep-intermediates leaves it.
//
//   bench-grouping BOX_LIST_FILE [REPEAT]
//
// Each round groups the list on one thread and then with the threads the
// grouping chooses itself, and prints the structure count, the CPU and wall
// time of each, the peak resident memory of the process so far, and a
// checksum of the grouping (box order and structure ends), which must agree
// between the two and can be compared between two builds on the same file.
#include <sys/resource.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "common/box.h"
#include "grouping/grouping_table.h"

namespace {

double cpu_seconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

double peak_mib() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_maxrss) / 1024.0;
}

std::uint64_t checksum(const grouping::Grouping& g) {
    std::uint64_t h = 1469598103934665603ULL;
    auto mix = [&](std::uint64_t v) { h = (h ^ v) * 1099511628211ULL; };
    for (const std::int32_t b : g.order) mix(static_cast<std::uint64_t>(b));
    for (const std::size_t e : g.ends) mix(e);
    return h;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: bench-grouping BOX_LIST_FILE [REPEAT]\n");
        return 2;
    }
    std::FILE* in = std::fopen(argv[1], "r");
    if (in == nullptr) {
        std::perror(argv[1]);
        return 1;
    }
    const int repeat = argc == 3 ? std::atoi(argv[2]) : 1;
    std::vector<common::Box> boxes;
    common::Box b;
    while (std::fscanf(in, "%d %d %d %d %d %d", &b.xmin, &b.xmax, &b.ymin, &b.ymax, &b.zmin, &b.zmax) == 6)
        boxes.push_back(b);
    std::fclose(in);
    std::printf("%zu boxes, peak before grouping %.0f MiB\n", boxes.size(), peak_mib());
    for (int r = 0; r < repeat; ++r) {
        for (const unsigned threads : {1u, 0u}) {
            const double c0 = cpu_seconds();
            const auto t0 = std::chrono::steady_clock::now();
            const grouping::Grouping g = grouping::group_into_structures(boxes, threads);
            const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
            std::printf("%-14s %zu structures, %.3f s CPU, %.3f s wall, peak %.0f MiB, checksum %016llx\n",
                        threads == 1 ? "one thread:" : "chosen threads:", g.ends.size(), cpu_seconds() - c0, wall,
                        peak_mib(), static_cast<unsigned long long>(checksum(g)));
        }
    }
    return 0;
}
