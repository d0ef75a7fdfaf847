// The summary and the structure blocks of the output file.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/line_piece.h"
#include "output/structure_table.h"

namespace output {

namespace {

// The block text (tmpdata1.file) is read through a line buffer of 80 bytes
// (79 characters per read); a block marker is recognised only in a piece that
// holds it whole.
constexpr std::size_t BLOCK_FILE_PIECE = 79;

// Where each structure's block lies in tmpdata1.file, found in one pass: the
// text between the start marker with its brace line and the end marker.
struct BlockFile {
    std::string text;
    struct Span {
        bool started = false, open = false, ended = false;
        std::size_t body_begin = 0, body_end = 0;
    };
    std::vector<Span> spans;  // by structure index
};

// A marker line: at least five words, the first "#", the fourth `what`, the
// third read as a decimal integer (its leading digits). Returns the integer.
bool is_marker(std::string_view line, std::string_view what, long long& index) {
    std::string_view words[5];
    std::size_t at = 0;
    for (auto& w : words) {
        while (at < line.size() && (line[at] == ' ' || line[at] == '\t' || line[at] == '\n' || line[at] == '\r' ||
                                    line[at] == '\v' || line[at] == '\f'))
            ++at;
        if (at == line.size()) return false;
        const std::size_t begin = at;
        while (at < line.size() && !(line[at] == ' ' || line[at] == '\t' || line[at] == '\n' || line[at] == '\r' ||
                                     line[at] == '\v' || line[at] == '\f'))
            ++at;
        w = line.substr(begin, at - begin);
    }
    if (words[0] != "#" || words[3] != what) return false;
    std::string_view n = words[2];
    std::size_t k = 0;
    bool negative = false;
    if (k < n.size() && (n[k] == '+' || n[k] == '-')) negative = n[k++] == '-';
    if (k == n.size() || n[k] < '0' || n[k] > '9') return false;
    long long v = 0;
    for (; k < n.size() && n[k] >= '0' && n[k] <= '9'; ++k) {
        if (v > 1'000'000'000'000LL) return false;  // far beyond any structure index
        v = v * 10 + (n[k] - '0');
    }
    index = negative ? -v : v;
    return true;
}

BlockFile read_block_file(std::string blocks, std::int32_t structures) {
    BlockFile f;
    f.spans.resize(static_cast<std::size_t>(structures) + 1);
    std::size_t position = 0;
    std::string piece;
    std::vector<std::int32_t> awaiting_brace;  // start marker seen, brace line not yet
    long long index = 0;
    auto in_range = [&](long long k) { return k >= 1 && k <= structures; };
    while (common::read_line_piece(blocks, position, BLOCK_FILE_PIECE, piece) > 0) {
        // The pieces follow one another, so the text read so far is the
        // block text up to `position`: spans are offsets into it.
        const std::size_t offset = position - piece.size();
        if (is_marker(piece, "end", index) && in_range(index)) {
            BlockFile::Span& span = f.spans[static_cast<std::size_t>(index)];
            if (span.open && !span.ended) {
                span.body_end = offset;
                span.ended = true;
            }
        }
        // The piece after a start marker is the block's brace line: dropped.
        for (std::int32_t k : awaiting_brace) {
            f.spans[static_cast<std::size_t>(k)].body_begin = position;
            f.spans[static_cast<std::size_t>(k)].open = true;
        }
        awaiting_brace.clear();
        if (is_marker(piece, "start", index) && in_range(index) && !f.spans[static_cast<std::size_t>(index)].started) {
            f.spans[static_cast<std::size_t>(index)].started = true;
            awaiting_brace.push_back(static_cast<std::int32_t>(index));
        }
    }
    // A block cut short by the end of the file is copied to the end.
    for (BlockFile::Span& span : f.spans) {
        if (!span.started) continue;
        if (!span.open) span.body_begin = position;
        if (!span.ended) span.body_end = position;
    }
    f.text = std::move(blocks);
    return f;
}

struct Emitter {
    const common::Options& options;
    StructureTable& table;
    const common::Output& out;
    BlockFile blocks;
    std::int32_t output_number = 1;

    void write_out(std::string_view text) const { out.write(text); }
    template <class... Args>
    void print_out(const char* format, Args... args) const {
        out.print(format, args...);
    }

    // Axis and point of the turn of structure i, from one of its hinge entries:
    // the first entry of i, in the order of the parent's entries, that matches
    // an entry of the parent; entry 0 when there is no parent or no match.
    void compute_rotation(std::int32_t i, const char*& axis, float& x, float& y, float& z) const {
        const StructureTable& t = table;
        const Structure& s = t[i];
        std::int32_t b = 0;
        if (s.parent >= 1) {
            const Structure& p = t[s.parent];
            bool found = false;
            for (std::int32_t e = 0; e <= p.last_hinge && !found; ++e) {
                for (std::int32_t f = 0; f <= s.last_hinge; ++f) {
                    if (hinges_match(p.hinge(e), s.hinge(f))) {
                        b = f;
                        found = true;
                        break;
                    }
                }
            }
        }
        const HingeBox h = s.hinge(b);
        const std::int64_t dx = std::int64_t{h.xmax} - h.xmin;
        const std::int64_t dy = std::int64_t{h.ymax} - h.ymin;
        if (dx > dy) {
            axis = "+x";
            x = 0;
            y = static_cast<float>(std::int64_t{h.ymin} + h.ymax) / 2;
        } else {
            axis = "+y";
            x = static_cast<float>(std::int64_t{h.xmin} + h.xmax) / 2;
            y = 0;
        }
        z = 2;
    }

