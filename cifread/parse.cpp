// The CIF grammar, command by command. Every command ends at ';'. Blanks are
// every character but digits, upper-case letters, '-', '(', ')' and ';' (so
// commas and lower-case letters are blanks too); comments in parentheses nest
// and may stand wherever a blank may. Between the numbers of the geometry
// commands upper-case letters separate as blanks do.
#include <algorithm>
#include <map>
#include <numeric>

#include "cifread/model.h"

namespace cifread {

namespace {

// Numbers beyond 32 bits are refused: at most 2147483647, at least -2147483648.
constexpr std::int64_t MAX_NUMBER = 2147483647;
constexpr std::int64_t MAX_TRANSLATION = std::int64_t{1} << 40;
constexpr int NO_LAYER = -1;
constexpr int NO_LAYER_WARNINGS = 10;  // lines named one by one; the rest counted

bool is_digit(int c) { return c >= '0' && c <= '9'; }
bool is_upper(int c) { return c >= 'A' && c <= 'Z'; }
bool is_blank(int c) {
    return c >= 0 && !is_digit(c) && !is_upper(c) && c != '-' && c != '(' && c != ')' && c != ';';
}
// Characters of a layer name. The grammar allows digits and upper-case
// letters; layout tools also write lower case and punctuation.
bool is_name_char(int c) { return c > ' ' && c < 0x7f && c != ';' && c != '(' && c != ')' && c != ','; }

class Parser {
public:
    Parser(std::string_view text, SweepBudget& budget) : s_(text), budget_(budget) {
        out_.definitions.emplace_back();  // the top level
        out_.definitions[0].defined = true;
    }

    ParsedLayout run() {
        for (;;) {
            skip_blanks(false);
            command_line_ = line_;
            const int c = peek();
            if (c < 0) {
                if (current_ != 0)
                    throw ReadError{def().line, "the file ends inside the definition of symbol " + number_text(def())};
                out_.warnings.push_back({0, "the file has no end command; read to its end"});
                break;
            }
            if (c == 'E') {
                advance();
                if (current_ != 0) fail("end command inside the definition of symbol " + number_text(def()));
                read_end_rest();
                break;
            }
            command(c);
        }
        if (no_layer_shapes_ > NO_LAYER_WARNINGS)
            out_.warnings.push_back({0, counted(static_cast<std::uint64_t>(no_layer_shapes_ - NO_LAYER_WARNINGS),
                                                "more shape", "more shapes") +
                                            " with no layer left out"});
        return std::move(out_);
    }

private:
    // ------------------------------------------------------------ bytes ----
    int peek() const { return pos_ < s_.size() ? static_cast<unsigned char>(s_[pos_]) : -1; }
    void advance() {
        if (s_[pos_] == '\n') ++line_;
        ++pos_;
    }
    [[noreturn]] void fail(const std::string& text) const { throw ReadError{command_line_, text}; }

    void skip_comment() {
        const long start = line_;
        long depth = 0;
        do {
            const int c = peek();
            if (c < 0) throw ReadError{start, "comment not closed"};
            if (c == '(') ++depth;
            if (c == ')') --depth;
            advance();
        } while (depth > 0);
    }

    void skip_blanks(bool upper_too) {
        for (;;) {
            const int c = peek();
            if (c == '(')
                skip_comment();
            else if (is_blank(c) || (upper_too && is_upper(c)))
                advance();
            else
                return;
        }
    }

    std::int64_t number(bool sign, bool upper_separates, const char* what) {
        skip_blanks(upper_separates);
        bool negative = false;
        if (sign && peek() == '-') {
            negative = true;
            advance();
        }
        if (!is_digit(peek())) fail(std::string("cannot read the ") + what);
        const std::int64_t limit = negative ? MAX_NUMBER + 1 : MAX_NUMBER;
        std::int64_t v = 0;
        while (is_digit(peek())) {
            v = v * 10 + (peek() - '0');
            if (v > limit) fail(std::string("number out of range in the ") + what);
            advance();
        }
        return negative ? -v : v;
    }

