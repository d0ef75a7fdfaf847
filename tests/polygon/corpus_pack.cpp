#include "tests/polygon/corpus_pack.h"

#include <zlib.h>

#include <charconv>
#include <string_view>

namespace {

bool read_gzip(const std::string& path, std::string* text, std::string* error) {
    gzFile in = gzopen(path.c_str(), "rb");
    if (in == nullptr) {
        *error = "cannot open " + path;
        return false;
    }
    text->clear();
    char buffer[1 << 16];
    int n = 0;
    while ((n = gzread(in, buffer, sizeof buffer)) > 0) text->append(buffer, static_cast<size_t>(n));
    int code = Z_OK;
    const char* message = gzerror(in, &code);
    const std::string reason = message != nullptr ? message : "";
    const bool closed = gzclose_r(in) == Z_OK;
    if (n < 0 || code != Z_OK || !closed) {
        // zlib's message names the file already.
        *error = reason.empty() ? "cannot read " + path : "cannot read " + reason;
        return false;
    }
    return true;
}

// The next line of `text` from `pos` (without its newline); false at the end
// or where no newline ends it.
bool next_line(std::string_view text, size_t& pos, std::string_view* line) {
    const size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) return false;
    *line = text.substr(pos, end - pos);
    pos = end + 1;
    return true;
}

// "WORD NUMBER" with a non-negative number.
bool word_and_count(std::string_view line, std::string_view* word, size_t* count) {
    const size_t space = line.find(' ');
    if (space == std::string_view::npos || space == 0) return false;
    *word = line.substr(0, space);
    const char* first = line.data() + space + 1;
    const char* last = line.data() + line.size();
    const auto [end, ec] = std::from_chars(first, last, *count);
    return ec == std::errc() && end == last && first != last;
}

}  // namespace

bool read_corpus_pack(const std::string& path, std::vector<CorpusCase>* cases, std::string* error) {
    std::string text;
    if (!read_gzip(path, &text, error)) return false;
    const std::string_view all(text);
    auto fail = [&](const std::string& what) {
        *error = path + ": " + what;
        return false;
    };
    size_t pos = 0;
    std::string_view line, word;
    size_t announced = 0;
    if (!next_line(all, pos, &line) || !word_and_count(line, &word, &announced) || word != "polygon-corpus")
        return fail("no \"polygon-corpus CASES\" header");
    cases->clear();
    while (pos < all.size()) {
        if (!next_line(all, pos, &line)) return fail("unterminated line at byte " + std::to_string(pos));
        if (line.substr(0, 5) == "case ") {
            cases->push_back(CorpusCase{});
            cases->back().name = std::string(line.substr(5));
            continue;
        }
        size_t bytes = 0;
        if (cases->empty() || !word_and_count(line, &word, &bytes)) return fail("unexpected line \"" + std::string(line) + "\"");
        if (bytes > all.size() - pos) return fail("file cut short in case " + cases->back().name);
        std::string content(all.substr(pos, bytes));
        pos += bytes;
        CorpusCase& c = cases->back();
        if (word == "op")
            c.op = std::move(content);
        else if (word == "a.gpc")
            c.a = std::move(content);
        else if (word == "b.gpc")
            c.b = std::move(content);
        else if (word == "expected.strips")
            c.expected = std::move(content);
        else
            return fail("unknown file \"" + std::string(word) + "\" in case " + c.name);
    }
    if (cases->size() != announced)
        return fail("holds " + std::to_string(cases->size()) + " cases, its header says " + std::to_string(announced));
    return true;
}
