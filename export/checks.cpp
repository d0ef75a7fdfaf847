#include "export/checks.h"

#include <cmath>
#include <cstdio>
#include <limits>

namespace kavrit {

std::string valid_utf8(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n;) {
        const unsigned char c = p[i];
        if (c < 0x80) {
            out += static_cast<char>(c);
            ++i;
            continue;
        }
        // Lead bytes 0xc2 to 0xf4 start sequences of two to four bytes;
        // 0x80 to 0xc1 and 0xf5 to 0xff start none.
        std::size_t len = c >= 0xf0 && c <= 0xf4 ? 4 : c >= 0xe0 && c <= 0xef ? 3 : c >= 0xc2 && c <= 0xdf ? 2 : 0;
        bool ok = len > 0 && i + len <= n;
        for (std::size_t k = 1; ok && k < len; ++k) ok = (p[i + k] & 0xc0) == 0x80;
        if (ok && len == 3) {
            const unsigned cp = ((c & 0x0fu) << 12) | ((p[i + 1] & 0x3fu) << 6);
            ok = cp >= 0x800 && !(cp >= 0xd800 && cp <= 0xdfff);
        }
        if (ok && len == 4) {
            const unsigned cp = ((c & 0x07u) << 18) | ((p[i + 1] & 0x3fu) << 12);
            ok = cp >= 0x10000 && cp <= 0x10ffff;
        }
        if (ok) {
            out.append(text, i, len);
            i += len;
        } else {
            out += '?';
            ++i;
        }
    }
    return out;
}

namespace {

std::string shown(double value) {
    if (std::isnan(value)) return "not a number";
    if (std::isinf(value)) return value > 0 ? "infinite" : "minus infinite";
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.3g", value);
    return buf;
}

}  // namespace

float checked_float(double value, const char* format) {
    if (!std::isfinite(value) || std::fabs(value) > static_cast<double>(std::numeric_limits<float>::max()))
        throw RangeError(std::string("a coordinate of the ") + format + " output would be " + shown(value) +
                         ", beyond the single-precision numbers it holds");
    return static_cast<float>(value);
}

double checked_double(double value, const char* format) {
    if (!std::isfinite(value))
        throw RangeError(std::string("a coordinate of the ") + format + " output would be " + shown(value));
    return value;
}

}  // namespace kavrit