    void end_of_command(const char* what) {
        skip_blanks(false);
        if (peek() != ';') fail(std::string("cannot read the ") + what);
        advance();
    }

    std::vector<Point> path(const char* what) {
        std::vector<Point> points;
        for (;;) {
            skip_blanks(true);
            const int c = peek();
            if (c == ';' || c < 0) break;
            if (!is_digit(c) && c != '-') fail(std::string("cannot read the ") + what);
            const std::int64_t x = number(true, true, what);
            const std::int64_t y = number(true, true, what);
            points.push_back({x, y});
        }
        end_of_command(what);
        if (points.empty()) fail(std::string("no points in the ") + what);
        return points;
    }

    // ------------------------------------------------------- definitions ----
    Definition& def() { return out_.definitions[static_cast<std::size_t>(current_)]; }
    static std::string number_text(const Definition& d) { return std::to_string(d.number); }

    // The definition that symbol number n names now: the one made since the
    // last DD that deleted n, defined already or still to come.
    int binding(std::int64_t n) {
        auto it = bindings_.find(n);
        if (it != bindings_.end()) return it->second;
        const int index = static_cast<int>(out_.definitions.size());
        out_.definitions.emplace_back();
        out_.definitions.back().number = n;
        bindings_.emplace(n, index);
        return index;
    }

    void definition_start() {
        const std::int64_t n = number(false, false, "definition command");
        std::int64_t a = 1;
        std::int64_t b = 1;
        skip_blanks(false);
        if (is_digit(peek())) {
            a = number(false, false, "definition command");
            b = number(false, false, "definition command");
            if (a == 0 || b == 0) fail("scale factor " + std::to_string(a) + " " + std::to_string(b) + " of symbol " +
                                       std::to_string(n) + " is zero");
        }
        end_of_command("definition command");
        if (current_ != 0)
            fail("definition of symbol " + std::to_string(n) + " inside the definition of symbol " + number_text(def()));
        const int index = binding(n);
        Definition& d = out_.definitions[static_cast<std::size_t>(index)];
        if (d.defined)
            fail("symbol " + std::to_string(n) + " defined twice (first on line " + std::to_string(d.line) + ")");
        const std::int64_t g = std::gcd(a, b);
        d.defined = true;
        d.line = command_line_;
        d.scale_a = a / g;
        d.scale_b = b / g;
        current_ = index;
        top_layer_ = layer_;
        layer_ = NO_LAYER;  // a definition selects its own layers
    }

    void definition_finish() {
        end_of_command("definition finish command");
        if (current_ == 0) fail("definition finish with no definition started");
        current_ = 0;
        layer_ = top_layer_;
    }

    void definition_delete() {
        const std::int64_t n = number(false, false, "definition delete command");
        end_of_command("definition delete command");
        if (current_ != 0) fail("definition delete inside the definition of symbol " + number_text(def()));
        bindings_.erase(bindings_.lower_bound(n), bindings_.end());
    }

