#include "grouping/text_lines.h"

bool read_line_piece(std::FILE* file, std::size_t max_chars, std::string& piece) {
    piece.clear();
    std::size_t taken = 0;
    bool cut = false;  // a NUL byte was read: the rest of the piece is not seen
    while (taken < max_chars) {
        const int c = std::getc(file);
        if (c == EOF) break;
        ++taken;
        if (c == '\0') cut = true;
        if (!cut) piece.push_back(static_cast<char>(c));
        if (c == '\n') break;
    }
    return taken > 0;
}
