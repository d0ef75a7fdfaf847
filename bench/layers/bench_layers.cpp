// Times process_layers on generated layouts. Each layout is a grid of device
// cells of ten boxes, one on each CIF layer (anchor, both poly levels, base
// metal, metal, the holes, oxide, and a lone COF box), overlapping the way a
// hinged plate does, so that every step of the recipe has work to do.
//
//   bench-layers [BOXES...]      (default: 1000 10000 100000)
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "layers/created_files.h"
#include "layers/process_layers.h"

namespace {

struct Box {
    double xmin, ymin, xmax, ymax;
};

// One cell of 100 x 100 at (ox, oy), per layer.
const std::vector<std::pair<std::string, Box>> cell = {
    {"COL", {0, 0, 10, 10}},  {"CPS", {15, 0, 60, 40}},  {"CPT", {5, 20, 70, 50}},  {"CMB", {20, 25, 40, 45}},
    {"CCM", {30, 30, 50, 60}}, {"CHM", {35, 35, 45, 40}}, {"CHO", {25, 5, 35, 15}},  {"COT", {22, 22, 28, 48}},
    {"CHT", {60, 25, 65, 30}}, {"COF", {80, 80, 90, 90}},
};

// Writes the layer files as the CIF split writes them and records them.
void write_layout(long boxes) {
    const long cells = std::max(1L, boxes / static_cast<long>(cell.size()));
    const long per_row = static_cast<long>(std::ceil(std::sqrt(static_cast<double>(cells))));
    std::map<std::string, std::string> text;
    std::map<std::string, long> count;
    char line[160];
    for (long c = 0; c < cells; ++c) {
        const double ox = 100.0 * static_cast<double>(c % per_row);
        const double oy = 100.0 * static_cast<double>(c / per_row);
        for (const auto& [layer, b] : cell) {
            std::snprintf(line, sizeof line, "4\n%.1f %.1f\n%.1f %.1f\n%.1f %.1f\n%.1f %.1f\n", ox + b.xmin, oy + b.ymin,
                          ox + b.xmax, oy + b.ymin, ox + b.xmax, oy + b.ymax, ox + b.xmin, oy + b.ymax);
            text[layer] += line;
            ++count[layer];
        }
    }
    for (const auto& [layer, body] : text) {
        const std::string name = layer + ".gpc";
        std::ofstream out(name, std::ios::binary);
        out << count[layer] << "\n" << body;
        record_created_file(name);
    }
}

long count_lines(const char* path) {
    std::ifstream in(path);
    long n = 0;
    for (std::string s; std::getline(in, s);) ++n;
    return n;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<long> sizes;
    for (int i = 1; i < argc; ++i) sizes.push_back(std::strtol(argv[i], nullptr, 10));
    if (sizes.empty()) sizes = {1000, 10000, 100000};

    const std::filesystem::path home = std::filesystem::current_path();
    std::printf("%10s %12s %12s %12s\n", "boxes", "write (s)", "layers (s)", "3-D boxes");
    for (const long n : sizes) {
        std::string pattern = (std::filesystem::temp_directory_path() / "bench-layers-XXXXXX").string();
        std::vector<char> buf(pattern.begin(), pattern.end());
        buf.push_back('\0');
        if (mkdtemp(buf.data()) == nullptr) {
            std::perror("mkdtemp");
            return 1;
        }
        const std::filesystem::path dir = buf.data();
        std::filesystem::current_path(dir);

        const auto t0 = std::chrono::steady_clock::now();
        write_layout(n);
        const auto t1 = std::chrono::steady_clock::now();
        process_layers();
        const auto t2 = std::chrono::steady_clock::now();
        const long lifted = count_lines("premason.file");

        std::printf("%10ld %12.3f %12.3f %12ld\n", n, std::chrono::duration<double>(t1 - t0).count(),
                    std::chrono::duration<double>(t2 - t1).count(), lifted);
        std::fflush(stdout);
        std::filesystem::current_path(home);
        std::filesystem::remove_all(dir);
    }
    return 0;
}