    void call() {
        const std::int64_t n = number(false, false, "call command");
        Call c;
        c.line = command_line_;
        RightAngleMap& m = c.map;
        for (;;) {
            skip_blanks(false);
            const int k = peek();
            if (k == ';') {
                advance();
                break;
            }
            if (k == 'T') {
                advance();
                c.tx += number(true, false, "call command");
                c.ty += number(true, false, "call command");
                if (c.tx > MAX_TRANSLATION || c.tx < -MAX_TRANSLATION || c.ty > MAX_TRANSLATION ||
                    c.ty < -MAX_TRANSLATION)
                    fail("translation out of range in the call command");
            } else if (k == 'M') {
                advance();
                skip_blanks(false);
                if (peek() == 'X') {  // x becomes -x
                    m.xx = -m.xx;
                    m.xy = -m.xy;
                    c.tx = -c.tx;
                } else if (peek() == 'Y') {  // y becomes -y
                    m.yx = -m.yx;
                    m.yy = -m.yy;
                    c.ty = -c.ty;
                } else {
                    fail("cannot read the call command");
                }
                advance();
            } else if (k == 'R') {
                advance();
                const std::int64_t a = number(true, false, "call command");
                const std::int64_t b = number(true, false, "call command");
                if (a == 0 && b == 0) fail("rotation 0 0 in the call command");
                if (a != 0 && b != 0) {
                    c.oblique = true;
                } else if (b == 0 && a < 0) {  // half a turn
                    m = {-m.xx, -m.xy, -m.yx, -m.yy};
                    c.tx = -c.tx;
                    c.ty = -c.ty;
                } else if (a == 0) {
                    // A quarter turn: (x, y) becomes (-y, x) for b > 0, (y, -x) for b < 0.
                    const int s = b > 0 ? 1 : -1;
                    m = {-s * m.yx, -s * m.yy, s * m.xx, s * m.xy};
                    const std::int64_t tx = c.tx;
                    c.tx = -s * c.ty;
                    c.ty = s * tx;
                }
            } else {
                fail("cannot read the call command");
            }
        }
        c.target = binding(n);
        Definition& target = out_.definitions[static_cast<std::size_t>(c.target)];
        if (target.first_call_line == 0) target.first_call_line = command_line_;
        if (current_ != 0) target.called_by_symbol = true;
        def().calls.push_back(c);
    }

    // --------------------------------------------------------- geometry ----
    // Whether the shape has a layer to go to; warns when it has not.
    bool shape_has_layer(const char* what) {
        if (layer_ != NO_LAYER) return true;
        ++no_layer_shapes_;
        if (no_layer_shapes_ <= NO_LAYER_WARNINGS)
            out_.warnings.push_back({command_line_, std::string(what) + " with no layer left out"});
        return false;
    }

    void count_not_rectilinear() {
        for (ShapeCount& s : def().not_rectilinear)
            if (s.layer == layer_) {
                ++s.count;
                return;
            }
        def().not_rectilinear.push_back({layer_, 1});
    }

    void add_rect(const HalfBox& r, bool first) {
        if (r.xmin < r.xmax && r.ymin < r.ymax) def().rects.push_back({r, layer_, command_line_, first});
    }

    void box() {
        const char* what = "box command";
        const std::int64_t length = number(false, true, what);
        const std::int64_t width = number(false, true, what);
        const std::int64_t x = number(true, true, what);
        const std::int64_t y = number(true, true, what);
        std::int64_t dx = 1;
        std::int64_t dy = 0;
        skip_blanks(true);
        if (is_digit(peek()) || peek() == '-') {
            dx = number(true, true, what);
            dy = number(true, true, what);
            if (dx == 0 && dy == 0) fail("box direction 0 0");
        }
        end_of_command(what);
        if (!shape_has_layer("box")) return;
        if (dx != 0 && dy != 0) {
            count_not_rectilinear();
            return;
        }
        // The length lies along the direction; halves of a unit are kept exact.
        const std::int64_t along_x = dy == 0 ? length : width;
        const std::int64_t along_y = dy == 0 ? width : length;
        add_rect({2 * x - along_x, 2 * y - along_y, 2 * x + along_x, 2 * y + along_y}, true);
    }

    void polygon() {
        std::vector<Point> points = path("polygon command");
        if (!shape_has_layer("polygon")) return;
        if (!is_rectilinear(points)) {
            count_not_rectilinear();
            return;
        }
        for (Point& p : points) p = {2 * p.x, 2 * p.y};
        std::vector<HalfBox> rects;
        if (!outline_rects(points, rects, budget_)) fail("polygon too complex to cut into boxes");
        bool first = true;
        for (const HalfBox& r : rects) {
            add_rect(r, first);
            first = false;
        }
    }

