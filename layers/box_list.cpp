#include "layers/box_list.h"

#include <cctype>
#include <climits>
#include <cmath>
#include <string>

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

// The footprint of a quad: the bounding box of its four vertices' truncated
// coordinates.
common::Rect32 truncated_box(const common::PointF v[4]) {
    auto truncated = [&](std::size_t k) {
        return common::Point32{truncate_coordinate(v[k].x), truncate_coordinate(v[k].y)};
    };
    common::Rect32 b = common::rect_at(truncated(0));
    for (std::size_t k = 1; k < 4; ++k) common::extend(b, truncated(k));
    return b;
}

constexpr const char* VERTICES_SHOULD_BE_4 = "processlayers(509): number of vertices should be 4.\n";

// Lifts a body file read from a text: reading ends at the first contour cut
// short (a contour of another vertex count is reported even then).
void lift_text(const common::TextContours& text, const LayerHeight& h, std::vector<common::Box>& out,
               std::string& messages) {
    for (const common::TextContour& c : text.contours) {
        if (c.vertex_count != 4) {
            messages += VERTICES_SHOULD_BE_4;
            if (!c.complete) return;
            continue;
        }
        if (!c.complete) return;
        out.push_back(common::lift(truncated_box(&text.narrow[c.first]), h.z_base, h.top));
    }
}

}  // namespace

std::vector<common::Box> lift_body(const common::PolygonFile& file, const LayerHeight& h, std::string& messages) {
    std::vector<common::Box> out;
    if (file.is_text()) {
        lift_text(file.text_contours(), h, out, messages);
        return out;
    }
    const std::size_t contours = file.contours_read();
    out.reserve(contours);
    for (std::size_t c = 0; c < contours; ++c) {
        common::PointF quad[4];
        file.read_quad(c, quad);
        out.push_back(common::lift(truncated_box(quad), h.z_base, h.top));
    }
    return out;
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
