// From a GDSII library to the placing engine's model (cifread/model.h).
//
// The engine places definitions whose written coordinates are scaled by a
// ratio of their own (as CIF's DS n a b) and calls that turn by right angles
// and mirror. GDSII magnifies: a structure placed with magnification m draws
// its shapes m times larger, and its references place their structures m
// times further apart. Each structure is therefore made once per
// magnification it is placed with (a variant), its coordinates written as
// x * mn in units of (database unit) / md for m = mn / md, so that every
// value stays a whole number and the engine's exact arithmetic does the rest.
// An absolute path width |w| is written as |w| * md in the same units.
//
// An AREF of C columns and R rows becomes two definitions: a row of C calls
// at multiples of the column step, in units C times finer than its caller's
// (so a step that does not divide evenly stays exact), and a column of R
// calls of that row at multiples of the row step, in units R times finer.
// The lattice vectors are taken from the three XY points as they are, so
// they need not be orthogonal.
#include <algorithm>
#include <cmath>
#include <map>
#include <numeric>
#include <tuple>

#include "cifread/model.h"
#include "gdsread/library.h"
#include "gdsread/read_gds.h"

namespace gdsread {

namespace {

using cifread::Call;
using cifread::Definition;
using cifread::HalfBox;
using cifread::RightAngleMap;
using i128 = __int128;

// Magnification numerators and denominators stay below this, so that a
// 32-bit coordinate times either, doubled, fits 64 bits with room to spare.
constexpr std::int64_t MAX_MAGNIFICATION_PART = std::int64_t{1} << 24;
// Written coordinates of the model stay below this.
constexpr i128 MAX_WRITTEN = i128{1} << 61;
// Definitions of the model: a structure once per magnification (and, with
// absolute angles, orientation) it is placed with, and two per AREF.
constexpr std::size_t MAX_DEFINITIONS = 1'000'000;

RightAngleMap times(const RightAngleMap& p, const RightAngleMap& c) {
    return {p.xx * c.xx + p.xy * c.yx, p.xx * c.xy + p.xy * c.yy, p.yx * c.xx + p.yy * c.yx,
            p.yx * c.xy + p.yy * c.yy};
}
RightAngleMap transpose(const RightAngleMap& m) { return {m.xx, m.yx, m.xy, m.yy}; }
bool mirrors(const RightAngleMap& m) { return m.xx * m.yy - m.xy * m.yx < 0; }
int code_of(const RightAngleMap& m) { return (m.xx + 1) * 27 + (m.xy + 1) * 9 + (m.yx + 1) * 3 + (m.yy + 1); }
// A turn by `quarters` right angles counter-clockwise.
RightAngleMap turn(int quarters) {
    switch (quarters & 3) {
        case 1:
            return {0, -1, 1, 0};
        case 2:
            return {-1, 0, 0, -1};
        case 3:
            return {0, 1, -1, 0};
        default:
            return {};
    }
}
const RightAngleMap MIRROR_Y{1, 0, 0, -1};  // reflection about the x axis

struct Ratio {
    std::int64_t num = 1;
    std::int64_t den = 1;
};

class Builder {
public:
    Builder(const Library& lib, const LayerMap& map, const cifread::ReadLimits& limits, cifread::SweepBudget& budget)
        : lib_(lib), map_(map), limits_(limits), budget_(budget) {}

    cifread::ParsedLayout build(const std::vector<int>& tops) {
        std::int64_t p = 0;
        std::int64_t q = 0;
        // CIF units (10 nm) per database unit.
        if (!exact_ratio(lib_.database_unit / 1e-8, p, q))
            throw GdsError{-1, "the database unit of " + std::to_string(lib_.database_unit) +
                                   " m is no ratio of 10 nm that this reader takes"};
        unit_ = {p, q};
        absolute_angles_ = false;
        for (const Structure& s : lib_.structures)
            for (const Reference& r : s.references) absolute_angles_ = absolute_angles_ || r.absolute_angle;
        find_placing();

        out_.definitions.emplace_back();
        out_.definitions[0].defined = true;
        out_.has_end = true;
        // A CIF file ends its end command with a line feed, which goes to the
        // output; a GDSII layout gives the same output as that file.
        out_.end_rest.assign(1, '\n');
        for (const int t : tops) {
            if (!places_[static_cast<std::size_t>(t)]) continue;
            Call c;
            c.target = variant(t, Ratio{}, RightAngleMap{});
            c.line = lib_.structures[static_cast<std::size_t>(t)].offset;
            out_.definitions[0].calls.push_back(c);
            ++calls_;
        }
        while (!work_.empty()) {
            const Pending p = work_.back();
            work_.pop_back();
            fill(p);
        }
        return std::move(out_);
    }

private:
    struct Pending {
        int def;
        int structure;
        Ratio mag;
        RightAngleMap orientation;
    };

