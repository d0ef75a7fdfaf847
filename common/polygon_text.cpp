#include "common/polygon_text.h"

#include <cctype>
#include <climits>
#include <cstdlib>
#include <string>

namespace common {

namespace {

bool space(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }
bool digit(char c) { return c >= '0' && c <= '9'; }
bool number_char(char c) { return digit(c) || c == '+' || c == '-' || c == '.' || c == 'e' || c == 'E'; }
char lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

void skip_space(std::string_view text, std::size_t& pos) {
    while (pos < text.size() && space(text[pos])) ++pos;
}

// Whether `word` (lower case) follows at `pos` in any case.
bool word_at(std::string_view text, std::size_t pos, std::string_view word) {
    if (text.size() - pos < word.size()) return false;
    for (std::size_t i = 0; i < word.size(); ++i)
        if (lower(text[pos + i]) != word[i]) return false;
    return true;
}

// The length of the infinity or NaN that starts at `pos` ("inf", "infinity",
// "nan", in any case), or 0. An "infinity" that breaks off after "inf" is
// none: the formatted input has taken more than it can give back and fails.
std::size_t special_length(std::string_view text, std::size_t pos) {
    if (word_at(text, pos, "inf")) {
        if (pos + 3 < text.size() && lower(text[pos + 3]) == 'i') return word_at(text, pos, "infinity") ? 8 : 0;
        return 3;
    }
    // A NaN is the three letters alone: the formatted input takes no
    // parenthesised payload after them.
    if (word_at(text, pos, "nan")) return 3;
    return 0;
}

}  // namespace

bool read_text_int(std::string_view text, std::size_t& pos, int& value) {
    skip_space(text, pos);
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    if (pos >= text.size() || !digit(text[pos])) return false;
    long long v = 0;
    bool overflow = false;
    for (; pos < text.size() && digit(text[pos]); ++pos) {
        if (overflow) continue;
        v = v * 10 + (text[pos] - '0');
        overflow = v > static_cast<long long>(INT_MAX) + 1;
    }
    if (negative) v = -v;
    if (overflow || v > INT_MAX || v < INT_MIN) return false;
    value = static_cast<int>(v);
    return true;
}

bool read_text_real(std::string_view text, std::size_t& pos, double& wide, float& narrow) {
    skip_space(text, pos);
    if (pos >= text.size()) return false;
    std::size_t end = pos;
    if (number_char(text[pos])) {
        // A run of number characters is taken whole and converted as far as
        // it is a number, as the plain decimal text of this program's writers is.
        while (end < text.size() && number_char(text[end])) ++end;
    } else {
        end = pos + special_length(text, pos);
        if (end == pos) return false;
    }
    const std::string token(text.substr(pos, end - pos));
    pos = end;
    char* stop = nullptr;
    const double w = std::strtod(token.c_str(), &stop);
    if (stop == token.c_str()) return false;
    wide = w;
    narrow = std::strtof(token.c_str(), nullptr);
    return true;
}

TextContours read_text_contours(std::string_view text) {
    TextContours out;
    std::size_t pos = 0;
    int count = 0;
    if (!read_text_int(text, pos, count)) return out;
    for (int c = 0; c < count; ++c) {
        TextContour contour;
        if (!read_text_int(text, pos, contour.vertex_count)) break;
        contour.first = out.wide.size();
        contour.complete = true;
        for (int v = 0; v < contour.vertex_count; ++v) {
            PointD w{};
            PointF n{};
            if (!read_text_real(text, pos, w.x, n.x) || !read_text_real(text, pos, w.y, n.y)) {
                contour.complete = false;
                break;
            }
            out.wide.push_back(w);
            out.narrow.push_back(n);
        }
        if (!contour.complete) {
            out.wide.resize(contour.first);
            out.narrow.resize(contour.first);
        }
        out.contours.push_back(contour);
        if (!contour.complete) break;
    }
    return out;
}

}  // namespace common
