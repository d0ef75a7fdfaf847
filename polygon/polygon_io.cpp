#include "polygon/polygon_io.h"

#include <cctype>
#include <climits>

bool scan_int(std::FILE* fp, int& value) {
    int c = std::getc(fp);
    while (c != EOF && std::isspace(c)) c = std::getc(fp);
    bool negative = false;
    if (c == '+' || c == '-') {
        negative = (c == '-');
        c = std::getc(fp);
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
        c = std::getc(fp);
    }
    if (c != EOF) std::ungetc(c, fp);
    if (negative) v = -v;
    if (overflow || v > INT_MAX || v < INT_MIN) return false;
    value = static_cast<int>(v);
    return true;
}

bool scan_double(std::FILE* fp, double& value) { return std::fscanf(fp, "%lf", &value) == 1; }

bool scan_float(std::FILE* fp, float& value) { return std::fscanf(fp, "%f", &value) == 1; }
