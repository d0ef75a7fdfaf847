// Flatten benchmark: one cell of 10 boxes arrayed by nested calls, ten
// instances per level, K levels deep (K = 5: 1,000,000 placed boxes).
//
// Figures, each in a process of its own (wall time, CPU time, peak resident
// memory from wait4):
//   1. the CIF reader alone on the hierarchical file (read_layout, in a child);
//   2. cif2kavrit --flatten -s -o out.kav on the hierarchical file;
//   3. cif2kavrit --flatten on the same layout written flat;
//   4. the baseline: the default reading of that flat file.
// The two --flatten conversions must give the same kavrit file, and the
// default reading the same lines (the cell's boxes do not touch, so every
// layer is cut the same way; only the order of the structures differs).
// Then the test chip of chip.h, in whole units and in nanometres: the reader
// alone and cif2kavrit --flatten on each, the ratio of the two CPU times, and
// with --baseline the same conversions by an earlier build, whose kavrit
// files must be the same.
//
//   bench-flatten [--binary PATH] [--baseline PATH] [--levels K] [--chip ROWS COLUMNS] [--chip-only]
//   bench-flatten --write DIR   (only writes the layouts)
// (default: cif2kavrit next to bench-flatten, K = 5, a chip of 80 x 50 tiles)

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/child/child_run.h"
#include "chip.h"
#include "cifread/layout.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

struct CellBox {
    const char* layer;
    long length, width, x, y;
};

// An anchored plate on two posts with a mirror, 40 x 40 micrometres.
const CellBox CELL[] = {
    {"COL", 600, 600, 500, 500},    {"COL", 600, 600, 3500, 500},   {"CPS", 1000, 1000, 500, 500},
    {"CPS", 1000, 1000, 3500, 500}, {"CPT", 3000, 2000, 2000, 2500}, {"CHT", 400, 400, 1200, 2500},
    {"CHT", 400, 400, 2800, 2500},  {"CMB", 1200, 800, 2000, 2500},  {"CCM", 1200, 800, 2000, 2500},
    {"COT", 400, 400, 2000, 3800},
};
const long CELL_PITCH = 5000;

// Pitch of level k (1-based): the cell pitch times 10 every second level,
// levels alternating between x and y.
long pitch_of(int level) {
    long p = CELL_PITCH;
    for (int k = 1; k < level; ++k)
        if (k % 2 == 0) p *= 10;
    return p;
}

std::string hierarchical_layout(int levels) {
    std::string s = "(a cell arrayed by nested calls);\nDS 1;\n";
    for (const CellBox& b : CELL)
        s += std::string("L ") + b.layer + ";\nB " + std::to_string(b.length) + " " + std::to_string(b.width) + " " +
             std::to_string(b.x) + " " + std::to_string(b.y) + ";\n";
    s += "DF;\n";
    for (int level = 1; level <= levels; ++level) {
        s += "DS " + std::to_string(level + 1) + ";\n";
        for (int i = 0; i < 10; ++i) {
            const long t = i * pitch_of(level);
            s += "C " + std::to_string(level) + " T " + std::to_string(level % 2 == 1 ? t : 0) + " " +
                 std::to_string(level % 2 == 1 ? 0 : t) + ";\n";
        }
        s += "DF;\n";
    }
    return s + "C " + std::to_string(levels + 1) + ";\nE\n";
}

// The same boxes in the default reading's dialect: each layer one run of boxes.
void write_flat_layout(const fs::path& path, int levels) {
    std::vector<std::pair<long, long>> origins = {{0, 0}};
    for (int level = 1; level <= levels; ++level) {
        std::vector<std::pair<long, long>> next;
        next.reserve(origins.size() * 10);
        for (int i = 0; i < 10; ++i) {
            const long t = i * pitch_of(level);
            for (const auto& [x, y] : origins) next.push_back(level % 2 == 1 ? std::make_pair(x + t, y) : std::make_pair(x, y + t));
        }
        origins.swap(next);
    }
    std::FILE* out = std::fopen(path.c_str(), "w");
    if (out == nullptr) {
        std::perror(path.c_str());
        std::exit(1);
    }
    for (const char* layer : {"COL", "CPS", "CPT", "CHT", "CMB", "CCM", "COT"}) {
        std::fprintf(out, "L %s;\n", layer);
        for (const auto& [x, y] : origins)
            for (const CellBox& b : CELL)
                if (std::strcmp(b.layer, layer) == 0)
                    std::fprintf(out, "B %ld %ld %ld %ld;\n", b.length, b.width, b.x + x, b.y + y);
    }
    std::fprintf(out, "E\n");
    std::fclose(out);
}

