#include "layers/grow.h"

#include <cstdio>
#include <cstdlib>

namespace grow {

FloatBox bounding_box(const float x[4], const float y[4]) {
    FloatBox b{x[0], x[0], y[0], y[0]};
    for (int i = 1; i < 4; ++i) {
        if (x[i] > b.xmax) b.xmax = x[i];
        if (x[i] < b.xmin) b.xmin = x[i];
        if (y[i] > b.ymax) b.ymax = y[i];
        if (y[i] < b.ymin) b.ymin = y[i];
    }
    return b;
}

FloatBox widen(FloatBox b, int amount) {
    const float a = static_cast<float>(amount);
    b.xmax = b.xmax + a;
    b.xmin = b.xmin - a;
    b.ymax = b.ymax + a;
    b.ymin = b.ymin - a;
    return b;
}

std::string corner_lines(const FloatBox& b) {
    char buf[512];
    std::snprintf(buf, sizeof buf, "%.2f %.2f\n%.2f %.2f\n%.2f %.2f\n%.2f %.2f\n", b.xmin, b.ymin, b.xmax, b.ymin,
                  b.xmax, b.ymax, b.xmin, b.ymax);
    return buf;
}

gpc_vertex round_trip(double x_read, double y_read, std::string* tmpdata2_line) {
    char buf[256];
    std::snprintf(buf, sizeof buf, "%.5f %.5f\n", x_read, y_read);
    if (tmpdata2_line != nullptr) *tmpdata2_line = buf;
    gpc_vertex v{};
    char* end = nullptr;
    v.x = std::strtod(buf, &end);
    v.y = std::strtod(end, nullptr);
    return v;
}

std::vector<gpc_vertex> reread_corners(const FloatBox& b) {
    const std::string text = corner_lines(b);
    std::vector<gpc_vertex> corners;
    const char* p = text.c_str();
    for (int i = 0; i < 4; ++i) {
        char* end = nullptr;
        const double x = std::strtod(p, &end);
        p = end;
        const double y = std::strtod(p, &end);
        p = end;
        corners.push_back(round_trip(x, y));
    }
    return corners;
}

void unite_in_order(const std::vector<std::vector<gpc_vertex>>& contours, gpc_polygon* accumulator) {
    for (const auto& c : contours) {
        gpc_vertex_list list{static_cast<int>(c.size()), const_cast<gpc_vertex*>(c.data())};
        int hole = 0;
        gpc_polygon box{1, &hole, &list};
        gpc_polygon_clip(GPC_UNION, accumulator, &box, accumulator);
    }
}

}  // namespace grow
