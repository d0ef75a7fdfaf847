#include "layers/box_list.h"

#include <cctype>
#include <climits>
#include <cmath>
#include <cstdio>
#include <string>

#include "driver/run_settings.h"
#include "polygon/polygon_io.h"

const char* const BODY_LIST[] = {"COL", "COT", "COF", "mtl", "refl", "pvtl", "pvth", "ply1", "p2lo", "p2hi", "ply2",
                                 nullptr};

LayerHeight lookup_layer_height(std::string_view name, const HeightTable& table) {
    // Every name of the table has at most seven characters; a longer name
    // cannot match any row and gets the zero height.
    constexpr std::size_t longest_name = 7;
    LayerHeight h;
    if (name.size() > longest_name) return h;
    std::string upper;
    for (const char ch : name) upper += static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    for (const HeightRow& row : table) {
        if (row.name == upper) {
            h.z_base = row.z_base;
            h.thickness = row.thickness;
            break;
        }
    }
    h.top = h.z_base + h.thickness;
    return h;
}

LayerHeight lookup_layer_height(std::string_view name) { return lookup_layer_height(name, HEIGHT_TABLE); }

namespace {

// Truncation toward zero, as a C conversion from float to int does. Values
// outside the int range (and NaN), which no polygon file of this program
// holds, are clamped instead of converted, since that conversion is undefined.
int truncate_coordinate(float v) {
    if (std::isnan(v)) return 0;
    if (v >= 2147483648.0f) return INT_MAX;
    if (v <= -2147483648.0f) return INT_MIN;
    return static_cast<int>(v);
}

struct IntBox {
    int xmin, xmax, ymin, ymax;
};

// Reads four "%f %f" vertices and takes the bounding box of their truncated
// coordinates. False when the file ends or holds no number first.
bool read_truncated_box(std::FILE* in, IntBox& box) {
    for (int i = 0; i < 4; ++i) {
        float fx = 0, fy = 0;
        if (!scan_float(in, fx) || !scan_float(in, fy)) return false;
        const int x = truncate_coordinate(fx);
        const int y = truncate_coordinate(fy);
        if (i == 0) {
            box = {x, x, y, y};
            continue;
        }
        if (x < box.xmin) box.xmin = x;
        if (x > box.xmax) box.xmax = x;
        if (y < box.ymin) box.ymin = y;
        if (y > box.ymax) box.ymax = y;
    }
    return true;
}

// Lifts one body file into box lines. A truncated or malformed file gives the
// lines of the contours read completely before the fault.
void lift_body(std::FILE* in, const LayerHeight& h, std::FILE* out) {
    int contours = 0;
    if (!scan_int(in, contours)) return;
    for (int c = 0; c < contours; ++c) {
        int vertices = 0;
        if (!scan_int(in, vertices)) return;
        if (vertices == 4) {
            IntBox b{};
            if (!read_truncated_box(in, b)) return;
            std::fprintf(out, "%d %d %d %d %d %d\n", b.xmin, b.xmax, b.ymin, b.ymax, h.z_base, h.top);
            continue;
        }
        std::fprintf(stderr, "%s(%d): number of vertices should be 4.\n", "processlayers", 509);
        // Pass over the contour's vertices so that the next contour is read in step.
        for (int v = 0; v < vertices; ++v) {
            float x = 0, y = 0;
            if (!scan_float(in, x) || !scan_float(in, y)) return;
        }
    }
}

}  // namespace

void write_box_list(const char* const* body_list) {
    std::FILE* out = open_or_exit("premason.file", "w");
    for (const char* const* stem = body_list; *stem != nullptr; ++stem) {
        const std::string file_name = std::string(*stem) + ".gpc";
        std::FILE* in = std::fopen(file_name.c_str(), "r");
        if (in == nullptr) continue;
        lift_body(in, lookup_layer_height(*stem), out);
        std::fclose(in);
    }
    close_written_or_exit(out, "premason.file");
}
