#include "cif/scan_cif.h"

#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "cif/cif_reader.h"
#include "driver/run_settings.h"
#include "layers/created_files.h"

CifScanState cif_state;

namespace {

bool is_letter(int c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool is_digit(int c) { return c >= '0' && c <= '9'; }

// The look-ahead of a layer command visits a chain of ';' positions: the one
// that ends the name, then the one that ends each box statement of the run
// after it. The count from the i-th of them is the chain's count minus i, so a
// layer command whose ';' lies on the chain of the previous look-ahead (layer
// commands written inside a run of boxes) needs no second pass over the same
// bytes. Without this a file of "L a;B L a;B ..." would be read over and over
// from each of its layer commands to its end.
struct LookaheadChain {
    std::FILE* stream = nullptr;
    std::vector<long> semicolons;  // ascending file positions
    int count = 0;
};
LookaheadChain lookahead_chain;
long lookahead_bytes = 0;  // bytes read by look-aheads since the scan began

// Single precision as the token reader stores it; out-of-range values become
// infinities rather than an undefined conversion.
float to_float(double d) {
    if (std::isnan(d)) return NAN;
    if (d > FLT_MAX) return INFINITY;
    if (d < -FLT_MAX) return -INFINITY;
    return static_cast<float>(d);
}

// Bytes taken by a polygon or wire command, so that the last token it read can
// be handed back to the character scan with one step back.
struct TokenTrack {
    long consumed = 0;
    long last_token_start = -1;
};

int tracked_token(std::FILE* in, TokenTrack& track, float& value) {
    long consumed = 0;
    long offset = -1;
    int got = read_token(in, TOKEN_LENGTH, cif_state.token_buffer, value, &consumed, &offset);
    if (offset >= 0) track.last_token_start = track.consumed + offset;
    track.consumed += consumed;
    return got;
}

// Steps back to the first byte of the last token read, covering the token and
// the byte that ended it. A command that read no token stays where it stopped.
void hand_back_last_token(std::FILE* in, const TokenTrack& track) {
    if (track.last_token_start < 0) return;
    long back = track.consumed - track.last_token_start;
    if (back > 0) std::fseek(in, -back, SEEK_CUR);
}

// Pairs of a polygon or wire list, into the point table. The list ends at the
// first x token that is no number, at a y read that finds no token, or at the
// 501st pair.
void read_point_pairs(std::FILE* in, TokenTrack& track) {
    int count = 0;
    for (;;) {
        float x = 0;
        float y = 0;
        if (tracked_token(in, track, x) == 0 || is_number_start(cif_state.token_buffer[0]) == 0) break;
        if (tracked_token(in, track, y) == 0) break;  // y is not tested: a word counts as 0
        if (count >= MAX_POINTS) {
            std::printf("Too many points in line.\r\n");
            break;
        }
        cif_state.point_table[count] = {x, y};
        ++count;
    }
    cif_state.point_count = count;
    hand_back_last_token(in, track);
}

// Counts the statements directly after the ';' at `semicolon` (already read)
// that begin with 'B', then steps back to just after that ';'.
int count_following_boxes(std::FILE* in, long semicolon) {
    LookaheadChain& chain = lookahead_chain;
    if (semicolon >= 0 && chain.stream == in) {
        auto hit = std::lower_bound(chain.semicolons.begin(), chain.semicolons.end(), semicolon);
        if (hit != chain.semicolons.end() && *hit == semicolon)
            return chain.count - static_cast<int>(hit - chain.semicolons.begin());
    }

    chain.stream = in;
    chain.semicolons.assign(1, semicolon);
    int count = 0;
    long read = 0;
    int c = 0;
    for (;;) {
        // From a ';' to the next letter; digits, blanks, line ends and
        // punctuation are passed over.
        do {
            c = std::getc(in);
            if (c == EOF) goto done;
            ++read;
        } while (!is_letter(c));
        if (c != 'B') break;
        ++count;
        // What follows the 'B' is not examined: on to the next ';'.
        do {
            c = std::getc(in);
            if (c == EOF) goto done;
            ++read;
        } while (c != ';');
        chain.semicolons.push_back(semicolon + read);
    }
done:
    lookahead_bytes += read;
    chain.count = count;
    if (semicolon < 0) chain.stream = nullptr;  // positions unknown: keep no chain
    if (read > 0) std::fseek(in, -read, SEEK_CUR);
    return count;
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

int next_token_char(std::FILE* stream) {
    int c = std::getc(stream);
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

std::string read_line_piece(std::FILE* stream) {
    std::string piece;
    while (static_cast<int>(piece.size()) < LINE_PIECE) {
        int c = std::getc(stream);
        if (c == EOF) break;
        piece.push_back(static_cast<char>(c));
        if (c == '\n') break;
    }
    return piece;
}

bool layer_name_is_safe(const std::string& name) {
    if (name.empty()) return false;
    for (char ch : name) {
        unsigned char u = static_cast<unsigned char>(ch);
        if (u == '/' || u < 0x20 || u == 0x7f) return false;
    }
    return true;
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

void close_layer_stream() {
    if (cif_state.layer_stream != nullptr) {
        close_written_or_exit(cif_state.layer_stream, cif_state.layer_file);
        cif_state.layer_stream = nullptr;
    }
}

void read_box() {
    std::FILE* in = run_settings.cif_stream;
    if (std::getc(in) != ' ') return;  // that byte is consumed, nothing else happens

    // Length, width, centre x, centre y: each a run of digits and '-' ended by
    // exactly one byte, which is consumed with it. Reading the run into a
    // string leaves the stream where a count, a step back over the run and a
    // re-read of it would.
    int numbers[4] = {0, 0, 0, 0};
    bool usable = true;
    for (int& number : numbers) {
        std::string run;
        int c = 0;
        while ((c = std::getc(in)) != EOF && (is_digit(c) || c == '-')) run.push_back(static_cast<char>(c));
        if (c == EOF) return;  // the box is cut short by the end of the file: dropped
        // An empty run, a run that is no number and one that does not fit an
        // int leave that number unset: the box is dropped, the reading goes on.
        if (!convert_box_number(run, number)) usable = false;
    }
    if (!usable || cif_state.layer_stream == nullptr) return;

    const double length = numbers[0];
    const double width = numbers[1];
    const double x = numbers[2];
    const double y = numbers[3];
    // Exact halves, not integer divisions; the length lies along x.
    const float xmin = static_cast<float>((x - length / 2) / 100);
    const float xmax = static_cast<float>((x + length / 2) / 100);
    const float ymin = static_cast<float>((y - width / 2) / 100);
    const float ymax = static_cast<float>((y + width / 2) / 100);

    std::FILE* out = cif_state.layer_stream;
    std::fprintf(out, "%d\n", 4);
    std::fprintf(out, "%.1f %.1f\n", xmin, ymin);
    std::fprintf(out, "%.1f %.1f\n", xmax, ymin);
    std::fprintf(out, "%.1f %.1f\n", xmax, ymax);
    std::fprintf(out, "%.1f %.1f\n", xmin, ymax);
}

void read_layer() {
    std::FILE* in = run_settings.cif_stream;
    if (std::getc(in) != ' ') return;

    // The name is every byte between the blank and the ';', blanks and case
    // included. Without a ';' before the end of the file no file is made and
    // the scan ends there.
    std::string name;
    int c = 0;
    while ((c = std::getc(in)) != EOF && c != ';') name.push_back(static_cast<char>(c));
    if (c == EOF) return;

    // The scan resumes just after the ';' (it would do nothing with the ';').
    // A name that would leave the current directory or holds bytes that are
    // no part of a file name makes no file: it acts as a layer command that
    // counted no boxes, so the boxes after it are dropped.
    int count = 0;
    if (layer_name_is_safe(name)) {
        long here = std::ftell(in);
        count = count_following_boxes(in, here >= 0 ? here - 1 : -1);
    }

    close_layer_stream();
    if (count == 0) return;
    cif_state.layer_file = name + ".gpc";
    cif_state.layer_stream = open_created_file(cif_state.layer_file, "w");
    std::fprintf(cif_state.layer_stream, "%d\n", count);
}

void read_polygon_points() {
    TokenTrack track;
    read_point_pairs(run_settings.cif_stream, track);
}

void read_wire_points(float& width) {
    std::FILE* in = run_settings.cif_stream;
    TokenTrack track;
    float w = 0;
    // No width: the command ends at once, and a token that was read stays consumed.
    if (tracked_token(in, track, w) == 0 || is_number_start(cif_state.token_buffer[0]) == 0) return;
    width = w;
    // The point table holds MAX_POINTS pairs: longer lists stop as polygons do.
    read_point_pairs(in, track);
}

void reset_cif_scanner() {
    close_layer_stream();
    cif_state.point_count = 0;
    cif_state.token_buffer.clear();
    lookahead_chain = LookaheadChain{};
    lookahead_bytes = 0;
}

long lookahead_bytes_read() { return lookahead_bytes; }

void scan_cif() {
    std::FILE* in = run_settings.cif_stream;
    reset_cif_scanner();
    for (;;) {
        int c = std::getc(in);
        // Byte 255 reads as the end of the file and ends the scan too.
        if (c == EOF || c == 255) break;
        switch (c) {
            case '(':
            case '9':
                // Only the rest of this line goes, and at most LINE_PIECE bytes
                // of it: the rest of a long line and the further lines of a
                // comment are scanned for commands.
                read_line_piece(in);
                break;
            case 'B':
                read_box();
                break;
            case 'E': {
                // The rest of the end line goes to the output as text: up to a
                // NUL byte, if it holds one. The scan goes on after it.
                std::string rest = read_line_piece(in);
                std::fputs(rest.c_str(), output_destination());
                close_layer_stream();
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
    close_layer_stream();
}
