// bench-ranges [CIF_BOXES...]: for each size, a layout of hinged-mirror
// devices (as bench-scale --layout writes it) is converted by cif2kavrit -s;
// then, in this process, the kavrit file is read and posed flat, and timed:
// the collision model, the search for colliding pairs (--check) and the range
// search of every hinged structure (--ranges).  The baseline, in the same
// run: the range search without its broad phase (every moving box tested
// against every box that stands still) for the first BASELINE_STRUCTURES
// hinged structures, and the time that would take for all of them.
// Default size: 4,300 CIF boxes (about 10,000 box lines, 300 hinged
// structures) and 7,000 (about 17,000 box lines, 500 hinged structures).
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "export/collide.h"
#include "export/kavrit.h"
#include "export/pose.h"
#include "export/ranges.h"
#include "layout.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr std::size_t BASELINE_STRUCTURES = 10;

double seconds_since(Clock::time_point t0) { return std::chrono::duration<double>(Clock::now() - t0).count(); }

}  // namespace

int main(int argc, char** argv) {
    std::vector<long long> sizes;
    for (int i = 1; i < argc; ++i) sizes.push_back(std::atoll(argv[i]));
    if (sizes.empty()) sizes = {4300, 7000};
    const fs::path dir = fs::temp_directory_path() / ("bench-ranges-" + std::to_string(getpid()));
    fs::create_directories(dir);
    std::printf("%9s %9s %8s | %8s %8s %9s %8s | %12s %12s %8s\n", "cif boxes", "box lines", "hinged", "model s",
                "check s", "ranges s", "tests", "no broad s", "(all, est.)", "pairs");
    int status = 0;
    for (long long boxes : sizes) {
        {
            std::ofstream cif(dir / "layout.cif", std::ios::binary);
            cif << scale::make_layout(boxes);
        }
        const std::string command = "cd '" + dir.string() + "' && '" CIF2KAVRIT_BINARY "' -s -o layout.kav layout.cif >/dev/null 2>&1";
        if (std::system(command.c_str()) != 0) {
            std::fprintf(stderr, "bench-ranges: cif2kavrit failed on %lld boxes\n", boxes);
            status = 1;
            continue;
        }
        std::ifstream in(dir / "layout.kav", std::ios::binary);
        const kavrit::Layout layout = kavrit::read_kavrit(in);
        const kavrit::Pose pose = kavrit::make_pose(layout, {});

        auto t0 = Clock::now();
        const kavrit::CollisionModel model = kavrit::collision_model(layout, pose);
        const double model_s = seconds_since(t0);
        t0 = Clock::now();
        const auto pairs = kavrit::find_collisions(model);
        const double check_s = seconds_since(t0);
        t0 = Clock::now();
        const auto ranges = kavrit::hinge_ranges(layout, pose, model);
        const double ranges_s = seconds_since(t0);
        long tests = 0;
        for (const auto& r : ranges) tests += r.tests;

        t0 = Clock::now();
        const auto slow = kavrit::hinge_ranges(layout, pose, model, false, BASELINE_STRUCTURES);
        const double slow_s = seconds_since(t0);
        // Both searches must find the same ranges.
        for (std::size_t k = 0; k < slow.size(); ++k)
            if (slow[k].up.degrees != ranges[k].up.degrees || slow[k].down.degrees != ranges[k].down.degrees) {
                std::fprintf(stderr, "bench-ranges: the broad phase changed the range of structure %d\n",
                             layout.structures[slow[k].structure].number());
                status = 1;
            }
        const double estimate = slow.empty() ? 0 : slow_s * static_cast<double>(ranges.size()) / static_cast<double>(slow.size());
        std::printf("%9lld %9zu %8zu | %8.3f %8.3f %9.3f %8ld | %12.3f %12.1f %8zu\n", boxes, layout.box_count(),
                    ranges.size(), model_s, check_s, ranges_s, tests, slow_s, estimate, pairs.size());
    }
    fs::remove_all(dir);
    return status;
}
