#include "export/svg_writer.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>

#include "export/checks.h"
#include "export/mesh.h"

namespace kavrit {

namespace {

// Room for the drawing itself, in SVG pixels.
constexpr double DRAW_WIDTH = 760;
constexpr double DRAW_HEIGHT = 560;
constexpr double MARGIN = 20;
constexpr double TITLE_HEIGHT = 34;
constexpr double LEGEND_GAP = 30;
constexpr double LEGEND_ROW = 18;
constexpr double LEGEND_COLUMN = 200;
constexpr std::size_t LEGEND_MIN_ROWS = 20;
constexpr std::size_t LEGEND_MAX_COLUMNS = 4;
constexpr double PLACEABLE = 1e300;  // largest coordinate drawn
const char* const FONT = "DejaVu Sans, Liberation Sans, Arial, sans-serif";
const char* const REFLECTOR_FILL = "#ffc933";
const char* const REFLECTOR_STROKE = "#d1232a";

struct Rgb {
    double r, g, b;  // 0 to 1
};

Rgb from_hsl(double hue, double sat, double light) {
    double c = (1 - std::fabs(2 * light - 1)) * sat;
    double h = hue / 60;
    double x = c * (1 - std::fabs(std::fmod(h, 2.0) - 1));
    Rgb rgb{0, 0, 0};
    if (h < 1) rgb = {c, x, 0};
    else if (h < 2) rgb = {x, c, 0};
    else if (h < 3) rgb = {0, c, x};
    else if (h < 4) rgb = {0, x, c};
    else if (h < 5) rgb = {x, 0, c};
    else rgb = {c, 0, x};
    double m = light - c / 2;
    return {rgb.r + m, rgb.g + m, rgb.b + m};
}

std::string hex(Rgb c, double factor = 1) {
    static const char digits[] = "0123456789abcdef";
    std::string out = "#";
    for (double v : {c.r, c.g, c.b}) {
        int n = static_cast<int>(std::lround(std::clamp(v * factor, 0.0, 1.0) * 255));
        out += digits[n >> 4];
        out += digits[n & 15];
    }
    return out;
}

Rgb parse_hex(const std::string& h) {
    auto byte = [&](std::size_t at) {
        int v = 0;
        std::from_chars(h.data() + at, h.data() + at + 2, v, 16);
        return v / 255.0;
    };
    return {byte(1), byte(3), byte(5)};
}

// Picture coordinates with two decimals; never "-0.00".
std::string num(double v) {
    checked_double(v, ".svg");
    if (std::fabs(v) < 0.005) v = 0;
    char buf[64];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 2);
    if (ec != std::errc()) return "0";
    return std::string(buf, end);
}

// A dashed hinge axis in space, and the structure it belongs to.
struct AxisLine {
    std::size_t structure;
    Vec3 from;
    Vec3 to;
};

// A structure's rotate line names the hinge about which it turns.  Without
// link lines and with the point (0, 0) it only says that the structure has
// no hinge box at all, and then no axis is drawn.
bool has_drawn_axis(const Structure& s) {
    if (!s.rotation) return false;
    if (s.kind() == Kind::hinged) return true;
    return !(s.rotation->axis == 'y' && s.rotation->point[0] == 0 && s.rotation->point[1] == 0);
}

std::vector<AxisLine> axis_lines(const Layout& layout, const std::vector<DrawnBox>& boxes,
                                 const Bounds& all, const Pose& pose) {
    double reach = 1;
    if (!all.empty)
        for (int a = 0; a < 3; ++a) reach = std::max(reach, all.hi[a] - all.lo[a]);
    const double pad = 0.04 * reach;
    std::vector<AxisLine> lines;
    for (std::size_t i = 0; i < layout.structures.size(); ++i) {
        const Structure& s = layout.structures[i];
        if (!has_drawn_axis(s)) continue;
        const int a = s.rotation->axis == 'x' ? 0 : 1;
        Bounds own;
        for (const DrawnBox& d : boxes)
            if (d.structure == i) own.add(d.box);
        const Bounds& span = own.empty ? all : own;
        double lo = span.empty ? s.rotation->point[a] - pad : span.lo[a] - pad;
        double hi = span.empty ? s.rotation->point[a] + pad : span.hi[a] + pad;
        AxisLine line{i, s.rotation->point, s.rotation->point};
        line.from[a] = lo;
        line.to[a] = hi;
        // The structure's own turn leaves its axis in place; its parents' move it.
        line.from = pose.world[i].apply(line.from);
        line.to = pose.world[i].apply(line.to);
        lines.push_back(line);
    }
    return lines;
}

std::string legend_label(const Layout& layout, const Structure& s) {
    std::string text = std::to_string(s.number()) + "  ";
    switch (s.kind()) {
    case Kind::anchored: text += "anchored"; break;
    case Kind::free: text += "free"; break;
    case Kind::hinged: {
        auto parent = layout.parent_of(s);
        text += parent ? "hinged to " + std::to_string(*parent) : std::string("hinged");
        break;
    }
    }
    if (s.reflector) text += " + reflector";
    if (s.boxes.empty() && !s.reflector) text += " (no boxes)";
    return text;
}

}  // namespace

