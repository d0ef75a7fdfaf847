#include "grouping/box.h"

#include <cctype>
#include <limits>

namespace {

bool scan_int(std::string_view text, std::size_t& pos, std::int32_t& value) {
    while (pos < text.size() && std::isspace(static_cast<unsigned char>(text[pos]))) ++pos;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    std::int64_t magnitude = 0;
    std::size_t digits = 0;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
        magnitude = magnitude * 10 + (text[pos] - '0');
        if (magnitude > std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1) return false;
        ++pos;
        ++digits;
    }
    if (digits == 0) return false;
    const std::int64_t v = negative ? -magnitude : magnitude;
    if (v > std::numeric_limits<std::int32_t>::max() || v < std::numeric_limits<std::int32_t>::min()) return false;
    value = static_cast<std::int32_t>(v);
    return true;
}

}  // namespace

bool scan_six_ints(std::string_view text, Box& out) {
    std::size_t pos = 0;
    std::int32_t v[6];
    for (auto& x : v) {
        if (!scan_int(text, pos, x)) return false;
    }
    out = Box{v[0], v[1], v[2], v[3], v[4], v[5]};
    return true;
}