    // Whether each structure places anything on a mapped layer.
    void find_placing() {
        const std::size_t n = lib_.structures.size();
        places_.assign(n, false);
        std::vector<std::uint8_t> state(n, 0);
        std::vector<std::pair<int, std::size_t>> stack;
        for (std::size_t start = 0; start < n; ++start) {
            if (state[start] != 0) continue;
            state[start] = 1;
            stack.push_back({static_cast<int>(start), 0});
            while (!stack.empty()) {
                auto& [s, next] = stack.back();
                const Structure& st = lib_.structures[static_cast<std::size_t>(s)];
                if (next < st.references.size()) {
                    const int t = st.references[next++].target;
                    if (t >= 0 && state[static_cast<std::size_t>(t)] == 0) {
                        state[static_cast<std::size_t>(t)] = 1;
                        stack.push_back({t, 0});
                    }
                    continue;
                }
                bool places = false;
                if (st.name != CONTEXT_STRUCTURE) {
                    for (const Shape& sh : st.shapes)
                        if (map_.gdsii_name(sh.layer, sh.data_type) != nullptr) places = true;
                    for (const Reference& r : st.references)
                        if (r.target >= 0 && places_[static_cast<std::size_t>(r.target)]) places = true;
                }
                places_[static_cast<std::size_t>(s)] = places;
                state[static_cast<std::size_t>(s)] = 2;
                stack.pop_back();
            }
        }
    }

    [[noreturn]] void too_many_boxes() const {
        throw GdsError{-1, "the layout places more than " + std::to_string(limits_.max_placed_boxes) +
                               " boxes, more than this reader takes"};
    }

    int new_definition(std::int64_t scale_a, std::int64_t scale_b, long long offset) {
        if (out_.definitions.size() >= MAX_DEFINITIONS)
            throw GdsError{-1, "the layout needs more than " + std::to_string(MAX_DEFINITIONS) +
                                   " structure variants (one per magnification a structure is placed with), more "
                                   "than this reader takes"};
        Definition d;
        const std::int64_t g = std::gcd(scale_a, scale_b);
        d.number = static_cast<std::int64_t>(out_.definitions.size());
        d.scale_a = scale_a / g;
        d.scale_b = scale_b / g;
        d.defined = true;
        d.called_by_symbol = true;
        d.line = static_cast<long>(offset);
        out_.definitions.push_back(std::move(d));
        return static_cast<int>(out_.definitions.size() - 1);
    }

    // The definition of structure s placed with magnification mag (and, when
    // the library has absolute angles, with the orientation it ends up in).
    int variant(int s, Ratio mag, RightAngleMap orientation) {
        const int code = absolute_angles_ ? code_of(orientation) : 0;
        const auto key = std::make_tuple(s, mag.num, mag.den, code);
        if (const auto it = variants_.find(key); it != variants_.end()) return it->second;
        const Structure& st = lib_.structures[static_cast<std::size_t>(s)];
        // Scale: (database unit) / md, in CIF units.
        const i128 b = i128{unit_.den} * mag.den;
        if (b > INT64_MAX) throw GdsError{st.offset, "magnification out of range"};
        const int d = new_definition(unit_.num, static_cast<std::int64_t>(b), st.offset);
        variants_.emplace(key, d);
        work_.push_back({d, s, mag, orientation});
        return d;
    }

    int layer_index(const std::string& name) {
        const auto [it, added] = layers_.emplace(name, static_cast<int>(out_.layer_names.size()));
        if (added) out_.layer_names.push_back(name);
        return it->second;
    }

    static std::int64_t written(std::int64_t v, std::int64_t factor, long long offset) {
        const i128 w = i128{v} * factor;
        if (w > MAX_WRITTEN || w < -MAX_WRITTEN) throw GdsError{offset, "coordinates out of range"};
        return static_cast<std::int64_t>(w);
    }

