// Kavrit text of hand-built layouts for the export tests: plates, pins and
// blocks given as boxes x0 x1 y0 y1 z0 z1, written as cif2kavrit writes them.
#pragma once

#include <array>
#include <sstream>
#include <string>
#include <vector>

#include "export/kavrit.h"
#include "tests/export/test_support.h"

namespace kavrit_test {

using kavrit::Vec3;

// A structure as the test writes it: boxes as x0 x1 y0 y1 z0 z1.
struct Part {
    bool anchored = false;
    std::vector<int> chain;  // link lines (empty: none)
    char axis = 'x';
    Vec3 point{};
    std::vector<std::array<double, 6>> boxes;
};

// The kavrit text of structure blocks (each the text between the braces,
// every line ended by "\n"), numbered 1, 2, ... in order and framed as
// cif2kavrit frames them: three header lines naming `cif_name`, then per
// block an empty line, its start line, "{", the block, "}" and its end line.
// Block k (from 1) thus starts on line 5 plus the lines of the blocks before
// it and 5 more for each of them.
inline std::string kavrit_text(const std::vector<std::string>& blocks, const std::string& cif_name = "test.cif") {
    std::string t = "#\n# cif input file: " + cif_name + "\n#\n";
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        const std::string n = std::to_string(i + 1);
        t += "\n# structure " + n + " start -----------------\n{\n" + blocks[i] + "}\n# structure " + n +
             " end -----------------\n";
    }
    return t + "#\n# end of kavrit file\n";
}

// A free structure of one box line (its six numbers as text).
inline std::string free_block(const std::string& box) {
    return "  anchor: false\n  rotate: +y 0.00 0.00 0.00\n\n  " + box + "\n";
}

// The kavrit text of the parts (numbered 1, 2, ... in order) and the line of
// each box: lines[part][box].
struct Written {
    std::string text;
    std::vector<std::vector<int>> lines;
};

inline Written write_layout(const std::vector<Part>& parts) {
    Written w;
    std::vector<std::string> blocks;
    int line = 3;  // the header
    for (const Part& p : parts) {
        std::ostringstream out;
        out << std::fixed;
        out.precision(7);
        int block_lines = 0;
        out << "  anchor: " << (p.anchored ? "true" : "false") << "\n";
        ++block_lines;
        if (!p.anchored) {
            for (std::size_t k = 0; k < p.chain.size(); ++k, ++block_lines)
                out << "  link " << p.chain[k] << (k == 0 ? " start" : " member") << "\n";
            out << "  rotate: +" << p.axis << " " << p.point[0] << " " << p.point[1] << " " << p.point[2] << "\n";
            ++block_lines;
        }
        out << "\n";
        ++block_lines;
        w.lines.emplace_back();
        for (const auto& b : p.boxes) {
            out << "  " << b[1] - b[0] << " " << b[3] - b[2] << " " << b[5] - b[4] << " " << (b[0] + b[1]) / 2 << " "
                << (b[2] + b[3]) / 2 << " " << (b[4] + b[5]) / 2 << "\n";
            // the empty line, the start line and "{" come before the block
            w.lines.back().push_back(line + 3 + ++block_lines);
        }
        line += 5 + block_lines;
        blocks.push_back(out.str());
    }
    w.text = kavrit_text(blocks);
    return w;
}

}  // namespace kavrit_test
