// Kavrit text of hand-built layouts for the export tests: plates, pins and
// blocks given as boxes x0 x1 y0 y1 z0 z1, written as cif2kavrit writes them.
#pragma once

#include <array>
#include <sstream>
#include <string>
#include <vector>

#include "export/kavrit.h"

namespace kavrit_test {

using kavrit::Vec3;

const double DEG = 180 / std::numbers::pi;

// A structure as the test writes it: boxes as x0 x1 y0 y1 z0 z1.
struct Part {
    bool anchored = false;
    std::vector<int> chain;  // link lines (empty: none)
    char axis = 'x';
    Vec3 point{};
    std::vector<std::array<double, 6>> boxes;
};

// The kavrit text of the parts (numbered 1, 2, ... in order) and the line of
// each box: lines[part][box].
struct Written {
    std::string text;
    std::vector<std::vector<int>> lines;
};

inline Written write_layout(const std::vector<Part>& parts) {
    Written w;
    std::ostringstream out;
    int line = 0;
    auto put = [&](const std::string& s) {
        out << s << "\n";
        ++line;
    };
    put("#");
    put("# cif input file: test.cif");
    put("#");
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const Part& p = parts[i];
        const std::string n = std::to_string(i + 1);
        put("");
        put("# structure " + n + " start -----------------");
        put("{");
        put(std::string("  anchor: ") + (p.anchored ? "true" : "false"));
        if (!p.anchored && !p.chain.empty()) {
            for (std::size_t k = 0; k < p.chain.size(); ++k)
                put("  link " + std::to_string(p.chain[k]) + (k == 0 ? " start" : " member"));
        }
        if (!p.anchored) {
            std::ostringstream r;
            r << std::fixed;
            r.precision(7);
            r << "  rotate: +" << p.axis << " " << p.point[0] << " " << p.point[1] << " " << p.point[2];
            put(r.str());
        }
        put("");
        w.lines.emplace_back();
        for (const auto& b : p.boxes) {
            std::ostringstream r;
            r << std::fixed;
            r.precision(7);
            r << "  " << b[1] - b[0] << " " << b[3] - b[2] << " " << b[5] - b[4] << " " << (b[0] + b[1]) / 2 << " "
              << (b[2] + b[3]) / 2 << " " << (b[4] + b[5]) / 2;
            std::string s = r.str();
            put(s);
            w.lines.back().push_back(line);
        }
        put("}");
        put("# structure " + n + " end -----------------");
    }
    put("#");
    put("# end of kavrit file");
    w.text = out.str();
    return w;
}

inline kavrit::Layout parse(const std::string& text) {
    std::istringstream in(text);
    return kavrit::read_kavrit(in);
}

}  // namespace kavrit_test
