#include "cifread/layout.h"

#include <cstring>

namespace cifread {

namespace {
bool is_digit(char c) { return c >= '0' && c <= '9'; }
bool is_upper(char c) { return c >= 'A' && c <= 'Z'; }
bool is_blank(char c) { return !is_digit(c) && !is_upper(c) && c != '-' && c != '(' && c != ')' && c != ';'; }

// The position of the first '(' or ';' at or after `from`, or `size`.
std::size_t next_comment_or_end(const char* data, std::size_t from, std::size_t size) {
    const void* semicolon = std::memchr(data + from, ';', size - from);
    std::size_t end = semicolon != nullptr ? static_cast<std::size_t>(static_cast<const char*>(semicolon) - data) : size;
    const void* open = std::memchr(data + from, '(', end - from);
    if (open != nullptr) end = static_cast<std::size_t>(static_cast<const char*>(open) - data);
    return end;
}
}  // namespace

void SymbolDetector::feed(const char* data, std::size_t size) {
    for (std::size_t i = 0; i < size && !done(); ++i) {
        // Most of a layout is the inside of its commands, where only a
        // comment or the command's end changes anything.
        if (state_ == State::InCommand) {
            i = next_comment_or_end(data, i, size);
            if (i == size) break;
        }
        const char c = data[i];
        switch (state_) {
            case State::Comment:
                if (c == '(') ++comment_depth_;
                if (c == ')' && --comment_depth_ == 0) state_ = after_comment_;
                break;
            case State::InExtension:  // user text runs to the ';' whatever it holds
                if (c == ';') state_ = State::CommandStart;
                break;
            default:
                if (c == '(') {
                    after_comment_ = state_;
                    comment_depth_ = 1;
                    state_ = State::Comment;
                } else if (c == ';') {
                    state_ = State::CommandStart;
                } else if (state_ == State::CommandStart) {
                    if (c == 'C')
                        state_ = State::AfterCall;
                    else if (c == 'E')
                        ended_ = true;
                    else if (c == 'D')
                        state_ = State::AfterD;
                    else if (is_digit(c))
                        state_ = State::InExtension;
                    else if (!is_blank(c))
                        state_ = State::InCommand;
                } else if (state_ == State::AfterD) {
                    if (c == 'S')
                        state_ = State::AfterDefinition;
                    else if (!is_blank(c))
                        state_ = State::InCommand;
                } else if (state_ == State::AfterCall || state_ == State::AfterDefinition) {
                    // The symbol number makes it a call or a definition.
                    if (is_digit(c))
                        found_ = true;
                    else if (!is_blank(c))
                        state_ = State::InCommand;
                }
                break;
        }
    }
}

}  // namespace cifread
