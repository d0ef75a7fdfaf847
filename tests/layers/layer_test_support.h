// Helpers for the layer-processing tests: every test runs in a fresh
// temporary directory with polygon files reported to a trace that writes
// them, so every file a step makes is also written there and can be read back as text, with layer files
// made as the CIF split makes them.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "common/polygon_file.h"
#include "layers/polygon_files.h"
#include "polygon/gpc.h"
#include "tests/common/scratch_dir.h"
#include "tests/common/test_traces.h"

namespace layers_test {

struct Rect {
    double xmin, ymin, xmax, ymax;
};

// Corners lower left, lower right, upper right, upper left, one line each in
// `format`, after a line "4".
inline std::string corners(const char* format, double x0, double y0, double x1, double y1) {
    std::string text = "4\n";
    char line[128];
    for (const auto& [x, y] : {std::pair{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}}) {
        std::snprintf(line, sizeof line, format, x, y);
        text += line;
    }
    return text;
}

// One quad as write_quads writes it (its format is pinned by the quad-writer tests).
inline std::string quad_text(double x0, double y0, double x1, double y1) {
    return corners(" %.15f %.15f\n", x0, y0, x1, y1);
}

// A layer file as the CIF split writes it: the box count, then the boxes.
inline std::string cif_layer_text(const std::vector<Rect>& boxes) {
    std::string text = std::to_string(boxes.size()) + "\n";
    for (const Rect& b : boxes) text += corners("%.1f %.1f\n", b.xmin, b.ymin, b.xmax, b.ymax);
    return text;
}

// <name>.gpc with the boxes, as the CIF split makes it.
inline void write_layer(common::PolygonFiles& files, const std::string& name, const std::vector<Rect>& boxes) {
    std::vector<common::PointD> corners;
    for (const Rect& b : boxes)
        for (const auto& [x, y] : {std::pair{b.xmin, b.ymin}, {b.xmax, b.ymin}, {b.xmax, b.ymax}, {b.xmin, b.ymax}})
            corners.push_back({static_cast<double>(static_cast<float>(x)), static_cast<double>(static_cast<float>(y))});
    files.create(name + ".gpc", common::PolygonFile(common::VertexFormat::OneDecimal,
                                                    static_cast<long long>(boxes.size()), std::move(corners)));
}

// A polygon file given as its text.
inline void put_text(common::PolygonFiles& files, const std::string& file_name, const std::string& text) {
    files.create(file_name, common::PolygonFile::from_text(text));
}

// The same value, NaN for NaN and the sign of a zero included.
inline bool same(double a, double b) {
    if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b);
    return a == b && std::signbit(a) == std::signbit(b);
}

// Checks that read_polygon takes from `file` what the library's polygon
// reader ("%lf") takes from `text` over a stream; gives the contour count.
inline int expect_reads_as_gpc_read_polygon(const common::PolygonFile& file, std::string text) {
    gpc_polygon wide{0, nullptr, nullptr};
    if (!text.empty()) {
        std::FILE* in = fmemopen(text.data(), text.size(), "r");
        EXPECT_NE(in, nullptr);
        if (in == nullptr) return 0;
        gpc_read_polygon(in, 0, &wide);
        std::fclose(in);
    }
    gpc_polygon read{0, nullptr, nullptr};
    layers::read_polygon(file, &read);
    const int contours = wide.num_contours;
    EXPECT_EQ(read.num_contours, wide.num_contours);
    for (int c = 0; c < std::min(read.num_contours, wide.num_contours); ++c) {
        EXPECT_EQ(read.contour[c].num_vertices, wide.contour[c].num_vertices) << c;
        for (int k = 0; k < std::min(read.contour[c].num_vertices, wide.contour[c].num_vertices); ++k) {
            EXPECT_TRUE(same(read.contour[c].vertex[k].x, wide.contour[c].vertex[k].x)) << c << " " << k;
            EXPECT_TRUE(same(read.contour[c].vertex[k].y, wide.contour[c].vertex[k].y)) << c << " " << k;
        }
    }
    gpc_free_polygon(&wide);
    gpc_free_polygon(&read);
    return contours;
}

inline std::set<std::string> files_here() {
    std::set<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(".")) names.insert(e.path().filename().string());
    return names;
}

// Unit cells of a body: where the cut into quads is not the point of a test,
// bodies are compared as sets of cells.
using Cells = std::set<std::pair<int, int>>;

inline void add_cells(Cells& cells, int x0, int y0, int x1, int y1, bool add, int* twice = nullptr) {
    for (int x = x0; x < x1; ++x)
        for (int y = y0; y < y1; ++y) {
            if (!add) cells.erase({x, y});
            else if (!cells.insert({x, y}).second && twice != nullptr) ++*twice;
        }
}

// The union of `plus` less the union of `minus`.
inline Cells cells_of(const std::vector<Rect>& plus, const std::vector<Rect>& minus = {}) {
    Cells cells;
    for (const Rect& r : plus) add_cells(cells, int(r.xmin), int(r.ymin), int(r.xmax), int(r.ymax), true);
    for (const Rect& r : minus) add_cells(cells, int(r.xmin), int(r.ymin), int(r.xmax), int(r.ymax), false);
    return cells;
}

// Runs each test in a new empty directory with kept polygon files.
class InTempDir : public ::testing::Test {
protected:
    void write_layer(const std::string& name, const std::vector<Rect>& boxes) { layers_test::write_layer(files, name, boxes); }
    void put_text(const std::string& file_name, const std::string& text) { layers_test::put_text(files, file_name, text); }

    ScratchDir dir_;
    test_traces::WritingTrace trace;
    common::PolygonFiles files{&trace};
};

}  // namespace layers_test
