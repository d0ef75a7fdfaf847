// bench-svg-order [--reference-limit SIDES] [PLATES...]: times the SVG
// picture of hinged plates turned so that they overlap in the picture, beside
// the flat picture of the same plates, and times face_order beside two
// earlier ways of finding the pairs of sides to compare, kept here as
// references: the sweep that compared every pair of sides whose left-to-right
// ranges meet, and the grid of picture cells that compared every pair of
// sides whose rectangles overlap.  All three orders must be equal; on many
// smaller cases as well.  Times are CPU times of this process (the machine
// may be shared); the references are left out above SIDES sides (by default
// 40,000), as they grow with the square of the sides there.
//
// Layouts: "stack": plates 100 x 60 um, 2 levels thick, all over the same
// spot at heights 3 levels apart, each hinged at its front edge and raised
// 30 degrees, in the isometric view: each plate hides part of the few dozen
// below it.  "pile": the same stack seen from the top, where the plates'
// pictures are the same, so that every side overlaps every other side of its
// kind.  "array": a square array of such plates 110 um apart, raised 70
// degrees, so that each hides a part of the ones behind it.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <random>
#include <string>
#include <vector>

#include "bench/svg_order/plates.h"
#include "bench/svg_order/reference_orders.h"
#include "export/kavrit.h"
#include "export/pose.h"
#include "export/svg_writer.h"
#include "export/view.h"

using namespace kavrit;
using namespace svg_order_bench;

namespace {

// CPU time of this process, so that a shared machine changes the figures little.
double seconds_of(auto&& job) {
    timespec start{}, end{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &start);
    job();
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &end);
    return static_cast<double>(end.tv_sec - start.tv_sec) + 1e-9 * static_cast<double>(end.tv_nsec - start.tv_nsec);
}

// Random plates of random sizes and hinges, turned at random, in every view:
// the two orders must agree.
std::size_t compare_random_cases(int cases) {
    std::mt19937 rng(20261208);
    std::uniform_real_distribution<double> pos(0, 400), size(5, 120), angle(-180, 180);
    std::size_t differing = 0;
    for (int c = 0; c < cases; ++c) {
        std::vector<Plate> plates;
        const int n = 2 + c % 40;
        for (int i = 0; i < n; ++i)
            plates.push_back({std::round(pos(rng) * 10) / 10, std::round(pos(rng) * 10) / 10,
                              std::round(pos(rng) / 20) , std::round(size(rng)), std::round(size(rng)),
                              1 + static_cast<double>(i % 3), i % 2 ? 'x' : 'y'});
        const Layout layout = layout_of(plates);
        PoseRequest r;
        r.raise = std::round(angle(rng));
        if (c % 3 == 0) r.degrees[1] = std::round(angle(rng));
        const Pose pose = make_pose(layout, r);
        for (ViewName v : {ViewName::iso, ViewName::top, ViewName::front, ViewName::side}) {
            const View view = make_view(v);
            const std::vector<Face3> faces = faces_of(layout, pose, view);
            const std::vector<std::size_t> order = face_order(view, faces);
            if (order != sweep_order(view, faces) || order != grid_order(view, faces) || order != face_order(view, faces, 0))
                ++differing;
        }
    }
    return differing;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::size_t> counts;
    std::size_t reference_limit = 40000;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--reference-limit" && i + 1 < argc) reference_limit = std::strtoul(argv[++i], nullptr, 10);
        else if (!arg.empty() && arg[0] != '-') counts.push_back(std::strtoul(argv[i], nullptr, 10));
        else {
            std::fprintf(stderr, "usage: bench-svg-order [--reference-limit SIDES] [PLATES...]\n");
            return 2;
        }
    }
    if (counts.empty()) counts = {2000, 10000, 50000};
    std::printf("random layouts, 4 views each: %zu of %d orders differ from the references'\n",
                compare_random_cases(400), 1600);
    std::printf("CPU seconds; references left out above %zu sides\n", reference_limit);
    std::printf("%-6s %7s %7s | %10s %12s | %9s %9s %9s %6s\n", "layout", "plates", "sides", "svg flat", "svg turned",
                "order", "grid", "sweep", "equal");
    bool all_equal = true;
    for (const char* kind : {"stack", "pile", "array"}) {
        for (std::size_t n : counts) {
            const std::string name = kind;
            const ViewName view_name = name == "pile" ? ViewName::top : ViewName::iso;
            const View view = make_view(view_name);
            const Layout layout = layout_of(name == "array" ? array_of(n) : stack(n));
            const Pose pose = raised(layout, name == "array" ? 70 : 30);
            const double flat_s = seconds_of([&] { render_svg(layout, view_name, raised(layout, 0)); });
            const double turned_s = seconds_of([&] { render_svg(layout, view_name, pose); });
            const std::vector<Face3> faces = faces_of(layout, pose, view);
            std::vector<std::size_t> order, grid, sweep;
            const double order_s = seconds_of([&] { order = face_order(view, faces); });
            std::string grid_s = "-", sweep_s = "-", equal = "-";
            if (faces.size() <= reference_limit) {
                char text[32];
                std::snprintf(text, sizeof text, "%.3f", seconds_of([&] { grid = grid_order(view, faces); }));
                grid_s = text;
                std::snprintf(text, sizeof text, "%.3f", seconds_of([&] { sweep = sweep_order(view, faces); }));
                sweep_s = text;
                const bool same = order == grid && order == sweep;
                all_equal = all_equal && same;
                equal = same ? "yes" : "NO";
            }
            std::printf("%-6s %7zu %7zu | %10.3f %12.3f | %9.3f %9s %9s %6s\n", kind, n, faces.size(), flat_s, turned_s,
                        order_s, grid_s.c_str(), sweep_s.c_str(), equal.c_str());
            std::fflush(stdout);
        }
    }
    return all_equal ? 0 : 1;
}