    void not_rectilinear(Definition& d, int layer) {
        for (cifread::ShapeCount& c : d.not_rectilinear)
            if (c.layer == layer) {
                ++c.count;
                return;
            }
        d.not_rectilinear.push_back({layer, 1});
    }

    void add_rect(Definition& d, const HalfBox& r, int layer, long long offset, bool& first) {
        if (!(r.xmin < r.xmax && r.ymin < r.ymax)) return;
        if (++rects_ > limits_.max_placed_boxes) too_many_boxes();
        d.rects.push_back({r, layer, static_cast<long>(offset), first});
        first = false;
    }

    static std::vector<common::Point64> without_repeats(const std::vector<common::Point64>& in) {
        std::vector<common::Point64> out;
        out.reserve(in.size());
        for (const common::Point64& p : in)
            if (out.empty() || !(out.back() == p)) out.push_back(p);
        return out;
    }

    void outline(Definition& d, const Shape& sh, int layer, std::int64_t mn) {
        std::vector<common::Point64> pts = without_repeats(sh.points);
        if (pts.size() > 1 && pts.front() == pts.back()) pts.pop_back();
        if (pts.size() < 3) return;
        std::vector<cifread::Point> outline;
        outline.reserve(pts.size());
        for (const common::Point64& p : pts)
            outline.push_back({2 * written(p.x, mn, sh.offset), 2 * written(p.y, mn, sh.offset)});
        if (!cifread::is_rectilinear(outline)) {
            not_rectilinear(d, layer);
            return;
        }
        std::vector<HalfBox> rects;
        if (!cifread::outline_rects(outline, rects, budget_))
            throw GdsError{sh.offset, "polygon too complex to cut into boxes"};
        bool first = true;
        for (const HalfBox& r : rects) add_rect(d, r, layer, sh.offset, first);
    }

    // Each segment a box reaching half the width to either side; the path's
    // ends reach beyond their points by the path type's extension, the
    // joints by half the width (which fills the outer corner of a bend).
    void path(Definition& d, const Shape& sh, int layer, Ratio mag) {
        if (sh.width == 0) return;
        const std::vector<common::Point64> pts = without_repeats(sh.points);
        if (pts.empty()) return;
        if (sh.path_type == 1) {  // round ends
            not_rectilinear(d, layer);
            return;
        }
        if (pts.size() < 2) return;
        for (std::size_t i = 0; i + 1 < pts.size(); ++i)
            if (pts[i].x != pts[i + 1].x && pts[i].y != pts[i + 1].y) {
                not_rectilinear(d, layer);
                return;
            }
        // A negative width is absolute: not magnified.
        const std::int64_t factor = sh.width < 0 ? mag.den : mag.num;
        // Half the width in halves of a written unit is the width in written units.
        const std::int64_t half = written(sh.width < 0 ? -sh.width : sh.width, factor, sh.offset);
        std::int64_t begin = 0;
        std::int64_t end = 0;
        if (sh.path_type == 2) {
            begin = end = half;
        } else if (sh.path_type == 4) {
            begin = 2 * written(sh.begin_extension, factor, sh.offset);
            end = 2 * written(sh.end_extension, factor, sh.offset);
        }
        bool first = true;
        for (std::size_t i = 0; i + 1 < pts.size(); ++i) {
            const std::int64_t ax = 2 * written(pts[i].x, mag.num, sh.offset);
            const std::int64_t ay = 2 * written(pts[i].y, mag.num, sh.offset);
            const std::int64_t bx = 2 * written(pts[i + 1].x, mag.num, sh.offset);
            const std::int64_t by = 2 * written(pts[i + 1].y, mag.num, sh.offset);
            const std::int64_t before = i == 0 ? begin : half;
            const std::int64_t after = i + 2 == pts.size() ? end : half;
            const bool along_x = ay == by;
            const std::int64_t a = along_x ? ax : ay;
            const std::int64_t b = along_x ? bx : by;
            const std::int64_t lo = a < b ? a - before : b - after;
            const std::int64_t hi = a < b ? b + after : a + before;
            if (lo >= hi) continue;
            const std::int64_t c = along_x ? ay : ax;
            HalfBox r = along_x ? HalfBox{lo, c - half, hi, c + half} : HalfBox{c - half, lo, c + half, hi};
            add_rect(d, r, layer, sh.offset, first);
        }
    }

