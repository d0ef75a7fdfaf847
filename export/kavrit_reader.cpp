// Reader of kavrit files: a line-by-line walk with one expectation at each
// step, so that every refusal can say which line broke the form and what
// would have been accepted there.
#include "export/kavrit.h"

#include <charconv>
#include <cmath>
#include <set>
#include <sstream>
#include <unordered_map>

namespace kavrit {

const char* kind_name(Kind kind) {
    switch (kind) {
    case Kind::anchored: return "anchored";
    case Kind::hinged: return "hinged";
    case Kind::free: return "free";
    }
    return "free";
}

Kind Structure::kind() const {
    if (anchored) return Kind::anchored;
    if (!chain.empty()) return Kind::hinged;
    return Kind::free;
}

std::optional<int> Structure::listed_parent() const {
    if (chain.size() >= 2) return chain[1];
    return std::nullopt;
}

std::size_t Layout::box_count() const {
    std::size_t n = 0;
    for (const auto& s : structures) n += s.boxes.size();
    return n;
}

std::size_t Layout::reflector_count() const {
    std::size_t n = 0;
    for (const auto& s : structures) n += s.reflector ? 1 : 0;
    return n;
}

std::optional<int> Layout::parent_of(const Structure& s) const {
    if (summary) {
        auto it = summary->parents.find(s.number());
        if (it != summary->parents.end()) {
            if (it->second >= 1) return it->second;
            return std::nullopt;
        }
    }
    return s.listed_parent();
}

ParseError::ParseError(int line, const std::string& what)
    : std::runtime_error("line " + std::to_string(line) + ": " + what), line_(line) {}

namespace {

constexpr double NUMBER_LIMIT = 1e15;

bool is_blank(char c) { return c == ' ' || c == '\t'; }

std::vector<std::string> split_words(const std::string& line) {
    std::vector<std::string> words;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && is_blank(line[i])) ++i;
        std::size_t start = i;
        while (i < line.size() && !is_blank(line[i])) ++i;
        if (i > start) words.push_back(line.substr(start, i - start));
    }
    return words;
}

bool is_empty_line(const std::string& line) {
    for (char c : line)
        if (!is_blank(c)) return false;
    return true;
}

bool starts_with(const std::string& s, const std::string& prefix) {
    return s.compare(0, prefix.size(), prefix) == 0;
}

bool all_dashes(const std::string& s) {
    if (s.empty()) return false;
    for (char c : s)
        if (c != '-') return false;
    return true;
}

