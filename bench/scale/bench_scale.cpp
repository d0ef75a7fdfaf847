// Scale benchmark: converts generated layouts of 1,000 to 200,000 CIF boxes.
//
// For each size it writes the layout (layout.h) into a fresh temporary
// directory and then
//   1. runs the real cif2kavrit binary on it (-s -o out.kav layout.cif) and
//      reports the wall time of the whole run and its peak resident memory,
//      taken from wait4's resource usage;
//   2. runs the stages in a child process of its own, calling them in the
//      order of the run driver, and reports the CPU time of each stage and
//      the peak memory of that process; the output of that run must equal the binary's
//      (apart from the time in the header).
//
//   3. with --baseline, runs a second binary (for example a build of an
//      earlier version) the same way on the same layout, and reports its wall
//      time and peak memory beside the first one's; the two outputs must be
//      the same (apart from the time line).
//
//   bench-scale [--binary PATH] [--baseline PATH] [--repeat N] [BOXES...]
//                                                         (default 1000 10000 100000 200000)
//   bench-scale --layout BOXES                            (writes the layout to stdout)
//   bench-scale --steps BOXES                             (CPU time of each layer step)
//
// Without --binary, cif2kavrit is looked for next to bench-scale.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "bench/child/child_run.h"
#include "bench/scale/layout.h"
#include "cif/scan_cif.h"
#include "driver/command_line.h"
#include "driver/header_footer.h"
#include "common/file_names.h"
#include "common/run_error.h"
#include "common/options.h"
#include "common/output.h"
#include "grouping/group_boxes.h"
#include "layers/box_list.h"
#include "layers/polygon_files.h"
#include "layers/process_layers.h"
#include "layers/recipe_steps.h"
#include "output/output_structures.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