    // Calls of the model, bounded as the boxes are: a magnification or an
    // array makes many of them from a few bytes of the file.
    void add_call(int def, const Call& c) {
        if (++calls_ > limits_.max_placed_boxes)
            throw GdsError{-1, "the layout needs more than " + std::to_string(limits_.max_placed_boxes) +
                                   " placements once its arrays and magnifications are spelt out, more than this "
                                   "reader takes"};
        out_.definitions[static_cast<std::size_t>(def)].calls.push_back(c);
    }

    void reference(int def, const Pending& at, const Reference& r) {
        // The reference's own linear part: reflection about x, then the turn.
        std::int64_t mn = 0;
        std::int64_t md = 0;
        if (!exact_ratio(r.magnification, mn, md) || mn > MAX_MAGNIFICATION_PART || md > MAX_MAGNIFICATION_PART)
            throw GdsError{r.offset, "magnification " + std::to_string(r.magnification) + " out of range"};
        Ratio mag{mn, md};
        if (!r.absolute_magnification) {
            const i128 n = i128{at.mag.num} * mn;
            const i128 dd = i128{at.mag.den} * md;
            i128 a = n;
            i128 b = dd;
            for (i128 x = n, y = dd; ; ) {  // divide by gcd(n, dd)
                if (y == 0) {
                    a /= x;
                    b /= x;
                    break;
                }
                const i128 t = x % y;
                x = y;
                y = t;
            }
            if (a > MAX_MAGNIFICATION_PART || b > MAX_MAGNIFICATION_PART)
                throw GdsError{r.offset, "magnification out of range once placed"};
            mag = {static_cast<std::int64_t>(a), static_cast<std::int64_t>(b)};
        }
        Call c;
        c.line = static_cast<long>(r.offset);
        const double turns = std::fmod(r.angle, 360.0) / 90.0;
        const double whole = std::nearbyint(turns);
        RightAngleMap own = times(turn(static_cast<int>(whole) + 4), r.reflect ? MIRROR_Y : RightAngleMap{});
        RightAngleMap total = times(at.orientation, own);
        if (std::fabs(turns - whole) > 1e-9) {
            c.oblique = true;
        } else if (r.absolute_angle) {
            // The own turn replaces the one inherited; reflections still add up.
            total = times(turn(static_cast<int>(whole) + 4),
                          (mirrors(at.orientation) != r.reflect) ? MIRROR_Y : RightAngleMap{});
            own = times(transpose(at.orientation), total);
        }
        c.map = own;
        c.target = variant(r.target, mag, total);
        const long long o = r.offset;
        const std::int64_t k = at.mag.num;
        if (!r.array) {
            c.tx = written(r.origin.x, k, o);
            c.ty = written(r.origin.y, k, o);
            add_call(def, c);
            return;
        }
        const Definition& caller = out_.definitions[static_cast<std::size_t>(def)];
        const std::int64_t a = caller.scale_a;
        const std::int64_t b = caller.scale_b;
        if (b > INT64_MAX / 32768) throw GdsError{o, "AREF lattice out of range"};
        const int row = new_definition(a, b * r.columns, o);
        const int column = new_definition(a, b * r.rows, o);
        const std::int64_t cx = written(r.column_end.x - r.origin.x, k, o);
        const std::int64_t cy = written(r.column_end.y - r.origin.y, k, o);
        const std::int64_t rx = written(r.row_end.x - r.origin.x, k, o);
        const std::int64_t ry = written(r.row_end.y - r.origin.y, k, o);
        for (int i = 0; i < r.columns; ++i) {
            c.tx = written(cx, i, o);
            c.ty = written(cy, i, o);
            add_call(row, c);
        }
        Call step;
        step.target = row;
        step.line = c.line;
        for (int j = 0; j < r.rows; ++j) {
            step.tx = written(rx, j, o);
            step.ty = written(ry, j, o);
            add_call(column, step);
        }
        Call place;
        place.target = column;
        place.line = c.line;
        place.tx = written(r.origin.x, k, o);
        place.ty = written(r.origin.y, k, o);
        add_call(def, place);
    }

