// The nearest simple ratio of a unit or a magnification, so that decimal
// values stored as binary 8-byte reals come out exact (read_gds.h).
#include <cmath>
#include <cstdint>

#include "gdsread/read_gds.h"

namespace gdsread {

namespace {
using i128 = __int128;
}  // namespace

bool exact_ratio(double value, std::int64_t& p, std::int64_t& q) {
    if (!(value > 0) || !std::isfinite(value) || value > 1e12 || value < 1e-12) return false;
    // Continued fraction convergents h / k of value.
    double x = value;
    std::int64_t h0 = 0, h1 = 1, k0 = 1, k1 = 0;
    for (int i = 0; i < 64; ++i) {
        const double a = std::floor(x);
        if (a > 1e12) return false;
        const auto ai = static_cast<std::int64_t>(a);
        const i128 h = i128{ai} * h1 + h0;
        const i128 k = i128{ai} * k1 + k0;
        if (h > 1'000'000'000'000 || k > 1'000'000'000) return false;
        h0 = h1;
        h1 = static_cast<std::int64_t>(h);
        k0 = k1;
        k1 = static_cast<std::int64_t>(k);
        if (h1 > 0 && std::fabs(static_cast<double>(h1) / static_cast<double>(k1) - value) <= 1e-9 * value) {
            p = h1;
            q = k1;
            return true;
        }
        const double frac = x - a;
        if (frac <= 0) return false;
        x = 1 / frac;
    }
    return false;
}

}  // namespace gdsread
