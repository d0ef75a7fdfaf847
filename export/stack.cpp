#include "export/stack.h"

#include <charconv>
#include <cmath>

#include "export/mesh.h"

namespace kavrit {

namespace {

bool is_space(char c) { return c == ' ' || c == '\t' || c == '\r'; }

// The whitespace-separated words of a line, up to a '#'.
std::vector<std::string> words_of(const std::string& line) {
    std::vector<std::string> words;
    std::size_t at = 0;
    const std::size_t end = std::min(line.find('#'), line.size());
    while (at < end) {
        while (at < end && is_space(line[at])) ++at;
        std::size_t stop = at;
        while (stop < end && !is_space(line[stop])) ++stop;
        if (stop > at) words.push_back(line.substr(at, stop - at));
        at = stop;
    }
    return words;
}

bool read_number(std::string text, double& out) {
    if (!text.empty() && text[0] == '+') text.erase(0, 1);
    if (text.empty() || text[0] == '+') return false;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc() && end == text.data() + text.size() && std::isfinite(out);
}

}  // namespace

bool Stack::covers(double level) const {
    return !levels.empty() && level >= levels.front().level && level <= levels.back().level;
}

double Stack::height_of(double level) const {
    std::size_t k = 1;
    while (k + 1 < levels.size() && levels[k].level < level) ++k;
    const StackLevel& a = levels[k - 1];
    const StackLevel& b = levels[k];
    if (level == a.level) return a.height;
    if (level == b.level) return b.height;
    return a.height + (level - a.level) * (b.height - a.height) / (b.level - a.level);
}

Stack read_stack(std::istream& in, const std::string& name) {
    Stack stack;
    stack.name = name;
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        const std::vector<std::string> words = words_of(line);
        if (words.empty()) continue;
        const std::string where = name + ": line " + std::to_string(number) + ": ";
        StackLevel level;
        level.line = number;
        if (words.size() != 2 || !read_number(words[0], level.level) || !read_number(words[1], level.height))
            throw StackError(where + "expected a level and its height in micrometres, \"LEVEL HEIGHT\"");
        if (!stack.levels.empty()) {
            const StackLevel& last = stack.levels.back();
            if (!(level.level > last.level))
                throw StackError(where + "level " + format_number(level.level) + " does not lie above level " +
                                 format_number(last.level) + " of line " + std::to_string(last.line));
            if (!(level.height > last.height))
                throw StackError(where + "height " + format_number(level.height) + " does not lie above height " +
                                 format_number(last.height) + " of line " + std::to_string(last.line));
        }
        stack.levels.push_back(level);
    }
    if (in.bad()) throw StackError(name + ": cannot be read");
    if (stack.levels.empty()) throw StackError(name + ": no levels; a stack needs at least two");
    if (stack.levels.size() < 2)
        throw StackError(name + ": line " + std::to_string(stack.levels[0].line) +
                         ": the only level; a stack needs at least two");
    return stack;
}

void apply_stack(Layout& layout, const Stack& stack, const std::string& layout_name) {
    for (Structure& s : layout.structures) {
        auto place = [&](double z, const char* what) {
            if (stack.covers(z)) return stack.height_of(z);
            const bool below = z < stack.levels.front().level;
            const StackLevel& end = below ? stack.levels.front() : stack.levels.back();
            throw StackError(stack.name + ": line " + std::to_string(end.line) + ": " + layout_name +
                             ", structure " + std::to_string(s.number()) + " (line " + std::to_string(s.first_line) +
                             " on): " + what + " z " + format_number(z) + ", " + (below ? "below the first" : "above the last") +
                             " level of the stack, " + format_number(end.level));
        };
        auto place_box = [&](SizedBox& b, const char* what) {
            const double lo = place(b.lo(2), what);
            const double hi = place(b.hi(2), what);
            b.centre[2] = (lo + hi) / 2;
            b.size[2] = hi - lo;
        };
        for (SizedBox& b : s.boxes) place_box(b, "a box reaches");
        if (s.reflector) place_box(*s.reflector, "the reflector reaches");
        if (s.rotation) s.rotation->point[2] = place(s.rotation->point[2], "the hinge axis lies at");
    }
}

}  // namespace kavrit