    void fill(const Pending& p) {
        const Structure& st = lib_.structures[static_cast<std::size_t>(p.structure)];
        for (const Shape& sh : st.shapes) {
            const std::string* name = map_.gdsii_name(sh.layer, sh.data_type);
            if (name == nullptr) continue;
            const int layer = layer_index(*name);
            Definition& d = out_.definitions[static_cast<std::size_t>(p.def)];
            if (sh.kind == ShapeKind::Path)
                path(d, sh, layer, p.mag);
            else
                outline(d, sh, layer, p.mag.num);
        }
        for (const Reference& r : st.references)
            if (r.target >= 0 && places_[static_cast<std::size_t>(r.target)]) reference(p.def, p, r);
    }

    const Library& lib_;
    const LayerMap& map_;
    const cifread::ReadLimits& limits_;
    cifread::SweepBudget& budget_;
    cifread::ParsedLayout out_;
    Ratio unit_;
    bool absolute_angles_ = false;
    std::vector<bool> places_;
    std::map<std::tuple<int, std::int64_t, std::int64_t, int>, int> variants_;
    std::vector<Pending> work_;
    std::map<std::string, int> layers_;
    std::uint64_t rects_ = 0;
    std::uint64_t calls_ = 0;
};

std::vector<LayerCount> count_layers(const Library& lib) {
    std::map<std::pair<int, int>, std::uint64_t> counts;
    for (const Structure& s : lib.structures) {
        if (s.name == CONTEXT_STRUCTURE) continue;
        for (const Shape& sh : s.shapes) ++counts[{sh.layer, sh.data_type}];
    }
    std::vector<LayerCount> out;
    for (const auto& [key, n] : counts) out.push_back({key.first, key.second, n});
    return out;
}

std::vector<int> top_structures(const Library& lib) {
    std::vector<bool> referenced(lib.structures.size(), false);
    for (const Structure& s : lib.structures)
        for (const Reference& r : s.references)
            if (r.target >= 0) referenced[static_cast<std::size_t>(r.target)] = true;
    std::vector<int> tops;
    for (std::size_t i = 0; i < lib.structures.size(); ++i)
        if (!referenced[i] && lib.structures[i].name != CONTEXT_STRUCTURE) tops.push_back(static_cast<int>(i));
    return tops;
}

std::string plural(std::uint64_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

}  // namespace

GdsReadResult read_gds(ByteSource& source, const LayerMap* map, const std::string& top,
                       const cifread::ReadLimits& limits) {
    GdsReadResult result;
    try {
        const Library lib = read_library(source);
        for (const auto& [type, offset] : lib.unknown_types)
            result.warnings.push_back({offset, "record type " + record_name(static_cast<std::uint8_t>(type)) +
                                                   ", unknown to the stream format, passed over"});
        result.layers = count_layers(lib);
        if (map == nullptr) {
            result.ok = true;
            return result;
        }
        std::vector<int> tops = top_structures(lib);
        if (!top.empty()) {
            const auto it = lib.index.find(top);
            if (it == lib.index.end() || top == CONTEXT_STRUCTURE) {
                std::string names;
                for (const int t : tops) names += (names.empty() ? "" : ", ") + lib.structures[static_cast<std::size_t>(t)].name;
                throw GdsError{-1, "no structure " + top + " to place; the top cells are: " +
                                       (names.empty() ? "(none)" : names)};
            }
            tops = {it->second};
        }
        for (const LayerCount& l : result.layers)
            if (map->gdsii_name(l.layer, l.data_type) == nullptr)
                result.warnings.push_back({-1, "layer " + std::to_string(l.layer) + "/" + std::to_string(l.data_type) +
                                                   " (" + plural(l.shapes, "shape", "shapes") +
                                                   ") is not in the layer map; left out"});
        cifread::SweepBudget budget{limits.max_sweep_steps};
        cifread::ParsedLayout parsed = Builder(lib, *map, limits, budget).build(tops);
        try {
            result.layout = cifread::flatten(parsed, limits, budget);
        } catch (const cifread::ReadError& e) {
            throw GdsError{e.line > 0 ? e.line : -1, e.text};
        }
        result.ok = true;
    } catch (const GdsError& e) {
        result.ok = false;
        result.error = e;
    }
    return result;
}

}  // namespace gdsread
