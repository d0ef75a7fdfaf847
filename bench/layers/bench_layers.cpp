// Times process_layers on generated layouts, on one thread and on two. Each layout is a grid of device
// cells of ten boxes, one on each CIF layer (anchor, both poly levels, base
// metal, metal, the holes, oxide, and a lone COF box), overlapping the way a
// hinged plate does, so that every step of the recipe has work to do.
//
//   bench-layers [BOXES...]      (default: 1000 10000 100000)
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "common/polygon_file.h"
#include "layers/process_layers.h"

namespace {

struct Box {
    double xmin, ymin, xmax, ymax;
};

// One cell of 100 x 100 at (ox, oy), per layer.
const std::vector<std::pair<std::string, Box>> cell = {
    {"COL", {0, 0, 10, 10}},  {"CPS", {15, 0, 60, 40}},  {"CPT", {5, 20, 70, 50}},  {"CMB", {20, 25, 40, 45}},
    {"CCM", {30, 30, 50, 60}}, {"CHM", {35, 35, 45, 40}}, {"CHO", {25, 5, 35, 15}},  {"COT", {22, 22, 28, 48}},
    {"CHT", {60, 25, 65, 30}}, {"COF", {80, 80, 90, 90}},
};

// The layer files as the CIF split makes them.
common::PolygonFiles make_layout(long boxes) {
    const long cells = std::max(1L, boxes / static_cast<long>(cell.size()));
    const long per_row = static_cast<long>(std::ceil(std::sqrt(static_cast<double>(cells))));
    std::map<std::string, std::vector<common::PointD>> corners;
    for (long c = 0; c < cells; ++c) {
        const double ox = 100.0 * static_cast<double>(c % per_row);
        const double oy = 100.0 * static_cast<double>(c / per_row);
        for (const auto& [layer, b] : cell) {
            std::vector<common::PointD>& v = corners[layer];
            for (const auto& [x, y] : {std::pair{b.xmin, b.ymin}, {b.xmax, b.ymin}, {b.xmax, b.ymax}, {b.xmin, b.ymax}})
                v.push_back({static_cast<double>(static_cast<float>(ox + x)), static_cast<double>(static_cast<float>(oy + y))});
        }
    }
    common::PolygonFiles files;
    for (auto& [layer, v] : corners) {
        const long long count = static_cast<long long>(v.size() / 4);
        files.create(layer + ".gpc", common::PolygonFile(common::VertexFormat::OneDecimal, count, std::move(v)));
    }
    return files;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<long> sizes;
    for (int i = 1; i < argc; ++i) sizes.push_back(std::strtol(argv[i], nullptr, 10));
    if (sizes.empty()) sizes = {1000, 10000, 100000};

    std::printf("%10s %12s %14s %14s %12s\n", "boxes", "make (s)", "1 thread (s)", "2 threads (s)", "3-D boxes");
    for (const long n : sizes) {
        const auto t0 = std::chrono::steady_clock::now();
        common::PolygonFiles one = make_layout(n);
        common::PolygonFiles two = make_layout(n);
        const auto t1 = std::chrono::steady_clock::now();
        const std::vector<common::Box> a = layers::process_layers(std::move(one), 1);
        const auto t2 = std::chrono::steady_clock::now();
        const std::vector<common::Box> b = layers::process_layers(std::move(two), 2);
        const auto t3 = std::chrono::steady_clock::now();
        if (a != b) {
            std::fprintf(stderr, "the box lists of one and two threads differ\n");
            return 1;
        }
        std::printf("%10ld %12.3f %14.3f %14.3f %12zu\n", n, std::chrono::duration<double>(t1 - t0).count() / 2,
                    std::chrono::duration<double>(t2 - t1).count(), std::chrono::duration<double>(t3 - t2).count(),
                    a.size());
        std::fflush(stdout);
    }
    return 0;
}