    void write_structure_header(std::int32_t i) const {
        const Structure& s = table[i];
        print_out("  anchor: %s\n", s.anchor ? "true" : "false");
        if (!s.anchor) {
            for (std::int32_t k = 0; k < s.chain_length; ++k)
                print_out("  link %d %s\n", s.chain[static_cast<std::size_t>(k)], k == 0 ? "start" : "member");
            const char* axis = "+y";
            float x = 0, y = 0, z = 0;
            compute_rotation(i, axis, x, y, z);
            print_out("  rotate: %s %.2f %.2f %.2f\n", axis, static_cast<double>(x), static_cast<double>(y),
                      static_cast<double>(z));
        }
        if (s.has_reflector) {
            const Box& r = s.reflector;
            write_out("\n  reflect start\n");
            print_out("  %.1f %.1f %.1f %.1f %.1f %.1f\n", static_cast<double>(std::int64_t{r.xmax} - r.xmin),
                      static_cast<double>(std::int64_t{r.ymax} - r.ymin), 1.5,
                      static_cast<double>(std::int64_t{r.xmin} + r.xmax) / 2,
                      static_cast<double>(std::int64_t{r.ymin} + r.ymax) / 2,
                      static_cast<double>(std::int64_t{r.zmin} + 2));
            write_out("  reflect end\n");
        }
    }

    void emit_structure(std::int32_t i) {
        Structure& s = table[i];
        if (s.emitted) return;
        const BlockFile::Span& span = blocks.spans[static_cast<std::size_t>(i)];
        if (span.started) {
            print_out("\n# structure %d start -----------------\n", output_number);
            if (options.summary)
                print_out("# (struct %d in the neighbor summary.)\n{\n", i);
            else
                write_out("{\n");
            write_structure_header(i);
            write_out("\n");
            write_out(std::string_view(blocks.text).substr(span.body_begin, span.body_end - span.body_begin));
            if (span.ended) {
                print_out("# structure %d end -----------------\n", output_number);
                ++output_number;
            }
        }
        s.emitted = true;
    }

    // The hinged neighbours of structure a, depth first; explicit stack instead
    // of recursion, so that long chains of structures cannot exhaust the stack.
    void emit_hinged_children(std::int32_t a) {
        const StructureTable& t = table;
        struct Frame {
            std::int32_t s;
            std::size_t next;
        };
        std::vector<Frame> stack;
        // What a call for structure c does before its loop: a structure with a
        // low hinge box and a single neighbour writes that neighbour and stops.
        auto call = [&](std::int32_t c) {
            if (t[c].neighbor_count() == 1 && t[c].has_low_hinge) {
                emit_structure(t[c].neighbors[0]);
                return;
            }
            stack.push_back(Frame{c, 0});
        };
        call(a);
        while (!stack.empty()) {
            Frame& f = stack.back();
            const std::vector<std::int32_t>& around = t[f.s].neighbors;
            if (f.next >= around.size()) {
                stack.pop_back();
                continue;
            }
            const std::int32_t n = around[f.next++];
            if (!t[n].emitted && t[n].has_low_hinge) {
                emit_structure(n);
                call(n);  // may push: `f` is not used after this
            }
        }
    }

    void emit_all() {
        const StructureTable& t = table;
        const std::int32_t n = t.count();
        if (options.group) {
            for (std::int32_t i = 1; i <= n; ++i)
                if (t[i].anchor) emit_structure(i);
            // First neighbours of the group starts so far (0 for a start without
            // neighbours, which no neighbour equals).
            std::vector<char> group_start_neighbor(static_cast<std::size_t>(n) + 1, 0);
            for (std::int32_t i = 1; i <= n; ++i) {
                if (t[i].has_low_hinge) continue;
                bool joined = false;
                for (std::int32_t m : t[i].neighbors)
                    if (group_start_neighbor[static_cast<std::size_t>(m)]) joined = true;
                if (joined) continue;
                if (!t[i].neighbors.empty()) group_start_neighbor[static_cast<std::size_t>(t[i].neighbors[0])] = 1;
                emit_hinged_children(i);
            }
        }
        for (std::int32_t i = 1; i <= n; ++i) emit_structure(i);
    }
};

}  // namespace

void write_summary(const common::Options& options, const StructureTable& t, const common::Output& out) {
    if (!options.summary) return;
    auto write_out = [&](std::string_view text) { out.write(text); };
    auto print_out = [&](const char* format, auto... args) { out.print(format, args...); };
    const std::int32_t n = t.count();
    write_out("# ---------------------------------------\n");
    print_out("# total structures found: %d\n", n);
    print_out("# total boxes: %lld\n", static_cast<long long>(t.box_total));
    write_out("#\n");
    write_out("# neighbor summary :\n");
    for (std::int32_t i = 1; i <= n; ++i) {
        print_out("# struct %d:\t%d neighbor(s): ", i, t[i].neighbor_count());
        for (std::int32_t m : t[i].neighbors) print_out("%d ", m);
        write_out("\n");
    }
    if (options.linkage) {
        write_out("#\n# linkage summary :\n");
        for (std::int32_t i = 1; i <= n; ++i) {
            const Structure& s = t[i];
            print_out("# struct %d:\thingecnt: %d\tlinked-> %d\tlinkage(s): ", i, s.last_hinge, s.parent);
            for (std::int32_t k = 0; k < s.chain_length; ++k) print_out("%d ", s.chain[static_cast<std::size_t>(k)]);
            write_out("\n");
        }
    }
    write_out("# ---------------------------------------\n");
}

void emit_all_structures(const common::Options& options, StructureTable& table, const common::Output& out) {
    Emitter e{options, table, out, read_block_file(std::move(table.blocks), table.count())};
    e.emit_all();
}

}  // namespace output
