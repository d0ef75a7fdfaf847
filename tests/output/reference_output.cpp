#include "reference_output.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <set>
#include <vector>

namespace reference {
namespace {

struct Hinge {
    int kind = 0, xmin = 0, xmax = 0, ymin = 0, ymax = 0;
};

struct Record {
    int anchor = 0, has_low_hinge = 0, parent = 0, chain_length = 0, last_hinge = 0;
    std::vector<int> chain;
    std::vector<Hinge> hinges;  // as many entries as are filled, at least one
    int has_reflector = 0;
    int reflector[6] = {0, 0, 0, 0, 0, 0};
    std::vector<int> neighbors;
    int emitted = 0;
    Record() : hinges(1) {}
};

// fgets on a string: up to size - 1 characters, up to and including '\n'.
bool get_line(const std::string& text, std::size_t& at, char* buf, std::size_t size) {
    if (at >= text.size()) return false;
    std::size_t n = 0;
    while (n + 1 < size && at < text.size()) {
        const char c = text[at++];
        buf[n++] = c;
        if (c == '\n') break;
    }
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

struct Stage {
    Flags flags;
    std::vector<Record> t{1};
    int n = 0;
    int box_total = 0;
    std::string temp, out;
    int output_number = 1;

    void read(const std::string& postmason) {
        std::vector<std::string> box_stream;
        Record current;
        int hinge_counter = 0;
        std::size_t at = 0;
        char line[80];
        while (get_line(postmason, at, line, sizeof line)) {
            if (std::strlen(line) < 2) {
                const int index = static_cast<int>(t.size());
                temp += format("# structure %d start --------------------\n{\n", index);
                for (const std::string& l : box_stream) {
                    int b[6];
                    std::sscanf(l.c_str(), "%d %d %d %d %d %d", &b[0], &b[1], &b[2], &b[3], &b[4], &b[5]);
                    if ((b[4] == 1 && b[5] == 4) || (b[4] == 5 && b[5] == 8) || (b[4] == 5 && b[5] == 9)) continue;
                    ++box_total;
                    temp += format("  %.1f %.1f %.1f %.1f %.1f %.1f\n", double(b[1] - b[0]), double(b[3] - b[2]),
                                   double(b[5] - b[4]), (b[0] + b[1]) / 2.0, (b[2] + b[3]) / 2.0, (b[4] + b[5]) / 2.0);
                }
                temp += format("}\n# structure %d end --------------------\n\n", index);
                t.push_back(current);
                current = Record();
                box_stream.clear();
                hinge_counter = 0;
                continue;
            }
            int b[6];
            if (std::sscanf(line, "%d %d %d %d %d %d", &b[0], &b[1], &b[2], &b[3], &b[4], &b[5]) != 6) continue;
            box_stream.push_back(line);
            if (b[4] == 0) {
                current.anchor = 1;
            } else if ((b[4] == 1 && b[5] == 4) || (b[4] == 5 && b[5] == 8)) {
                const int kind = b[4] == 1 ? 1 : 2;
                if (static_cast<std::size_t>(hinge_counter) >= current.hinges.size()) current.hinges.resize(hinge_counter + 1);
                current.hinges[hinge_counter] = Hinge{kind, b[0], b[1], b[2], b[3]};
                current.last_hinge = hinge_counter;
                ++hinge_counter;
                if (kind == 1) current.has_low_hinge = 1;
            } else if (b[4] == 5 && b[5] == 9) {
                current.has_reflector = 1;
                std::memcpy(current.reflector, b, sizeof b);
            }
        }
        n = static_cast<int>(t.size()) - 1;
    }

    void neighbors() {
        for (int i = 1; i <= n; ++i) {
            for (int j = 0; j <= t[i].last_hinge; ++j) {
                bool done = false;
                for (int s = 1; s <= n && !done; ++s) {
                    for (int k = 0; k <= t[s].last_hinge; ++k) {
                        if (!match(t[i].hinges[j], t[s].hinges[k])) continue;
                        bool listed = false;
                        for (int m : t[i].neighbors) listed = listed || m == s;
                        if (s != i && !listed) t[i].neighbors.push_back(s);
                        done = true;
                        break;
                    }
                }
            }
        }
    }

    bool reaches(int from, int s, std::set<int>& visited) {
        if (visited.count(s)) return false;
        visited.insert(s);
        if (t[s].anchor) return true;
        if (t[s].neighbors.size() == 1) return false;
        for (int m : t[s].neighbors) {
            if (m == from) continue;
            if (reaches(s, m, visited)) return true;
        }
        return false;
    }

    void linkage() {
        for (int i = 1; i <= n; ++i) {
            t[i].parent = -1;
            if (t[i].anchor) continue;
            if (t[i].neighbors.size() == 1) {
                t[i].parent = t[i].neighbors[0];
                continue;
            }
            for (int m : t[i].neighbors) {
                std::set<int> visited{i};
                if (reaches(i, m, visited)) {
                    t[i].parent = m;
                    break;
                }
            }
        }
        for (int i = 1; i <= n; ++i) {
            t[i].chain = {i};
            int cur = i;
            while (t[cur].parent != -1) {
                const int p = t[cur].parent;
                bool seen = false;
                for (int c : t[i].chain) seen = seen || c == p;
                if (seen) break;
                t[i].chain.push_back(p);
                cur = p;
            }
            t[i].chain_length = static_cast<int>(t[i].chain.size()) - 1;
        }
    }

    void summary() {
        if (!flags.summary) return;
        out += "# ---------------------------------------\n";
        out += format("# total structures found: %d\n", n);
        out += format("# total boxes: %d\n", box_total);
        out += "#\n# neighbor summary :\n";
        for (int i = 1; i <= n; ++i) {
            out += format("# struct %d:\t%d neighbor(s): ", i, static_cast<int>(t[i].neighbors.size()));
            for (int m : t[i].neighbors) out += format("%d ", m);
            out += "\n";
        }
        if (flags.linkage) {
            out += "#\n# linkage summary :\n";
            for (int i = 1; i <= n; ++i) {
                out += format("# struct %d:\thingecnt: %d\tlinked-> %d\tlinkage(s): ", i, t[i].last_hinge, t[i].parent);
                for (int k = 0; k < t[i].chain_length; ++k) out += format("%d ", t[i].chain[k]);
                out += "\n";
            }
        }
        out += "# ---------------------------------------\n";
    }

    void header(int i) {
        const Record& s = t[i];
        out += format("  anchor: %s\n", s.anchor ? "true" : "false");
        if (!s.anchor) {
            for (int k = 0; k < s.chain_length; ++k) out += format("  link %d %s\n", s.chain[k], k == 0 ? "start" : "member");
            int b = 0;
            if (s.parent >= 1) {
                const Record& p = t[s.parent];
                bool found = false;
                for (int e = 0; e <= p.last_hinge && !found; ++e)
                    for (int f = 0; f <= s.last_hinge && !found; ++f)
                        if (match(p.hinges[e], s.hinges[f])) {
                            b = f;
                            found = true;
                        }
            }
            const Hinge& h = s.hinges[b];
            const char* axis;
            float x, y, z = 2;
            if (h.xmax - h.xmin > h.ymax - h.ymin) {
                axis = "+x";
                x = 0;
                y = (h.ymin + h.ymax) / 2.0f;
            } else {
                axis = "+y";
                x = (h.xmin + h.xmax) / 2.0f;
                y = 0;
            }
            out += format("  rotate: %s %.2f %.2f %.2f\n", axis, x, y, z);
        }
        if (s.has_reflector) {
            const int* r = s.reflector;
            out += "\n  reflect start\n";
            out += format("  %.1f %.1f %.1f %.1f %.1f %.1f\n", double(r[1] - r[0]), double(r[3] - r[2]), 1.5,
                          (r[0] + r[1]) / 2.0, (r[2] + r[3]) / 2.0, double(r[4] + 2));
            out += "  reflect end\n";
        }
    }

    void emit(int i) {
        if (t[i].emitted) return;
        std::size_t at = 0;
        char line[80];
        bool copying = false;
        while (get_line(temp, at, line, sizeof line)) {
            char w[5][80];
            const bool five = std::sscanf(line, "%s %s %s %s %s", w[0], w[1], w[2], w[3], w[4]) == 5;
            if (five && !std::strcmp(w[0], "#") && !std::strcmp(w[3], "start") && std::atoi(w[2]) == i) {
                get_line(temp, at, line, sizeof line);
                out += format("\n# structure %d start -----------------\n", output_number);
                if (flags.summary)
                    out += format("# (struct %d in the neighbor summary.)\n{\n", i);
                else
                    out += "{\n";
                header(i);
                out += "\n";
                copying = true;
            } else if (five && !std::strcmp(w[0], "#") && !std::strcmp(w[3], "end") && std::atoi(w[2]) == i) {
                out += format("# structure %d end -----------------\n", output_number);
                ++output_number;
                break;
            } else if (copying) {
                out += line;
            }
        }
        t[i].emitted = 1;
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
                    for (int g : group_starts) joined = joined || m == g;
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
