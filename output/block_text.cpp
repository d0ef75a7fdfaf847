#include "output/block_text.h"

#include <charconv>

namespace output {

namespace {

// The digits of a 64-bit integer, and room for the longest number below: a
// sign, those digits and ".00".
constexpr std::size_t DIGITS = 20;
constexpr std::size_t NUMBER_ROOM = 1 + DIGITS + 3;

char* put_int(char* at, std::int64_t v) { return std::to_chars(at, at + 1 + DIGITS, v).ptr; }

// twice / 2 with `places` (1 or 2) decimals. A negative half (-0.5) keeps its
// sign, as printf gives it.
char* put_half(char* at, std::int64_t twice, int places) {
    std::uint64_t magnitude = static_cast<std::uint64_t>(twice);
    if (twice < 0) {
        *at++ = '-';
        magnitude = 0 - magnitude;
    }
    at = std::to_chars(at, at + DIGITS, magnitude / 2).ptr;
    *at++ = '.';
    *at++ = (magnitude % 2 != 0) ? '5' : '0';
    if (places == 2) *at++ = '0';
    return at;
}

void append_marker(std::string& text, std::string_view before, std::int32_t index, std::string_view after) {
    char number[NUMBER_ROOM];
    text += before;
    text.append(number, put_int(number, index));
    text += after;
}

}  // namespace

void append_int(std::string& text, std::int64_t v) {
    char number[NUMBER_ROOM];
    text.append(number, put_int(number, v));
}

void append_half_1(std::string& text, std::int64_t twice) {
    char number[NUMBER_ROOM];
    text.append(number, put_half(number, twice, 1));
}

void append_half_2(std::string& text, std::int64_t twice) {
    char number[NUMBER_ROOM];
    text.append(number, put_half(number, twice, 2));
}

void append_box_line(std::string& text, const common::Box& b) {
    // Sums and differences in 64 bits, so that extreme coordinates cannot overflow.
    const std::int64_t twice[6] = {
        2 * (std::int64_t{b.xmax} - b.xmin), 2 * (std::int64_t{b.ymax} - b.ymin), 2 * (std::int64_t{b.zmax} - b.zmin),
        std::int64_t{b.xmin} + b.xmax,       std::int64_t{b.ymin} + b.ymax,       std::int64_t{b.zmin} + b.zmax};
    char line[2 + 6 * (1 + NUMBER_ROOM) + 1];
    char* at = line;
    *at++ = ' ';
    for (const std::int64_t t : twice) {
        *at++ = ' ';
        at = put_half(at, t, 1);
    }
    *at++ = '\n';
    text.append(line, at);
}

void append_block_start(std::string& text, std::int32_t index) {
    append_marker(text, "# structure ", index, " start --------------------\n{\n");
}

void append_block_end(std::string& text, std::int32_t index) {
    append_marker(text, "}\n# structure ", index, " end --------------------\n\n");
}

TextSink::TextSink(const common::Output& out, std::size_t flush_at) : out_(out), flush_at_(flush_at) {
    text_.reserve(flush_at_ + 4096);
}

void TextSink::flush() {
    if (text_.empty()) return;
    out_.write(text_);
    text_.clear();
}

}  // namespace output
