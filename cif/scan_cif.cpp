#include "cif/scan_cif.h"

#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <utility>
#include <vector>

#include "cif/cif_reader.h"
#include "common/file_names.h"
#include "common/line_piece.h"

namespace cif {

namespace {

bool is_letter(int c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool is_digit(int c) { return c >= '0' && c <= '9'; }

// Single precision as the token reader stores it; out-of-range values become
// infinities rather than an undefined conversion.
float to_float(double d) {
    if (std::isnan(d)) return NAN;
    if (d > FLT_MAX) return INFINITY;
    if (d < -FLT_MAX) return -INFINITY;
    return static_cast<float>(d);
}

}  // namespace

int is_separator(int c) {
    if (is_letter(c)) return 0;
    switch (c) {
        case '_': case '(': case ')': case '-': case '+': case '.':
        case '0': case '1': case '2': case '3': case '4':
        case '5': case '6': case '7': case '8': case '9':
            return 0;
        default:
            return 1;  // blanks, line ends, ';', ',', every other byte, EOF
    }
}

int is_number_start(int c) {
    return (is_digit(c) || c == '-' || c == '+' || c == 'E' || c == 'e' || c == '.') ? 1 : 0;
}

// The scan is the only reader of its stream and runs on one thread, so every
// byte is read without taking the stream's lock (getc_unlocked).
int next_token_char(std::FILE* stream) {
    int c = getc_unlocked(stream);
    return c == ':' ? '_' : c;
}

int read_token(std::FILE* stream, int max_length, std::string& buffer, float& value, long* consumed,
               long* token_offset) {
    if (max_length < 1) max_length = 1;
    long n = 0;
    long offset = -1;
    int got = 0;
    buffer.clear();
    value = 0;

    int c = next_token_char(stream);
    while (is_separator(c) != 0) {
        if (c == EOF) goto finish;
        ++n;
        c = next_token_char(stream);
    }
    offset = n;
    buffer.push_back(static_cast<char>(c));
    ++n;
    for (;;) {
        c = next_token_char(stream);
        // A run longer than the token buffer is cut: the byte that did not
        // fit is consumed and lost, and the rest of the run becomes the next
        // token.
        if (static_cast<int>(buffer.size()) >= max_length) {
            if (c != EOF) ++n;
            break;
        }
        if (c == EOF) goto finish;  // a token that runs into the end of the file is lost
        ++n;
        if (is_separator(c) != 0) break;
        buffer.push_back(static_cast<char>(c));
    }
    if (is_number_start(static_cast<unsigned char>(buffer[0])) != 0)
        value = to_float(std::strtod(buffer.c_str(), nullptr));
    got = 1;

finish:
    if (consumed != nullptr) *consumed = n;
    if (token_offset != nullptr) *token_offset = offset;
    return got;
}

bool convert_box_number(const std::string& run, int& value) {
    std::size_t i = 0;
    bool negative = false;
    if (i < run.size() && (run[i] == '-' || run[i] == '+')) {
        negative = run[i] == '-';
        ++i;
    }
    if (i >= run.size() || !is_digit(static_cast<unsigned char>(run[i]))) return false;
    // Accumulate as a negative number so that INT_MIN fits.
    long long acc = 0;
    for (; i < run.size() && is_digit(static_cast<unsigned char>(run[i])); ++i) {
        acc = acc * 10 - (run[i] - '0');
        if (acc < static_cast<long long>(INT_MIN)) return false;
    }
    if (!negative) {
        if (-acc > static_cast<long long>(INT_MAX)) return false;
        acc = -acc;
    }
    value = static_cast<int>(acc);
    return true;
}

void Scanner::close_layer_file() {
    if (!layer_open_) return;
    layer_open_ = false;
    files_.create(layer_.name, common::PolygonFile(common::VertexFormat::OneDecimal, layer_.count_line,
                                                   std::move(layer_.corners)));
    layer_ = LayerFile{};
}

// Bytes taken by a polygon or wire command, so that the last token it read can
// be handed back to the character scan with one step back.
int Scanner::tracked_token(TokenTrack& track, float& value) {
    long consumed = 0;
    long offset = -1;
    int got = read_token(in_, TOKEN_LENGTH, token_buffer, value, &consumed, &offset);
    if (offset >= 0) track.last_token_start = track.consumed + offset;
    track.consumed += consumed;
    return got;
}

// Steps back to the first byte of the last token read, covering the token and
// the byte that ended it. A command that read no token stays where it stopped.
void Scanner::hand_back_last_token(const TokenTrack& track) {
    if (track.last_token_start < 0) return;
    long back = track.consumed - track.last_token_start;
    if (back > 0) std::fseek(in_, -back, SEEK_CUR);
}

// Pairs of a polygon or wire list, into the point table. The list ends at the
// first x token that is no number, at a y read that finds no token, or at the
// 501st pair.
void Scanner::read_point_pairs(TokenTrack& track) {
    int count = 0;
    for (;;) {
        float x = 0;
        float y = 0;
        if (tracked_token(track, x) == 0 || is_number_start(token_buffer[0]) == 0) break;
        if (tracked_token(track, y) == 0) break;  // y is not tested: a word counts as 0
        if (count >= MAX_POINTS) {
            std::printf("Too many points in line.\r\n");
            break;
        }
        point_table[count] = {x, y};
        ++count;
    }
    point_count = count;
    hand_back_last_token(track);
}

// Counts the statements directly after the ';' at `semicolon` (already read)
// that begin with 'B', then steps back to just after that ';'.
int Scanner::count_following_boxes(long semicolon) {
    std::FILE* in = in_;
    if (semicolon >= 0 && chain_valid_) {
        auto hit = std::lower_bound(chain_semicolons_.begin(), chain_semicolons_.end(), semicolon);
        if (hit != chain_semicolons_.end() && *hit == semicolon)
            return chain_count_ - static_cast<int>(hit - chain_semicolons_.begin());
    }

    chain_valid_ = true;
    chain_semicolons_.assign(1, semicolon);
    int count = 0;
    long read = 0;
    int c = 0;
    for (;;) {
        // From a ';' to the next letter; digits, blanks, line ends and
        // punctuation are passed over.
        do {
            c = getc_unlocked(in);
            if (c == EOF) goto done;
            ++read;
        } while (!is_letter(c));
        if (c != 'B') break;
        ++count;
        // What follows the 'B' is not examined: on to the next ';'.
        do {
            c = getc_unlocked(in);
            if (c == EOF) goto done;
            ++read;
        } while (c != ';');
        chain_semicolons_.push_back(semicolon + read);
    }
done:
    chain_count_ = count;
    if (semicolon < 0) chain_valid_ = false;  // positions unknown: keep no chain
    if (read > 0) std::fseek(in, -read, SEEK_CUR);
    return count;
}


void Scanner::read_box() {
    std::FILE* in = in_;
    if (getc_unlocked(in) != ' ') return;  // that byte is consumed, nothing else happens

    // Length, width, centre x, centre y: each a run of digits and '-' ended by
    // exactly one byte, which is consumed with it. Reading the run into a
    // string leaves the stream where a count, a step back over the run and a
    // re-read of it would.
    int numbers[4] = {0, 0, 0, 0};
    bool usable = true;
    for (int& number : numbers) {
        std::string run;
        int c = 0;
        while ((c = getc_unlocked(in)) != EOF && (is_digit(c) || c == '-')) run.push_back(static_cast<char>(c));
        if (c == EOF) return;  // the box is cut short by the end of the file: dropped
        // An empty run, a run that is no number and one that does not fit an
        // int leave that number unset: the box is dropped, the reading goes on.
        if (!convert_box_number(run, number)) usable = false;
    }
    if (!usable || !layer_open_) return;

    const double length = numbers[0];
    const double width = numbers[1];
    const double x = numbers[2];
    const double y = numbers[3];
    // Exact halves, not integer divisions; the length lies along x.
    const float xmin = static_cast<float>((x - length / 2) / 100);
    const float xmax = static_cast<float>((x + length / 2) / 100);
    const float ymin = static_cast<float>((y - width / 2) / 100);
    const float ymax = static_cast<float>((y + width / 2) / 100);

    // A contour "4" and the corners, each printed "%.1f %.1f", lower left first,
    // counter-clockwise.
    for (const auto& [cx, cy] : {std::pair{xmin, ymin}, {xmax, ymin}, {xmax, ymax}, {xmin, ymax}})
        layer_.corners.push_back({static_cast<double>(cx), static_cast<double>(cy)});
}

void Scanner::read_layer() {
    std::FILE* in = in_;
    if (getc_unlocked(in) != ' ') return;

    // The name is every byte between the blank and the ';', blanks and case
    // included. Without a ';' before the end of the file no file is made and
    // the scan ends there.
    std::string name;
    int c = 0;
    while ((c = getc_unlocked(in)) != EOF && c != ';') name.push_back(static_cast<char>(c));
    if (c == EOF) return;

    // The scan resumes just after the ';' (it would do nothing with the ';').
    // A name that would leave the current directory or holds bytes that are
    // no part of a file name makes no file: it acts as a layer command that
    // counted no boxes, so the boxes after it are dropped.
    int count = 0;
    if (common::layer_name_is_safe(name)) {
        long here = std::ftell(in);
        count = count_following_boxes(here >= 0 ? here - 1 : -1);
    }

    close_layer_file();
    if (count == 0) return;
    // A name used before makes its file anew: the earlier boxes are gone.
    layer_open_ = true;
    layer_.name = common::polygon_file_name(name);
    layer_.count_line = count;
}

void Scanner::read_polygon_points() {
    TokenTrack track;
    read_point_pairs(track);
}

void Scanner::read_wire_points(float& width) {
    TokenTrack track;
    float w = 0;
    // No width: the command ends at once, and a token that was read stays consumed.
    if (tracked_token(track, w) == 0 || is_number_start(token_buffer[0]) == 0) return;
    width = w;
    // The point table holds MAX_POINTS pairs: longer lists stop as polygons do.
    read_point_pairs(track);
}

void Scanner::scan() {
    std::FILE* in = in_;
    std::string piece;
    for (;;) {
        int c = getc_unlocked(in);
        // Byte 255 reads as the end of the file and ends the scan too.
        if (c == EOF || c == 255) break;
        switch (c) {
            case '(':
            case '9':
                // Only the rest of this line goes, and at most LINE_PIECE bytes
                // of it: the rest of a long line and the further lines of a
                // comment are scanned for commands.
                common::read_line_piece(in, LINE_PIECE, piece);
                break;
            case 'B':
                read_box();
                break;
            case 'E': {
                // The rest of the end line goes to the output as text: up to a
                // NUL byte, if it holds one. The scan goes on after it.
                common::read_line_piece(in, LINE_PIECE, piece);
                out_.write(common::up_to_nul(piece));
                close_layer_file();
                break;
            }
            case 'L':
                read_layer();
                break;
            case 'P':
                read_polygon_points();
                break;
            case 'W': {
                float width = 0;
                read_wire_points(width);
                break;
            }
            default:
                break;
        }
    }
    // A layer file that no end command closed is closed here, before layer
    // processing reads it.
    close_layer_file();
}

common::PolygonFiles scan_cif(std::FILE* cif, const common::Output& out, common::Trace* trace) {
    common::PolygonFiles files(trace);
    Scanner scanner(cif, out, files);
    scanner.scan();
    return files;
}

}  // namespace cif
