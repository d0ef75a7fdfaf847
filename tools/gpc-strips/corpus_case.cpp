#include "tools/gpc-strips/corpus_case.h"

#include <cstdio>
#include <fstream>
#include <sstream>
#include <utility>
#include <vector>

#include "layers/grow.h"
#include "polygon/ordered_union.h"
#include "polygon/polygon_io.h"

namespace {

// A case's text as a read-only stream, so that it is read by the very
// functions that read the converter's files.
struct TextFile {
    std::FILE* f;
    explicit TextFile(const std::string& text)
        : f(fmemopen(const_cast<char*>(text.data()), text.size(), "r")) {}
    ~TextFile() {
        if (f != nullptr) std::fclose(f);
    }
    TextFile(const TextFile&) = delete;
    TextFile& operator=(const TextFile&) = delete;
};

bool read_text(const std::string& path, std::string* text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream ss;
    ss << in.rdbuf();
    *text = ss.str();
    return true;
}

// The growing step on a body file: each four-vertex contour read with "%f",
// widened, taken through the scratch-file roundings, united in file order.
void grow_case(std::FILE* body, int amount, gpc_tristrip* strips) {
    std::vector<gpc_vertex> corners_of_all;  // four per box
    std::vector<gpc_vertex> corners;
    int contours = 0;
    if (scan_int(body, contours)) {
        for (int c = 0; c < contours; ++c) {
            int n = 0;
            if (!scan_int(body, n)) break;
            std::vector<common::PointF> quad(n > 0 ? n : 0);
            bool complete = true;
            for (int v = 0; v < n && complete; ++v)
                complete = scan_float(body, quad[v].x) && scan_float(body, quad[v].y);
            if (!complete) break;
            if (n != 4) continue;
            if (!grow::reread_corners(grow::widen(common::bounds_of(quad.data(), 4), amount), corners)) break;
            corners_of_all.insert(corners_of_all.end(), corners.begin(), corners.end());
        }
    }
    gpc_polygon accumulator{0, nullptr, nullptr};
    polygon::unite_boxes(corners_of_all, &accumulator);
    gpc_polygon_to_tristrip(&accumulator, strips);
    gpc_free_polygon(&accumulator);
}

}  // namespace

bool load_corpus_case(const std::string& dir, CorpusCase* c, std::string* error) {
    *c = CorpusCase{};
    c->name = dir;
    if (!read_text(dir + "/op", &c->op)) {
        *error = "cannot read " + dir + "/op";
        return false;
    }
    if (!read_text(dir + "/a.gpc", &c->a)) {
        *error = "cannot open " + dir + "/a.gpc";
        return false;
    }
    std::string text;
    if (read_text(dir + "/b.gpc", &text)) c->b = text;
    if (read_text(dir + "/expected.strips", &text)) c->expected = text;
    return true;
}

bool run_corpus_case(const CorpusCase& c, gpc_tristrip* strips, std::string* error) {
    strips->num_strips = 0;
    strips->strip = nullptr;
    std::istringstream op_text(c.op);
    std::string op;
    int amount = 0;
    if (!(op_text >> op)) {
        *error = "no operation in the op file of " + c.name;
        return false;
    }
    gpc_op code = GPC_UNION;
    if (op == "grow") {
        if (!(op_text >> amount)) {
            *error = "grow case without an amount in " + c.name;
            return false;
        }
    } else if (op == "diff") {
        code = GPC_DIFF;
    } else if (op == "int") {
        code = GPC_INT;
    } else if (op != "union") {
        *error = "unknown operation '" + op + "' in " + c.name;
        return false;
    }
    if (op != "grow" && !c.b) {
        *error = "no b.gpc in " + c.name;
        return false;
    }
    const std::string no_text;
    TextFile a(c.a);
    TextFile b(c.b ? *c.b : no_text);
    if (a.f == nullptr || b.f == nullptr) {
        *error = "cannot open the texts of " + c.name + " as streams";
        return false;
    }
    if (op == "grow") {
        grow_case(a.f, amount, strips);
        return true;
    }
    gpc_polygon pa{0, nullptr, nullptr}, pb{0, nullptr, nullptr};
    gpc_read_polygon(a.f, 0, &pa);
    gpc_read_polygon(b.f, 0, &pb);
    gpc_tristrip_clip(code, &pa, &pb, strips);
    gpc_free_polygon(&pa);
    gpc_free_polygon(&pb);
    return true;
}

std::string format_strips(const gpc_tristrip& strips) {
    std::string out;
    char buf[128];
    std::snprintf(buf, sizeof buf, "%d\n", strips.num_strips);
    out += buf;
    for (int s = 0; s < strips.num_strips; ++s) {
        std::snprintf(buf, sizeof buf, "%d\n", strips.strip[s].num_vertices);
        out += buf;
        for (int v = 0; v < strips.strip[s].num_vertices; ++v) {
            std::snprintf(buf, sizeof buf, "%.17g %.17g\n", strips.strip[s].vertex[v].x, strips.strip[s].vertex[v].y);
            out += buf;
        }
    }
    return out;
}
