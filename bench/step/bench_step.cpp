// STEP benchmark: a generated layout of hinged-mirror devices (bench/scale's
// generator) converted by cif2kavrit -s, then exported by kavrit-export to
// STEP, flat and with every hinge raised by 30 degrees, beside the OBJ
// export of the same file in the same run.  For each run: wall time, CPU
// time and peak resident memory, from wait4's resource usage.
//
//   bench-step [--bin DIR] [BOXES...]        (default 10000)
//
// DIR holds cif2kavrit and kavrit-export; without --bin, the folder of
// bench-step.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/child/child_run.h"
#include "bench/scale/layout.h"

namespace fs = std::filesystem;

namespace {

using Run = bench::ChildFigures;

Run run(const std::vector<std::string>& argv, const fs::path& dir) {
    const Run r = bench::run_program(argv, dir.string());
    if (!r.ok) std::fprintf(stderr, "bench-step: %s ended with status %d\n", argv[0].c_str(), r.status);
    return r;
}

void report(const char* what, const Run& r) { std::printf("  %-34s %s\n", what, bench::figures_text(r).c_str()); }

}  // namespace

int main(int argc, char** argv) {
    fs::path bin = fs::absolute(fs::path(argc > 0 ? argv[0] : "bench-step")).parent_path();
    std::vector<long long> sizes;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--bin" && i + 1 < argc) {
            bin = fs::absolute(argv[++i]);
        } else if (a == "-h" || a == "--help") {
            std::puts("usage: bench-step [--bin DIR] [BOXES...]   (default 10000)");
            return 0;
        } else {
            const long long n = std::atoll(a.c_str());
            if (n <= 0) {
                std::fprintf(stderr, "bench-step: \"%s\" is not a number of boxes\n", a.c_str());
                return 2;
            }
            sizes.push_back(n);
        }
    }
    if (sizes.empty()) sizes.push_back(10000);
    const std::string convert = (bin / "cif2kavrit").string();
    const std::string exporter = (bin / "kavrit-export").string();

    int failed = 0;
    for (long long boxes : sizes) {
        const fs::path dir = fs::temp_directory_path() / ("bench-step-" + std::to_string(getpid()));
        fs::create_directories(dir);
        std::ofstream(dir / "layout.cif") << scale::make_layout(boxes);
        std::printf("%lld CIF boxes:\n", boxes);
        const Run c = run({convert, "-s", "-o", "layout.kav", "layout.cif"}, dir);
        report("cif2kavrit -s", c);
        long long kavrit_boxes = -1, structures = -1;
        std::ifstream kav(dir / "layout.kav");
        for (std::string line; std::getline(kav, line);) {
            if (line.rfind("# total boxes: ", 0) == 0) kavrit_boxes = std::atoll(line.c_str() + 15);
            if (line.rfind("# total structures found: ", 0) == 0) structures = std::atoll(line.c_str() + 26);
        }
        std::printf("  kavrit file: %lld structures, %lld boxes\n", structures, kavrit_boxes);
        const Run obj = run({exporter, "layout.kav", "layout.obj"}, dir);
        report("kavrit-export .obj (baseline)", obj);
        const Run step = run({exporter, "layout.kav", "layout.step"}, dir);
        report("kavrit-export .step", step);
        const Run raised = run({exporter, "--raise", "30", "layout.kav", "raised.step"}, dir);
        report("kavrit-export --raise 30 .step", raised);
        if (step.ok) std::printf("  STEP file: %.1f MB\n", static_cast<double>(fs::file_size(dir / "layout.step")) / 1e6);
        failed += !c.ok + !obj.ok + !step.ok + !raised.ok;
        fs::remove_all(dir);
    }
    return failed ? 1 : 0;
}
