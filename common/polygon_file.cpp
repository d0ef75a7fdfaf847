#include "common/polygon_file.h"

#include <climits>
#include <cmath>
#include <cstring>
#include <type_traits>

#include "common/decimal.h"

namespace common {

namespace {

int precision_of(VertexFormat format) { return format == VertexFormat::OneDecimal ? 1 : 15; }

// The digits of a file's text as whole numbers of tenths or hundredths.
//
// A quad file prints its values with "%.15f". When a value v is, bit for bit,
// k / S (S = 10 or 100, the double nearest to the decimal k/S) and |k| < 2^24,
//  - "%lf" reads back v: where |v| < 8, v lies within half a unit in the last
//    place, at most 2^-51, of k/S, so the text is k/S itself, and the double
//    nearest to it is v; from 8 on, the text lies within 5e-16 of v while
//    v's neighbours are 1.7e-15 away or more;
//  - "%f" reads back the float nearest to k/S, which is (float)k / (float)S,
//    one correctly rounded division of exact operands: the text is k/S, or
//    lies within 1e-15 of it while every rounding boundary of floats that is
//    not k/S itself lies at least 1/(S * 2^21) away from it.
// A box file prints its values with "%.1f": its text is the decimal k/10
// where k is v * 10 rounded to the nearest integer, ties to even, as printf
// rounds. When v * 10 is exact (see times_ten_is_exact) that integer is
// v * 10 rounded to even; "%lf" reads back k / 10.0 and "%f" reads
// (float)k / 10.0f, and the text of k / 10.0 is the same. Only "-0.0", a
// negative value that rounds to zero, has no such k.
constexpr double DIGITS_LIMIT = 16777216.0;  // 2^24: k and (float)k stay exact

// v rounded to the nearest integer, ties to even, as nearbyint rounds in the
// default rounding mode (which this program never changes), for |v| < 2^51:
// past 1.5 * 2^52 a double has no fraction bits left, so the addition rounds
// v and the subtraction is exact. (nearbyint itself is a library call on the
// baseline x86-64 target, once per coordinate.)
double round_to_even(double v) {
    constexpr double SHIFT = 6755399441055744.0;  // 1.5 * 2^52
    return (v + SHIFT) - SHIFT;
}

// Whether v * 10 is exact in double. A value that is a float has 24
// significant bits and 10 has 3 within 4 bits, so their product always fits
// the 53 bits of a double; other values take a fused multiply-add.
bool times_ten_is_exact(double v) {
    if (std::fabs(v) < 3.0e38 && static_cast<double>(static_cast<float>(v)) == v) return true;
    return std::fma(v, 10.0, -(v * 10)) == 0;
}

std::uint64_t bits_of(double v) {
    std::uint64_t b = 0;
    std::memcpy(&b, &v, sizeof b);
    return b;
}

bool quad_digits(double v, int scale, std::int32_t& k) {
    if (!(std::fabs(v) * scale < DIGITS_LIMIT - 1)) return false;  // NaN and infinities too
    const auto n = static_cast<std::int32_t>(round_to_even(v * scale));
    if (bits_of(static_cast<double>(n) / scale) != bits_of(v)) return false;  // also -0.0
    k = n;
    return true;
}

bool box_digits(double v, std::int32_t& k) {
    if (!(std::fabs(v) * 10 < DIGITS_LIMIT - 1)) return false;
    if (!times_ten_is_exact(v)) return false;
    const double n = round_to_even(v * 10);
    if (n == 0 && std::signbit(v)) return false;
    k = static_cast<std::int32_t>(n);
    return true;
}

void render_vertices(std::string& out, VertexFormat format, long long count_line, std::size_t count,
                     const auto& vertex) {
    out += std::to_string(count_line);
    out += '\n';
    const int precision = precision_of(format);
    for (std::size_t i = 0; i < count; ++i) {
        if (i % 4 == 0) out += "4\n";
        if (format == VertexFormat::Quad) out += ' ';
        const PointD v = vertex(i);
        append_fixed(out, v.x, precision);
        out += ' ';
        append_fixed(out, v.y, precision);
        out += '\n';
    }
}

}  // namespace

PolygonFile::PolygonFile(VertexFormat format, long long count_line, const std::vector<PointD>& vertices) {
    PolygonFileWriter writer(format, vertices.size());
    for (const PointD& v : vertices) writer.add(v.x, v.y);
    *this = writer.finish(count_line);
}

PolygonFile PolygonFile::from_text(std::string text) {
    PolygonFile f;
    f.is_text_ = true;
    f.text_contours_ = read_text_contours(text);
    f.text_ = std::move(text);
    return f;
}

std::size_t PolygonFile::contours_read() const {
    // "%d" cannot read a count beyond the int range; a count of 0 or less
    // reads no contour.
    if (is_text_ || count_line_ <= 0 || count_line_ > INT_MAX) return 0;
    const std::size_t present = vertex_count_ / 4;
    const auto promised = static_cast<std::size_t>(count_line_);
    return promised < present ? promised : present;
}

PointD PolygonFile::value(std::size_t i) const {
    const double s = scale_;
    switch (storage_) {
        case Storage::Values: return values_[i];
        case Storage::Pairs: return {digits_[2 * i] / s, digits_[2 * i + 1] / s};
        case Storage::Rectangles: break;
    }
    const std::int32_t* d = &digits_[4 * (i / 4)];
    const std::size_t corner = i % 4;
    return {(corner == 0 || corner == 3 ? d[0] : d[2]) / s, (corner < 2 ? d[1] : d[3]) / s};
}

template <class V>
void PolygonFile::read_quad_as(std::size_t c, V out[4]) const {
    using T = decltype(V::x);
    if (storage_ == Storage::Values) {
        const int precision = precision_of(format_);
        auto reread = [precision](double v) -> T {
            if constexpr (std::is_same_v<T, float>)
                return reread_float(v, precision);
            else
                return reread_double(v, precision);
        };
        for (std::size_t k = 0; k < 4; ++k) {
            const PointD& v = values_[4 * c + k];
            out[k] = {reread(v.x), reread(v.y)};
        }
        return;
    }
    // A whole number of tenths or hundredths divided once, in the reader's
    // precision: the correctly rounded quotient is the value its text reads as.
    const auto s = static_cast<T>(scale_);
    auto at = [s](std::int32_t k) { return static_cast<T>(k) / s; };
    if (storage_ == Storage::Pairs) {
        const std::int32_t* d = &digits_[8 * c];
        for (std::size_t k = 0; k < 4; ++k) out[k] = {at(d[2 * k]), at(d[2 * k + 1])};
        return;
    }
    const std::int32_t* d = &digits_[4 * c];
    const T x0 = at(d[0]), y0 = at(d[1]), x2 = at(d[2]), y2 = at(d[3]);
    out[0] = {x0, y0};
    out[1] = {x2, y0};
    out[2] = {x2, y2};
    out[3] = {x0, y2};
}

void PolygonFile::read_quad(std::size_t c, PointD out[4]) const { read_quad_as(c, out); }
void PolygonFile::read_quad(std::size_t c, PointF out[4]) const { read_quad_as(c, out); }

std::string PolygonFile::render() const {
    if (is_text_) return text_;
    std::string out;
    render_vertices(out, format_, count_line_, vertex_count_, [this](std::size_t i) { return value(i); });
    return out;
}

PolygonFileWriter::PolygonFileWriter(VertexFormat format, std::size_t expected_vertices) {
    file_.format_ = format;
    file_.storage_ = PolygonFile::Storage::Rectangles;
    file_.digits_.reserve(expected_vertices + 4);
}

// Four vertices make a rectangle when they go (x0, y0), (x2, y0), (x2, y2),
// (x0, y2); the last contour is kept as pairs until it is complete.
void PolygonFileWriter::add(double x, double y) {
    PolygonFile& f = file_;
    finite_ = finite_ && std::isfinite(x) && std::isfinite(y);
    ++f.vertex_count_;
    if (f.storage_ == PolygonFile::Storage::Values) {
        f.values_.push_back({x, y});
        return;
    }
    std::int32_t kx = 0, ky = 0;
    if (f.format_ == VertexFormat::OneDecimal) {
        if (!box_digits(x, kx) || !box_digits(y, ky)) {
            give_up_digits();
            f.values_.push_back({x, y});
            return;
        }
    } else {
        bool ok = quad_digits(x, f.scale_, kx) && quad_digits(y, f.scale_, ky);
        if (!ok && f.scale_ == 10) {
            // Hundredths hold every value of tenths, ten times larger.
            std::int32_t hx = 0, hy = 0;
            if (quad_digits(x, 100, hx) && quad_digits(y, 100, hy)) {
                bool fits = true;
                for (const std::int32_t d : f.digits_) fits = fits && std::fabs(d * 10.0) < DIGITS_LIMIT - 1;
                if (fits) {
                    for (std::int32_t& d : f.digits_) d *= 10;
                    f.scale_ = 100;
                    kx = hx;
                    ky = hy;
                    ok = true;
                }
            }
        }
        if (!ok) {
            give_up_digits();
            f.values_.push_back({x, y});
            return;
        }
    }
    f.digits_.push_back(kx);
    f.digits_.push_back(ky);
    if (f.storage_ != PolygonFile::Storage::Rectangles || ++pending_ < 4) return;
    // The contour is complete: its eight numbers stand at the end.
    std::int32_t* d = &f.digits_[f.digits_.size() - 8];
    if (d[3] == d[1] && d[4] == d[2] && d[7] == d[5] && d[6] == d[0]) {
        const std::int32_t x2 = d[4], y2 = d[5];
        d[2] = x2;
        d[3] = y2;
        for (int i = 0; i < 4; ++i) f.digits_.pop_back();
        pending_ = 0;
        return;
    }
    give_up_rectangles();
}

void PolygonFileWriter::give_up_rectangles() {
    PolygonFile& f = file_;
    if (f.storage_ != PolygonFile::Storage::Rectangles) return;
    // digits_ holds the rectangles, then the pairs of the last `pending_` vertices.
    const std::size_t whole = (f.digits_.size() - 2 * pending_) / 4;
    std::vector<std::int32_t> pairs;
    pairs.reserve(2 * f.digits_.capacity());
    for (std::size_t c = 0; c < whole; ++c) {
        const std::int32_t* d = &f.digits_[4 * c];
        for (const std::int32_t v : {d[0], d[1], d[2], d[1], d[2], d[3], d[0], d[3]}) pairs.push_back(v);
    }
    pairs.insert(pairs.end(), f.digits_.begin() + static_cast<std::ptrdiff_t>(4 * whole), f.digits_.end());
    f.digits_ = std::move(pairs);
    f.storage_ = PolygonFile::Storage::Pairs;
    pending_ = 0;
}

void PolygonFileWriter::give_up_digits() {
    PolygonFile& f = file_;
    if (f.storage_ == PolygonFile::Storage::Values) return;
    give_up_rectangles();
    const double s = f.scale_;
    f.values_.reserve(f.digits_.capacity() / 2);
    for (std::size_t j = 0; j + 1 < f.digits_.size(); j += 2) f.values_.push_back({f.digits_[j] / s, f.digits_[j + 1] / s});
    std::vector<std::int32_t>().swap(f.digits_);
    f.storage_ = PolygonFile::Storage::Values;
}

PolygonFile PolygonFileWriter::finish(long long count_line) {
    PolygonFile& f = file_;
    f.count_line_ = count_line;
    if (pending_ != 0) give_up_rectangles();
    if (!finite_) {
        // The readers take from the printed text what it reads as.
        std::string text;
        render_vertices(text, f.format_, f.count_line_, f.vertex_count_, [&f](std::size_t i) { return f.value(i); });
        return PolygonFile::from_text(std::move(text));
    }
    // The reserve was made for rectangles; files of other contours outgrew it.
    if (f.digits_.capacity() > f.digits_.size() + f.digits_.size() / 4 + 64) f.digits_.shrink_to_fit();
    if (f.values_.capacity() > f.values_.size() + f.values_.size() / 4 + 64) f.values_.shrink_to_fit();
    return std::move(f);
}

PolygonFiles::PolygonFiles(PolygonFiles&& other) noexcept {
    std::lock_guard lock(other.mutex_);
    trace_ = other.trace_;
    files_ = std::move(other.files_);
    created_ = std::move(other.created_);
}

PolygonFiles& PolygonFiles::operator=(PolygonFiles&& other) noexcept {
    if (this == &other) return *this;
    std::scoped_lock lock(mutex_, other.mutex_);
    trace_ = other.trace_;
    files_ = std::move(other.files_);
    created_ = std::move(other.created_);
    return *this;
}

void PolygonFiles::create(const std::string& file_name, PolygonFilePtr file) {
    if (trace_ != nullptr) trace_->made(file_name, *file);
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
