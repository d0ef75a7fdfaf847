// The strict JSON check of the kavrit-export fuzz entry: whether a text is
// one JSON value in valid UTF-8.
#pragma once

#include <cstddef>
#include <cstring>
#include <string>

#include "export/checks.h"

namespace fuzz_entry::export_checks {

// A strict JSON reader that only says whether the text is one JSON value
// (RFC 8259) in valid UTF-8.  Nesting is bounded, as the writers nest little.
class JsonCheck {
public:
    explicit JsonCheck(const std::string& text) : s_(text) {}

    std::string problem() {
        if (kavrit::valid_utf8(s_) != s_) return "the JSON is not valid UTF-8";
        space();
        if (!value(0)) return "the JSON is malformed near byte " + std::to_string(at_);
        space();
        if (at_ != s_.size()) return "the JSON has text after its value, at byte " + std::to_string(at_);
        return "";
    }

private:
    const std::string& s_;
    std::size_t at_ = 0;

    bool more() const { return at_ < s_.size(); }
    char peek() const { return more() ? s_[at_] : '\0'; }
    void space() {
        while (more() && (peek() == ' ' || peek() == '\t' || peek() == '\n' || peek() == '\r')) ++at_;
    }
    bool word(const char* w) {
        const std::size_t n = std::strlen(w);
        if (s_.compare(at_, n, w) != 0) return false;
        at_ += n;
        return true;
    }
    bool digits() {
        const std::size_t from = at_;
        while (more() && peek() >= '0' && peek() <= '9') ++at_;
        return at_ > from;
    }
    bool number() {
        if (peek() == '-') ++at_;
        if (peek() == '0') ++at_;
        else if (!digits()) return false;
        if (peek() == '.') {
            ++at_;
            if (!digits()) return false;
        }
        if (peek() == 'e' || peek() == 'E') {
            ++at_;
            if (peek() == '+' || peek() == '-') ++at_;
            if (!digits()) return false;
        }
        return true;
    }
    bool string() {
        if (peek() != '"') return false;
        ++at_;
        while (more()) {
            const auto c = static_cast<unsigned char>(s_[at_++]);
            if (c == '"') return true;
            if (c < 0x20) return false;
            if (c != '\\') continue;
            if (!more()) return false;
            const char e = s_[at_++];
            if (e == 'u') {
                for (int k = 0; k < 4; ++k, ++at_)
                    if (!more() || !std::isxdigit(static_cast<unsigned char>(peek()))) return false;
            } else if (std::strchr("\"\\/bfnrt", e) == nullptr || e == '\0') {
                return false;
            }
        }
        return false;
    }
    bool value(int depth) {
        if (depth > 64) return false;
        space();
        const char c = peek();
        if (c == '{' || c == '[') {
            const char close = c == '{' ? '}' : ']';
            ++at_;
            space();
            if (peek() == close) return ++at_, true;
            for (;;) {
                if (c == '{') {
                    space();
                    if (!string()) return false;
                    space();
                    if (peek() != ':') return false;
                    ++at_;
                }
                if (!value(depth + 1)) return false;
                space();
                if (peek() == ',') {
                    ++at_;
                    continue;
                }
                if (peek() != close) return false;
                ++at_;
                return true;
            }
        }
        if (c == '"') return string();
        if (word("true") || word("false") || word("null")) return true;
        return number();
    }
};

}  // namespace fuzz_entry::export_checks
