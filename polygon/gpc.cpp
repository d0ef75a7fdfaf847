#include "polygon/gpc.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "polygon/clip.h"
#include "polygon/polygon_io.h"

void gpc_read_polygon(std::FILE* fp, int read_hole_flags, gpc_polygon* polygon) {
    // All vertices in one vector, each contour as its end offset in it.
    std::vector<gpc_vertex> vertices;
    std::vector<size_t> ends;
    std::vector<int> holes;
    int count = 0;
    if (scan_int(fp, count)) {
        // The count is only a promise: contours are kept as they are read, so a
        // short file gives the complete contours before its end.
        for (int c = 0; c < count; ++c) {
            int hole = 0;
            int n = 0;
            if (!scan_int(fp, n)) break;
            if (read_hole_flags && !scan_int(fp, hole)) break;
            const size_t start = vertices.size();
            bool complete = true;
            for (int v = 0; v < n; ++v) {
                gpc_vertex p{};
                if (!scan_double(fp, p.x) || !scan_double(fp, p.y)) {
                    complete = false;
                    break;
                }
                vertices.push_back(p);
            }
            if (!complete) {
                vertices.resize(start);
                break;
            }
            ends.push_back(vertices.size());
            holes.push_back(hole);
        }
    }
    polygon->num_contours = static_cast<int>(ends.size());
    polygon->hole = nullptr;
    polygon->contour = nullptr;
    if (!ends.empty()) {
        polygon->hole = new int[ends.size()];
        polygon->contour = new gpc_vertex_list[ends.size()];
        size_t start = 0;
        for (size_t c = 0; c < ends.size(); ++c) {
            polygon->hole[c] = holes[c];
            gpc_vertex_list& list = polygon->contour[c];
            list.num_vertices = static_cast<int>(ends[c] - start);
            list.vertex = list.num_vertices > 0 ? new gpc_vertex[list.num_vertices] : nullptr;
            std::copy(vertices.begin() + start, vertices.begin() + ends[c], list.vertex);
            start = ends[c];
        }
    }
}

void gpc_free_polygon(gpc_polygon* polygon) {
    for (int c = 0; c < polygon->num_contours; ++c) delete[] polygon->contour[c].vertex;
    delete[] polygon->contour;
    delete[] polygon->hole;
    polygon->contour = nullptr;
    polygon->hole = nullptr;
    polygon->num_contours = 0;
}

void gpc_free_tristrip(gpc_tristrip* tristrip) {
    for (int s = 0; s < tristrip->num_strips; ++s) delete[] tristrip->strip[s].vertex;
    delete[] tristrip->strip;
    tristrip->strip = nullptr;
    tristrip->num_strips = 0;
}

bool gpc_is_rectilinear(const gpc_polygon* polygon) {
    for (int c = 0; c < polygon->num_contours; ++c) {
        const gpc_vertex_list& l = polygon->contour[c];
        for (int i = 0; i < l.num_vertices; ++i) {
            const gpc_vertex& a = l.vertex[i];
            const gpc_vertex& b = l.vertex[(i + 1) % l.num_vertices];
            if (!std::isfinite(a.x) || !std::isfinite(a.y)) return false;
            if (a.x != b.x && a.y != b.y) return false;
        }
    }
    return true;
}

namespace polygon {

Operation to_operation(gpc_op op) {
    switch (op) {
        case GPC_DIFF: return Operation::Difference;
        case GPC_INT: return Operation::Intersection;
        case GPC_XOR: return Operation::ExclusiveOr;
        default: return Operation::Union;
    }
}

size_t GpcSource::vertices() const {
    size_t n = 0;
    for (int c = 0; c < count(); ++c)
        if (polygon_.contour[c].num_vertices > 0) n += static_cast<size_t>(polygon_.contour[c].num_vertices);
    return n;
}

void GpcSource::contour(int i, std::vector<PointD>& out) const {
    const gpc_vertex_list& list = polygon_.contour[i];
    out.resize(list.num_vertices > 0 ? list.num_vertices : 0);
    for (size_t k = 0; k < out.size(); ++k) out[k] = {list.vertex[k].x, list.vertex[k].y};
}

}  // namespace polygon

namespace {

gpc_vertex_list make_list(const polygon::Contour& points) {
    gpc_vertex_list list{static_cast<int>(points.size()), nullptr};
    if (!points.empty()) {
        list.vertex = new gpc_vertex[points.size()];
        for (size_t i = 0; i < points.size(); ++i) list.vertex[i] = {points[i].x, points[i].y};
    }
    return list;
}

// Copies the strips into a gpc_tristrip, one array per strip.
class TristripSink final : public polygon::StripSink {
public:
    explicit TristripSink(gpc_tristrip* out) : out_(out) {}
    void begin(size_t strips, size_t) override {
        out_->num_strips = static_cast<int>(strips);
        out_->strip = strips > 0 ? new gpc_vertex_list[strips] : nullptr;
    }
    void strip(int pairs) override {
        list_ = &out_->strip[next_++];
        list_->num_vertices = 2 * pairs;
        list_->vertex = new gpc_vertex[list_->num_vertices];
        filled_ = 0;
    }
    void pair(double xl, double xr, double y) override {
        list_->vertex[filled_++] = {xl, y};
        list_->vertex[filled_++] = {xr, y};
    }

private:
    gpc_tristrip* out_;
    gpc_vertex_list* list_ = nullptr;
    int next_ = 0;
    int filled_ = 0;
};

}  // namespace

void gpc_polygon_clip(gpc_op op, gpc_polygon* subject, gpc_polygon* clip, gpc_polygon* result) {
    // Operands that are not rectilinear give an empty result (the engine checks).
    const polygon::PolygonResult r =
        polygon::clip_to_polygon(polygon::to_operation(op), polygon::GpcSource(*subject), polygon::GpcSource(*clip));
    // The result may be the subject itself: release it only after reading it.
    if (result == subject) gpc_free_polygon(subject);
    result->num_contours = static_cast<int>(r.contours.size());
    result->hole = nullptr;
    result->contour = nullptr;
    if (!r.contours.empty()) {
        result->hole = new int[r.contours.size()];
        result->contour = new gpc_vertex_list[r.contours.size()];
        for (size_t c = 0; c < r.contours.size(); ++c) {
            result->hole[c] = r.holes[c] ? 1 : 0;
            result->contour[c] = make_list(r.contours[c]);
        }
    }
}

void gpc_tristrip_clip(gpc_op op, gpc_polygon* subject, gpc_polygon* clip, gpc_tristrip* result) {
    result->num_strips = 0;
    result->strip = nullptr;
    TristripSink sink(result);
    polygon::clip_to_sink(polygon::to_operation(op), polygon::GpcSource(*subject), polygon::GpcSource(*clip), sink);
}

void gpc_polygon_to_tristrip(gpc_polygon* polygon, gpc_tristrip* result) {
    gpc_polygon empty{0, nullptr, nullptr};
    gpc_tristrip_clip(GPC_DIFF, polygon, &empty, result);
}
