#include "layers/grow.h"

#include <algorithm>
#include <cstdio>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <numeric>
#include <unordered_map>
#include <utility>

#include "common/decimal.h"
#include "polygon/engine.h"

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
    std::string text;
    for (const auto& [x, y] : {std::pair{b.xmin, b.ymin}, {b.xmax, b.ymin}, {b.xmax, b.ymax}, {b.xmin, b.ymax}}) {
        common::append_fixed(text, x, 2);
        text += ' ';
        common::append_fixed(text, y, 2);
        text += '\n';
    }
    return text;
}

namespace {

// What "%lf" reads from the "%.Nf" text of `value`: the number, an infinity or
// NaN from "inf" and "nan", and nothing from "-inf" and "-nan" (the sign
// starts a number that does not follow).
bool read_back(double value, int precision, double& read) {
    if (whole_quarters(value)) {
        read = value;
        return true;
    }
    if (std::isfinite(value)) {
        read = common::reread_double(value, precision);
        return true;
    }
    if (std::signbit(value)) return false;
    read = value;
    return true;
}

}  // namespace

bool round_trip(double x_read, double y_read, gpc_vertex& vertex) {
    return read_back(x_read, 5, vertex.x) && read_back(y_read, 5, vertex.y);
}

std::string tmpdata2_line(double x_read, double y_read) {
    std::string line;
    common::append_fixed(line, x_read, 5);
    line += ' ';
    common::append_fixed(line, y_read, 5);
    line += '\n';
    return line;
}

bool reread_corners(const FloatBox& b, std::vector<gpc_vertex>& corners, std::vector<std::pair<double, double>>* read) {
    corners.clear();
    if (read != nullptr) read->clear();
    if (whole_quarters(b.xmin) && whole_quarters(b.xmax) && whole_quarters(b.ymin) && whole_quarters(b.ymax)) {
        corners.assign({{b.xmin, b.ymin}, {b.xmax, b.ymin}, {b.xmax, b.ymax}, {b.xmin, b.ymax}});
        if (read != nullptr) read->assign({{b.xmin, b.ymin}, {b.xmax, b.ymin}, {b.xmax, b.ymax}, {b.xmin, b.ymax}});
        return true;
    }
    for (const auto& [fx, fy] : {std::pair{b.xmin, b.ymin}, {b.xmax, b.ymin}, {b.xmax, b.ymax}, {b.xmin, b.ymax}}) {
        double x = 0, y = 0;
        if (!read_back(fx, 2, x) || !read_back(fy, 2, y)) return false;
        gpc_vertex v{};
        if (!round_trip(x, y, v)) return false;
        corners.push_back(v);
        if (read != nullptr) read->emplace_back(x, y);
    }
    return true;
}
}  // namespace grow
