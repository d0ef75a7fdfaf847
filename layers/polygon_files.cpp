#include "layers/polygon_files.h"

#include <cstdio>

#include "common/decimal.h"
#include "common/file_names.h"

namespace layers {

void write_empty_polygon_file(common::PolygonFiles& files) {
    files.create(common::EMPTY_POLYGON_FILE, common::PolygonFile{});
}

namespace {

// Strip vertices alternate left and right, left first, so the quad that starts
// at vertex j needs j, j+1, j+2 and j+3. In a strip with an odd vertex count
// the last vertex has no partner across the strip: the piece it would close is
// a triangle and is not written, so only j with j + 3 < n count. For an even
// n this is the same as j < n - 2.
long long complete_quads(int num_vertices) {
    if (num_vertices < 4) return 0;
    return (static_cast<long long>(num_vertices) - 2) / 2;
}

}  // namespace

long long count_quads(const gpc_tristrip* strips) {
    long long total = 0;
    for (int s = 0; s < strips->num_strips; ++s) total += complete_quads(strips->strip[s].num_vertices);
    return total;
}

common::PolygonFile write_quads(const gpc_tristrip* strips) {
    const long long total = count_quads(strips);
    common::PolygonFileWriter writer(common::VertexFormat::Quad, static_cast<std::size_t>(total) * 4);
    for (int s = 0; s < strips->num_strips; ++s) {
        const gpc_vertex_list& strip = strips->strip[s];
        const long long quads = complete_quads(strip.num_vertices);
        for (long long q = 0; q < quads; ++q) {
            const long long j = 2 * q;
            for (const long long k : {j, j + 1, j + 3, j + 2}) writer.add(strip.vertex[k].x, strip.vertex[k].y);
        }
    }
    return writer.finish(total);
}

PolygonFileSource::PolygonFileSource(const common::PolygonFile& file) : file_(file) {
    if (!file.is_text()) {
        count_ = static_cast<int>(file.contours_read());
        vertices_ = 4 * static_cast<size_t>(count_);
        return;
    }
    for (const common::TextContour& c : file.text_contours().contours) {
        if (!c.complete) break;
        ++count_;
        vertices_ += c.held();
    }
}

void PolygonFileSource::contour(int i, std::vector<common::PointD>& out) const {
    if (file_.is_text()) {
        const common::TextContours& text = file_.text_contours();
        const common::TextContour& c = text.contours[static_cast<std::size_t>(i)];
        out.resize(c.held());
        for (std::size_t k = 0; k < out.size(); ++k) out[k] = {text.wide[c.first + k].x, text.wide[c.first + k].y};
        return;
    }
    common::PointD v[4];
    file_.read_quad(static_cast<std::size_t>(i), v);
    out.resize(4);
    for (std::size_t k = 0; k < 4; ++k) out[k] = {v[k].x, v[k].y};
}

void QuadFileSink::begin(size_t strips, size_t pairs) {
    // Every strip of n pairs gives n - 1 quads.
    quads_ = static_cast<long long>(pairs - strips);
    writer_.emplace(common::VertexFormat::Quad, static_cast<std::size_t>(quads_) * 4);
}

void QuadFileSink::strip(int) { have_previous_ = false; }

void QuadFileSink::pair(double xl, double xr, double y) {
    if (have_previous_) {
        // Left k, right k, right k+1, left k+1.
        writer_->add(xl_, y_);
        writer_->add(xr_, y_);
        writer_->add(xr, y);
        writer_->add(xl, y);
    }
    xl_ = xl;
    xr_ = xr;
    y_ = y;
    have_previous_ = true;
}

common::PolygonFile QuadFileSink::finish() {
    if (!writer_) {
        const gpc_tristrip none{0, nullptr};
        return write_quads(&none);
    }
    common::PolygonFile file = writer_->finish(quads_);
    writer_.reset();
    return file;
}

namespace {

// The complete contours of a file read from a text, as "%lf" reads them: the
// contours before the first one that was cut short, any vertex count.
void read_text_polygon(const common::TextContours& text, std::vector<gpc_vertex_list>& lists,
                       std::vector<gpc_vertex>& vertices) {
    vertices.reserve(text.wide.size());
    for (const common::PointD& v : text.wide) vertices.push_back({v.x, v.y});
    for (const common::TextContour& c : text.contours) {
        if (!c.complete) break;
        lists.push_back({static_cast<int>(c.held()), c.held() > 0 ? vertices.data() + c.first : nullptr});
    }
}

}  // namespace

void read_polygon(const common::PolygonFile& file, gpc_polygon* polygon) {
    *polygon = gpc_polygon{0, nullptr, nullptr};
    ReadPolygon read(file);
    const gpc_polygon* p = read.get();
    if (p->num_contours == 0) return;
    polygon->num_contours = p->num_contours;
    polygon->hole = new int[static_cast<std::size_t>(p->num_contours)]();
    polygon->contour = new gpc_vertex_list[static_cast<std::size_t>(p->num_contours)];
    for (int c = 0; c < p->num_contours; ++c) {
        const gpc_vertex_list& from = p->contour[c];
        gpc_vertex_list& list = polygon->contour[c];
        list.num_vertices = from.num_vertices;
        list.vertex = from.num_vertices > 0 ? new gpc_vertex[static_cast<std::size_t>(from.num_vertices)] : nullptr;
        for (int k = 0; k < from.num_vertices; ++k) list.vertex[k] = from.vertex[k];
    }
}

ReadPolygon::ReadPolygon(const common::PolygonFile& file) {
    if (file.is_text()) {
        read_text_polygon(file.text_contours(), lists_, vertices_);
    } else {
        const std::size_t contours = file.contours_read();
        vertices_.resize(4 * contours);
        for (std::size_t c = 0; c < contours; ++c) {
            common::PointD v[4];
            file.read_quad(c, v);
            for (std::size_t k = 0; k < 4; ++k) vertices_[4 * c + k] = {v[k].x, v[k].y};
        }
        lists_.resize(contours);
        for (std::size_t c = 0; c < contours; ++c) lists_[c] = {4, vertices_.data() + 4 * c};
    }
    if (lists_.empty()) return;
    holes_.assign(lists_.size(), 0);
    polygon_ = {static_cast<int>(lists_.size()), holes_.data(), lists_.data()};
}

}  // namespace layers
