#include "export/svg_writer.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <optional>

#include "export/checks.h"
#include "export/mesh.h"

namespace kavrit {

using common::PointD;

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
            if (d.structure == i) own.add(d.box.lo, d.box.hi);
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

namespace {

std::vector<std::string> structure_colours(const Layout& layout) {
    std::vector<std::string> colours;
    int anchored_seen = 0;
    for (const Structure& s : layout.structures) {
        colours.push_back(structure_colour(s, anchored_seen));
        if (s.anchored) ++anchored_seen;
    }
    return colours;
}

// Where the picture goes: the extent of every projected box corner and axis
// end, scaled into the drawing area below the title.
struct Frame {
    const View* view;
    common::Extent<std::array<double, 2>> extent;
    double scale = 1;
    double draw_w = 0;
    double draw_h = 0;
    double top = MARGIN + TITLE_HEIGHT;

    double sx(const PointD& q) const { return MARGIN + (q.x - extent.lo[0]) * scale; }
    double sy(const PointD& q) const { return top + (extent.hi[1] - q.y) * scale; }
    std::string point_text(const Vec3& p) const {
        PointD q = project(*view, p);
        return num(sx(q)) + "," + num(sy(q));
    }
};

Frame fit_frame(const View& view, const std::vector<PosedBox>& posed, const std::vector<AxisLine>& axes) {
    Frame f{&view, {}};
    // Coordinates far beyond any layout would overflow the sums of the
    // drawing order; they are refused before anything is ordered.
    auto take = [&](const Vec3& p) {
        for (double v : p)
            if (std::fabs(checked_double(v, ".svg")) > PLACEABLE)
                throw RangeError("a coordinate of the .svg output would be " + format_number(v) +
                                 ", beyond what the picture can place");
        PointD q = project(view, p);
        f.extent.add({q.x, q.y});
    };
    for (const PosedBox& d : posed)
        for (const Vec3& c : d.corners) take(c);
    for (const AxisLine& a : axes) {
        take(a.from);
        take(a.to);
    }
    const bool any = !f.extent.empty;
    const double w = any ? f.extent.hi[0] - f.extent.lo[0] : 1;
    const double h = any ? f.extent.hi[1] - f.extent.lo[1] : 1;
    if (w > 0 && h > 0) f.scale = std::min(DRAW_WIDTH / w, DRAW_HEIGHT / h);
    else if (w > 0) f.scale = DRAW_WIDTH / w;
    else if (h > 0) f.scale = DRAW_HEIGHT / h;
    f.draw_w = any ? w * f.scale : DRAW_WIDTH / 2;
    f.draw_h = any ? h * f.scale : LEGEND_ROW * 4;
    return f;
}

// Legend rows: the structures, then the keys for reflector and axis, in
// columns as tall as the drawing, at least LEGEND_MIN_ROWS rows, and no more
// than LEGEND_MAX_COLUMNS of them: a long legend grows downwards.  The
// legend also sets the size of the whole picture.
struct LegendGrid {
    std::size_t rows_per_column = 1;
    double x = 0;
    double width = 0;   // of the picture
    double height = 0;  // of the picture

