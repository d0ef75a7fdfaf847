#include "polygon/polygon_io.h"

#include <cctype>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

bool number_char(int c) { return (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.' || c == 'e' || c == 'E'; }

// Reads the run of number characters that starts after any white space. The
// plain decimal text this program writes is read as the C library's "%lf" /
// "%f" read it (same conversion, strtod / strtof, hence the same values); a
// number with letters (inf, nan, hexadecimal) is left to fscanf itself.
// Returns 0 at the end of the file, 1 with the text in `token`, 2 when the
// next character starts no decimal number.
int read_token(std::FILE* fp, std::string& token) {
    int c = getc_unlocked(fp);
    while (c != EOF && std::isspace(c)) c = getc_unlocked(fp);
    if (c == EOF) return 0;
    if (!number_char(c)) {
        std::ungetc(c, fp);
        return 2;
    }
    token.clear();
    while (c != EOF && number_char(c)) {
        token.push_back(static_cast<char>(c));
        c = getc_unlocked(fp);
    }
    if (c != EOF) std::ungetc(c, fp);
    return 1;
}

template <typename T, typename Convert>
bool scan_real(std::FILE* fp, T& value, const char* format, Convert convert) {
    std::string token;
    switch (read_token(fp, token)) {
        case 0: return false;
        case 2: return std::fscanf(fp, format, &value) == 1;
        default: break;
    }
    char* end = nullptr;
    const T v = convert(token.c_str(), &end);
    if (end == token.c_str()) return false;
    value = v;
    return true;
}

}  // namespace

bool scan_int(std::FILE* fp, int& value) {
    int c = getc_unlocked(fp);
    while (c != EOF && std::isspace(c)) c = getc_unlocked(fp);
    bool negative = false;
    if (c == '+' || c == '-') {
        negative = (c == '-');
        c = getc_unlocked(fp);
    }
    if (c == EOF || !std::isdigit(c)) {
        if (c != EOF) std::ungetc(c, fp);
        return false;
    }
    long long v = 0;
    bool overflow = false;
    while (c != EOF && std::isdigit(c)) {
        if (!overflow) {
            v = v * 10 + (c - '0');
            if (v > static_cast<long long>(INT_MAX) + 1) overflow = true;
        }
        c = getc_unlocked(fp);
    }
    if (c != EOF) std::ungetc(c, fp);
    if (negative) v = -v;
    if (overflow || v > INT_MAX || v < INT_MIN) return false;
    value = static_cast<int>(v);
    return true;
}

bool scan_double(std::FILE* fp, double& value) {
    return scan_real(fp, value, "%lf", [](const char* s, char** end) { return std::strtod(s, end); });
}

bool scan_float(std::FILE* fp, float& value) {
    return scan_real(fp, value, "%f", [](const char* s, char** end) { return std::strtof(s, end); });
}
