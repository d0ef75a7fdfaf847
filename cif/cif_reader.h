// The pieces of the CIF split: the command readers that the character scan
// calls, the token reader of the polygon and wire commands, and the state
// they share. scan_cif() in scan_cif.h drives them over the CIF file.
//
// The scanner is no CIF parser: it looks at the input one byte at a time, acts
// on a handful of command letters wherever they stand, and every reader hands
// the bytes it did not use back to the character scan.
#pragma once

#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include "common/geometry.h"
#include "common/output.h"
#include "common/polygon_file.h"

namespace cif {

// Size of the point table of the polygon and wire commands.
inline constexpr int MAX_POINTS = 500;
// The token reader keeps at most this many characters of a token.
inline constexpr int TOKEN_LENGTH = 100;
// Comment, '9' and end-command lines are read in pieces of at most this many
// characters (a line buffer of 100 with its terminator).
inline constexpr int LINE_PIECE = 99;

// The layer file being written: the count line of its layer command and the
// corners of its boxes.
struct LayerFile {
    std::string name;  // "<layer>.gpc"
    long long count_line = 0;
    std::vector<common::PointD> corners;
};

// One pass of the character scan over a CIF file.
class Scanner {
public:
    Scanner(std::FILE* cif, const common::Output& out, common::PolygonFiles& files)
        : in_(cif), out_(out), files_(files) {}

    // Reads the CIF file to its end.
    void scan();

    // One command each, called by the scan after the command letter was read.
    void read_box();
    void read_layer();
    void read_polygon_points();
    void read_wire_points(float& width);

    // Hands the layer file, if one is open, to the polygon files.
    void close_layer_file();

    std::array<common::PointF, MAX_POINTS> point_table{};
    int point_count = 0;
    std::string token_buffer;  // the last token read

private:
    struct TokenTrack {
        long consumed = 0;
        long last_token_start = -1;
    };
    int tracked_token(TokenTrack& track, float& value);
    void hand_back_last_token(const TokenTrack& track);
    void read_point_pairs(TokenTrack& track);
    int count_following_boxes(long semicolon);

    std::FILE* in_;
    const common::Output& out_;
    common::PolygonFiles& files_;
    bool layer_open_ = false;
    LayerFile layer_;

    // The look-ahead of a layer command visits a chain of ';' positions: the
    // one that ends the name, then the one that ends each box statement of the
    // run after it. The count from the i-th of them is the chain's count minus
    // i, so a layer command whose ';' lies on the chain of the previous
    // look-ahead (layer commands written inside a run of boxes) needs no second
    // pass over the same bytes. Without this a file of "L a;B L a;B ..." would
    // be read over and over from each of its layer commands to its end.
    bool chain_valid_ = false;
    std::vector<long> chain_semicolons_;  // ascending file positions
    int chain_count_ = 0;
};

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


// Converts a box number run as "%d" does (optional sign, then digits, stopping
// at the first other byte). False when no digit follows the sign or the value
// does not fit an int.
bool convert_box_number(const std::string& run, int& value);

}  // namespace cif
