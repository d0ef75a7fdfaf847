#include "reference_output.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <set>
#include <vector>

namespace reference {
namespace {

struct Hinge {
    int kind = 0, xmin = 0, xmax = 0, ymin = 0, ymax = 0;
};

struct Record {
    int anchor = 0, has_low_hinge = 0, parent = 0, last_hinge = 0, has_reflector = 0, emitted = 0;
    std::vector<int> chain, neighbors;
    std::vector<Hinge> hinges = std::vector<Hinge>(1);  // as many entries as are filled, at least one
    int reflector[6] = {0, 0, 0, 0, 0, 0};
    std::string body;  // the box lines of its block
};

// fgets on a string: up to size - 1 characters, up to and including '\n'.
bool get_line(const std::string& text, std::size_t& at, char* buf, std::size_t size) {
    if (at >= text.size()) return false;
    std::size_t n = 0;
    while (n + 1 < size && at < text.size())
        if ((buf[n++] = text[at++]) == '\n') break;
    buf[n] = '\0';
    return true;
}

std::string format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string format(const char* fmt, ...) {
    char buf[512];
    va_list ap;
    va_start(ap, fmt);
    std::vsnprintf(buf, sizeof buf, fmt, ap);
    va_end(ap);
    return buf;
}

bool match(const Hinge& a, const Hinge& b) {
    return ((a.kind == 1 && b.kind == 2) || (a.kind == 2 && b.kind == 1)) && a.xmin == b.xmin && a.xmax == b.xmax &&
           a.ymin == b.ymin && a.ymax == b.ymax;
}

bool hinge_or_reflector(const int* b) { return (b[4] == 1 && b[5] == 4) || (b[4] == 5 && (b[5] == 8 || b[5] == 9)); }

struct Stage {
    Flags flags;
    std::vector<Record> t{1};
    int n = 0, box_total = 0, output_number = 1;
    std::string temp, out;

    void read(const std::string& postmason) {
        Record current;
        std::vector<std::string> box_stream;
        int hinge_counter = 0;
        std::size_t at = 0;
        char line[80];
        int b[6];
        while (get_line(postmason, at, line, sizeof line)) {
            if (std::strlen(line) < 2) {  // the empty line that ends a group
                for (const std::string& l : box_stream) {
                    std::sscanf(l.c_str(), "%d %d %d %d %d %d", &b[0], &b[1], &b[2], &b[3], &b[4], &b[5]);
                    if (hinge_or_reflector(b)) continue;
                    ++box_total;
                    current.body += format("  %.1f %.1f %.1f %.1f %.1f %.1f\n", double(b[1] - b[0]), double(b[3] - b[2]),
                                           double(b[5] - b[4]), (b[0] + b[1]) / 2.0, (b[2] + b[3]) / 2.0, (b[4] + b[5]) / 2.0);
                }
                const int index = static_cast<int>(t.size());
                temp += format("# structure %d start --------------------\n{\n", index) + current.body +
                        format("}\n# structure %d end --------------------\n\n", index);
                t.push_back(current);
                current = Record();
                box_stream.clear();
                hinge_counter = 0;
                continue;
            }
            if (std::sscanf(line, "%d %d %d %d %d %d", &b[0], &b[1], &b[2], &b[3], &b[4], &b[5]) != 6) continue;
            box_stream.push_back(line);
            if (b[4] == 0) {
                current.anchor = 1;
            } else if ((b[4] == 1 && b[5] == 4) || (b[4] == 5 && b[5] == 8)) {
                const int kind = b[4] == 1 ? 1 : 2;
                if (hinge_counter >= static_cast<int>(current.hinges.size())) current.hinges.resize(hinge_counter + 1);
                current.hinges[hinge_counter] = Hinge{kind, b[0], b[1], b[2], b[3]};
                current.last_hinge = hinge_counter++;
                current.has_low_hinge |= kind == 1;
            } else if (b[4] == 5 && b[5] == 9) {
                current.has_reflector = 1;
                std::memcpy(current.reflector, b, sizeof b);
            }
        }
        n = static_cast<int>(t.size()) - 1;
    }

    void neighbors() {
        for (int i = 1; i <= n; ++i)
            for (int j = 0; j <= t[i].last_hinge; ++j)
                for (int s = 1, done = 0; s <= n && !done; ++s)
                    for (int k = 0; k <= t[s].last_hinge && !done; ++k) {
                        if (!match(t[i].hinges[j], t[s].hinges[k])) continue;
                        done = 1;  // only the first match counts
                        std::vector<int>& list = t[i].neighbors;
                        if (s != i && std::find(list.begin(), list.end(), s) == list.end()) list.push_back(s);
                    }
    }

    bool reaches(int from, int s, std::set<int>& visited) {
        if (!visited.insert(s).second) return false;
        if (t[s].anchor) return true;
        if (t[s].neighbors.size() == 1) return false;
        for (int m : t[s].neighbors)
            if (m != from && reaches(s, m, visited)) return true;
        return false;
    }

