// bench-export-read [--baseline KAVRIT_EXPORT] [BOXES...]: for each size, a
// layout of hinged-mirror devices (as bench-scale --layout writes it) is
// converted by cif2kavrit -s; then kavrit-export reads that kavrit file and
// writes .stl.  Prints the wall time of both runs in the same table, the
// reader alone in this process, and with --baseline the same export through
// another kavrit-export (an earlier build), which must write the same bytes.
// Default sizes: 337,500 boxes (about 100,000 structures) and 1,000,000.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "bench/child/child_run.h"
#include "export/kavrit.h"
#include "layout.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

double seconds_since(Clock::time_point t0) { return std::chrono::duration<double>(Clock::now() - t0).count(); }

// Runs the program with its arguments in `dir`; the wall time, or -1 when it failed.
double run(const std::vector<std::string>& argv, const fs::path& dir) {
    const bench::ChildFigures f = bench::run_program(argv, dir.string());
    if (!f.ok) {
        std::fprintf(stderr, "bench-export-read: %s ended with status %d\n", argv[0].c_str(), f.status);
        return -1;
    }
    return f.wall;
}

std::string read_all(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

int main(int argc, char** argv) {
    std::string baseline;
    std::vector<long long> sizes;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--baseline" && i + 1 < argc) baseline = fs::absolute(argv[++i]).string();
        else sizes.push_back(std::atoll(argv[i]));
    }
    if (sizes.empty()) sizes = {337500, 1000000};
    const fs::path dir = fs::temp_directory_path() / ("bench-export-read-" + std::to_string(getpid()));
    fs::create_directories(dir);

    std::printf("%9s %10s | %12s | %12s %12s %14s", "boxes", "structures", "cif2kavrit s", "export s", "reader s",
                "export/convert");
    if (!baseline.empty()) std::printf(" | %11s %6s", "baseline s", "same");
    std::printf("\n");
    int status = 0;
    for (long long boxes : sizes) {
        std::ofstream(dir / "layout.cif") << scale::make_layout(boxes);
        const double convert = run({CIF2KAVRIT_BINARY, "-s", "-o", "layout.kav", "layout.cif"}, dir);
        const double exported = run({KAVRIT_EXPORT_BINARY, "layout.kav", "layout.stl"}, dir);
        const auto t0 = Clock::now();
        std::ifstream in(dir / "layout.kav", std::ios::binary);
        const kavrit::Layout layout = kavrit::read_kavrit(in);
        const double reader = seconds_since(t0);
        std::printf("%9lld %10zu | %12.2f | %12.2f %12.2f %14.2f", boxes, layout.structures.size(), convert, exported,
                    reader, convert > 0 ? exported / convert : 0.0);
        if (!baseline.empty()) {
            const double base = run({baseline, "layout.kav", "baseline.stl"}, dir);
            const bool same = read_all(dir / "layout.stl") == read_all(dir / "baseline.stl");
            std::printf(" | %11.2f %6s", base, same ? "yes" : "NO");
            if (!same) status = 1;
        }
        std::printf("\n");
        std::fflush(stdout);
        if (convert < 0 || exported < 0) status = 1;
    }
    fs::remove_all(dir);
    return status;
}
