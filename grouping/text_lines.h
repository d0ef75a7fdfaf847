// Reading a text file in pieces of a fixed length, as a line buffer of fixed
// size reads it: a line longer than the piece length comes in several pieces,
// and each piece is treated as a line of its own.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

// Reads the next piece: characters up to and including the next line feed, but
// at most `max_chars` of them. Returns false at the end of the file when nothing
// was read. Like a C string buffer, the piece ends at the first NUL byte read.
bool read_line_piece(std::FILE* file, std::size_t max_chars, std::string& piece);