    void linkage() {
        for (int i = 1; i <= n; ++i) {
            t[i].parent = -1;
            if (t[i].anchor) continue;
            if (t[i].neighbors.size() == 1) t[i].parent = t[i].neighbors[0];
            for (std::size_t k = 0; k < t[i].neighbors.size() && t[i].parent == -1; ++k) {
                std::set<int> visited{i};
                if (reaches(i, t[i].neighbors[k], visited)) t[i].parent = t[i].neighbors[k];
            }
        }
        for (int i = 1; i <= n; ++i) {
            std::vector<int>& chain = t[i].chain = {i};
            for (int p = t[i].parent; p != -1 && std::find(chain.begin(), chain.end(), p) == chain.end(); p = t[p].parent)
                chain.push_back(p);
        }
    }

    int chain_length(int i) const { return flags.linkage ? static_cast<int>(t[i].chain.size()) - 1 : 0; }

    void summary() {
        if (!flags.summary) return;
        const std::string dashes = "# ---------------------------------------\n";
        out += dashes + format("# total structures found: %d\n# total boxes: %d\n#\n# neighbor summary :\n", n, box_total);
        for (int i = 1; i <= n; ++i) {
            out += format("# struct %d:\t%d neighbor(s): ", i, static_cast<int>(t[i].neighbors.size()));
            for (int m : t[i].neighbors) out += format("%d ", m);
            out += "\n";
        }
        if (flags.linkage) {
            out += "#\n# linkage summary :\n";
            for (int i = 1; i <= n; ++i) {
                out += format("# struct %d:\thingecnt: %d\tlinked-> %d\tlinkage(s): ", i, t[i].last_hinge, t[i].parent);
                for (int k = 0; k < chain_length(i); ++k) out += format("%d ", t[i].chain[k]);
                out += "\n";
            }
        }
        out += dashes;
    }

    void header(int i) {
        const Record& s = t[i];
        out += format("  anchor: %s\n", s.anchor ? "true" : "false");
        if (!s.anchor) {
            for (int k = 0; k < chain_length(i); ++k) out += format("  link %d %s\n", s.chain[k], k == 0 ? "start" : "member");
            int b = 0;
            if (s.parent >= 1) {
                const Record& p = t[s.parent];
                for (int e = 0, found = 0; e <= p.last_hinge && !found; ++e)
                    for (int f = 0; f <= s.last_hinge && !found; ++f)
                        if (match(p.hinges[e], s.hinges[f])) {
                            b = f;
                            found = 1;
                        }
            }
            const Hinge& h = s.hinges[b];
            if (h.xmax - h.xmin > h.ymax - h.ymin)
                out += format("  rotate: +x %.2f %.2f %.2f\n", 0.0, double((h.ymin + h.ymax) / 2.0f), 2.0);
            else
                out += format("  rotate: +y %.2f %.2f %.2f\n", double((h.xmin + h.xmax) / 2.0f), 0.0, 2.0);
        }
        if (s.has_reflector) {
            const int* r = s.reflector;
            out += format("\n  reflect start\n  %.1f %.1f %.1f %.1f %.1f %.1f\n  reflect end\n", double(r[1] - r[0]),
                          double(r[3] - r[2]), 1.5, (r[0] + r[1]) / 2.0, (r[2] + r[3]) / 2.0, double(r[4] + 2));
        }
    }

    void emit(int i) {
        if (t[i].emitted) return;
        t[i].emitted = 1;
        out += format("\n# structure %d start -----------------\n", output_number);
        out += flags.summary ? format("# (struct %d in the neighbor summary.)\n{\n", i) : "{\n";
        header(i);
        out += "\n" + t[i].body + format("}\n# structure %d end -----------------\n", output_number++);
    }

    void children(int a) {
        if (t[a].neighbors.size() == 1 && t[a].has_low_hinge) {
            emit(t[a].neighbors[0]);
            return;
        }
        for (int m : t[a].neighbors) {
            if (!t[m].emitted && t[m].has_low_hinge) {
                emit(m);
                children(m);
            }
        }
    }

    void emit_all() {
        if (flags.group) {
            for (int i = 1; i <= n; ++i)
                if (t[i].anchor) emit(i);
            std::vector<int> group_starts;
            for (int i = 1; i <= n; ++i) {
                if (t[i].has_low_hinge) continue;
                bool joined = false;
                for (int m : t[i].neighbors)
                    joined = joined || std::find(group_starts.begin(), group_starts.end(), m) != group_starts.end();
                if (joined) continue;
                group_starts.push_back(t[i].neighbors.empty() ? 0 : t[i].neighbors[0]);
                children(i);
            }
        }
        for (int i = 1; i <= n; ++i) emit(i);
    }
};

}  // namespace

std::string output_text(const std::string& postmason, const Flags& flags, std::string* blocks) {
    Stage s;
    s.flags = flags;
    s.read(postmason);
    s.neighbors();
    if (flags.linkage) s.linkage();
    s.summary();
    s.emit_all();
    if (blocks != nullptr) *blocks = s.temp;
    return s.out;
}

}  // namespace reference
