#include "export/html_writer.h"

#include <cmath>
#include <cstdint>

#include "export/collide.h"
#include "export/gltf_writer.h"
#include "export/mesh.h"
#include "export/ranges.h"
#include "export/svg_writer.h"

namespace kavrit {

namespace {

std::string base64(const std::string& bytes) {
    static const char table[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        const std::uint32_t v = (static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i])) << 16) |
                                (static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i + 1])) << 8) |
                                static_cast<unsigned char>(bytes[i + 2]);
        for (int k = 3; k >= 0; --k) out += table[(v >> (6 * k)) & 63];
    }
    const std::size_t rest = bytes.size() - i;
    if (rest > 0) {
        std::uint32_t v = static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i])) << 16;
        if (rest == 2) v |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i + 1])) << 8;
        out += table[(v >> 18) & 63];
        out += table[(v >> 12) & 63];
        out += rest == 2 ? table[(v >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

// A JSON string that may stand inside a <script> element: the text as
// xml_text leaves it (markup characters as entities, broken UTF-8 and control
// bytes as '?'), so no "</script>" can end the element early.
std::string json_string(const std::string& text) {
    std::string out = "\"";
    for (char ch : xml_text(text)) {
        if (ch == '"' || ch == '\\') out += '\\';
        out += ch == '\t' ? ' ' : ch;
    }
    return out + "\"";
}

// A turn to a thousandth of a degree; one too large for that is the same
// turn within a full circle.
double slider_degrees(double degrees) {
    const double thousandths = std::round(degrees * 1000);
    return std::isfinite(thousandths) ? thousandths / 1000 : std::fmod(degrees, 360.0);
}

const char* const PAGE_STYLE = R"css(
html, body { margin: 0; height: 100%; overflow: hidden; background: #f3f3ef; font: 13px/1.35 "DejaVu Sans", "Liberation Sans", Arial, sans-serif; color: #202020; }
#panel { position: absolute; top: 10px; left: 10px; width: 300px; max-height: calc(100% - 40px); overflow: auto; background: rgba(255,255,255,0.92); border: 1px solid #c8c8c8; border-radius: 6px; padding: 8px 10px; box-sizing: border-box; }
#panel.folded { width: auto; overflow: hidden; }
#panel.folded > :not(.head) { display: none; }
#panel.folded .head h1 { display: none; }
#panel .head { display: flex; align-items: flex-start; gap: 6px; }
#panel h1 { font-size: 14px; margin: 0 0 6px; overflow-wrap: anywhere; flex: 1; }
#fold { border: 1px solid #b0b0b0; background: #f4f4f4; border-radius: 4px; cursor: pointer; padding: 0 6px; font-size: 14px; }
#collisions { margin: 6px 0; padding: 4px 6px; border-radius: 4px; max-height: 160px; overflow: auto; }
#collisions.good { background: #e4f3e4; }
#collisions.bad { background: #fbe3e1; color: #8a1410; }
#collisions ul { margin: 2px 0 0; padding-left: 16px; font-size: 11px; }
#panel .jump { margin: 6px 0; }
#panel .jump input { width: 80px; }
#jump-note { color: #b00020; font-size: 11px; }
#panel .hinge, #panel .all { display: block; margin-top: 7px; border-radius: 4px; }
#panel .hinge.flash { animation: flash 1.2s; }
@keyframes flash { from { background: #fff2a8; } to { background: transparent; } }
#panel .swatch { display: inline-block; width: 10px; height: 10px; margin-right: 5px; border: 1px solid rgba(0,0,0,0.35); vertical-align: -1px; }
#panel .line { display: flex; align-items: center; gap: 3px; white-space: nowrap; }
#panel .line button { padding: 0 3px; font-size: 10px; line-height: 16px; cursor: pointer; }
#panel .track { position: relative; flex: 1; min-width: 60px; }
#panel .track input[type=range] { width: 100%; margin: 0; position: relative; background: transparent; }
#panel .all input[type=range] { flex: 1; min-width: 60px; }
#panel .track { padding-bottom: 5px; }
#panel .band { position: absolute; bottom: 0; height: 5px; background: #2f9e4a; border-radius: 2px; pointer-events: none; }
#panel .readout { min-width: 58px; text-align: right; font-variant-numeric: tabular-nums; }
#panel .range { color: #505050; font-size: 10.5px; overflow-wrap: anywhere; }
#panel .stale .range, #panel .stale .band { opacity: 0.4; }
#panel .help { color: #606060; font-size: 11px; margin: 8px 0 0; }
#tip { position: absolute; pointer-events: none; background: #202020; color: #ffffff; padding: 3px 6px; border-radius: 4px; font-size: 12px; display: none; white-space: nowrap; }
#error { position: absolute; bottom: 10px; left: 10px; color: #b00020; }
)css";


// What the page needs to pose the boxes and find collisions and ranges as
// --check and --ranges do: per structure (by index) its number, colour,
// hanging, hinge axis, posed turn and the structures its pins turn in; the
// boxes of the collision model, flat (z stretched), nine numbers each:
// structure index, line, pin, centre, half sizes.
std::string collision_data(const Layout& layout, const Pose& pose, const Pose& flat) {
    const auto& all = layout.structures;
    const CollisionModel model = collision_model(layout, flat);
    auto index = [](std::optional<std::size_t> i) { return i ? std::to_string(*i) : std::string("-1"); };
    std::string o = "\"structures\":[";
    int anchored_seen = 0;
    for (std::size_t i = 0; i < all.size(); ++i) {
        const Structure& s = all[i];
        const Vec3 point = axis_point(s, pose.z_scale);
        if (i) o += ",\n";
        o += "{\"n\":" + std::to_string(s.number()) + ",\"c\":\"" +
             structure_colour(s, anchored_seen) + "\",\"t\":" + (pose.tree[i].turns ? "1" : "0") +
             ",\"p\":" + index(pose.tree[i].parent) + ",\"a\":\"" + std::string(1, axis_direction(s)[0] ? 'x' : 'y') +
             "\",\"pt\":[" + format_number(point[0]) + "," + format_number(point[1]) + "," +
             format_number(point[2]) + "],\"d\":" + format_number(pose.degrees[i]) +
             ",\"pp\":" + index(model.pin_parent[i]) + ",\"pa\":[";
        for (std::size_t k = 0; k < model.pin_anchors[i].size(); ++k) {
            if (k) o += ",";
            o += std::to_string(model.pin_anchors[i][k]);
        }
        o += "]}";
        if (s.anchored) ++anchored_seen;
    }
    o += "],\n\"boxes\":[";
    for (std::size_t b = 0; b < model.boxes.size(); ++b) {
        const SolidBox& x = model.boxes[b];
        if (b) o += ",";
        o += std::to_string(x.structure);
        o += ",";
        o += std::to_string(x.line);
        o += x.pin ? ",1" : ",0";
        for (double v : x.centre) o += ',' + format_number(v);
        for (double v : x.half) o += ',' + format_number(v);
        if (b % 8 == 7) o += "\n";
    }
    o += "],\n\"min_step\":" + format_number(MIN_STEP);
    return o;
}

}  // namespace

std::string make_html(const Layout& layout, const Pose& pose) {
    const auto& all = layout.structures;
    std::string hinges;
    for (std::size_t i = 0; i < all.size(); ++i) {
        if (!pose.tree[i].turns) continue;
        const Structure& s = all[i];
        if (!hinges.empty()) hinges += ",\n";
        hinges += "{\"number\":" + std::to_string(s.number()) + ",\"axis\":\"" +
                  std::string(1, s.rotation ? s.rotation->axis : 'y') + "\",\"degrees\":" +
                  format_number(slider_degrees(pose.degrees[i])) +
                  ",\"first_level\":" + (pose.tree[i].hangs_from_anchor ? "true" : "false") +
                  ",\"parent\":" + (pose.tree[i].parent ? std::to_string(all[*pose.tree[i].parent].number()) : "null") +
                  "}";
    }
    // The model is flat; the page turns the nodes to the pose by the sliders.
    const Pose flat = unturned(pose);
    const std::string glb = make_glb(layout, flat);
    const std::string solids = collision_data(layout, pose, flat);

    std::string o;
    o += "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n";
    o += "<title>kavrit layout " + xml_text(layout.cif_name) + "</title>\n";
    o += "<style>" + std::string(PAGE_STYLE) + "</style>\n</head>\n<body>\n";
    o += "<div id=\"panel\"><div class=\"head\"><h1>kavrit layout " + xml_text(layout.cif_name) +
         "</h1><button id=\"fold\" title=\"fold the panel away\">&laquo;</button></div>";
    o += "<div>" + std::to_string(all.size()) + " structures, " +
         std::to_string(layout.box_count() + layout.reflector_count()) + " boxes</div>";
    o += "<div id=\"collisions\"></div>";
    o += "<div class=\"jump\">go to structure <input id=\"jump\" type=\"number\" min=\"1\" step=\"1\" "
         "title=\"a structure number: its slider comes into view\"> <span id=\"jump-note\"></span></div>";
    o += "<div id=\"sliders\"></div>";
    o += "<p class=\"help\">Drag to orbit, right-drag to pan, wheel to zoom; point at a box for its "
         "structure. Reflectors are lit gold with red edges; colliding boxes are red. The green band "
         "on a slider is the turn free of collisions with the others where they stand; the arrows turn "
         "to its ends.</p></div>\n";
    o += "<div id=\"tip\"></div><div id=\"error\"></div>\n";
    o += "<script id=\"kavrit-data\" type=\"application/json\">{\"name\":" + json_string(layout.cif_name) +
         ",\n\"hinges\":[" + hinges + "],\n" + solids + ",\n\"glb\":\"" + base64(glb) + "\"}</script>\n";
    o += "<script>\n";
    o += EMBEDDED_THREE_JS;
    o += "\n</script>\n<script>" + std::string(VIEWER_JS) + "</script>\n</body>\n</html>\n";
    return o;
}

}  // namespace kavrit