std::string xml_text(const std::string& text) {
    std::string out;
    for (char ch : valid_utf8(text)) {
        const auto c = static_cast<unsigned char>(ch);
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&apos;"; break;
        default: out += (c < 0x20 && c != '\t') || c == 0x7f ? '?' : ch;
        }
    }
    return out;
}

std::string structure_colour(const Structure& s, int anchored_ordinal) {
    if (s.anchored) {
        static const char* const greys[] = {"#9a9a9a", "#b4b4b4", "#808080", "#c8c8c8"};
        return greys[static_cast<std::size_t>(anchored_ordinal) % 4];
    }
    double hue = std::fmod(static_cast<double>(s.number()) * 137.508 + 200.0, 360.0);
    return hex(from_hsl(hue, 0.62, 0.55));
}

std::string render_svg(const Layout& layout, ViewName view_name) {
    return render_svg(layout, view_name, flat_pose(layout));
}

std::string render_svg(const Layout& layout, ViewName view_name, const Pose& pose) {
    const View view = make_view(view_name);
    const std::vector<DrawnBox> flat_boxes = drawn_boxes(layout);
    const std::vector<AxisLine> axes = axis_lines(layout, flat_boxes, bounds_of(flat_boxes), pose);
    const std::vector<PosedBox> posed = posed_boxes(layout, pose);
    const bool tilted = !pose.keeps_axes();
    // Boxes whose edges stay along the axes, as cuboids where the pose put them.
    std::vector<DrawnBox> boxes = flat_boxes;
    for (std::size_t k = 0; k < boxes.size(); ++k) boxes[k].box = bounding_cuboid(posed[k]);

    std::vector<std::string> colours;
    int anchored_seen = 0;
    for (const Structure& s : layout.structures) {
        colours.push_back(structure_colour(s, anchored_seen));
        if (s.anchored) ++anchored_seen;
    }

    // Extent of the picture: every box corner and every axis end.
    bool any = false;
    double min_x = 0, max_x = 1, min_y = 0, max_y = 1;
    // Coordinates far beyond any layout would overflow the sums of the
    // drawing order; they are refused before anything is ordered.
    auto take = [&](const Vec3& p) {
        for (double v : p)
            if (std::fabs(checked_double(v, ".svg")) > PLACEABLE)
                throw RangeError("a coordinate of the .svg output would be " + format_number(v) +
                                 ", beyond what the picture can place");
        Point2 q = project(view, p);
        if (!any) {
            min_x = max_x = q.x;
            min_y = max_y = q.y;
            any = true;
        }
        min_x = std::min(min_x, q.x);
        max_x = std::max(max_x, q.x);
        min_y = std::min(min_y, q.y);
        max_y = std::max(max_y, q.y);
    };
    for (const PosedBox& d : posed)
        for (const Vec3& c : d.corners) take(c);
    for (const AxisLine& a : axes) {
        take(a.from);
        take(a.to);
    }
    const double w = max_x - min_x;
    const double h = max_y - min_y;
    double scale = 1;
    if (w > 0 && h > 0) scale = std::min(DRAW_WIDTH / w, DRAW_HEIGHT / h);
    else if (w > 0) scale = DRAW_WIDTH / w;
    else if (h > 0) scale = DRAW_HEIGHT / h;
    const double draw_w = any ? w * scale : DRAW_WIDTH / 2;
    const double draw_h = any ? h * scale : LEGEND_ROW * 4;
    const double top = MARGIN + TITLE_HEIGHT;
    auto sx = [&](const Point2& q) { return MARGIN + (q.x - min_x) * scale; };
    auto sy = [&](const Point2& q) { return top + (max_y - q.y) * scale; };
    auto point_text = [&](const Vec3& p) {
        Point2 q = project(view, p);
        return num(sx(q)) + "," + num(sy(q));
    };

    // Legend rows: the structures, then the keys for reflector and axis.
    const bool any_reflector = layout.reflector_count() > 0;
    const std::size_t rows = layout.structures.size() + (any_reflector ? 1 : 0) + (axes.empty() ? 0 : 1);
    // Columns as tall as the drawing, at least LEGEND_MIN_ROWS rows, and no
    // more than LEGEND_MAX_COLUMNS of them: a long legend grows downwards.
    const std::size_t rows_per_column = std::max<std::size_t>(
        {LEGEND_MIN_ROWS, static_cast<std::size_t>(std::max(0.0, draw_h - 24) / LEGEND_ROW),
         (rows + LEGEND_MAX_COLUMNS - 1) / LEGEND_MAX_COLUMNS});
    const std::size_t columns = std::max<std::size_t>(1, (rows + rows_per_column - 1) / rows_per_column);
    const double legend_x = MARGIN + draw_w + LEGEND_GAP;
    const double legend_h = 24 + static_cast<double>(std::min(rows, rows_per_column)) * LEGEND_ROW;
    const double width = std::ceil(legend_x + static_cast<double>(columns) * LEGEND_COLUMN + MARGIN);
    const double height = std::ceil(top + std::max(draw_h, legend_h) + MARGIN);

    std::string o;
    o += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    o += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + num(width) + "\" height=\"" + num(height) +
         "\" viewBox=\"0 0 " + num(width) + " " + num(height) + "\" font-family=\"" + FONT + "\">\n";
    const std::string title = "kavrit layout " + xml_text(layout.cif_name) + ", " + view_title(view_name);
    o += "<title>" + title + "</title>\n";
    o += "<rect x=\"0\" y=\"0\" width=\"" + num(width) + "\" height=\"" + num(height) + "\" fill=\"#ffffff\"/>\n";
    o += "<text x=\"" + num(MARGIN) + "\" y=\"" + num(MARGIN + 14) + "\" font-size=\"15\" fill=\"#202020\">" +
         title + ", " + std::to_string(layout.structures.size()) + " structures, " +
         std::to_string(boxes.size()) + " boxes</text>\n";

    // Boxes, far to near.  Seen along an axis only one side of a box faces
    // the eye; in the isometric view three do, shaded by their direction.
    o += "<g id=\"boxes\" stroke-linejoin=\"round\">\n";
    std::vector<Cuboid> cuboids;
    for (const DrawnBox& d : boxes) cuboids.push_back(d.box);
    const bool shaded = view_name == ViewName::iso;
    // Edges thin out on small boxes, so that a dense layout keeps its colours.
    const double edge = std::clamp(0.2 * scale, 0.1, 0.6);
    const std::string edge_stroke = num(edge), reflector_stroke = num(std::max(0.5, edge * 2.3));
    if (tilted) {
        std::vector<Face3> faces;
        std::vector<std::pair<std::size_t, std::size_t>> owner;  // box, side
        for (std::size_t k = 0; k < posed.size(); ++k)
            for (std::size_t f = 0; f < BOX_FACES.size(); ++f) {
                const BoxFace& side = BOX_FACES[f];
                Face3 face;
                for (int c = 0; c < 3; ++c)
                    face.normal[c] = posed[k].edges[static_cast<std::size_t>(side.axis)][c] * side.side;
                if (nearness(view, face.normal) <= 1e-9) continue;
                for (int c = 0; c < 4; ++c) face.corners[c] = posed[k].corners[static_cast<std::size_t>(side.corners[c])];
                faces.push_back(face);
                owner.push_back({k, f});
            }
        for (std::size_t idx : face_order(view, faces)) {
            const PosedBox& d = posed[owner[idx].first];
            const Structure& s = layout.structures[d.structure];
            const Rgb base = parse_hex(d.reflector ? REFLECTOR_FILL : colours[d.structure]);
            // Light from above, a little from the front left: sides are shaded by their direction.
            const Vec3& nrm = faces[idx].normal;
            const double shade = 0.62 + 0.38 * std::clamp(0.75 * nrm[2] - 0.35 * nrm[0] - 0.25 * nrm[1] + 0.25, 0.0, 1.0);
            o += std::string("<polygon class=\"") + (d.reflector ? "face reflector" : "face") + "\" data-structure=\"" +
                 std::to_string(s.number()) + "\" data-box=\"" + std::to_string(owner[idx].first) + "\" stroke=\"" +
                 (d.reflector ? REFLECTOR_STROKE : "#303030") + "\" stroke-width=\"" +
                 (d.reflector ? reflector_stroke : edge_stroke) + "\" points=\"";
            for (int k = 0; k < 4; ++k) {
                if (k) o += ' ';
                o += point_text(faces[idx].corners[k]);
            }
            o += "\" fill=\"" + hex(base, shade) + "\"/>\n";
        }
    } else {
        for (std::size_t idx : painter_order(view, cuboids)) {
            const DrawnBox& d = boxes[idx];
            const Structure& s = layout.structures[d.structure];
            const Rgb base = parse_hex(d.reflector ? REFLECTOR_FILL : colours[d.structure]);
            o += std::string("<g class=\"") + (d.reflector ? "box reflector" : "box") + "\" data-structure=\"" +
                 std::to_string(s.number()) + "\" stroke=\"" + (d.reflector ? REFLECTOR_STROKE : "#303030") +
                 "\" stroke-width=\"" + (d.reflector ? reflector_stroke : edge_stroke) + "\">";
            for (const BoxFace& f : BOX_FACES) {
                Vec3 normal{0, 0, 0};
                normal[f.axis] = f.side;
                if (nearness(view, normal) <= 1e-9) continue;
                const double shade = !shaded ? 1.0 : f.axis == 2 ? 1.0 : f.axis == 1 ? 0.80 : 0.66;
                o += "<polygon points=\"";
                for (int k = 0; k < 4; ++k) {
                    if (k) o += ' ';
                    o += point_text(corner(d.box, f.corners[k]));
                }
                o += "\" fill=\"" + hex(base, shade) + "\"/>";
            }
            o += "</g>\n";
        }
    }
    o += "</g>\n";
    if (!any)
        o += "<text x=\"" + num(MARGIN) + "\" y=\"" + num(top + 20) +
             "\" font-size=\"13\" fill=\"#606060\">no boxes to draw</text>\n";

    // Hinge axes over the boxes; an axis seen end-on is a dashed ring.
    o += "<g id=\"axes\" fill=\"none\" stroke-width=\"1.8\" stroke-dasharray=\"7 4\">\n";
    for (const AxisLine& a : axes) {
        const Structure& s = layout.structures[a.structure];
        const std::string ink = hex(parse_hex(colours[a.structure]), 0.55);
        const Point2 p = project(view, a.from);
        const Point2 q = project(view, a.to);
        const double x1 = sx(p), y1 = sy(p), x2 = sx(q), y2 = sy(q);
        const std::string number = std::to_string(s.number());
        o += "<g class=\"axis\" data-structure=\"" + number + "\" stroke=\"" + ink + "\">";
        if (std::hypot(x2 - x1, y2 - y1) < 2)
            o += "<circle cx=\"" + num(x2) + "\" cy=\"" + num(y2) + "\" r=\"5\"/>";
        else
            o += "<line x1=\"" + num(x1) + "\" y1=\"" + num(y1) + "\" x2=\"" + num(x2) + "\" y2=\"" + num(y2) +
                 "\"/>";
        o += "<text x=\"" + num(x2 + 5) + "\" y=\"" + num(y2 - 5) +
             "\" font-size=\"12\" font-weight=\"bold\" fill=\"" + ink +
             "\" stroke=\"#ffffff\" stroke-width=\"3\" stroke-dasharray=\"none\" paint-order=\"stroke\">" +
             number + "</text></g>\n";
    }
    o += "</g>\n";

    // Legend.
    o += "<g id=\"legend\" font-size=\"12\" fill=\"#202020\">\n";
    o += "<text x=\"" + num(legend_x) + "\" y=\"" + num(top + 12) + "\" font-weight=\"bold\">structures</text>\n";
    std::size_t row = 0;
    auto row_origin = [&](std::size_t r, double& x, double& y) {
        x = legend_x + static_cast<double>(r / rows_per_column) * LEGEND_COLUMN;
        y = top + 24 + static_cast<double>(r % rows_per_column) * LEGEND_ROW;
    };
    for (std::size_t i = 0; i < layout.structures.size(); ++i, ++row) {
        const Structure& s = layout.structures[i];
        double x, y;
        row_origin(row, x, y);
        o += "<g class=\"legend-entry\" data-structure=\"" + std::to_string(s.number()) + "\"><rect x=\"" +
             num(x) + "\" y=\"" + num(y) + "\" width=\"12\" height=\"12\" fill=\"" + colours[i] +
             "\" stroke=\"#303030\" stroke-width=\"0.6\"/><text x=\"" + num(x + 18) + "\" y=\"" + num(y + 10.5) +
             "\">" + xml_text(legend_label(layout, s)) + "</text></g>\n";
    }
    if (any_reflector) {
        double x, y;
        row_origin(row++, x, y);
        o += "<g class=\"legend-key\"><rect x=\"" + num(x) + "\" y=\"" + num(y) +
             "\" width=\"12\" height=\"12\" fill=\"" + REFLECTOR_FILL + "\" stroke=\"" + REFLECTOR_STROKE +
             "\" stroke-width=\"1.4\"/><text x=\"" + num(x + 18) + "\" y=\"" + num(y + 10.5) +
             "\">reflector</text></g>\n";
    }
    if (!axes.empty()) {
        double x, y;
        row_origin(row++, x, y);
        o += "<g class=\"legend-key\"><line x1=\"" + num(x) + "\" y1=\"" + num(y + 6) + "\" x2=\"" +
             num(x + 14) + "\" y2=\"" + num(y + 6) +
             "\" stroke=\"#404040\" stroke-width=\"1.8\" stroke-dasharray=\"4 2\"/><text x=\"" + num(x + 18) +
             "\" y=\"" + num(y + 10.5) + "\">hinge axis, with structure</text></g>\n";
    }
    o += "</g>\n</svg>\n";
    return o;
}

}  // namespace kavrit
