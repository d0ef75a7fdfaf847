// Times the polygon engine on generated layers of axis-aligned boxes:
// intersection, difference and union of two layers, and the growing step.
// Prints one line per measurement. Usage: bench-polygon [max_boxes]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "layers/grow.h"
#include "polygon/gpc.h"

namespace {

// A layer of n boxes as the CIF reader writes them (coordinates with one
// decimal), spread so that each box overlaps a few others on average.
std::vector<std::vector<gpc_vertex>> make_layer(int n, unsigned seed) {
    std::mt19937 rng(seed);
    const double side = 10.0 * std::sqrt(static_cast<double>(n));
    std::uniform_int_distribution<int> pos(0, static_cast<int>(side * 10));
    std::uniform_int_distribution<int> size(5, 60);
    std::vector<std::vector<gpc_vertex>> boxes;
    boxes.reserve(n);
    for (int i = 0; i < n; ++i) {
        const double x0 = pos(rng) / 10.0, y0 = pos(rng) / 10.0;
        const double x1 = x0 + size(rng) / 10.0, y1 = y0 + size(rng) / 10.0;
        boxes.push_back({{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}});
    }
    return boxes;
}

struct Polygon {
    std::vector<gpc_vertex_list> lists;
    std::vector<int> holes;
    gpc_polygon p{};
    explicit Polygon(std::vector<std::vector<gpc_vertex>>& boxes) {
        for (auto& b : boxes) lists.push_back({static_cast<int>(b.size()), b.data()});
        holes.assign(lists.size(), 0);
        p = {static_cast<int>(lists.size()), holes.data(), lists.data()};
    }
};

double seconds_since(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// One plate of n boxes: a grid of overlapping boxes, all in one piece, so the
// growing step cannot unite it in independent groups.
std::vector<std::vector<gpc_vertex>> make_plate(int n) {
    const int columns = static_cast<int>(std::sqrt(static_cast<double>(n)));
    std::vector<std::vector<gpc_vertex>> boxes;
    for (int i = 0; i < n; ++i) {
        const double x0 = (i % columns) * 3.0, y0 = (i / columns) * 2.5;
        const double x1 = x0 + 3.5, y1 = y0 + 2.0 + (i % 3) * 0.5;
        boxes.push_back({{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}});
    }
    return boxes;
}

// A mesh: bars that the growing joins into one piece full of holes, the
// hardest case for uniting one box at a time.
std::vector<std::vector<gpc_vertex>> make_mesh(int n) {
    const int columns = std::max(1, static_cast<int>(std::sqrt(static_cast<double>(n / 2))));
    std::vector<std::vector<gpc_vertex>> boxes;
    for (int i = 0; 2 * i < n; ++i) {
        const double cx = (i % columns) * 12.0, cy = (i / columns) * 12.0;
        boxes.push_back({{cx, cy + 5}, {cx + 10, cy + 5}, {cx + 10, cy + 6}, {cx, cy + 6}});
        boxes.push_back({{cx + 5, cy}, {cx + 6, cy}, {cx + 6, cy + 10}, {cx + 5, cy + 10}});
    }
    return boxes;
}

double time_grow(std::vector<std::vector<gpc_vertex>> a, int* strips) {
    std::vector<std::vector<gpc_vertex>> grown;
    grown.reserve(a.size());
    for (const auto& box : a) {
        float x[4], y[4];
        for (int k = 0; k < 4; ++k) {
            x[k] = static_cast<float>(box[k].x);
            y[k] = static_cast<float>(box[k].y);
        }
        std::vector<gpc_vertex> corners;
        if (grow::reread_corners(grow::widen(grow::bounding_box(x, y), 2), corners)) grown.push_back(corners);
    }
    const auto t0 = std::chrono::steady_clock::now();
    gpc_polygon acc{0, nullptr, nullptr};
    grow::unite_in_order(grown, &acc);
    gpc_tristrip t{0, nullptr};
    gpc_polygon_to_tristrip(&acc, &t);
    const double s = seconds_since(t0);
    *strips = t.num_strips;
    gpc_free_tristrip(&t);
    gpc_free_polygon(&acc);
    return s;
}

}  // namespace

int main(int argc, char** argv) {
    const int max_boxes = argc > 1 ? std::atoi(argv[1]) : 200000;
    const std::string only = argc > 2 ? argv[2] : "";
    std::printf("%-10s %8s %10s %8s\n", "operation", "boxes", "seconds", "strips");
    for (int n : {1000, 10000, 50000, 200000}) {
        if (n > max_boxes || only == "grow") break;
        auto a = make_layer(n, 1);
        auto b = make_layer(n, 2);
        Polygon pa(a), pb(b);
        const struct {
            const char* name;
            gpc_op op;
        } ops[] = {{"int", GPC_INT}, {"diff", GPC_DIFF}, {"union", GPC_UNION}};
        for (const auto& o : ops) {
            gpc_tristrip t{0, nullptr};
            const auto t0 = std::chrono::steady_clock::now();
            gpc_tristrip_clip(o.op, &pa.p, &pb.p, &t);
            const double s = seconds_since(t0);
            std::printf("%-10s %8d %10.3f %8d\n", o.name, n, s, t.num_strips);
            gpc_free_tristrip(&t);
        }
    }
    for (int n : {1000, 10000, 50000}) {
        if (n > max_boxes || only == "bool") break;
        int strips = 0;
        const double s = time_grow(make_layer(n, 3), &strips);
        std::printf("%-10s %8d %10.3f %8d\n", "grow", n, s, strips);
    }
    for (int n : {1000, 4000, 10000}) {
        if (n > max_boxes || only == "bool") break;
        int strips = 0;
        const double s = time_grow(make_plate(n), &strips);
        std::printf("%-10s %8d %10.3f %8d\n", "grow-plate", n, s, strips);
    }
    for (int n : {1000, 4000, 10000}) {
        if (n > max_boxes || only == "bool") break;
        int strips = 0;
        const double s = time_grow(make_mesh(n), &strips);
        std::printf("%-10s %8d %10.3f %8d\n", "grow-mesh", n, s, strips);
    }
    return 0;
}