    void wire() {
        const std::int64_t width = number(false, true, "wire command");
        const std::vector<Point> points = path("wire command");
        if (!shape_has_layer("wire")) return;
        for (std::size_t i = 0; i + 1 < points.size(); ++i)
            if (points[i].x != points[i + 1].x && points[i].y != points[i + 1].y) {
                count_not_rectilinear();
                return;
            }
        // Each segment a box, its square ends reaching half the width beyond
        // its end points; a single point makes a square.
        bool first = true;
        for (std::size_t i = 0; i < points.size(); ++i) {
            if (i + 1 == points.size() && i != 0) break;
            const Point& a = points[i];
            const Point& b = i + 1 < points.size() ? points[i + 1] : points[i];
            add_rect({2 * std::min(a.x, b.x) - width, 2 * std::min(a.y, b.y) - width,
                      2 * std::max(a.x, b.x) + width, 2 * std::max(a.y, b.y) + width},
                     first);
            first = false;
        }
    }

    void round_flash() {
        number(false, true, "round flash command");
        number(true, true, "round flash command");
        number(true, true, "round flash command");
        end_of_command("round flash command");
        if (shape_has_layer("round flash")) count_not_rectilinear();
    }

    void layer() {
        // Blanks before the name, but not the letters that lower-case names use.
        for (;;) {
            const int c = peek();
            if (c == '(')
                skip_comment();
            else if (c >= 0 && !is_name_char(c) && c != ';')
                advance();
            else
                break;
        }
        std::string name;
        while (is_name_char(peek())) {
            name.push_back(static_cast<char>(peek()));
            advance();
        }
        // An empty name (`L;`) is a layer like any other here; it cannot name
        // a file, so its boxes are left out with a warning when the layer
        // files are written.
        end_of_command("layer command");
        auto it = layer_index_.find(name);
        if (it == layer_index_.end()) {
            it = layer_index_.emplace(name, static_cast<int>(out_.layer_names.size())).first;
            out_.layer_names.push_back(name);
        }
        layer_ = it->second;
    }

    void user_extension() {
        while (peek() >= 0 && peek() != ';') advance();
        if (peek() < 0) fail("the file ends inside a user extension command");
        advance();
    }

    void command(int c) {
        switch (c) {
            case ';':
                advance();  // an empty command
                return;
            case 'P':
                advance();
                polygon();
                return;
            case 'B':
                advance();
                box();
                return;
            case 'R':
                advance();
                round_flash();
                return;
            case 'W':
                advance();
                wire();
                return;
            case 'L':
                advance();
                layer();
                return;
            case 'C':
                advance();
                call();
                return;
            case 'D': {
                advance();
                skip_blanks(false);
                const int k = peek();
                if (k == 'S' || k == 'F' || k == 'D') advance();
                if (k == 'S')
                    definition_start();
                else if (k == 'F')
                    definition_finish();
                else if (k == 'D')
                    definition_delete();
                else
                    fail("cannot read the definition command");
                return;
            }
            default:
                if (is_digit(c)) {
                    user_extension();
                    return;
                }
                if (c > ' ' && c < 0x7f)
                    fail(std::string("cannot read a command beginning with '") + static_cast<char>(c) + "'");
                fail("cannot read a command beginning with byte " + std::to_string(c));
        }
    }

    // What follows the 'E' on its line goes to the output as the byte
    // scanner copies it: up to 99 bytes, stopping after a line feed.
    void read_end_rest() {
        out_.has_end = true;
        std::size_t end = pos_;
        while (end < s_.size() && end - pos_ < 99) {
            if (s_[end++] == '\n') break;
        }
        out_.end_rest.assign(s_.substr(pos_, end - pos_));
    }

    std::string_view s_;
    std::size_t pos_ = 0;
    long line_ = 1;
    long command_line_ = 1;
    SweepBudget& budget_;
    ParsedLayout out_;
    int current_ = 0;  // the definition being read; 0 at the top level
    int layer_ = NO_LAYER;
    int top_layer_ = NO_LAYER;  // the top level's layer while a definition is read
    std::map<std::int64_t, int> bindings_;
    std::map<std::string, int> layer_index_;
    long no_layer_shapes_ = 0;
};

}  // namespace

ParsedLayout parse_cif(std::string_view text, SweepBudget& budget) { return Parser(text, budget).run(); }

}  // namespace cifread
