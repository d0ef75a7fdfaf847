// Helpers for the layer-processing tests: every test runs in a fresh
// temporary directory, with layer files written as the CIF split writes them.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "layers/created_files.h"

namespace layers_test {

struct Rect {
    double xmin, ymin, xmax, ymax;
};

inline std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

inline void write_file(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

inline bool file_exists(const std::string& path) { return std::filesystem::exists(path); }

// A layer file as the CIF split writes it: the box count, then per box "4"
// and the corners lower left, lower right, upper right, upper left with "%.1f".
inline std::string cif_layer_text(const std::vector<Rect>& boxes) {
    std::string text = std::to_string(boxes.size()) + "\n";
    char line[128];
    for (const Rect& b : boxes) {
        text += "4\n";
        const double corners[4][2] = {{b.xmin, b.ymin}, {b.xmax, b.ymin}, {b.xmax, b.ymax}, {b.xmin, b.ymax}};
        for (const auto& c : corners) {
            std::snprintf(line, sizeof line, "%.1f %.1f\n", c[0], c[1]);
            text += line;
        }
    }
    return text;
}

// Writes <name>.gpc with the boxes and records it, as the CIF split does.
inline void write_layer(const std::string& name, const std::vector<Rect>& boxes) {
    write_file(name + ".gpc", cif_layer_text(boxes));
    record_created_file(name + ".gpc");
}

inline std::vector<std::string> gpc_files_here() {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator("."))
        if (e.path().extension() == ".gpc") names.push_back(e.path().filename().string());
    return names;
}

// One line of premason.file.
struct BoxLine {
    int xmin, xmax, ymin, ymax, zmin, zmax;
};

inline std::vector<BoxLine> read_box_lines(const std::string& path) {
    std::vector<BoxLine> lines;
    std::istringstream in(read_file(path));
    BoxLine b{};
    while (in >> b.xmin >> b.xmax >> b.ymin >> b.ymax >> b.zmin >> b.zmax) lines.push_back(b);
    return lines;
}

// The unit cells covered by the boxes at one z range, the way the bodies are
// compared where the cut into quads is not the point of a test. Cells covered
// twice are reported through `overlaps`.
using Cells = std::set<std::pair<int, int>>;

inline Cells cells_at(const std::vector<BoxLine>& lines, int zmin, int zmax, int* overlaps = nullptr) {
    Cells cells;
    for (const BoxLine& b : lines) {
        if (b.zmin != zmin || b.zmax != zmax) continue;
        for (int x = b.xmin; x < b.xmax; ++x)
            for (int y = b.ymin; y < b.ymax; ++y)
                if (!cells.insert({x, y}).second && overlaps != nullptr) ++*overlaps;
    }
    return cells;
}

// Cells of the union of `plus` minus the union of `minus` (integer corners).
inline Cells cells_of(const std::vector<Rect>& plus, const std::vector<Rect>& minus = {}) {
    Cells cells;
    for (const Rect& r : plus)
        for (int x = static_cast<int>(r.xmin); x < static_cast<int>(r.xmax); ++x)
            for (int y = static_cast<int>(r.ymin); y < static_cast<int>(r.ymax); ++y) cells.insert({x, y});
    for (const Rect& r : minus)
        for (int x = static_cast<int>(r.xmin); x < static_cast<int>(r.xmax); ++x)
            for (int y = static_cast<int>(r.ymin); y < static_cast<int>(r.ymax); ++y) cells.erase({x, y});
    return cells;
}

// Runs each test in a new empty directory with an empty created-file list.
class InTempDir : public ::testing::Test {
protected:
    void SetUp() override {
        previous_ = std::filesystem::current_path();
        std::string pattern = (std::filesystem::temp_directory_path() / "layers-test-XXXXXX").string();
        std::vector<char> buf(pattern.begin(), pattern.end());
        buf.push_back('\0');
        ASSERT_NE(mkdtemp(buf.data()), nullptr);
        dir_ = buf.data();
        std::filesystem::current_path(dir_);
        release_created_files();
    }
    void TearDown() override {
        release_created_files();
        std::filesystem::current_path(previous_);
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }

private:
    std::filesystem::path previous_;
    std::filesystem::path dir_;
};

}  // namespace layers_test

namespace layers_test {

// The text write_quads gives for one axis-aligned quad (lower left, lower
// right, upper right, upper left), as the quad-writer tests pin it down.
inline std::string quad_text(double x0, double y0, double x1, double y1) {
    char buf[512];
    std::snprintf(buf, sizeof buf, "4\n %.15f %.15f\n %.15f %.15f\n %.15f %.15f\n %.15f %.15f\n", x0, y0, x1, y0, x1, y1,
                  x0, y1);
    return buf;
}

}  // namespace layers_test
