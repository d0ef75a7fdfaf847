// The summary and the structure blocks of the output file.
#include <cstdint>
#include <string>
#include <vector>

#include "output/block_text.h"
#include "output/structure_table.h"

namespace output {

namespace {

struct Emitter {
    const common::Options& options;
    StructureTable& table;
    const common::GroupedBoxes& grouped;
    TextSink& sink;
    std::int32_t output_number = 1;

    // Axis and point of the turn of structure i, from one of its hinge entries:
    // the first entry of i, in the order of the parent's entries, that matches
    // an entry of the parent; entry 0 when there is no parent or no match.
    // The point's x and y come back doubled; z is always 2.
    void compute_rotation(std::int32_t i, const char*& axis, std::int64_t& twice_x, std::int64_t& twice_y) const {
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
        const common::Rect32 h = s.hinge(b).extent;
        const std::int64_t dx = std::int64_t{h.xmax} - h.xmin;
        const std::int64_t dy = std::int64_t{h.ymax} - h.ymin;
        // The centre is held in single precision: the sum is rounded to a float
        // (an integer again) before it is halved, which is exact.
        auto twice_centre = [](std::int32_t lo, std::int32_t hi) {
            return static_cast<std::int64_t>(static_cast<float>(std::int64_t{lo} + hi));
        };
        if (dx > dy) {
            axis = "+x";
            twice_x = 0;
            twice_y = twice_centre(h.ymin, h.ymax);
        } else {
            axis = "+y";
            twice_x = twice_centre(h.xmin, h.xmax);
            twice_y = 0;
        }
    }

    void write_structure_header(std::int32_t i) const {
        const Structure& s = table[i];
        std::string& text = sink.text();
        text += s.anchor ? "  anchor: true\n" : "  anchor: false\n";
        if (!s.anchor) {
            for (std::int32_t k = 0; k < s.chain_length; ++k) {
                text += "  link ";
                append_int(text, s.chain[static_cast<std::size_t>(k)]);
                text += k == 0 ? " start\n" : " member\n";
            }
            const char* axis = "+y";
            std::int64_t twice_x = 0, twice_y = 0;
            compute_rotation(i, axis, twice_x, twice_y);
            // "  rotate: %s %.2f %.2f %.2f\n"
            text += "  rotate: ";
            text += axis;
            text += ' ';
            append_half_2(text, twice_x);
            text += ' ';
            append_half_2(text, twice_y);
            text += " 2.00\n";
        }
        if (s.has_reflector) {
            const Box& r = s.reflector;
            // "  %.1f %.1f %.1f %.1f %.1f %.1f\n": a box 1.5 high, its centre 2 above zmin.
            text += "\n  reflect start\n  ";
            append_half_1(text, 2 * (std::int64_t{r.xmax} - r.xmin));
            text += ' ';
            append_half_1(text, 2 * (std::int64_t{r.ymax} - r.ymin));
            text += " 1.5 ";
            append_half_1(text, std::int64_t{r.xmin} + r.xmax);
            text += ' ';
            append_half_1(text, std::int64_t{r.ymin} + r.ymax);
            text += ' ';
            append_half_1(text, 2 * (std::int64_t{r.zmin} + 2));
            text += "\n  reflect end\n";
        }
    }

    void emit_structure(std::int32_t i) {
        Structure& s = table[i];
        if (s.emitted) return;
        std::string& text = sink.text();
        text += "\n# structure ";
        append_int(text, output_number);
        text += " start -----------------\n";
        if (options.summary) {
            text += "# (struct ";
            append_int(text, i);
            text += " in the neighbor summary.)\n";
        }
        text += "{\n";
        write_structure_header(i);
        text += '\n';
        write_drawn_boxes(sink, grouped, i);
        sink.text() += "}\n# structure ";
        append_int(sink.text(), output_number);
        sink.text() += " end -----------------\n";
        sink.done();
        ++output_number;
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
    TextSink sink(out);
    std::string& text = sink.text();
    const std::int32_t n = t.count();
    text += "# ---------------------------------------\n# total structures found: ";
    append_int(text, n);
    text += "\n# total boxes: ";
    append_int(text, t.box_total);
    text += "\n#\n# neighbor summary :\n";
    for (std::int32_t i = 1; i <= n; ++i) {
        // "# struct %d:\t%d neighbor(s): ", then "%d " per neighbour
        text += "# struct ";
        append_int(text, i);
        text += ":\t";
        append_int(text, t[i].neighbor_count());
        text += " neighbor(s): ";
        for (std::int32_t m : t[i].neighbors) {
            append_int(text, m);
            text += ' ';
        }
        text += '\n';
        sink.done();
    }
    if (options.linkage) {
        text += "#\n# linkage summary :\n";
        for (std::int32_t i = 1; i <= n; ++i) {
            // "# struct %d:\thingecnt: %d\tlinked-> %d\tlinkage(s): ", then "%d " per chain entry
            const Structure& s = t[i];
            text += "# struct ";
            append_int(text, i);
            text += ":\thingecnt: ";
            append_int(text, s.last_hinge);
            text += "\tlinked-> ";
            append_int(text, s.parent);
            text += "\tlinkage(s): ";
            for (std::int32_t k = 0; k < s.chain_length; ++k) {
                append_int(text, s.chain[static_cast<std::size_t>(k)]);
                text += ' ';
            }
            text += '\n';
            sink.done();
        }
    }
    text += "# ---------------------------------------\n";
}

void emit_all_structures(const common::Options& options, StructureTable& table, const common::GroupedBoxes& grouped,
                         const common::Output& out) {
    TextSink sink(out);
    Emitter e{options, table, grouped, sink};
    e.emit_all();
}

}  // namespace output