    void row_origin(std::size_t r, double& ox, double& oy, double top) const {
        ox = x + static_cast<double>(r / rows_per_column) * LEGEND_COLUMN;
        oy = top + 24 + static_cast<double>(r % rows_per_column) * LEGEND_ROW;
    }
};

LegendGrid legend_grid(const Layout& layout, const std::vector<AxisLine>& axes, const Frame& frame) {
    LegendGrid g;
    const std::size_t rows =
        layout.structures.size() + (layout.reflector_count() > 0 ? 1 : 0) + (axes.empty() ? 0 : 1);
    g.rows_per_column = std::max<std::size_t>(
        {LEGEND_MIN_ROWS, static_cast<std::size_t>(std::max(0.0, frame.draw_h - 24) / LEGEND_ROW),
         (rows + LEGEND_MAX_COLUMNS - 1) / LEGEND_MAX_COLUMNS});
    const std::size_t columns = std::max<std::size_t>(1, (rows + g.rows_per_column - 1) / g.rows_per_column);
    g.x = MARGIN + frame.draw_w + LEGEND_GAP;
    const double legend_h = 24 + static_cast<double>(std::min(rows, g.rows_per_column)) * LEGEND_ROW;
    g.width = std::ceil(g.x + static_cast<double>(columns) * LEGEND_COLUMN + MARGIN);
    g.height = std::ceil(frame.top + std::max(frame.draw_h, legend_h) + MARGIN);
    return g;
}

void write_heading(std::string& o, const Layout& layout, ViewName view_name, std::size_t box_count,
                   const LegendGrid& grid) {
    const double width = grid.width, height = grid.height;
    o += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    o += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + num(width) + "\" height=\"" + num(height) +
         "\" viewBox=\"0 0 " + num(width) + " " + num(height) + "\" font-family=\"" + FONT + "\">\n";
    const std::string title = "kavrit layout " + xml_text(layout.cif_name) + ", " + view_title(view_name);
    o += "<title>" + title + "</title>\n";
    o += "<rect x=\"0\" y=\"0\" width=\"" + num(width) + "\" height=\"" + num(height) + "\" fill=\"#ffffff\"/>\n";
    o += "<text x=\"" + num(MARGIN) + "\" y=\"" + num(MARGIN + 14) + "\" font-size=\"15\" fill=\"#202020\">" +
         title + ", " + std::to_string(layout.structures.size()) + " structures, " + std::to_string(box_count) +
         " boxes</text>\n";
}

// Box edges thin out on small boxes, so that a dense layout keeps its colours.
struct Strokes {
    std::string edge;
    std::string reflector;
};

Strokes box_strokes(const Frame& frame) {
    const double edge = std::clamp(0.2 * frame.scale, 0.1, 0.6);
    return {num(edge), num(std::max(0.5, edge * 2.3))};
}

// The drawn boxes as the cuboids about them where the pose put them.
std::vector<DrawnBox> posed_cuboids(const std::vector<DrawnBox>& flat, const std::vector<PosedBox>& posed) {
    std::vector<DrawnBox> boxes = flat;
    for (std::size_t k = 0; k < boxes.size(); ++k) boxes[k].box = bounding_cuboid(posed[k]);
    return boxes;
}

// Boxes tilted by a turn, side by side in the order of face_order; each side
// shaded by its direction, light from above, a little from the front left.
void write_faces(std::string& o, const Layout& layout, const View& view, const Frame& frame,
                 const std::vector<PosedBox>& posed, const std::vector<std::string>& colours,
                 const Strokes& strokes) {
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
        const Vec3& nrm = faces[idx].normal;
        const double shade = 0.62 + 0.38 * std::clamp(0.75 * nrm[2] - 0.35 * nrm[0] - 0.25 * nrm[1] + 0.25, 0.0, 1.0);
        o += std::string("<polygon class=\"") + (d.reflector ? "face reflector" : "face") + "\" data-structure=\"" +
             std::to_string(s.number()) + "\" data-box=\"" + std::to_string(owner[idx].first) + "\" stroke=\"" +
             (d.reflector ? REFLECTOR_STROKE : "#303030") + "\" stroke-width=\"" +
             (d.reflector ? strokes.reflector : strokes.edge) + "\" points=\"";
        for (int k = 0; k < 4; ++k) {
            if (k) o += ' ';
            o += frame.point_text(faces[idx].corners[k]);
        }
        o += "\" fill=\"" + hex(base, shade) + "\"/>\n";
    }
}

// Boxes with their edges along the axes, far to near, box by box.  Seen along
// an axis only one side of a box faces the eye; in the isometric view three
// do, shaded by their direction.
void write_boxes(std::string& o, const Layout& layout, const View& view, ViewName view_name, const Frame& frame,
                 const std::vector<DrawnBox>& boxes, const std::vector<std::string>& colours,
                 const Strokes& strokes) {
    std::vector<Cuboid> cuboids;
    for (const DrawnBox& d : boxes) cuboids.push_back(d.box);
    const bool shaded = view_name == ViewName::iso;
    for (std::size_t idx : painter_order(view, cuboids)) {
        const DrawnBox& d = boxes[idx];
        const Structure& s = layout.structures[d.structure];
        const Rgb base = parse_hex(d.reflector ? REFLECTOR_FILL : colours[d.structure]);
        o += std::string("<g class=\"") + (d.reflector ? "box reflector" : "box") + "\" data-structure=\"" +
             std::to_string(s.number()) + "\" stroke=\"" + (d.reflector ? REFLECTOR_STROKE : "#303030") +
             "\" stroke-width=\"" + (d.reflector ? strokes.reflector : strokes.edge) + "\">";
        for (const BoxFace& f : BOX_FACES) {
            Vec3 normal{0, 0, 0};
            normal[f.axis] = f.side;
            if (nearness(view, normal) <= 1e-9) continue;
            const double shade = !shaded ? 1.0 : f.axis == 2 ? 1.0 : f.axis == 1 ? 0.80 : 0.66;
            o += "<polygon points=\"";
            for (int k = 0; k < 4; ++k) {
                if (k) o += ' ';
                o += frame.point_text(corner(d.box, f.corners[k]));
            }
            o += "\" fill=\"" + hex(base, shade) + "\"/>";
        }
        o += "</g>\n";
    }
}

// Hinge axes over the boxes; an axis seen end-on is a dashed ring.
void write_axes(std::string& o, const Layout& layout, const View& view, const Frame& frame,
                const std::vector<AxisLine>& axes, const std::vector<std::string>& colours) {
    o += "<g id=\"axes\" fill=\"none\" stroke-width=\"1.8\" stroke-dasharray=\"7 4\">\n";
    for (const AxisLine& a : axes) {
        const Structure& s = layout.structures[a.structure];
        const std::string ink = hex(parse_hex(colours[a.structure]), 0.55);
        const PointD p = project(view, a.from);
        const PointD q = project(view, a.to);
        const double x1 = frame.sx(p), y1 = frame.sy(p), x2 = frame.sx(q), y2 = frame.sy(q);
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
}

void write_legend(std::string& o, const Layout& layout, const Frame& frame, const LegendGrid& grid,
                  const std::vector<std::string>& colours, bool any_axis) {
    o += "<g id=\"legend\" font-size=\"12\" fill=\"#202020\">\n";
    o += "<text x=\"" + num(grid.x) + "\" y=\"" + num(frame.top + 12) + "\" font-weight=\"bold\">structures</text>\n";
    std::size_t row = 0;
    for (std::size_t i = 0; i < layout.structures.size(); ++i, ++row) {
        const Structure& s = layout.structures[i];
        double x, y;
        grid.row_origin(row, x, y, frame.top);
        o += "<g class=\"legend-entry\" data-structure=\"" + std::to_string(s.number()) + "\"><rect x=\"" +
             num(x) + "\" y=\"" + num(y) + "\" width=\"12\" height=\"12\" fill=\"" + colours[i] +
             "\" stroke=\"#303030\" stroke-width=\"0.6\"/><text x=\"" + num(x + 18) + "\" y=\"" + num(y + 10.5) +
             "\">" + xml_text(legend_label(layout, s)) + "</text></g>\n";
    }
    if (layout.reflector_count() > 0) {
        double x, y;
        grid.row_origin(row++, x, y, frame.top);
        o += "<g class=\"legend-key\"><rect x=\"" + num(x) + "\" y=\"" + num(y) +
             "\" width=\"12\" height=\"12\" fill=\"" + REFLECTOR_FILL + "\" stroke=\"" + REFLECTOR_STROKE +
             "\" stroke-width=\"1.4\"/><text x=\"" + num(x + 18) + "\" y=\"" + num(y + 10.5) +
             "\">reflector</text></g>\n";
    }
    if (any_axis) {
        double x, y;
        grid.row_origin(row++, x, y, frame.top);
        o += "<g class=\"legend-key\"><line x1=\"" + num(x) + "\" y1=\"" + num(y + 6) + "\" x2=\"" +
             num(x + 14) + "\" y2=\"" + num(y + 6) +
             "\" stroke=\"#404040\" stroke-width=\"1.8\" stroke-dasharray=\"4 2\"/><text x=\"" + num(x + 18) +
             "\" y=\"" + num(y + 10.5) + "\">hinge axis, with structure</text></g>\n";
    }
    o += "</g>\n";
}

}  // namespace

std::string render_svg(const Layout& layout, ViewName view_name) {
    return render_svg(layout, view_name, flat_pose(layout));
}

std::string render_svg(const Layout& layout, ViewName view_name, const Pose& pose) {
    const View view = make_view(view_name);
    const std::vector<DrawnBox> flat_boxes = drawn_boxes(layout);
    const std::vector<AxisLine> axes = axis_lines(layout, flat_boxes, bounds_of(flat_boxes), pose);
    const std::vector<PosedBox> posed = posed_boxes(layout, pose);
    const std::vector<std::string> colours = structure_colours(layout);
    const Frame frame = fit_frame(view, posed, axes);
    const LegendGrid grid = legend_grid(layout, axes, frame);

    std::string o;
    write_heading(o, layout, view_name, flat_boxes.size(), grid);
    o += "<g id=\"boxes\" stroke-linejoin=\"round\">\n";
    const Strokes strokes = box_strokes(frame);
    if (!pose.keeps_axes())
        write_faces(o, layout, view, frame, posed, colours, strokes);
    else
        write_boxes(o, layout, view, view_name, frame, posed_cuboids(flat_boxes, posed), colours, strokes);
    o += "</g>\n";
    if (frame.extent.empty)
        o += "<text x=\"" + num(MARGIN) + "\" y=\"" + num(frame.top + 20) +
             "\" font-size=\"13\" fill=\"#606060\">no boxes to draw</text>\n";
    write_axes(o, layout, view, frame, axes, colours);
    write_legend(o, layout, frame, grid, colours, !axes.empty());
    o += "</svg>\n";
    return o;
}

}  // namespace kavrit
