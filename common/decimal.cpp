#include "common/decimal.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <type_traits>
#include <system_error>

namespace common {

namespace {

// The longest fixed text of a double with the precisions used here (at most
// 15 digits after the point): 309 digits before it, a sign and the point.
constexpr std::size_t FIXED_TEXT = 340;

}  // namespace

void append_fixed(std::string& out, double value, int precision) {
    std::array<char, FIXED_TEXT> text;
    const auto r = std::to_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed, precision);
    if (r.ec == std::errc()) {
        out.append(text.data(), r.ptr);
        return;
    }
    // A precision beyond what the buffer holds: printf into a string of the size it asks for.
    const int n = std::snprintf(nullptr, 0, "%.*f", precision, value);
    if (n <= 0) return;
    std::string s(static_cast<std::size_t>(n) + 1, '\0');
    std::snprintf(s.data(), s.size(), "%.*f", precision, value);
    s.resize(static_cast<std::size_t>(n));
    out += s;
}

namespace {

template <class T>
T parse(const std::string& text) {
    T v{};
    const auto r = std::from_chars(text.data(), text.data() + text.size(), v);
    if (r.ec == std::errc()) return v;
    // Out of the type's range: from_chars leaves the value alone, while the
    // C library gives an infinity or zero.
    if constexpr (std::is_same_v<T, float>)
        return std::strtof(text.c_str(), nullptr);
    else
        return std::strtod(text.c_str(), nullptr);
}

Reread convert(double value, int precision) {
    // A value with at most `precision` binary places has a decimal expansion
    // of at most that many places: the text is exact and reads back as the
    // value itself (rounded once to single precision by "%f").
    const double scaled = std::ldexp(value, precision);
    if (std::isfinite(scaled) && scaled == std::trunc(scaled) && std::fabs(value) < 0x1p52)
        return {value, static_cast<float>(value)};
    thread_local std::string text;
    text.clear();
    append_fixed(text, value, precision);
    return {parse<double>(text), parse<float>(text)};
}

// Layouts repeat their coordinates over and over: a small cache per thread
// keeps the conversions of the values met last.
struct CacheEntry {
    std::uint64_t bits = 0;
    int precision = -1;
    Reread result{};
};
constexpr std::size_t CACHE_SIZE = 4096;

}  // namespace

Reread reread(double value, int precision) {
    thread_local std::array<CacheEntry, CACHE_SIZE> cache;
    std::uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    const std::size_t slot = static_cast<std::size_t>((bits * 0x9E3779B97F4A7C15ULL) >> 52) % CACHE_SIZE;
    CacheEntry& e = cache[slot];
    if (e.bits == bits && e.precision == precision) return e.result;
    e = {bits, precision, convert(value, precision)};
    return e.result;
}

double reread_double(double value, int precision) { return reread(value, precision).as_double; }
float reread_float(double value, int precision) { return reread(value, precision).as_float; }

}  // namespace common
