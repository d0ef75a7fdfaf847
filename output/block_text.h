// The text of the structure output, built with std::to_chars into large
// buffers instead of one formatted print per number.
//
// Every number the output prints is an integer or half an integer: sizes are
// differences of 32-bit coordinates, centres are halves of their sums, and the
// turn point is half of such a sum after rounding to single precision. Printed
// with "%.1f" or "%.2f" such a value is its whole part and ".0"/".5" (".00" /
// ".50") exactly, so the digits come from integer arithmetic. The functions
// take the doubled value, which fits in 64 bits.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "common/box.h"
#include "common/output.h"

namespace output {

// "%d" (or "%lld") of `v`.
void append_int(std::string& text, std::int64_t v);

// What "%.1f" prints for the double twice / 2.
void append_half_1(std::string& text, std::int64_t twice);

// What "%.2f" prints for the double twice / 2.
void append_half_2(std::string& text, std::int64_t twice);

// The size-and-centre line of a drawn box,
// "  %.1f %.1f %.1f %.1f %.1f %.1f\n" with xmax - xmin, ymax - ymin,
// zmax - zmin, (xmin + xmax) / 2, (ymin + ymax) / 2, (zmin + zmax) / 2.
void append_box_line(std::string& text, const common::Box& b);

// The first line of structure `index`'s block in tmpdata1.file, with its
// brace line, and the last lines after the closing brace.
void append_block_start(std::string& text, std::int32_t index);
void append_block_end(std::string& text, std::int32_t index);

// Text on its way to an Output, passed on in pieces of about `flush_at`
// bytes: few large writes instead of many small ones. Whatever is left is
// passed on by flush() and by the destructor.
class TextSink {
public:
    explicit TextSink(const common::Output& out, std::size_t flush_at = std::size_t{1} << 20);
    TextSink(const TextSink&) = delete;
    TextSink& operator=(const TextSink&) = delete;
    ~TextSink() { flush(); }

    // The buffer to append to; call done() after each addition.
    std::string& text() { return text_; }
    void done() {
        if (text_.size() >= flush_at_) flush();
    }
    void add(std::string_view s) {
        text_ += s;
        done();
    }
    void flush();

private:
    const common::Output& out_;
    std::size_t flush_at_;
    std::string text_;
};

}  // namespace output
