// The checks of the files kavrit-export writes (see written_files.h).
#include "fuzz/written_files.h"

#include <tiny_gltf.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "export/checks.h"
#include "fuzz/json_check.h"

namespace fuzz_entry::export_checks {

namespace {

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

}  // namespace

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

}  // namespace fuzz_entry::export_checks
