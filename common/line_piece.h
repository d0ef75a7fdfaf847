// Reading text as a fixed line buffer of the C library reads it: a line
// longer than the buffer comes in pieces, and each piece is handled as a line
// of its own. The CIF scanner reads comment and end-command lines in pieces of
// 99 characters.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

namespace common {

// Bytes up to and including the next line feed, but at most `max_chars` of
// them, from `next_byte()` (an int, EOF at the end). `piece` receives every
// byte read, NUL bytes included; the result is the number of bytes read, 0 only
// at the end of the input.
template <class NextByte>
std::size_t read_line_piece(NextByte&& next_byte, std::size_t max_chars, std::string& piece) {
    piece.clear();
    while (piece.size() < max_chars) {
        const int c = next_byte();
        if (c == EOF) break;
        piece.push_back(static_cast<char>(c));
        if (c == '\n') break;
    }
    return piece.size();
}

// Readers of a stream call this from one thread at a time, so the stream's
// lock is not taken for every byte.
inline std::size_t read_line_piece(std::FILE* file, std::size_t max_chars, std::string& piece) {
    return read_line_piece([file] { return getc_unlocked(file); }, max_chars, piece);
}

// The same over text in memory, from `position`, which moves past the piece.
inline std::size_t read_line_piece(std::string_view text, std::size_t& position, std::size_t max_chars,
                                   std::string& piece) {
    return read_line_piece(
        [&] { return position < text.size() ? static_cast<unsigned char>(text[position++]) : EOF; }, max_chars,
        piece);
}

// What a C string buffer holding the piece shows: the bytes before the first NUL.
inline std::string_view up_to_nul(std::string_view piece) { return piece.substr(0, piece.find('\0')); }

}  // namespace common