double cpu_seconds(const rusage& u) {
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

double peak_mib(const rusage& u) { return static_cast<double>(u.ru_maxrss) / 1024.0; }  // ru_maxrss is in KiB



// cif2kavrit -s -o <out> layout.cif in `dir`, timed from fork to wait4.
struct WholeRun {
    bool ok = false;
    double wall = 0;
    double cpu = 0;   // user + system seconds
    double peak = 0;  // MiB
};

WholeRun run_binary(const std::string& binary, const fs::path& dir, const char* out = "out.kav") {
    const bench::ChildFigures f = bench::run_program({binary, "-s", "-o", out, "layout.cif"}, dir.string());
    if (!f.ok) std::fprintf(stderr, "bench-scale: %s ended with status %d\n", binary.c_str(), f.status);
    return {f.ok, f.wall, f.cpu, f.peak_mib};
}

enum Stage { SCAN, LAYERS, GROUPING, OUTPUT, STAGES };
const char* const STAGE_NAMES[STAGES] = {"scan_cif", "process_layers", "group_boxes", "output"};

struct StagedRun {
    double seconds[STAGES] = {};     // CPU time (user + system)
    double peak_after[STAGES] = {};  // MiB, peak so far after each stage
    long boxes_3d = 0;               // boxes of the box list
    long structures = 0;             // groups of the grouped box list
    int ok = 0;
};

// The stages in the order of the run driver, in a child process so that its
// peak memory is its own. `dir` holds layout.cif; the run works in dir/stages.
StagedRun run_stages(const fs::path& dir) {
    StagedRun result;
    int channel[2];
    if (pipe(channel) != 0) {
        std::perror("pipe");
        return result;
    }
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid < 0) {
        std::perror("fork");
        return result;
    }
    if (pid == 0) {
        close(channel[0]);
        StagedRun r;
        const fs::path work = dir / "stages";
        fs::create_directory(work);
        fs::current_path(work);
        common::Options options;
        options.cif_name = "layout.cif";
        options.summary = true;
        std::FILE* cif = common::open_file("../layout.cif", "rb");
        common::Output out(common::open_file("out.kav", "w"), "out.kav");
        rusage u{};
        getrusage(RUSAGE_SELF, &u);
        double t = cpu_seconds(u);
        auto mark = [&](Stage s) {
            getrusage(RUSAGE_SELF, &u);
            r.seconds[s] = cpu_seconds(u) - t;
            r.peak_after[s] = peak_mib(u);
            t = cpu_seconds(u);
        };
        common::PolygonFiles layer_files = cif::scan_cif(cif, out);
        mark(SCAN);
        std::vector<common::Box> box_list = layers::process_layers(std::move(layer_files));
        mark(LAYERS);
        r.boxes_3d = static_cast<long>(box_list.size());
        const common::GroupedBoxes grouped = grouping::group_boxes(box_list);
        std::vector<common::Box>().swap(box_list);
        mark(GROUPING);
        r.structures = static_cast<long>(grouped.ends.size());
        driver::write_header(options, out);
        output::output_structures(options, grouped, out);
        driver::write_footer(out);
        std::fclose(out.release());
        mark(OUTPUT);
        std::fclose(cif);
        r.ok = 1;
        const ssize_t n = write(channel[1], &r, sizeof r);
        _exit(n == static_cast<ssize_t>(sizeof r) ? 0 : 1);
    }
    close(channel[1]);
    StagedRun r;
    std::size_t got = 0;
    while (got < sizeof r) {
        const ssize_t n = read(channel[0], reinterpret_cast<char*>(&r) + got, sizeof r - got);
        if (n <= 0) break;
        got += static_cast<std::size_t>(n);
    }
    close(channel[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (got == sizeof r && WIFEXITED(status) && WEXITSTATUS(status) == 0) result = r;
    return result;
}

// Scans the layout in `work` (a new folder) and runs the layer stage there
// step by step, with the CPU time of each step in `times` (the first entry:
// the empty polygon file; the last: box list and removal). In a child process.
bool layer_steps_in_child(const fs::path& layout, const fs::path& work, std::vector<double>& times) {
    const std::size_t entries = layers::RECIPE_STEPS + 2;
    std::vector<double> t(entries, 0);
    int channel[2];
    if (pipe(channel) != 0) return false;
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid < 0) return false;
    if (pid == 0) {
        close(channel[0]);
        fs::create_directory(work);
        fs::current_path(work);
        std::FILE* cif = common::open_file(layout.string(), "rb");
        common::Output out(common::open_file("/dev/null", "w"), "/dev/null");
        common::PolygonFiles files = cif::scan_cif(cif, out);
        rusage u{};
        getrusage(RUSAGE_SELF, &u);
        double last = cpu_seconds(u);
        auto mark = [&](std::size_t k) {
            getrusage(RUSAGE_SELF, &u);
            t[k] = cpu_seconds(u) - last;
            last = cpu_seconds(u);
        };
        layers::write_empty_polygon_file(files);
        mark(0);
        for (std::size_t k = 0; k < layers::RECIPE_STEPS; ++k) {
            layers::run_recipe_step(files, layers::RECIPE[k]);
            mark(k + 1);
        }
        // The bodies lifted into the box list, one after the other.
        std::vector<common::Box> boxes;
        std::string messages;
        for (const char* const* stem = layers::BODY_LIST; *stem != nullptr; ++stem) {
            const common::PolygonFilePtr file = files.find(common::polygon_file_name(*stem));
            if (file == nullptr) continue;
            const std::vector<common::Box> lifted = layers::lift_body(*file, layers::lookup_layer_height(*stem), messages);
            boxes.insert(boxes.end(), lifted.begin(), lifted.end());
        }
        mark(entries - 1);
        const ssize_t n = write(channel[1], t.data(), t.size() * sizeof(double));
        _exit(n == static_cast<ssize_t>(t.size() * sizeof(double)) ? 0 : 1);
    }
    close(channel[1]);
    std::size_t got = 0;
    char* into = reinterpret_cast<char*>(t.data());
    while (got < t.size() * sizeof(double)) {
        const ssize_t n = read(channel[0], into + got, t.size() * sizeof(double) - got);
        if (n <= 0) break;
        got += static_cast<std::size_t>(n);
    }
    close(channel[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    times = t;
    return got == t.size() * sizeof(double) && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

fs::path make_temporary_directory();

int print_layer_steps(long long boxes) {
    const fs::path dir = make_temporary_directory();
    {
        std::ofstream out(dir / "layout.cif", std::ios::binary);
        out << scale::make_layout(boxes);
    }
    std::vector<double> times;
    const bool ok = layer_steps_in_child(dir / "layout.cif", dir / "steps", times);
    int status = 0;
    if (!ok) {
        std::fprintf(stderr, "bench-scale: a layer run failed\n");
        status = 1;
    } else {
        double total = 0;
        for (double v : times) total += v;
        std::printf("layer steps for %lld CIF boxes (CPU seconds; %.3f in all)\n", boxes, total);
        auto row = [&](const std::string& what, double v) {
            std::printf("  %-28s %8.3f %5.1f%%\n", what.c_str(), v, total > 0 ? 100 * v / total : 0.0);
        };
        row("empty.gpc", times[0]);
        static const char* const OPS[] = {"-", "&", "^", "|"};
        for (std::size_t k = 0; k < layers::RECIPE_STEPS; ++k) {
            const layers::RecipeStep& s = layers::RECIPE[k];
            std::string what = std::string(s.result) + " = ";
            if (s.kind == layers::RecipeStep::CLIP)
                what += std::string(s.first) + " " + OPS[s.op_or_amount] + " " + s.second;
            else if (s.kind == layers::RecipeStep::COPY)
                what += std::string("copy of ") + s.first;
            else
                what += std::string(s.first) + " grown by " + std::to_string(s.op_or_amount);
            row(what, times[k + 1]);
        }
        row("box list", times.back());
    }
    std::error_code ec;
    fs::remove_all(dir, ec);
    return status;
}

std::string binary_next_to_self() {
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    if (ec) return "cif2kavrit";
    return (self.parent_path() / "cif2kavrit").string();
}

fs::path make_temporary_directory() {
    std::string pattern = (fs::temp_directory_path() / "bench-scale-XXXXXX").string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (mkdtemp(name.data()) == nullptr) {
        std::perror("mkdtemp");
        std::exit(1);
    }
    return name.data();
}

void usage() {
    std::fprintf(stderr,
                 "usage: bench-scale [--binary PATH] [--baseline PATH] [--repeat N] [BOXES...]\n"
                 "       bench-scale --layout BOXES\n"
                 "       bench-scale --steps BOXES\n");
    std::exit(2);
}

}  // namespace

int main(int argc, char** argv) {
    std::string binary;
    std::string baseline;
    int repeat = 1;
    std::vector<long long> sizes;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--layout" && i + 1 < argc) {
            std::fputs(scale::make_layout(std::atoll(argv[i + 1])).c_str(), stdout);
            return 0;
        }
        if (a == "--steps" && i + 1 < argc) return print_layer_steps(std::atoll(argv[i + 1]));
        if (a == "--binary" && i + 1 < argc) {
            binary = argv[++i];
        } else if (a == "--baseline" && i + 1 < argc) {
            baseline = argv[++i];
        } else if (a == "--repeat" && i + 1 < argc) {
            repeat = std::max(1, std::atoi(argv[++i]));
        } else if (!a.empty() && a[0] != '-') {
            sizes.push_back(std::atoll(a.c_str()));
        } else {
            usage();
        }
    }
    if (sizes.empty()) sizes = {1000, 10000, 100000, 200000};
    if (binary.empty()) binary = binary_next_to_self();
    if (access(binary.c_str(), X_OK) != 0) {
        std::fprintf(stderr, "bench-scale: cannot run %s (give --binary PATH)\n", binary.c_str());
        return 1;
    }
    if (!baseline.empty() && access(baseline.c_str(), X_OK) != 0) {
        std::fprintf(stderr, "bench-scale: cannot run the baseline %s\n", baseline.c_str());
        return 1;
    }

    std::printf("binary: %s, %d device(s) of %d CIF boxes per 1,000 boxes, best of %d\n", binary.c_str(),
                (1000 + scale::boxes_per_device() - 1) / scale::boxes_per_device(), scale::boxes_per_device(), repeat);
    if (!baseline.empty()) std::printf("baseline: %s\n", baseline.c_str());
    std::printf("\n");
    std::printf("%9s %8s %9s %8s | %8s %8s %9s | %9s %9s %9s %9s %9s | %s\n", "CIF boxes", "CIF MiB", "3-D boxes",
                "structs", "run (s)", "cpu (s)", "peak MiB", STAGE_NAMES[SCAN], "layers", "grouping", "output", "peak MiB",
                "us/(box*log2)");
    int status = 0;
    for (const long long n : sizes) {
        const fs::path dir = make_temporary_directory();
        std::size_t cif_bytes = 0;
        {
            const std::string cif = scale::make_layout(n);
            cif_bytes = cif.size();
            std::ofstream out(dir / "layout.cif", std::ios::binary);
            out << cif;
        }
        WholeRun best, base;
        StagedRun stages;
        for (int k = 0; k < repeat; ++k) {
            const WholeRun w = run_binary(binary, dir);
            if (!w.ok) {
                status = 1;
                break;
            }
            if (!best.ok || w.wall < best.wall) best = w;
            if (!baseline.empty()) {
                const WholeRun b = run_binary(baseline, dir, "baseline.kav");
                if (!b.ok) {
                    status = 1;
                    break;
                }
                if (!base.ok || b.wall < base.wall) base = b;
            }
            const StagedRun s = run_stages(dir);
            if (!s.ok) {
                std::fprintf(stderr, "bench-scale: the staged run failed\n");
                status = 1;
                break;
            }
            double total = 0, best_total = 0;
            for (int st = 0; st < STAGES; ++st) {
                total += s.seconds[st];
                best_total += stages.seconds[st];
            }
            if (!stages.ok || total < best_total) stages = s;
        }
        if (best.ok && stages.ok) {
            const bool same = bench::without_time_line(bench::file_text(dir / "out.kav")) ==
                              bench::without_time_line(bench::file_text(dir / "stages" / "out.kav"));
            const double nlogn = static_cast<double>(n) * std::log2(static_cast<double>(std::max(2LL, n)));
            std::printf("%9lld %8.2f %9ld %8ld | %8.3f %8.3f %9.1f | %9.3f %9.3f %9.3f %9.3f %9.1f | %.3f%s\n", n,
                        static_cast<double>(cif_bytes) / (1024.0 * 1024.0), stages.boxes_3d, stages.structures,
                        best.wall, best.cpu, best.peak, stages.seconds[SCAN], stages.seconds[LAYERS], stages.seconds[GROUPING],
                        stages.seconds[OUTPUT], stages.peak_after[OUTPUT], best.cpu * 1e6 / nlogn,
                        same ? "" : "  (staged output differs from the binary's)");
            if (!same) status = 1;
            std::printf("%9s staged peak MiB after scan %.1f, layers %.1f, grouping %.1f, output %.1f\n", "",
                        stages.peak_after[SCAN], stages.peak_after[LAYERS], stages.peak_after[GROUPING],
                        stages.peak_after[OUTPUT]);
            if (base.ok) {
                const bool same_as_base = bench::without_time_line(bench::file_text(dir / "out.kav")) ==
                                          bench::without_time_line(bench::file_text(dir / "baseline.kav"));
                std::printf("%9s baseline: run %.3f s, cpu %.3f s, peak %.1f MiB; this binary %.2fx faster%s\n", "",
                            base.wall, base.cpu, base.peak, best.wall > 0 ? base.wall / best.wall : 0.0,
                            same_as_base ? "" : "  (baseline output differs)");
                if (!same_as_base) status = 1;
            }
        }
        std::fflush(stdout);
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
    std::printf("\nrun: the whole cif2kavrit process: wall time, CPU time (user + system) and peak resident\n"
                "memory from wait4; the last column is that CPU time per box and log2 of the boxes.\n"
                "stages: CPU time of each stage function, called in order in a process of their own\n"
                "(output is the header, output_structures and the footer); its peak is that process's.\n");
    return status;
}
