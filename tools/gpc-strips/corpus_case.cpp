#include "tools/gpc-strips/corpus_case.h"

#include <cstdio>
#include <fstream>
#include <sstream>
#include <utility>
#include <vector>

#include "layers/grow.h"
#include "polygon/polygon_io.h"

namespace {

struct File {
    std::FILE* f;
    explicit File(const std::string& path) : f(std::fopen(path.c_str(), "r")) {}
    ~File() {
        if (f != nullptr) std::fclose(f);
    }
    File(const File&) = delete;
    File& operator=(const File&) = delete;
};

bool read_polygon_file(const std::string& path, gpc_polygon* p, std::string* error) {
    File file(path);
    if (file.f == nullptr) {
        *error = "cannot open " + path;
        return false;
    }
    gpc_read_polygon(file.f, 0, p);
    return true;
}

// The growing step on a body file: each four-vertex contour read with "%f",
// widened, taken through the scratch-file roundings, united in file order.
bool grow_case(const std::string& path, int amount, gpc_tristrip* strips, std::string* error) {
    File file(path);
    if (file.f == nullptr) {
        *error = "cannot open " + path;
        return false;
    }
    std::vector<std::vector<gpc_vertex>> boxes;
    int contours = 0;
    if (scan_int(file.f, contours)) {
        for (int c = 0; c < contours; ++c) {
            int n = 0;
            if (!scan_int(file.f, n)) break;
            std::vector<float> xs(n > 0 ? n : 0), ys(n > 0 ? n : 0);
            bool complete = true;
            for (int v = 0; v < n && complete; ++v) complete = scan_float(file.f, xs[v]) && scan_float(file.f, ys[v]);
            if (!complete) break;
            if (n != 4) continue;
            std::vector<gpc_vertex> corners;
            if (!grow::reread_corners(grow::widen(grow::bounding_box(xs.data(), ys.data()), amount), corners)) break;
            boxes.push_back(std::move(corners));
        }
    }
    gpc_polygon accumulator{0, nullptr, nullptr};
    grow::unite_in_order(boxes, &accumulator);
    gpc_polygon_to_tristrip(&accumulator, strips);
    gpc_free_polygon(&accumulator);
    return true;
}

}  // namespace

bool run_corpus_case(const std::string& dir, gpc_tristrip* strips, std::string* error) {
    strips->num_strips = 0;
    strips->strip = nullptr;
    std::ifstream op_file(dir + "/op");
    std::string op;
    int amount = 0;
    if (!(op_file >> op)) {
        *error = "cannot read " + dir + "/op";
        return false;
    }
    if (op == "grow") {
        if (!(op_file >> amount)) {
            *error = "grow case without an amount in " + dir + "/op";
            return false;
        }
        return grow_case(dir + "/a.gpc", amount, strips, error);
    }
    gpc_op code;
    if (op == "diff")
        code = GPC_DIFF;
    else if (op == "int")
        code = GPC_INT;
    else if (op == "union")
        code = GPC_UNION;
    else {
        *error = "unknown operation '" + op + "' in " + dir + "/op";
        return false;
    }
    gpc_polygon a{0, nullptr, nullptr}, b{0, nullptr, nullptr};
    if (!read_polygon_file(dir + "/a.gpc", &a, error) || !read_polygon_file(dir + "/b.gpc", &b, error)) {
        gpc_free_polygon(&a);
        gpc_free_polygon(&b);
        return false;
    }
    gpc_tristrip_clip(code, &a, &b, strips);
    gpc_free_polygon(&a);
    gpc_free_polygon(&b);
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