// The offending line as it can be shown in a message: quoted, control and
// non-ASCII bytes escaped, long lines cut.
std::string shown(const std::string& line) {
    static const char hex[] = "0123456789abcdef";
    std::string out = "\"";
    std::size_t count = 0;
    for (unsigned char c : line) {
        if (++count > 60) {
            out += "...";
            break;
        }
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20 || c >= 0x7f) {
            out += "\\x";
            out += hex[c >> 4];
            out += hex[c & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

std::optional<int> parse_int(const std::string& text) {
    if (text.empty()) return std::nullopt;
    int value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::optional<int> parse_positive(const std::string& text) {
    auto v = parse_int(text);
    if (v && *v >= 1) return v;
    return std::nullopt;
}

struct Line {
    int number;
    std::string text;
};

class Reader {
public:
    explicit Reader(std::vector<Line> lines) : lines_(std::move(lines)) {}

    Layout read();

private:
    std::vector<Line> lines_;
    std::size_t pos_ = 0;
    Layout layout_;
    std::unordered_map<int, int> first_lines_;  // structure number -> its start line

    bool at_end() const { return pos_ >= lines_.size(); }
    int last_line_number() const { return lines_.empty() ? 1 : lines_.back().number; }

    // The next line, or a refusal naming what the end of the file cut short.
    const Line& next(const std::string& expected) {
        if (at_end())
            throw ParseError(last_line_number(), "the file ends here; expected " + expected);
        return lines_[pos_++];
    }
    [[noreturn]] void refuse(const Line& line, const std::string& expected) {
        throw ParseError(line.number, "expected " + expected + ", found " + shown(line.text));
    }

    void read_header();
    void read_summary(const Line& first);
    void read_structure(const Line& start);
    SizedBox read_box(const Line& line, const std::string& expected);
    void check_totals();
};

Layout Reader::read() {
    read_header();
    bool footer_seen = false;
    while (!at_end()) {
        const Line& line = lines_[pos_++];
        std::vector<std::string> words = split_words(line.text);
        if (footer_seen) {
            if (!words.empty()) refuse(line, "nothing after the footer line \"# end of kavrit file\"");
            continue;
        }
        if (words.empty()) continue;
        if (line.text == "# end of kavrit file") {
            footer_seen = true;
            continue;
        }
        if (words[0] == "#" && words.size() >= 2 && words[1] == "structure") {
            read_structure(line);
            continue;
        }
        if (words[0] == "#" && words.size() == 2 && all_dashes(words[1]) && !layout_.summary &&
            layout_.structures.empty()) {
            read_summary(line);
            continue;
        }
        if (line.text[0] == '#' && !(words.size() >= 2 && words[1] == "(struct"))
            continue;  // a comment of the header
        refuse(line,
               "a structure start line such as \"# structure 1 start -----------------\", "
               "a comment line or the footer line \"# end of kavrit file\"");
    }
    if (!footer_seen)
        throw ParseError(last_line_number(),
                         "the file ends without the footer line \"# end of kavrit file\"");
    check_totals();
    return std::move(layout_);
}

// Everything up to the header is the text that followed the CIF end command;
// the header itself begins with a line "#" and then names the CIF file.
void Reader::read_header() {
    static const std::string tag = "# cif input file:";
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        if (!starts_with(lines_[i].text, tag)) continue;
        if (i == 0 || lines_[i - 1].text.empty() || lines_[i - 1].text.back() != '#')
            throw ParseError(lines_[i].number,
                             "expected the header line \"#\" before this line " + shown(lines_[i].text));
        std::string name = lines_[i].text.substr(tag.size());
        if (!name.empty() && name[0] == ' ') name.erase(0, 1);
        layout_.cif_name = name;
        pos_ = i + 1;
        return;
    }
    throw ParseError(1, "expected the kavrit header with the line \"# cif input file: <name>\"; "
                        "no line of the file has it");
}

void Reader::read_summary(const Line& first) {
    Summary summary;
    summary.first_line = first.number;
    auto expect_words = [&](const std::string& expected) {
        const Line& line = next(expected);
        return std::make_pair(line, split_words(line.text));
    };

    {
        auto [line, w] = expect_words("the summary line \"# total structures found: N\"");
        std::optional<int> n;
        if (w.size() == 5 && w[0] == "#" && w[1] == "total" && w[2] == "structures" &&
            w[3] == "found:")
            n = parse_int(w[4]);
        if (!n || *n < 0) refuse(line, "the summary line \"# total structures found: N\"");
        summary.structure_count = *n;
    }
    {
        auto [line, w] = expect_words("the summary line \"# total boxes: N\"");
        std::optional<int> n;
        if (w.size() == 4 && w[0] == "#" && w[1] == "total" && w[2] == "boxes:") n = parse_int(w[3]);
        if (!n || *n < 0) refuse(line, "the summary line \"# total boxes: N\"");
        summary.box_count = *n;
    }
    {
        const Line& line = next("the line \"#\" of the summary");
        if (line.text != "#") refuse(line, "the line \"#\" of the summary");
    }
    {
        const Line& line = next("the line \"# neighbor summary :\"");
        if (split_words(line.text) != std::vector<std::string>{"#", "neighbor", "summary", ":"})
            refuse(line, "the line \"# neighbor summary :\"");
    }
    const std::string neighbor_form = "\"# struct N:\\tK neighbor(s): ...\" with K numbers";
    for (int i = 1; i <= summary.structure_count; ++i) {
        const std::string expected = "the neighbour line of structure " + std::to_string(i) + ", " +
                                     neighbor_form;
        auto [line, w] = expect_words(expected);
        if (w.size() < 5 || w[0] != "#" || w[1] != "struct" || w[2] != std::to_string(i) + ":" ||
            w[4] != "neighbor(s):")
            refuse(line, expected);
        auto count = parse_int(w[3]);
        if (!count || *count < 0 || static_cast<std::size_t>(*count) != w.size() - 5)
            refuse(line, expected);
        std::vector<int>& list = summary.neighbors[i];
        for (std::size_t k = 5; k < w.size(); ++k) {
            auto n = parse_positive(w[k]);
            if (!n) refuse(line, expected);
            list.push_back(*n);
        }
    }
    const Line* line = &next("the closing summary line \"# -----...\" or the linkage summary");
    if (line->text == "#") {
        const Line& heading = next("the line \"# linkage summary :\"");
        if (split_words(heading.text) != std::vector<std::string>{"#", "linkage", "summary", ":"})
            refuse(heading, "the line \"# linkage summary :\"");
        for (int i = 1; i <= summary.structure_count; ++i) {
            const std::string expected =
                "the linkage line of structure " + std::to_string(i) +
                ", \"# struct N:\\thingecnt: H\\tlinked-> P\\tlinkage(s): ...\"";
            auto [l, w] = expect_words(expected);
            if (w.size() < 8 || w[0] != "#" || w[1] != "struct" || w[2] != std::to_string(i) + ":" ||
                w[3] != "hingecnt:" || !parse_int(w[4]) || w[5] != "linked->" || w[7] != "linkage(s):")
                refuse(l, expected);
            auto parent = parse_int(w[6]);
            if (!parent || *parent < -1) refuse(l, expected);
            for (std::size_t k = 8; k < w.size(); ++k)
                if (!parse_positive(w[k])) refuse(l, expected);
            summary.parents[i] = *parent;
        }
        line = &next("the closing summary line \"# ---------------------------------------\"");
    }
    std::vector<std::string> w = split_words(line->text);
    if (w.size() != 2 || w[0] != "#" || !all_dashes(w[1]))
        refuse(*line, "the closing summary line \"# ---------------------------------------\"");
    layout_.summary = std::move(summary);
}

SizedBox Reader::read_box(const Line& line, const std::string& expected) {
    std::vector<std::string> w = split_words(line.text);
    if (w.size() != 6) refuse(line, expected);
    SizedBox box;
    box.line = line.number;
    for (int k = 0; k < 6; ++k) {
        auto v = parse_number(w[k]);
        if (!v) refuse(line, expected);
        if (k < 3) {
            if (*v < 0)
                throw ParseError(line.number, "expected sizes of 0 or more in a box line, found " +
                                                  shown(line.text));
            box.size[k] = *v;
        } else {
            box.centre[k - 3] = *v;
        }
    }
    return box;
}

void Reader::read_structure(const Line& start) {
    const std::string start_form = "a structure start line such as \"# structure 1 start -----------------\"";
    std::vector<std::string> w = split_words(start.text);
    if (w.size() != 5 || w[3] != "start" || !all_dashes(w[4])) refuse(start, start_form);
    auto number = parse_positive(w[2]);
    if (!number) refuse(start, start_form);

    Structure s;
    s.output_number = *number;
    s.first_line = start.number;
    const std::string label = "structure " + std::to_string(s.output_number);
    const std::string box_form = "six numbers: sizes x y z, centre x y z";

    const Line* line = &next("the line \"{\" of " + label);
    w = split_words(line->text);
    if (w.size() == 7 && w[0] == "#" && w[1] == "(struct" && w[3] == "in" && w[4] == "the" &&
        w[5] == "neighbor" && w[6] == "summary.)") {
        auto index = parse_positive(w[2]);
        if (!index)
            refuse(*line, "a cross-reference line \"# (struct N in the neighbor summary.)\"");
        s.table_index = *index;
        line = &next("the line \"{\" of " + label);
        w = split_words(line->text);
    }
    if (line->text != "{")
        refuse(*line, "the line \"{\" of " + label +
                          (s.table_index ? "" : " (or the cross-reference line before it)"));

    line = &next("the anchor line \"  anchor: true\" or \"  anchor: false\"");
    w = split_words(line->text);
    if (w.size() != 2 || w[0] != "anchor:" || (w[1] != "true" && w[1] != "false"))
        refuse(*line, "the anchor line \"  anchor: true\" or \"  anchor: false\" of " + label);
    s.anchored = w[1] == "true";

    if (!s.anchored) {
        const std::string link_or_rotate =
            "a link line (\"  link N start\", later \"  link N member\") or the rotate line "
            "\"  rotate: +x|+y X Y Z\"";
        for (;;) {
            line = &next(link_or_rotate);
            w = split_words(line->text);
            if (!w.empty() && w[0] == "link") {
                const char* role = s.chain.empty() ? "start" : "member";
                auto n = w.size() == 3 ? parse_positive(w[1]) : std::nullopt;
                if (!n || w[2] != role)
                    refuse(*line, std::string("a link line \"  link N ") + role + "\"");
                if (s.chain.empty() && s.table_index && *n != *s.table_index)
                    throw ParseError(line->number,
                                     "expected the chain of structure " +
                                         std::to_string(*s.table_index) + " to start with it, found " +
                                         shown(line->text));
                s.chain.push_back(*n);
                continue;
            }
            if (!w.empty() && w[0] == "rotate:") {
                const std::string rotate_form = "the rotate line \"  rotate: +x|+y X Y Z\"";
                if (w.size() != 5 || (w[1] != "+x" && w[1] != "+y")) refuse(*line, rotate_form);
                Rotation r;
                r.axis = w[1][1];
                for (int k = 0; k < 3; ++k) {
                    auto v = parse_number(w[2 + k]);
                    if (!v) refuse(*line, rotate_form);
                    r.point[k] = *v;
                }
                s.rotation = r;
                break;
            }
            refuse(*line, link_or_rotate);
        }
    }

    const std::string after_header = "an empty line after the header lines of " + label;
    line = &next(after_header);
    if (!is_empty_line(line->text)) refuse(*line, after_header);

    line = &next("the box lines of " + label + " or \"}\"");
    if (split_words(line->text) == std::vector<std::string>{"reflect", "start"}) {
        const Line& box_line = next("the reflector line of " + label);
        s.reflector = read_box(box_line, "the reflector line of " + label + " (" + box_form + ")");
        const Line& end = next("the line \"  reflect end\"");
        if (split_words(end.text) != std::vector<std::string>{"reflect", "end"})
            refuse(end, "the line \"  reflect end\"");
        const Line& empty = next("an empty line after \"  reflect end\"");
        if (!is_empty_line(empty.text)) refuse(empty, "an empty line after \"  reflect end\"");
        line = &next("the box lines of " + label + " or \"}\"");
    }
    while (line->text != "}") {
        s.boxes.push_back(read_box(*line, "a box line of " + label + " (" + box_form + ") or \"}\""));
        line = &next("a box line of " + label + " or \"}\"");
    }

    const std::string end_form = "the end line \"# structure " + std::to_string(s.output_number) +
                                 " end -----------------\"";
    line = &next(end_form);
    w = split_words(line->text);
    if (w.size() != 5 || w[0] != "#" || w[1] != "structure" || w[3] != "end" || !all_dashes(w[4]) ||
        parse_positive(w[2]) != s.output_number)
        refuse(*line, end_form);

    const auto [earlier, first] = first_lines_.emplace(s.number(), s.first_line);
    if (!first)
        throw ParseError(start.number, "structure " + std::to_string(s.number()) +
                                           " was already given at line " + std::to_string(earlier->second));
    layout_.structures.push_back(std::move(s));
}

// A summary must agree with the blocks it sums up.
void Reader::check_totals() {
    if (!layout_.summary) return;
    const Summary& summary = *layout_.summary;
    if (static_cast<std::size_t>(summary.structure_count) != layout_.structures.size())
        throw ParseError(summary.first_line + 1,
                         "the summary counts " + std::to_string(summary.structure_count) +
                             " structures but the file holds " +
                             std::to_string(layout_.structures.size()) + " structure blocks");
    if (static_cast<std::size_t>(summary.box_count) != layout_.box_count())
        throw ParseError(summary.first_line + 2,
                         "the summary counts " + std::to_string(summary.box_count) +
                             " boxes but the structure blocks hold " +
                             std::to_string(layout_.box_count()) + " box lines");
    for (const Structure& s : layout_.structures)
        if (s.number() > summary.structure_count)
            throw ParseError(s.first_line, "structure " + std::to_string(s.number()) +
                                               " is beyond the summary's " +
                                               std::to_string(summary.structure_count) +
                                               " structures");
}

}  // namespace

std::optional<double> parse_number(const std::string& text) {
    // Plain decimal notation only: an optional '-', digits, an optional
    // fraction.  The file never holds exponents, signs '+', "inf" or "nan".
    std::size_t i = 0;
    if (i < text.size() && text[i] == '-') ++i;
    std::size_t digits = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i, ++digits;
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i, ++digits;
    }
    if (digits == 0 || i != text.size()) return std::nullopt;
    double value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    if (!std::isfinite(value) || std::fabs(value) > NUMBER_LIMIT) return std::nullopt;
    return value;
}

Layout read_kavrit(std::istream& in) {
    std::vector<Line> lines;
    std::string text;
    int number = 0;
    while (std::getline(in, text)) {
        ++number;
        if (!text.empty() && text.back() == '\r') text.pop_back();
        lines.push_back(Line{number, std::move(text)});
        text.clear();
    }
    if (in.bad()) throw ParseError(number + 1, "the input could not be read");
    return Reader(std::move(lines)).read();
}

}  // namespace kavrit
