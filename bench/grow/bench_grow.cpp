// Times the growing steps of the layer recipe on a generated layout of the
// scale benchmark (bench/scale/layout.h). The layout is scanned in memory and
// the recipe runs in order up to its last growing step; each growing step is
// timed (CPU time of the thread) and, beside it as the reference measured in
// the same run, one union sweep over the same widened boxes, the cost of the
// growing step if the order of the unions did not matter.
//
//   bench-grow [BOXES] [REPEATS]      (default: 200000 boxes, 3 repeats)
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/scale/layout.h"
#include "cif/scan_cif.h"
#include "common/file_names.h"
#include "common/output.h"
#include "layers/polygon_files.h"
#include "layers/process_layers.h"
#include "layers/recipe_steps.h"

namespace {

double cpu_seconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// One union sweep of the widened boxes of `source`, written as quads.
void one_sweep(common::PolygonFiles& files, const std::string& source, int amount) {
    const common::PolygonFilePtr in = files.find(common::polygon_file_name(source));
    if (in == nullptr) return;
    const std::vector<common::RectF> boxes = layers::read_widened_boxes(*in, amount);
    std::vector<std::vector<gpc_vertex>> corners(boxes.size());
    std::vector<gpc_vertex_list> lists;
    lists.reserve(boxes.size());
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        if (!grow::reread_corners(boxes[i], corners[i])) break;
        lists.push_back({4, corners[i].data()});
    }
    std::vector<int> holes(lists.size(), 0);
    gpc_polygon all{static_cast<int>(lists.size()), holes.data(), lists.data()};
    gpc_polygon empty{0, nullptr, nullptr};
    gpc_tristrip strips{0, nullptr};
    gpc_tristrip_clip(GPC_UNION, &all, &empty, &strips);
    const common::PolygonFile quads = layers::write_quads(&strips);
    gpc_free_tristrip(&strips);
}

}  // namespace

int main(int argc, char** argv) {
    const long long boxes = argc > 1 ? std::atoll(argv[1]) : 200000;
    const int repeats = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    const std::string cif_text = scale::make_layout(boxes);
    std::FILE* cif = fmemopen(const_cast<char*>(cif_text.data()), cif_text.size(), "rb");
    std::FILE* sink = std::fopen("/dev/null", "w");
    if (cif == nullptr || sink == nullptr) {
        std::fprintf(stderr, "bench-grow: cannot open the layout or /dev/null\n");
        return 1;
    }
    const common::Output out(sink, "/dev/null");
    common::PolygonFiles files = cif::scan_cif(cif, out);
    std::fclose(cif);
    layers::write_empty_polygon_file(files);

    std::size_t last_grow = 0;
    for (std::size_t k = 0; k < layers::RECIPE_STEPS; ++k)
        if (layers::RECIPE[k].kind == layers::RecipeStep::GROW) last_grow = k;
    std::printf("%lld boxes, best of %d\n%-6s %-6s %7s %12s %14s\n", boxes, repeats, "step", "from", "amount",
                "grow (s)", "one sweep (s)");
    for (std::size_t k = 0; k <= last_grow; ++k) {
        const layers::RecipeStep& s = layers::RECIPE[k];
        if (s.kind != layers::RecipeStep::GROW) {
            layers::run_recipe_step(files, s);
            continue;
        }
        double grow_best = 1e300, sweep_best = 1e300;
        for (int r = 0; r < repeats; ++r) {
            double t0 = cpu_seconds();
            layers::run_recipe_step(files, s);
            grow_best = std::min(grow_best, cpu_seconds() - t0);
            t0 = cpu_seconds();
            one_sweep(files, s.first, s.op_or_amount);
            sweep_best = std::min(sweep_best, cpu_seconds() - t0);
        }
        std::printf("%-6s %-6s %7d %12.3f %14.3f\n", s.result, s.first, s.op_or_amount, grow_best, sweep_best);
        std::fflush(stdout);
    }
    std::fclose(sink);
    return 0;
}
