// Times the polygon engine on generated layers of axis-aligned boxes:
// intersection, difference and union of two layers, many small calls as the
// layer recipe makes them, and the growing step. Prints one line per
// measurement with the number of heap allocations it made.
// Usage: bench-polygon [max_boxes [bool|grow]]
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <random>
#include <string>
#include <vector>

#include "layers/grow.h"
#include "polygon/gpc.h"
#include "polygon/ordered_union.h"

// Every allocation of the program goes through these, so a row can report how
// many it made.
namespace {
std::atomic<long long> allocations{0};
}  // namespace

void* operator new(std::size_t size) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    allocations.fetch_add(1, std::memory_order_relaxed);
    return std::malloc(size == 0 ? 1 : size);
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

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

struct Figures {
    double seconds = 0;
    int strips = 0;
    long long allocations = 0;
};

void print(const char* name, int boxes, const Figures& f) {
    std::printf("%-10s %8d %10.3f %8d %12lld\n", name, boxes, f.seconds, f.strips, f.allocations);
}

Figures time_grow(std::vector<std::vector<gpc_vertex>> a) {
    std::vector<gpc_vertex> grown;  // four corners per box
    grown.reserve(4 * a.size());
    std::vector<gpc_vertex> corners;
    for (const auto& box : a) {
        common::PointF quad[4];
        for (int k = 0; k < 4; ++k) quad[k] = {static_cast<float>(box[k].x), static_cast<float>(box[k].y)};
        if (grow::reread_corners(grow::widen(common::bounds_of(quad, 4), 2), corners))
            grown.insert(grown.end(), corners.begin(), corners.end());
    }
    Figures f;
    const long long a0 = allocations.load();
    const auto t0 = std::chrono::steady_clock::now();
    gpc_polygon acc{0, nullptr, nullptr};
    polygon::unite_boxes(grown, &acc);
    gpc_tristrip t{0, nullptr};
    gpc_polygon_to_tristrip(&acc, &t);
    f.seconds = seconds_since(t0);
    f.allocations = allocations.load() - a0;
    f.strips = t.num_strips;
    gpc_free_tristrip(&t);
    gpc_free_polygon(&acc);
    return f;
}

struct Op {
    const char* name;
    gpc_op op;
};
constexpr Op kOps[] = {{"int", GPC_INT}, {"diff", GPC_DIFF}, {"union", GPC_UNION}};

// Many calls on small layers, one after the other (the strips of all calls
// are counted).
Figures time_small_calls(gpc_op op, int calls, int boxes) {
    std::vector<std::vector<std::vector<gpc_vertex>>> layers;
    for (unsigned seed = 0; seed < 64; ++seed) layers.push_back(make_layer(boxes, 100 + seed));
    std::vector<Polygon> polygons;
    polygons.reserve(layers.size());
    for (auto& l : layers) polygons.emplace_back(l);
    Figures f;
    const long long a0 = allocations.load();
    const auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < calls; ++i) {
        gpc_tristrip t{0, nullptr};
        gpc_tristrip_clip(op, &polygons[i % 64].p, &polygons[(i + 1) % 64].p, &t);
        f.strips += t.num_strips;
        gpc_free_tristrip(&t);
    }
    f.seconds = seconds_since(t0);
    f.allocations = allocations.load() - a0;
    return f;
}

}  // namespace

int main(int argc, char** argv) {
    const int max_boxes = argc > 1 ? std::atoi(argv[1]) : 200000;
    const std::string only = argc > 2 ? argv[2] : "";
    std::printf("%-10s %8s %10s %8s %12s\n", "operation", "boxes", "seconds", "strips", "allocations");
    for (int n : {1000, 10000, 50000, 200000}) {
        if (n > max_boxes || only == "grow") break;
        auto a = make_layer(n, 1);
        auto b = make_layer(n, 2);
        Polygon pa(a), pb(b);
        for (const Op& o : kOps) {
            gpc_tristrip t{0, nullptr};
            Figures f;
            const long long a0 = allocations.load();
            const auto t0 = std::chrono::steady_clock::now();
            gpc_tristrip_clip(o.op, &pa.p, &pb.p, &t);
            f.seconds = seconds_since(t0);
            f.allocations = allocations.load() - a0;
            f.strips = t.num_strips;
            print(o.name, n, f);
            gpc_free_tristrip(&t);
        }
    }
    if (only != "grow") {
        // 20,000 calls on layers of 12 boxes: the boxes column counts all calls.
        for (const Op& o : kOps) {
            const std::string name = std::string(o.name) + "-x20k";
            print(name.c_str(), 20000 * 12, time_small_calls(o.op, 20000, 12));
        }
    }
    for (int n : {1000, 10000, 50000}) {
        if (n > max_boxes || only == "bool") break;
        print("grow", n, time_grow(make_layer(n, 3)));
    }
    for (int n : {1000, 4000, 10000}) {
        if (n > max_boxes || only == "bool") break;
        print("grow-plate", n, time_grow(make_plate(n)));
    }
    for (int n : {1000, 4000, 10000}) {
        if (n > max_boxes || only == "bool") break;
        print("grow-mesh", n, time_grow(make_mesh(n)));
    }
    return 0;
}
