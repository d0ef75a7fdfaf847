// Staircase benchmark: one layer drawn as a staircase of N steps, converted by
// both readings of the CIF file.
//
// The staircase of N steps, each 1 um high and 1 um narrower than the one
// below it (the widest N um), is written twice:
//   - for the default reading as N boxes, one per step, each lying on the one
//     below it (the growing step widens them, so that each then overlaps its
//     neighbours);
//   - for --flatten as one polygon of 2N + 2 points, which the reader cuts
//     into the same N boxes.
// Each file is converted by cif2kavrit (-s -o out.kav, with --flatten for the
// polygon) in a process of its own, and with --baseline by a second binary
// too, in the same run; the figures are wall time, CPU time and peak resident
// memory from wait4. A run is stopped when its CPU time passes the limit, and
// reported as such. Outputs of both binaries must agree (apart from the time
// line of the header).
//
// The layer defaults to COL, which the recipe grows once; CPS is grown three
// times.
//
//   bench-staircase [--binary PATH] [--baseline PATH] [--layer NAME] [--limit SECONDS] [STEPS...]
//                                                        (default 10000 20000 100000, limit 120 s)

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/child/child_run.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr long STEP = 100;  // CIF units of 1/100 um

// Step k (from 0 at the bottom) spans x in [0, (N - k) STEP] and y in
// [k STEP, (k + 1) STEP].
std::string boxes_layout(long steps, const std::string& layer) {
    std::string s = "(a staircase of " + std::to_string(steps) + " steps, one box each);\nL " + layer + ";\n";
    for (long k = 0; k < steps; ++k) {
        const long width = (steps - k) * STEP;
        s += "B " + std::to_string(width) + " " + std::to_string(STEP) + " " + std::to_string(width / 2) + " " +
             std::to_string(k * STEP + STEP / 2) + ";\n";
    }
    return s + "E\n";
}

// The outline of the same staircase: (0, 0), (N, 0), then down the steps
// from the right, (N, 1), (N - 1, 1), (N - 1, 2), ..., (1, N), (0, N).
std::string polygon_layout(long steps, const std::string& layer) {
    std::string s = "(a staircase of " + std::to_string(steps) + " steps, one polygon);\nL " + layer + ";\nP 0 0";
    auto point = [&s](long x, long y) {
        s += ' ';
        s += std::to_string(x * STEP);
        s += ' ';
        s += std::to_string(y * STEP);
    };
    point(steps, 0);
    for (long k = 0; k < steps; ++k) {
        point(steps - k, k + 1);
        point(steps - k - 1, k + 1);
    }
    return s + ";\nE\n";
}

bench::ChildFigures run_binary(const std::string& binary, const fs::path& dir, bool flatten, const char* input,
                   const char* output, long limit) {
    std::vector<std::string> argv = {binary, "-s", "-o", output, input};
    if (flatten) argv.insert(argv.begin() + 1, "--flatten");
    return bench::run_program(argv, dir.string(), limit);
}



void print(const char* who, const bench::ChildFigures& f, long limit) {
    if (f.stopped)
        std::printf("  %-9s stopped at the CPU limit of %ld s (wall %.2f s)\n", who, limit, f.wall);
    else
        std::printf("  %-9s %9.2f s wall %9.2f s CPU %8.1f MiB peak%s\n", who, f.wall, f.cpu, f.peak_mib,
                    f.ok ? "" : "  FAILED");
}

}  // namespace

int main(int argc, char** argv) {
    std::string binary = (fs::absolute(fs::path(argv[0])).parent_path() / "cif2kavrit").string();
    std::string baseline;
    std::string layer = "COL";
    long limit = 120;
    std::vector<long> sizes;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--binary" && i + 1 < argc) {
            binary = fs::absolute(argv[++i]).string();
        } else if (a == "--baseline" && i + 1 < argc) {
            baseline = fs::absolute(argv[++i]).string();
        } else if (a == "--layer" && i + 1 < argc) {
            layer = argv[++i];
        } else if (a == "--limit" && i + 1 < argc) {
            limit = std::atol(argv[++i]);
        } else if (!a.empty() && a[0] != '-' && std::atol(a.c_str()) > 0) {
            sizes.push_back(std::atol(a.c_str()));
        } else {
            std::fprintf(stderr,
                         "usage: bench-staircase [--binary PATH] [--baseline PATH] [--layer NAME] [--limit SECONDS] "
                         "[STEPS...]\n");
            return 2;
        }
    }
    if (limit < 1) {
        std::fprintf(stderr, "bench-staircase: the limit is a number of seconds from 1 on\n");
        return 2;
    }
    if (layer.empty() || layer.find_first_of("; \t\n") != std::string::npos) {
        std::fprintf(stderr, "bench-staircase: a layer name without blanks or ';'\n");
        return 2;
    }
    if (sizes.empty()) sizes = {10000, 20000, 100000};
    for (const std::string& b : {binary, baseline}) {
        if (!b.empty() && access(b.c_str(), X_OK) != 0) {
            std::fprintf(stderr, "bench-staircase: cannot run %s\n", b.c_str());
            return 2;
        }
    }

    char pattern[] = "/tmp/bench-staircase-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    const fs::path root = pattern;
    std::printf("staircases on layer %s; binary %s%s%s; CPU limit %ld s per run\n", layer.c_str(), binary.c_str(),
                baseline.empty() ? "" : "; baseline ", baseline.c_str(), limit);
    bool all_ok = true;
    for (const long steps : sizes) {
        const fs::path dir = root / std::to_string(steps);
        fs::create_directory(dir);
        std::ofstream(dir / "boxes.cif", std::ios::binary) << boxes_layout(steps, layer);
        std::ofstream(dir / "polygon.cif", std::ios::binary) << polygon_layout(steps, layer);
        for (const bool flatten : {false, true}) {
            const char* input = flatten ? "polygon.cif" : "boxes.cif";
            std::printf("%ld steps, %s:\n", steps,
                        flatten ? "--flatten, one polygon" : "default reading, one box per step");
            const bench::ChildFigures a = run_binary(binary, dir, flatten, input, "out.kav", limit);
            print("this", a, limit);
            all_ok = all_ok && a.ok;
            if (baseline.empty()) continue;
            const bench::ChildFigures b = run_binary(baseline, dir, flatten, input, "baseline.kav", limit);
            print("baseline", b, limit);
            if (a.ok && b.ok) {
                const bool same = bench::without_time_line(bench::file_text(dir / "out.kav")) ==
                                  bench::without_time_line(bench::file_text(dir / "baseline.kav"));
                std::printf("  %-9s this binary %.2fx faster in CPU time; outputs %s\n", "", b.cpu / a.cpu,
                            same ? "identical" : "DIFFER");
                all_ok = all_ok && same;
            } else if (a.ok && b.stopped) {
                std::printf("  %-9s this binary over %.1fx faster in CPU time\n", "", static_cast<double>(limit) / a.cpu);
            }
        }
    }
    std::error_code ec;
    if (all_ok)
        fs::remove_all(root, ec);
    else
        std::printf("the files are kept in %s\n", root.c_str());
    return all_ok ? 0 : 1;
}