bench::ChildFigures run_binary(const std::string& binary, const fs::path& dir, bool flatten) {
    std::vector<std::string> argv = {binary, "-s", "-o", "out.kav", "layout.cif"};
    if (flatten) argv.insert(argv.begin() + 1, "--flatten");
    return bench::run_program(argv, dir.string());
}



std::vector<std::string> sorted_lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end = text.find('\n'); end != std::string::npos; end = text.find('\n', start = end + 1))
        lines.push_back(text.substr(start, end - start));
    std::sort(lines.begin(), lines.end());
    return lines;
}

void print(const char* what, const bench::ChildFigures& f) { std::printf("%-50s %s\n", what, bench::figures_text(f).c_str()); }

// The test chip in whole units and in nanometres, each read with --flatten
// by the binary and, when given, by the baseline; both must agree.
bool chip_figures(const std::string& binary, const std::string& baseline, int rows, int columns, const fs::path& root) {
    const bench_flatten::ChipText chip = bench_flatten::chip_layouts(rows, columns);
    std::printf("\ntest chip: %ld shapes (boxes, polygons, wires) in tiles of 8 cells; files of %ld and %ld bytes\n",
                chip.shapes, static_cast<long>(chip.whole.size()), static_cast<long>(chip.nanometres.size()));
    bool ok = true;
    struct Version {
        const char* name;
        const std::string* text;
        double cpu[2] = {0, 0};
    };
    Version versions[] = {{"whole units", &chip.whole}, {"nanometres, DS n 1 10", &chip.nanometres}};
    for (Version& v : versions) {
        const bench::ChildFigures r = bench::measure([&] { return cifread::read_layout(*v.text).ok ? 0 : 1; });
        print((std::string("read_layout (") + v.name + ", in process)").c_str(), r);
        std::string outs[2];
        for (int b = 0; b < 2; ++b) {
            const std::string& bin = b == 0 ? binary : baseline;
            if (bin.empty()) continue;
            const fs::path dir = root / (std::string(b == 0 ? "chip-" : "chip-baseline-") + (v.text == &chip.whole ? "whole" : "nm"));
            fs::create_directory(dir);
            std::ofstream(dir / "layout.cif", std::ios::binary) << *v.text;
            const bench::ChildFigures f = run_binary(bin, dir, true);
            print((std::string(b == 0 ? "cif2kavrit --flatten (" : "baseline --flatten (") + v.name + ")").c_str(), f);
            ok = ok && f.ok;
            v.cpu[b] = f.cpu;
            outs[b] = bench::without_time_line(bench::file_text(dir / "out.kav"));
        }
        if (!baseline.empty()) {
            std::printf("  kavrit files of the binary and the baseline: %s\n", outs[0] == outs[1] ? "identical" : "DIFFER");
            ok = ok && outs[0] == outs[1];
        }
    }
    for (int b = 0; b < 2; ++b) {
        if ((b == 0 ? binary : baseline).empty() || versions[0].cpu[b] <= 0) continue;
        std::printf("%s: CPU time in nanometres / in whole units = %.2f\n", b == 0 ? "cif2kavrit" : "baseline",
                    versions[1].cpu[b] / versions[0].cpu[b]);
    }
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    std::string binary = (fs::absolute(fs::path(argv[0])).parent_path() / "cif2kavrit").string();
    std::string baseline;
    std::string write_dir;
    int levels = 5;
    int rows = 0;
    int columns = 0;
    bool nested = true;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--binary") == 0 && i + 1 < argc)
            binary = fs::absolute(argv[++i]).string();
        else if (std::strcmp(argv[i], "--baseline") == 0 && i + 1 < argc)
            baseline = fs::absolute(argv[++i]).string();
        else if (std::strcmp(argv[i], "--levels") == 0 && i + 1 < argc)
            levels = std::atoi(argv[++i]);
        else if (std::strcmp(argv[i], "--chip") == 0 && i + 2 < argc) {
            rows = std::atoi(argv[++i]);
            columns = std::atoi(argv[++i]);
        } else if (std::strcmp(argv[i], "--chip-only") == 0)
            nested = false;
        else if (std::strcmp(argv[i], "--write") == 0 && i + 1 < argc)
            write_dir = argv[++i];
        else {
            std::fprintf(stderr,
                         "usage: bench-flatten [--binary PATH] [--baseline PATH] [--levels K] [--chip ROWS COLUMNS] "
                         "[--chip-only] [--write DIR]\n");
            return 2;
        }
    }
    if (levels < 1 || levels > 6) {
        std::fprintf(stderr, "bench-flatten: --levels from 1 to 6\n");
        return 2;
    }
    if (rows < 0 || columns < 0 || rows > 1000 || columns > 1000) {
        std::fprintf(stderr, "bench-flatten: --chip from 1 to 1000 rows and columns\n");
        return 2;
    }
    if (!write_dir.empty()) {
        // Only write the layouts, for a look or a profiler.
        const bench_flatten::ChipText chip = bench_flatten::chip_layouts(rows, columns);
        fs::create_directories(write_dir);
        std::ofstream(fs::path(write_dir) / "chip-whole.cif", std::ios::binary) << chip.whole;
        std::ofstream(fs::path(write_dir) / "chip-nm.cif", std::ios::binary) << chip.nanometres;
        std::ofstream(fs::path(write_dir) / "nested.cif", std::ios::binary) << hierarchical_layout(levels);
        return 0;
    }
    long placed = 10;
    for (int k = 0; k < levels; ++k) placed *= 10;

    char pattern[] = "/tmp/bench-flatten-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    const fs::path root = pattern;
    bool same = true;
    bool ok = true;
    if (nested) {
        const fs::path hier = root / "hierarchical", flat = root / "flat", plain = root / "default";
        for (const fs::path& d : {hier, flat, plain}) fs::create_directory(d);
        const std::string text = hierarchical_layout(levels);
        std::ofstream(hier / "layout.cif", std::ios::binary) << text;
        write_flat_layout(flat / "layout.cif", levels);
        fs::copy_file(flat / "layout.cif", plain / "layout.cif");

        std::printf("layout: a cell of 10 boxes, %d levels of 10 calls: %ld placed boxes; files of %ld and %ld bytes\n",
                    levels, placed, static_cast<long>(fs::file_size(hier / "layout.cif")),
                    static_cast<long>(fs::file_size(flat / "layout.cif")));
        {
            // The reader alone, in process; its cut must hold one box per placed box.
            const bench::ChildFigures f = bench::measure([&] {
                const cifread::ReadResult r = cifread::read_layout(text);
                long n = 0;
                for (const auto& l : r.layout.layers) n += static_cast<long>(l.boxes.size());
                return r.ok && n == placed ? 0 : 1;
            });
            print("read_layout (hierarchical, in process)", f);
        }
        const bench::ChildFigures a = run_binary(binary, hier, true);
        print("cif2kavrit --flatten (hierarchical)", a);
        const bench::ChildFigures b = run_binary(binary, flat, true);
        print("cif2kavrit --flatten (flat copy)", b);
        const bench::ChildFigures c = run_binary(binary, plain, false);
        print("baseline: cif2kavrit (flat copy, default reading)", c);

        // The default reading keeps the boxes in file order, the reader sorts
        // them: the same structures, numbered in another order.
        const std::string out_a = bench::without_time_line(bench::file_text(hier / "out.kav"));
        const std::string out_c = bench::without_time_line(bench::file_text(plain / "out.kav"));
        same = out_a == bench::without_time_line(bench::file_text(flat / "out.kav")) && sorted_lines(out_a) == sorted_lines(out_c);
        std::printf("kavrit files: --flatten on both files %s; the default reading %s\n",
                    out_a == bench::without_time_line(bench::file_text(flat / "out.kav")) ? "identical" : "DIFFER",
                    out_a == out_c                              ? "identical"
                    : sorted_lines(out_a) == sorted_lines(out_c) ? "the same lines in another order"
                                                                 : "DIFFERS");
        ok = a.ok && b.ok && c.ok;
    }
    const bool chip_ok = chip_figures(binary, baseline, rows, columns, root);
    if (same && chip_ok) {
        std::error_code ec;
        fs::remove_all(root, ec);
    } else {
        std::printf("the files are kept in %s\n", root.c_str());
    }
    return ok && same && chip_ok ? 0 : 1;
}
