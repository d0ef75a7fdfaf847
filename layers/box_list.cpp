#include "layers/box_list.h"

#include <cctype>
#include <climits>
#include <cmath>
#include <cstdio>
#include <string>

#include "common/file_names.h"
#include "layers/polygon_files.h"
#include "polygon/polygon_io.h"

namespace layers {

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

constexpr const char* VERTICES_SHOULD_BE_4 = "processlayers(509): number of vertices should be 4.\n";

// Lifts a body file kept as text. A truncated or malformed file gives the
// boxes of the contours read completely before the fault.
void lift_text(std::FILE* in, const LayerHeight& h, std::vector<common::Box>& out, std::string& messages) {
    int contours = 0;
    if (!scan_int(in, contours)) return;
    for (int c = 0; c < contours; ++c) {
        int vertices = 0;
        if (!scan_int(in, vertices)) return;
        if (vertices == 4) {
            IntBox b{};
            if (!read_truncated_box(in, b)) return;
            out.push_back({b.xmin, b.xmax, b.ymin, b.ymax, h.z_base, h.top});
            continue;
        }
        messages += VERTICES_SHOULD_BE_4;
        // Pass over the contour's vertices so that the next contour is read in step.
        for (int v = 0; v < vertices; ++v) {
            float x = 0, y = 0;
            if (!scan_float(in, x) || !scan_float(in, y)) return;
        }
    }
}

}  // namespace

std::vector<common::Box> lift_body(const common::PolygonFile& file, const LayerHeight& h, std::string& messages) {
    std::vector<common::Box> out;
    if (file.is_text()) {
        if (std::FILE* in = open_text(file)) {
            lift_text(in, h, out, messages);
            std::fclose(in);
        }
        return out;
    }
    const std::size_t contours = file.contours_read();
    out.reserve(contours);
    for (std::size_t c = 0; c < contours; ++c) {
        IntBox b{};
        common::FloatVertex v[4];
        file.read_quad(c, v);
        for (std::size_t k = 0; k < 4; ++k) {
            const int x = truncate_coordinate(v[k].x);
            const int y = truncate_coordinate(v[k].y);
            if (k == 0) {
                b = {x, x, y, y};
                continue;
            }
            if (x < b.xmin) b.xmin = x;
            if (x > b.xmax) b.xmax = x;
            if (y < b.ymin) b.ymin = y;
            if (y > b.ymax) b.ymax = y;
        }
        out.push_back({b.xmin, b.xmax, b.ymin, b.ymax, h.z_base, h.top});
    }
    return out;
}

std::vector<common::Box> write_box_list(const common::PolygonFiles& files, const char* const* body_list) {
    std::vector<common::Box> boxes;
    std::string messages;
    for (const char* const* stem = body_list; *stem != nullptr; ++stem) {
        const common::PolygonFilePtr file = files.find(common::polygon_file_name(*stem));
        if (file == nullptr) continue;  // a missing body adds nothing
        const std::vector<common::Box> lifted = lift_body(*file, lookup_layer_height(*stem), messages);
        boxes.insert(boxes.end(), lifted.begin(), lifted.end());
    }
    std::fputs(messages.c_str(), stderr);
    return boxes;
}

std::string box_list_text(const std::vector<common::Box>& boxes) {
    std::string text;
    for (const common::Box& b : boxes) {
        const std::int32_t values[6] = {b.xmin, b.xmax, b.ymin, b.ymax, b.zmin, b.zmax};
        for (int k = 0; k < 6; ++k) {
            text += std::to_string(values[k]);
            text += k < 5 ? ' ' : '\n';
        }
    }
    return text;
}

}  // namespace layers
