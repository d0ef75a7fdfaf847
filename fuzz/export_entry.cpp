// The kavrit-export entry of the fuzz targets: the kavrit reader and every
// writer on raw bytes, with the posing options taken from the first bytes,
// and checks that what is written is finite and well-formed.
#include <tiny_gltf.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include <algorithm>
#include <set>

#include "export/checks.h"
#include "export/cli.h"
#include "export/collide.h"
#include "export/ranges.h"
#include "fuzz/entry_points.h"

namespace fs = std::filesystem;

namespace fuzz_entry {

namespace {

std::string read_all(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::uint32_t u32_at(const std::string& s, std::size_t at) {
    std::uint32_t v = 0;
    for (int k = 3; k >= 0; --k) v = (v << 8) | static_cast<unsigned char>(s[at + static_cast<std::size_t>(k)]);
    return v;
}

float float_at(const std::string& s, std::size_t at) {
    const std::uint32_t bits = u32_at(s, at);
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

// A strict JSON reader that only says whether the text is one JSON value
// (RFC 8259) in valid UTF-8.  Nesting is bounded, as the writers nest little.
class JsonCheck {
public:
    explicit JsonCheck(const std::string& text) : s_(text) {}

    std::string problem() {
        if (kavrit::valid_utf8(s_) != s_) return "the JSON is not valid UTF-8";
        space();
        if (!value(0)) return "the JSON is malformed near byte " + std::to_string(at_);
        space();
        if (at_ != s_.size()) return "the JSON has text after its value, at byte " + std::to_string(at_);
        return "";
    }

private:
    const std::string& s_;
    std::size_t at_ = 0;

    bool more() const { return at_ < s_.size(); }
    char peek() const { return more() ? s_[at_] : '\0'; }
    void space() {
        while (more() && (peek() == ' ' || peek() == '\t' || peek() == '\n' || peek() == '\r')) ++at_;
    }
    bool word(const char* w) {
        const std::size_t n = std::strlen(w);
        if (s_.compare(at_, n, w) != 0) return false;
        at_ += n;
        return true;
    }
    bool digits() {
        const std::size_t from = at_;
        while (more() && peek() >= '0' && peek() <= '9') ++at_;
        return at_ > from;
    }
    bool number() {
        if (peek() == '-') ++at_;
        if (peek() == '0') ++at_;
        else if (!digits()) return false;
        if (peek() == '.') {
            ++at_;
            if (!digits()) return false;
        }
        if (peek() == 'e' || peek() == 'E') {
            ++at_;
            if (peek() == '+' || peek() == '-') ++at_;
            if (!digits()) return false;
        }
        return true;
    }
    bool string() {
        if (peek() != '"') return false;
        ++at_;
        while (more()) {
            const auto c = static_cast<unsigned char>(s_[at_++]);
            if (c == '"') return true;
            if (c < 0x20) return false;
            if (c != '\\') continue;
            if (!more()) return false;
            const char e = s_[at_++];
            if (e == 'u') {
                for (int k = 0; k < 4; ++k, ++at_)
                    if (!more() || !std::isxdigit(static_cast<unsigned char>(peek()))) return false;
            } else if (std::strchr("\"\\/bfnrt", e) == nullptr || e == '\0') {
                return false;
            }
        }
        return false;
    }
    bool value(int depth) {
        if (depth > 64) return false;
        space();
        const char c = peek();
        if (c == '{' || c == '[') {
            const char close = c == '{' ? '}' : ']';
            ++at_;
            space();
            if (peek() == close) return ++at_, true;
            for (;;) {
                if (c == '{') {
                    space();
                    if (!string()) return false;
                    space();
                    if (peek() != ':') return false;
                    ++at_;
                }
                if (!value(depth + 1)) return false;
                space();
                if (peek() == ',') {
                    ++at_;
                    continue;
                }
                if (peek() != close) return false;
                ++at_;
                return true;
            }
        }
        if (c == '"') return string();
        if (word("true") || word("false") || word("null")) return true;
        return number();
    }
};

// A binary glTF: the container's lengths, a valid JSON chunk, a model that
// tinygltf loads, and finite floats in every float accessor and its bounds.
std::string check_glb(const std::string& glb) {
    if (glb.size() < 20 || glb.compare(0, 4, "glTF") != 0 || u32_at(glb, 4) != 2 || u32_at(glb, 8) != glb.size())
        return "the glTF container header is wrong";
    const std::uint32_t json_length = u32_at(glb, 12);
    if (u32_at(glb, 16) != 0x4e4f534a || 20 + static_cast<std::uint64_t>(json_length) > glb.size())
        return "the glTF JSON chunk is wrong";
    const std::string json = glb.substr(20, json_length);
    std::string json_text = json;
    while (!json_text.empty() && json_text.back() == ' ') json_text.pop_back();
    if (std::string p = JsonCheck(json_text).problem(); !p.empty()) return "glTF: " + p;
    if (json_text.find("null") != std::string::npos) return "the glTF JSON holds null (a value that was not finite)";

    tinygltf::Model model;
    tinygltf::TinyGLTF loader;
    std::string error, warning;
    if (!loader.LoadBinaryFromMemory(&model, &error, &warning, reinterpret_cast<const unsigned char*>(glb.data()),
                                     static_cast<unsigned int>(glb.size())))
        return "tinygltf does not load the glTF: " + error;
    for (const tinygltf::Accessor& a : model.accessors) {
        for (double v : a.minValues) if (!std::isfinite(v)) return "a glTF accessor bound is not finite";
        for (double v : a.maxValues) if (!std::isfinite(v)) return "a glTF accessor bound is not finite";
        if (a.componentType != TINYGLTF_COMPONENT_TYPE_FLOAT) continue;
        const tinygltf::BufferView& view = model.bufferViews.at(static_cast<std::size_t>(a.bufferView));
        const auto& data = model.buffers.at(static_cast<std::size_t>(view.buffer)).data;
        const std::size_t from = view.byteOffset + a.byteOffset, n = a.count * 3;
        if (from + n * 4 > data.size()) return "a glTF accessor reaches beyond its buffer";
        for (std::size_t k = 0; k < n; ++k) {
            float f;
            std::memcpy(&f, data.data() + from + 4 * k, sizeof f);
            if (!std::isfinite(f)) return "a glTF float is not finite";
        }
    }
    for (const tinygltf::Node& node : model.nodes)
        for (double v : node.translation) if (!std::isfinite(v)) return "a glTF node translation is not finite";
    return "";
}

std::string base64_decode(const std::string& text, bool& ok) {
    static const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    ok = text.size() % 4 == 0;
    std::uint32_t bits = 0;
    int count = 0;
    for (std::size_t i = 0; ok && i < text.size(); ++i) {
        if (text[i] == '=') {
            ok = i + 2 >= text.size();
            continue;
        }
        const auto v = alphabet.find(text[i]);
        if (v == std::string::npos) return ok = false, "";
        bits = (bits << 6) | static_cast<std::uint32_t>(v);
        if (++count == 4) {
            out += static_cast<char>(bits >> 16), out += static_cast<char>(bits >> 8), out += static_cast<char>(bits);
            bits = 0, count = 0;
        }
    }
    if (count == 2) out += static_cast<char>(bits >> 4);
    if (count == 3) out += static_cast<char>(bits >> 10), out += static_cast<char>(bits >> 2);
    return out;
}

std::string check_html(const std::string& page) {
    const std::string open = "<script id=\"kavrit-data\" type=\"application/json\">";
    const auto from = page.find(open);
    const auto to = from == std::string::npos ? from : page.find("</script>", from);
    if (to == std::string::npos) return "the page has no data script";
    const std::string json = page.substr(from + open.size(), to - from - open.size());
    if (std::string p = JsonCheck(json).problem(); !p.empty()) return "page data: " + p;
    if (page.size() < 8 || page.compare(page.size() - 8, 8, "</html>\n") != 0) return "the page is not closed";
    const auto glb_at = json.find("\"glb\":\"");
    if (glb_at == std::string::npos) return "the page data holds no glTF";
    const auto glb_end = json.find('"', glb_at + 7);
    bool ok = false;
    const std::string glb = base64_decode(json.substr(glb_at + 7, glb_end - glb_at - 7), ok);
    if (!ok) return "the page's glTF is not base64";
    if (std::string p = check_glb(glb); !p.empty()) return "page: " + p;
    return "";
}

// Binary STL: 84 bytes and 50 per triangle, every number finite.
std::string check_stl(const std::string& stl) {
    if (stl.size() < 84) return "the STL is shorter than its header";
    const std::uint64_t triangles = u32_at(stl, 80);
    if (stl.size() != 84 + 50 * triangles) return "the STL size does not match its triangle count";
    if (stl.compare(0, 5, "solid") == 0) return "the binary STL begins with \"solid\"";
    for (std::uint64_t t = 0; t < triangles; ++t)
        for (std::size_t k = 0; k < 12; ++k)
            if (!std::isfinite(float_at(stl, 84 + 50 * t + 4 * k))) return "an STL number is not finite";
    return "";
}

// OBJ: finite vertices, faces of four vertices that exist; the MTL beside it.
std::string check_obj(const std::string& obj, bool mtl_there) {
    if (!mtl_there) return "the OBJ's material file is missing";
    std::istringstream in(obj);
    std::size_t vertices = 0;
    for (std::string line; std::getline(in, line);) {
        std::istringstream words(line);
        std::string tag;
        words >> tag;
        if (tag == "v") {
            for (int k = 0; k < 3; ++k) {
                std::string w;
                words >> w;
                char* end = nullptr;
                const double v = std::strtod(w.c_str(), &end);
                if (w.empty() || *end != '\0' || !std::isfinite(v)) return "an OBJ vertex is not a finite number: " + line;
            }
            ++vertices;
        } else if (tag == "f") {
            std::size_t n = 0, index = 0;
            while (words >> index) {
                if (index < 1 || index > vertices) return "an OBJ face names a vertex not given: " + line;
                ++n;
            }
            if (n != 4) return "an OBJ face without four vertices: " + line;
        }
    }
    return "";
}

// SVG: tags closed in order, and every coordinate attribute a plain number.
std::string check_svg(const std::string& svg) {
    if (svg.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg ", 0) != 0) return "the SVG does not begin as it should";
    if (kavrit::valid_utf8(svg) != svg) return "the SVG is not valid UTF-8";
    static const std::vector<std::string> numeric = {"x", "y", "width", "height", "viewBox", "points", "cx", "cy",
                                                     "r", "x1", "y1", "x2", "y2", "stroke-width"};
    std::vector<std::string> open;
    std::size_t at = svg.find("<svg ");
    while (at < svg.size()) {
        const auto lt = svg.find('<', at);
        if (lt == std::string::npos) break;
        if (svg.find('&', at) < lt) {
            const auto amp = svg.find('&', at);
            const auto semi = svg.find(';', amp);
            if (semi == std::string::npos || semi > lt || semi - amp > 6) return "a bare '&' in the SVG text";
        }
        const auto gt = svg.find('>', lt);
        if (gt == std::string::npos) return "an SVG tag is not closed";
        std::string tag = svg.substr(lt + 1, gt - lt - 1);
        at = gt + 1;
        if (tag.empty()) return "an empty SVG tag";
        if (tag[0] == '/') {
            if (open.empty() || open.back() != tag.substr(1)) return "an SVG end tag closes what is not open: " + tag;
            open.pop_back();
            continue;
        }
        const bool empty = tag.back() == '/';
        if (empty) tag.pop_back();
        const std::string name = tag.substr(0, tag.find(' '));
        for (const std::string& a : numeric) {
            for (auto p = tag.find(" " + a + "=\""); p != std::string::npos; p = tag.find(" " + a + "=\"", p + 1)) {
                const auto v = p + a.size() + 3;
                const auto e = tag.find('"', v);
                const std::string value = tag.substr(v, e - v);
                if (value.empty() || value.find_first_not_of("0123456789.-, ") != std::string::npos)
                    return "the SVG attribute " + a + " is not a plain number: \"" + value + "\"";
            }
        }
        if (!empty) open.push_back(name);
    }
    if (!open.empty()) return "the SVG leaves <" + open.back() + "> open";
    if (svg.size() < 7 || svg.compare(svg.size() - 7, 7, "</svg>\n") != 0) return "the SVG does not end with </svg>";
    return "";
}

// The range search of the fuzz runs: a bound on its work that keeps each
// input to milliseconds (the program's own bound allows about ten seconds).
constexpr long long FUZZ_RANGE_WORK = 2'000'000;

// The box pairs as (line, line), the substrate as line 0, smaller line first.
using LinePair = std::pair<int, int>;
LinePair line_pair(const kavrit::CollisionModel& m, std::size_t box, std::optional<std::size_t> other) {
    const int a = m.boxes[box].line, b = other ? m.boxes[*other].line : 0;
    return other ? std::make_pair(std::min(a, b), std::max(a, b)) : std::make_pair(a, 0);
}

// --check and --ranges on the same layout and pose, against the library and
// against simpler computations:
//  - the colliding pairs of find_collisions (a grid) are those of a test of
//    every pair, and --check reports as many with status 3 (0 for none);
//  - every range end lies within a full turn, "free" exactly at a full turn,
//    and the JSON of the ranges is valid;
//  - turned to the end of a range the structure collides with nothing new,
//    deeper than a ten-thousandth of a degree's turn could make;
//  - --ranges [--json] writes what the library computes.
// The search runs under a small bound of work; a layout that needs more is
// left at the bound, and the program's own --ranges is then not run.
std::string collisions_and_ranges(const std::vector<std::string>& pose_args, const fs::path& input,
                                  const kavrit::PoseRequest& request, bool json) {
    std::vector<std::string> args = {"--check"};
    args.insert(args.end(), pose_args.begin(), pose_args.end());
    args.push_back(input.string());
    std::ostringstream out, err;
    int status = -1;
    try {
        status = kavrit::run_export(args, out, err);
    } catch (const std::exception& e) {
        return std::string("an exception left --check: ") + e.what();
    }
    if (status != 0 && status != 1 && status != 2 && status != 3) return "--check: exit status " + std::to_string(status);
    if ((status == 1 || status == 2) != !err.str().empty()) return "--check: status " + std::to_string(status) + " and message \"" + err.str() + "\"";
    if (status == 1 || status == 2) return "";

    kavrit::Layout layout;
    kavrit::Pose pose;
    kavrit::CollisionModel model;
    try {
        std::ifstream in(input, std::ios::binary);
        layout = kavrit::read_kavrit(in);
        pose = kavrit::make_pose(layout, request);
        model = kavrit::collision_model(layout, pose);
    } catch (const std::exception& e) {
        return std::string("--check took a layout the library refuses: ") + e.what();
    }
    const std::vector<kavrit::Collision> found = kavrit::find_collisions(model);
    const std::string report = out.str();
    if (found.empty() ? (status != 0 || report != "no collisions\n") : status != 3) return "--check: status " + std::to_string(status) + " for " + std::to_string(found.size()) + " pairs";
    if (kavrit::collision_report(layout, model, found) != report) return "--check does not report what find_collisions finds";
    if (model.boxes.size() <= 3000) {
        std::set<LinePair> grid, every;
        for (const auto& c : found) grid.insert(line_pair(model, c.box, c.other));
        const auto& b = model.boxes;
        for (std::size_t i = 0; i < b.size(); ++i) {
            if (kavrit::lowest_z(b[i]) < -model.tolerance) every.insert(line_pair(model, i, std::nullopt));
            for (std::size_t j = i + 1; j < b.size(); ++j)
                if (b[i].structure != b[j].structure && !model.exempt(b[i], b[j]) &&
                    kavrit::overlap_depth(b[i], b[j], model.tolerance))
                    every.insert(line_pair(model, i, j));
        }
        if (grid != every) return "the grid finds " + std::to_string(grid.size()) + " colliding pairs, a test of every pair " + std::to_string(every.size());
    }

    std::vector<kavrit::HingeRange> ranges;
    try {
        ranges = kavrit::hinge_ranges(layout, pose, model, true, static_cast<std::size_t>(-1), FUZZ_RANGE_WORK);
    } catch (const kavrit::RangeWorkError&) {
        return "";
    }
    const std::string text = kavrit::ranges_json(layout, model, ranges);
    if (std::string p = JsonCheck(text).problem(); !p.empty()) return "--ranges --json: " + p;

    // The moving set of each structure: it and what hangs from it.
    std::vector<std::vector<std::size_t>> children(layout.structures.size());
    for (std::size_t i = 0; i < layout.structures.size(); ++i)
        if (pose.tree[i].parent) children[*pose.tree[i].parent].push_back(i);
    const double margin = model.tolerance * (1 + 4e3);  // 1e-9 and 4e-6 of the largest coordinate
    std::size_t checked = 0;
    for (const kavrit::HingeRange& r : ranges) {
        for (const kavrit::RangeEnd* e : {&r.down, &r.up}) {
            if (!(e->degrees >= 0 && e->degrees <= 360)) return "a range end outside a full turn";
            if (e->free != (e->degrees == 360)) return "a range end free short of a full turn, or hit at a full turn";
        }
        if (checked >= 6) continue;
        std::vector<bool> moves(layout.structures.size(), false);
        std::vector<std::size_t> set{r.structure};
        for (std::size_t k = 0; k < set.size(); ++k)
            for (std::size_t c : children[set[k]]) set.push_back(c);
        for (std::size_t i : set) moves[i] = true;
        std::set<LinePair> aside;
        for (const auto& c : r.at_start) aside.insert(line_pair(model, c.box, c.other));
        for (int sign : {-1, 1}) {
            const kavrit::RangeEnd& e = sign < 0 ? r.down : r.up;
            if (e.free) continue;
            ++checked;
            kavrit::PoseRequest turned = request;
            turned.degrees[layout.structures[r.structure].number()] = r.posed + sign * e.degrees;
            kavrit::CollisionModel at_end;
            try {
                at_end = kavrit::collision_model(layout, kavrit::make_pose(layout, turned));
            } catch (const std::exception& x) {
                return std::string("the end of a range cannot be posed: ") + x.what();
            }
            for (const auto& c : kavrit::find_collisions(at_end)) {
                const bool a = moves[at_end.boxes[c.box].structure];
                const bool b = c.other ? moves[at_end.boxes[*c.other].structure] : false;
                if (a == b && c.other) continue;   // both move or both stand
                if (!a && !c.other) continue;      // a box that stands, on the substrate
                if (aside.count(line_pair(at_end, c.box, c.other)) || c.depth <= margin) continue;
                return "structure " + std::to_string(layout.structures[r.structure].number()) +
                       " turned to the end of its range collides " + std::to_string(c.depth) + " deep";
            }
        }
    }

    // The program's own --ranges does the same search, within its larger bound.
    std::vector<std::string> ranges_args = {"--ranges"};
    if (json) ranges_args.push_back("--json");
    ranges_args.insert(ranges_args.end(), pose_args.begin(), pose_args.end());
    ranges_args.push_back(input.string());
    std::ostringstream rout, rerr;
    try {
        status = kavrit::run_export(ranges_args, rout, rerr);
    } catch (const std::exception& e) {
        return std::string("an exception left --ranges: ") + e.what();
    }
    if (status != 0 || !rerr.str().empty()) return "--ranges: status " + std::to_string(status) + ": " + rerr.str();
    if (rout.str() != (json ? text : kavrit::ranges_table(layout, model, ranges))) return "--ranges does not write what the search finds";
    return "";
}

}  // namespace

std::string export_bytes(ScratchDirectory& dir, const std::uint8_t* data, std::size_t size) {
    static const char* const formats[] = {"svg", "obj", "stl", "glb", "html"};
    static const char* const views[] = {"iso", "top", "front", "side"};
    // Eight bytes of options, then the kavrit file; shorter inputs are files alone.
    std::uint8_t o[8] = {0, 0, 0, 0, 0, 0, 0, 0};
    const bool with_options = size >= 8 && data[0] == '!';
    if (with_options) std::memcpy(o, data, 8);
    const std::size_t skip = with_options ? 8 : 0;
    const std::string format = formats[with_options ? o[1] % 5 : size % 5];

    std::vector<std::string> args;
    kavrit::PoseRequest request;
    if (format == "svg" && (o[2] & 3) != 0) args.insert(args.end(), {"--view", views[o[2] & 3]});
    const auto signed_byte = [](std::uint8_t b) { return static_cast<int>(b) - 128; };
    if (o[2] & 4) {
        args.push_back("--pose=" + std::to_string(o[3] % 8 + 1) + "=" + std::to_string(signed_byte(o[4]) * 3));
        request.degrees[o[3] % 8 + 1] = signed_byte(o[4]) * 3;
    }
    if (o[2] & 8) {
        const std::string raise = std::to_string(signed_byte(o[5]) * 7) + ".5";
        args.push_back("--raise=" + raise);
        request.raise = std::strtod(raise.c_str(), nullptr);
    }
    if (o[2] & 16) {
        // 0.0001 to 10^306 in decades, so that some overflow every format.
        const int decade = o[6] % 42 * (o[7] & 1 ? 8 : 1) - 4;
        std::string scale = decade < 0 ? "0." + std::string(static_cast<std::size_t>(-decade - 1), '0') + "3"
                                       : "3" + std::string(static_cast<std::size_t>(decade), '0');
        args.push_back("--z-scale=" + scale);
        request.z_scale = std::strtod(scale.c_str(), nullptr);
    }
    const fs::path input = dir.root() / "in.kavrit";
    const fs::path output = dir.root() / ("out." + format);
    const fs::path mtl = dir.root() / "out.mtl";
    {
        std::ofstream f(input, std::ios::binary);
        f.write(reinterpret_cast<const char*>(data + skip), static_cast<std::streamsize>(size - skip));
    }
    // Bits 1 and 2 of byte 7: --check and --ranges (--json with both) instead of a file.
    if (with_options && (o[7] & 6) != 0) {
        std::string problem = collisions_and_ranges(args, input, request, (o[7] & 6) == 6);
        std::error_code ec;
        fs::remove(input, ec);
        std::size_t left = 0;
        for (auto it = fs::directory_iterator(dir.root(), ec); !ec && it != fs::directory_iterator(); ++it)
            if (it->path().filename() != "work") ++left;
        if (problem.empty() && left != 0) problem = "--check or --ranges left a file";
        return problem;
    }
    args.push_back(input.string());
    args.push_back(output.string());

    std::ostringstream out, err;
    int status = -1;
    try {
        status = kavrit::run_export(args, out, err);
    } catch (const std::exception& e) {
        return std::string("an exception left run_export: ") + e.what();
    }
    std::string problem;
    if (status != 0 && status != 1 && status != 2) problem = "exit status " + std::to_string(status);
    if (status != 0 && err.str().empty()) problem = "a refusal without a message";
    if (status == 0 && !err.str().empty()) problem = "a message on success: " + err.str();
    if (problem.empty() && status != 0 && (fs::exists(output) || fs::exists(mtl)))
        problem = "an output file stays after a refusal: " + err.str();
    if (problem.empty() && status == 0) {
        const std::string written = read_all(output);
        if (format == "svg") problem = check_svg(written);
        if (format == "obj") problem = check_obj(written, fs::exists(mtl));
        if (format == "stl") problem = check_stl(written);
        if (format == "glb") problem = check_glb(written);
        if (format == "html") problem = check_html(written);
    }
    std::error_code ec;
    fs::remove(input, ec);
    fs::remove(output, ec);
    fs::remove(mtl, ec);
    std::size_t left = 0;
    for (auto it = fs::directory_iterator(dir.root(), ec); !ec && it != fs::directory_iterator(); ++it)
        if (it->path().filename() != "work") ++left;
    if (problem.empty() && left != 0) problem = "a temporary file stays beside the output";
    return problem;
}

}  // namespace fuzz_entry
