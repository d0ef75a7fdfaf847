#include "layers/grow.h"

#include <cmath>

#include "common/decimal.h"

namespace grow {

common::RectF widen(common::RectF b, int amount) {
    const float a = static_cast<float>(amount);
    b.xmax = b.xmax + a;
    b.xmin = b.xmin - a;
    b.ymax = b.ymax + a;
    b.ymin = b.ymin - a;
    return b;
}

std::string corner_lines(const common::RectF& b) {
    std::string text;
    for (const common::PointF c : common::corners(b)) {
        common::append_fixed(text, c.x, 2);
        text += ' ';
        common::append_fixed(text, c.y, 2);
        text += '\n';
    }
    return text;
}

namespace {

// What "%lf" reads from the "%.Nf" text of `value`: the number, an infinity or
// NaN from "inf" and "nan", and nothing from "-inf" and "-nan" (the sign
// starts a number that does not follow).
// A whole number of quarters below 2^52 in size has at most two decimal
// places: its text with two or five places is exact and reads back as the
// value itself. Most coordinates are such numbers; this spares them the
// general conversion.
bool whole_quarters(double value) {
    const double quarters = value * 4;
    return quarters == std::trunc(quarters) && std::fabs(value) < 0x1p52;
}

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

bool reread_corners(const common::RectF& b, std::vector<gpc_vertex>& corners, std::vector<common::PointD>* read) {
    corners.clear();
    if (read != nullptr) read->clear();
    if (whole_quarters(b.xmin) && whole_quarters(b.xmax) && whole_quarters(b.ymin) && whole_quarters(b.ymax)) {
        corners.assign({{b.xmin, b.ymin}, {b.xmax, b.ymin}, {b.xmax, b.ymax}, {b.xmin, b.ymax}});
        if (read != nullptr) read->assign({{b.xmin, b.ymin}, {b.xmax, b.ymin}, {b.xmax, b.ymax}, {b.xmin, b.ymax}});
        return true;
    }
    for (const common::PointF c : common::corners(b)) {
        double x = 0, y = 0;
        if (!read_back(c.x, 2, x) || !read_back(c.y, 2, y)) return false;
        gpc_vertex v{};
        if (!round_trip(x, y, v)) return false;
        corners.push_back(v);
        if (read != nullptr) read->push_back({x, y});
    }
    return true;
}

}  // namespace grow
