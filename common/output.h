// The output destination: the file named with -o, else standard output.
// Every write to the output of a run goes through one Output.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace common {

class Output {
public:
    // Standard output.
    Output() = default;
    // An open file (for -o), written under `name` in error messages.
    Output(std::FILE* file, std::string name) : file_(file), name_(std::move(name)) {}

    std::FILE* stream() const { return file_ != nullptr ? file_ : stdout; }
    bool to_file() const { return file_ != nullptr; }
    const std::string& name() const { return name_; }

    void write(std::string_view text) const { std::fwrite(text.data(), 1, text.size(), stream()); }

    template <class... Args>
    void print(const char* format, Args... args) const {
        std::fprintf(stream(), format, args...);
    }

    // Gives up the file without closing it (the caller closes it).
    std::FILE* release() {
        std::FILE* f = file_;
        file_ = nullptr;
        return f;
    }

private:
    std::FILE* file_ = nullptr;
    std::string name_;
};

}  // namespace common
