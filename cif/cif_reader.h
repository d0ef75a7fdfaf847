// The pieces of the CIF split: the command readers that the character scan
// calls, the token reader of the polygon and wire commands, and the state
// they share. scan_cif() in scan_cif.h drives them over run_settings.cif_stream.
//
// The scanner is no CIF parser: it looks at the input one byte at a time, acts
// on a handful of command letters wherever they stand, and every reader hands
// the bytes it did not use back to the character scan.
#pragma once

#include <array>
#include <cstdio>
#include <string>

// Size of the point table of the polygon and wire commands.
inline constexpr int MAX_POINTS = 500;
// The token reader keeps at most this many characters of a token.
inline constexpr int TOKEN_LENGTH = 100;
// Comment, '9' and end-command lines are read in pieces of at most this many
// characters (a line buffer of 100 with its terminator).
inline constexpr int LINE_PIECE = 99;

struct PointPair {
    float x;
    float y;
};

struct CifScanState {
    std::FILE* layer_stream = nullptr;  // the open layer polygon file, if any
    std::string layer_file;             // its name
    std::array<PointPair, MAX_POINTS> point_table{};
    int point_count = 0;
    std::string token_buffer;  // the last token read
};

extern CifScanState cif_state;

// Character classes of the token reader; EOF counts as a separator.
int is_separator(int c);
int is_number_start(int c);

// The next byte of the stream, ':' given as '_'.
int next_token_char(std::FILE* stream);

// Reads one token of at most max_length characters into buffer. Returns 1 when
// a token was read, 0 when the end of the file came first (a token that runs
// into the end of the file is lost). *value is the token's leading decimal
// number when it begins with a number character, else 0. When consumed is
// given it receives the number of bytes taken from the stream, and
// token_offset the number of those that came before the token's first byte
// (-1 when no token byte was read).
int read_token(std::FILE* stream, int max_length, std::string& buffer, float& value,
               long* consumed = nullptr, long* token_offset = nullptr);

// One command each, called by the scan after the command letter was read.
void read_box();
void read_layer();
void read_polygon_points();
void read_wire_points(float& width);

// Reads the rest of a line as the scan does after '(', '9' and 'E': at most
// LINE_PIECE bytes, stopping after a line feed. Returns the bytes read.
std::string read_line_piece(std::FILE* stream);

// A layer name that may become a file name in the current directory: not
// empty, no '/', no NUL and no control character.
bool layer_name_is_safe(const std::string& name);

// Converts a box number run as "%d" does (optional sign, then digits, stopping
// at the first other byte). False when no digit follows the sign or the value
// does not fit an int.
bool convert_box_number(const std::string& run, int& value);

// Closes the layer file if one is open.
void close_layer_stream();

// Closes the layer file and forgets everything of an earlier scan.
void reset_cif_scanner();

// Bytes that the layer look-aheads of the current scan have read (a measure
// of the scan's work beyond the single pass).
long lookahead_bytes_read();
