// A tiny GDSII writer for tests: records put together byte by byte, so that
// tests can write what other writers will not (ELFLAGS, unknown record types,
// absolute flags, broken records). Its 8-byte reals are encoded here from
// frexp, independently of the reader's decoding.
#pragma once

#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace gdstest {

using XY = std::pair<std::int64_t, std::int64_t>;

inline std::string be16(unsigned v) { return {static_cast<char>((v >> 8) & 0xff), static_cast<char>(v & 0xff)}; }
inline std::string be32(std::uint32_t v) { return be16(v >> 16) + be16(v & 0xffff); }

// v = fraction * 16^exponent with the fraction in [1/16, 1), 56 bits of it.
inline std::string real8(double v) {
    if (v == 0) return std::string(8, '\0');
    const bool negative = v < 0;
    int k = 0;
    const double m = std::frexp(std::fabs(v), &k);  // |v| = m * 2^k, m in [0.5, 1)
    int e = (k + 3) / 4;
    if (k + 3 < 0 && (k + 3) % 4 != 0) --e;  // floor division for negative k
    const double fraction = std::ldexp(m, k - 4 * e);
    auto mantissa = static_cast<std::uint64_t>(std::ldexp(fraction, 56));
    std::string out(1, static_cast<char>((negative ? 0x80 : 0) | (e + 64)));
    for (int i = 6; i >= 0; --i) out.push_back(static_cast<char>((mantissa >> (8 * i)) & 0xff));
    return out;
}

struct Gds {
    std::string bytes;

    Gds& record(int type, int data_type, const std::string& data) {
        bytes += be16(static_cast<unsigned>(4 + data.size())) + static_cast<char>(type) + static_cast<char>(data_type) +
                 data;
        return *this;
    }
    Gds& none(int type) { return record(type, 0, ""); }
    Gds& int16(int type, std::initializer_list<int> values) {
        std::string d;
        for (const int v : values) d += be16(static_cast<unsigned>(v) & 0xffff);
        return record(type, 2, d);
    }
    Gds& int32(int type, std::initializer_list<std::int64_t> values) {
        std::string d;
        for (const std::int64_t v : values) d += be32(static_cast<std::uint32_t>(v));
        return record(type, 3, d);
    }
    Gds& real(int type, std::initializer_list<double> values) {
        std::string d;
        for (const double v : values) d += real8(v);
        return record(type, 5, d);
    }
    Gds& text(int type, std::string s) {
        if (s.size() % 2 != 0) s.push_back('\0');
        return record(type, 6, s);
    }
    Gds& xy(const std::vector<XY>& points) {
        std::string d;
        for (const auto& [x, y] : points) d += be32(static_cast<std::uint32_t>(x)) + be32(static_cast<std::uint32_t>(y));
        return record(0x10, 3, d);
    }

    // HEADER, BGNLIB, LIBNAME and UNITS with the database unit in metres.
    static Gds library(double metres) {
        Gds g;
        g.int16(0x00, {600});
        g.int16(0x01, {2026, 1, 2, 3, 4, 5, 2026, 1, 2, 3, 4, 5});
        g.text(0x02, "LIB");
        g.real(0x03, {metres / 1e-6, metres});
        return g;
    }
    Gds& begin(const std::string& name) {
        int16(0x05, {2026, 1, 2, 3, 4, 5, 2026, 1, 2, 3, 4, 5});
        return text(0x06, name);
    }
    Gds& end() { return none(0x07); }
    Gds& end_library() { return none(0x04); }
    Gds& rect(int layer, int data_type, std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1) {
        return boundary(layer, data_type, {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}, {x0, y0}});
    }
    Gds& boundary(int layer, int data_type, const std::vector<XY>& points) {
        none(0x08).int16(0x0D, {layer}).int16(0x0E, {data_type}).xy(points);
        return none(0x11);
    }
    Gds& path(int layer, int type, std::int64_t width, const std::vector<XY>& points, std::int64_t begin_ext = 0,
              std::int64_t end_ext = 0) {
        none(0x09).int16(0x0D, {layer}).int16(0x0E, {0}).int16(0x21, {type}).int32(0x0F, {width});
        if (type == 4) int32(0x30, {begin_ext}).int32(0x31, {end_ext});
        return xy(points).none(0x11);
    }
    // STRANS bits: 0x8000 reflection, 0x0004 absolute magnification,
    // 0x0002 absolute angle.
    Gds& sref(const std::string& name, XY at, int strans = 0, double mag = 1, double angle = 0) {
        none(0x0A).text(0x12, name);
        transform(strans, mag, angle);
        return xy({at}).none(0x11);
    }
    Gds& aref(const std::string& name, int columns, int rows, XY origin, XY column_end, XY row_end, int strans = 0,
              double mag = 1, double angle = 0) {
        none(0x0B).text(0x12, name);
        transform(strans, mag, angle);
        int16(0x13, {columns, rows});
        return xy({origin, column_end, row_end}).none(0x11);
    }
    Gds& transform(int strans, double mag, double angle) {
        if (strans != 0 || mag != 1 || angle != 0) {
            int16(0x1A, {strans});
            if (mag != 1) real(0x1B, {mag});
            if (angle != 0) real(0x1C, {angle});
        }
        return *this;
    }
};

}  // namespace gdstest
