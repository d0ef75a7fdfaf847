#include "common/polygon_file.h"

#include <climits>
#include <cmath>

#include "common/decimal.h"
#include "common/fatal.h"

namespace common {

namespace {

int precision_of(VertexFormat format) { return format == VertexFormat::OneDecimal ? 1 : 15; }

void render_vertices(std::string& out, VertexFormat format, long long count_line, const std::vector<Vertex>& vertices) {
    out += std::to_string(count_line);
    out += '\n';
    const int precision = precision_of(format);
    for (std::size_t i = 0; i < vertices.size(); ++i) {
        if (i % 4 == 0) out += "4\n";
        if (format == VertexFormat::Quad) out += ' ';
        append_fixed(out, vertices[i].x, precision);
        out += ' ';
        append_fixed(out, vertices[i].y, precision);
        out += '\n';
    }
}

}  // namespace

PolygonFile::PolygonFile(VertexFormat format, long long count_line, std::vector<Vertex> vertices)
    : format_(format), count_line_(count_line), vertices_(std::move(vertices)) {
    for (const Vertex& v : vertices_) {
        if (std::isfinite(v.x) && std::isfinite(v.y)) continue;
        render_vertices(text_, format_, count_line_, vertices_);
        is_text_ = true;
        vertices_.clear();
        count_line_ = 0;
        break;
    }
}

PolygonFile PolygonFile::from_text(std::string text) {
    PolygonFile f;
    f.is_text_ = true;
    f.text_ = std::move(text);
    return f;
}

std::size_t PolygonFile::contours_read() const {
    // "%d" cannot read a count beyond the int range; a count of 0 or less
    // reads no contour.
    if (is_text_ || count_line_ <= 0 || count_line_ > INT_MAX) return 0;
    const std::size_t present = vertices_.size() / 4;
    const auto promised = static_cast<std::size_t>(count_line_);
    return promised < present ? promised : present;
}

double PolygonFile::read_double(double value) const { return reread_double(value, precision_of(format_)); }
float PolygonFile::read_float(double value) const { return reread_float(value, precision_of(format_)); }

std::string PolygonFile::render() const {
    if (is_text_) return text_;
    std::string out;
    render_vertices(out, format_, count_line_, vertices_);
    return out;
}

PolygonFiles::PolygonFiles(PolygonFiles&& other) noexcept {
    std::lock_guard lock(other.mutex_);
    keep_ = other.keep_;
    files_ = std::move(other.files_);
    created_ = std::move(other.created_);
}

PolygonFiles& PolygonFiles::operator=(PolygonFiles&& other) noexcept {
    if (this == &other) return *this;
    std::scoped_lock lock(mutex_, other.mutex_);
    keep_ = other.keep_;
    files_ = std::move(other.files_);
    created_ = std::move(other.created_);
    return *this;
}

void PolygonFiles::create(const std::string& file_name, PolygonFilePtr file) {
    if (keep_) write_whole_file(file_name, file->render());
    std::lock_guard lock(mutex_);
    created_.push_back(file_name);
    files_[file_name] = std::move(file);
}

PolygonFilePtr PolygonFiles::find(const std::string& file_name) const {
    std::lock_guard lock(mutex_);
    const auto it = files_.find(file_name);
    return it == files_.end() ? nullptr : it->second;
}

void PolygonFiles::release(const std::string& file_name) {
    std::lock_guard lock(mutex_);
    files_.erase(file_name);
}

std::vector<std::string> PolygonFiles::created() const {
    std::lock_guard lock(mutex_);
    return created_;
}

}  // namespace common
