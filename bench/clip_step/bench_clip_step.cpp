// Heap and time of one big clipping step of the layer recipe (clip_layers),
// beside the same clip made the way the recipe made it before: the operands
// copied into gpc_polygon form, the strips copied into a gpc_tristrip, then
// cut into quads. Both must give the same file. Prints, per operation, the
// peak of live heap bytes the step adds per vertex of its operands.
//
//   bench-clip-step [BOXES]      (default: 200000 boxes per operand)
#include <malloc.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>
#include <random>
#include <string>
#include <vector>

#include "common/polygon_file.h"
#include "layers/polygon_files.h"
#include "layers/recipe_steps.h"
#include "polygon/gpc.h"

namespace {
std::atomic<long long> live{0};
std::atomic<long long> peak{0};

void note(long long delta) {
    const long long now = live.fetch_add(delta, std::memory_order_relaxed) + delta;
    long long p = peak.load(std::memory_order_relaxed);
    while (now > p && !peak.compare_exchange_weak(p, now, std::memory_order_relaxed)) {
    }
}
}  // namespace

void* operator new(std::size_t size) {
    if (void* p = std::malloc(size == 0 ? 1 : size)) {
        note(static_cast<long long>(malloc_usable_size(p)));
        return p;
    }
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    void* p = std::malloc(size == 0 ? 1 : size);
    if (p != nullptr) note(static_cast<long long>(malloc_usable_size(p)));
    return p;
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
void operator delete(void* p) noexcept {
    if (p != nullptr) note(-static_cast<long long>(malloc_usable_size(p)));
    std::free(p);
}
void operator delete[](void* p) noexcept { operator delete(p); }
void operator delete(void* p, std::size_t) noexcept { operator delete(p); }
void operator delete[](void* p, std::size_t) noexcept { operator delete(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { operator delete(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { operator delete(p); }

namespace {

// n boxes on a grid of tenths, each overlapping a few others, as a box file.
common::PolygonFile make_boxes(int n, unsigned seed) {
    std::mt19937 rng(seed);
    const int side = static_cast<int>(100 * std::sqrt(static_cast<double>(n)));
    std::uniform_int_distribution<int> pos(0, side);
    std::uniform_int_distribution<int> size(5, 150);
    std::vector<common::PointD> v;
    v.reserve(4 * static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        const double x0 = pos(rng) / 10.0, y0 = pos(rng) / 10.0;
        const double x1 = x0 + size(rng) / 10.0, y1 = y0 + size(rng) / 10.0;
        for (const common::PointD c : {common::PointD{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}}) v.push_back(c);
    }
    return common::PolygonFile(common::VertexFormat::OneDecimal, n, v);
}

// The recipe's path before: operands as gpc_polygon, strips as gpc_tristrip.
common::PolygonFile reference_clip(int op, const common::PolygonFile& a, const common::PolygonFile& b) {
    gpc_tristrip strips{0, nullptr};
    {
        layers::ReadPolygon subject(a);
        layers::ReadPolygon clip(b);
        gpc_tristrip_clip(static_cast<gpc_op>(op), subject.get(), clip.get(), &strips);
    }
    common::PolygonFile out = layers::write_quads(&strips);
    gpc_free_tristrip(&strips);
    return out;
}

double seconds_since(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

}  // namespace

int main(int argc, char** argv) {
    const int n = argc > 1 ? std::atoi(argv[1]) : 200000;
    if (n <= 0) {
        std::fprintf(stderr, "usage: bench-clip-step [BOXES]\n");
        return 2;
    }
    // Two bodies as the recipe's steps write them: unions of boxes, cut into quads.
    common::PolygonFiles files;
    layers::write_empty_polygon_file(files);
    files.create("a0.gpc", make_boxes(n, 1));
    files.create("b0.gpc", make_boxes(n, 2));
    layers::clip_layers(files, GPC_UNION, "a0", "empty", "a");
    layers::clip_layers(files, GPC_UNION, "b0", "empty", "b");
    files.release("a0.gpc");
    files.release("b0.gpc");
    const common::PolygonFilePtr a = files.find("a.gpc");
    const common::PolygonFilePtr b = files.find("b.gpc");
    const double vertices = static_cast<double>(a->vertex_count() + b->vertex_count());
    std::printf("operands: %.0f vertices\n", vertices);
    std::printf("%-13s %-12s %9s %12s %10s\n", "operation", "path", "seconds", "peak MiB", "B/vertex");
    const struct {
        int op;
        const char* name;
    } ops[] = {{GPC_DIFF, "difference"}, {GPC_INT, "intersection"}, {GPC_UNION, "union"}};
    bool same = true;
    for (const auto& o : ops) {
        std::string texts[2];
        for (int path = 0; path < 2; ++path) {
            const long long before = live.load();
            peak.store(before);
            const auto t0 = std::chrono::steady_clock::now();
            common::PolygonFilePtr result;
            if (path == 0) {
                result = std::make_shared<const common::PolygonFile>(reference_clip(o.op, *a, *b));
            } else {
                layers::clip_layers(files, o.op, "a", "b", "r");
                result = files.find("r.gpc");
            }
            const double s = seconds_since(t0);
            const double bytes = static_cast<double>(peak.load() - before);
            std::printf("%-13s %-12s %9.3f %12.1f %10.1f\n", o.name, path == 0 ? "reference" : "clip_layers", s,
                        bytes / 1048576.0, bytes / vertices);
            texts[path] = result->render();
            result.reset();
            files.release("r.gpc");
        }
        if (texts[0] != texts[1]) {
            std::printf("%s: the two paths give different files\n", o.name);
            same = false;
        }
    }
    return same ? 0 : 1;
}
