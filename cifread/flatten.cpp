// Placing every instance: checks of the call graph, the count of what the
// layout places (before anything is placed), the walk over the instances
// with an explicit stack, and the union of each layer.
//
// Coordinates stay exact: a placement's translation is a fraction with a
// common denominator, and a shape's edges are rounded to halves of a CIF unit
// only once, after every transformation.
#include <algorithm>
#include <numeric>

#include "cifread/depth_first.h"
#include "cifread/model.h"

namespace cifread {

namespace {

using i128 = __int128;

// Edges beyond the 32-bit range of CIF numbers, in halves of a unit.
constexpr std::int64_t MAX_HALF_UNITS = std::int64_t{2} * 2147483647;
constexpr std::int64_t MIN_HALF_UNITS = std::int64_t{2} * -2147483648LL;

std::uint64_t saturating_add(std::uint64_t a, std::uint64_t b, std::uint64_t cap) {
    return (a > cap || b > cap || a + b > cap) ? cap + 1 : a + b;
}

struct Overflow {};

i128 mul(i128 a, i128 b) {
    i128 r = 0;
    if (__builtin_mul_overflow(a, b, &r)) throw Overflow{};
    return r;
}
i128 add(i128 a, i128 b) {
    i128 r = 0;
    if (__builtin_add_overflow(a, b, &r)) throw Overflow{};
    return r;
}
i128 abs128(i128 a) { return a < 0 ? -a : a; }
i128 gcd128(i128 a, i128 b) {
    a = abs128(a);
    b = abs128(b);
    while (b != 0) {
        const i128 t = a % b;
        a = b;
        b = t;
    }
    return a;
}
std::int64_t narrow(i128 v) {
    if (v > INT64_MAX || v < INT64_MIN) throw Overflow{};
    return static_cast<std::int64_t>(v);
}

// Where one instance lands: q -> map(q) + (x, y) / den, in CIF units.
struct Placement {
    RightAngleMap map;
    std::int64_t x = 0;
    std::int64_t y = 0;
    std::int64_t den = 1;
    bool oblique = false;
};

RightAngleMap times(const RightAngleMap& p, const RightAngleMap& c) {
    return {p.xx * c.xx + p.xy * c.yx, p.xx * c.xy + p.xy * c.yy, p.yx * c.xx + p.yy * c.yx,
            p.yx * c.xy + p.yy * c.yy};
}

// The placement of a call made inside `caller` that is itself placed by `p`.
Placement compose(const Placement& p, const Definition& caller, const Call& c) {
    Placement r;
    r.oblique = p.oblique || c.oblique;
    if (r.oblique) return r;
    r.map = times(p.map, c.map);
    // The call's translation is a distance of the caller, scaled by its a / b.
    const i128 ax = mul(caller.scale_a, c.tx);
    const i128 ay = mul(caller.scale_a, c.ty);
    const i128 mx = p.map.xx * ax + p.map.xy * ay;
    const i128 my = p.map.yx * ax + p.map.yy * ay;
    i128 x = add(mul(mx, p.den), mul(p.x, caller.scale_b));
    i128 y = add(mul(my, p.den), mul(p.y, caller.scale_b));
    i128 den = mul(caller.scale_b, p.den);
    const i128 g = gcd128(gcd128(x, y), den);
    if (g > 1) {
        x /= g;
        y /= g;
        den /= g;
    }
    r.x = narrow(x);
    r.y = narrow(y);
    r.den = narrow(den);
    return r;
}

// num / den (den > 0) to the nearest integer, halves away from zero.
std::int64_t round_half_away(i128 num, i128 den, bool& inexact) {
    inexact = num % den != 0;
    const i128 twice = mul(abs128(num), 2);
    const i128 q = add(twice, den) / mul(den, 2);
    return narrow(num < 0 ? -q : q);
}

// The map of one instance's corners, in halves of the written unit, to
// halves of a CIF unit: h = (map(v) * scale + offset) / den, each axis
// rounded to the nearest integer, halves away from zero. While the numbers
// fit in 64 bits the corners are worked out in 64-bit arithmetic, with a
// plain copy when den is 1 (whole units); a corner whose arithmetic would
// leave 64 bits takes the 128-bit path, which gives the same value or the
// overflow.
struct CornerMap {
    RightAngleMap map;
    bool fast = false;
    std::int64_t scale = 0;  // a * placement den
    std::int64_t ox = 0;     // 2 * x * b
    std::int64_t oy = 0;
    std::int64_t den = 1;    // b * placement den
};

// num / den (den > 1) rounded as round_half_away does, in 64 bits; false
// when an intermediate value would leave them.
bool round_half_away_64(std::int64_t num, std::int64_t den, std::int64_t& out, bool& inexact) {
    if (num == INT64_MIN) return false;
    const std::int64_t magnitude = num < 0 ? -num : num;
    std::int64_t twice = 0;
    std::int64_t twice_den = 0;
    if (__builtin_mul_overflow(magnitude, std::int64_t{2}, &twice) ||
        __builtin_mul_overflow(den, std::int64_t{2}, &twice_den) || __builtin_add_overflow(twice, den, &twice))
        return false;
    const std::int64_t q = twice / twice_den;
    inexact = num % den != 0;
    out = num < 0 ? -q : q;
    return true;
}

class Placer {
public:
    Placer(ParsedLayout& parsed, const ReadLimits& limits) : p_(parsed), limits_(limits) {
        placed_.resize(parsed.layer_names.size());
        not_rectilinear_.assign(parsed.layer_names.size(), 0);
    }

    void check_calls() {
        const Definition* undefined = nullptr;
        for (std::size_t i = 1; i < defs().size(); ++i) {
            const Definition& d = defs()[i];
            if (!d.defined && (undefined == nullptr || d.first_call_line < undefined->first_call_line))
                undefined = &d;
        }
        if (undefined != nullptr)
            throw ReadError{undefined->first_call_line, "call of undefined symbol " + std::to_string(undefined->number)};
        order_definitions();
    }

    void count() {
        const std::uint64_t cap = limits_.max_placed_boxes;
        const std::uint64_t instance_cap = limits_.max_instances;
        const std::size_t n = defs().size();
        boxes_.assign(n, 0);
        instances_.assign(n, 0);
        places_.assign(n, false);
        for (const int d : order_) {  // callees before callers
            const Definition& def = defs()[static_cast<std::size_t>(d)];
            std::uint64_t boxes = std::min<std::uint64_t>(def.rects.size(), cap + 1);
            std::uint64_t instances = 1;
            bool places = !def.rects.empty() || !def.not_rectilinear.empty();
            for (const Call& c : def.calls) {
                const auto t = static_cast<std::size_t>(c.target);
                if (!places_[t]) continue;
                places = true;
                boxes = saturating_add(boxes, boxes_[t], cap);
                instances = saturating_add(instances, instances_[t], instance_cap);
            }
            boxes_[static_cast<std::size_t>(d)] = boxes;
            instances_[static_cast<std::size_t>(d)] = instances;
            places_[static_cast<std::size_t>(d)] = places;
        }

        // The top level, or when it places nothing, every symbol that no
        // other symbol calls, placed once as it stands.
        const Definition& top = defs()[0];
        // Shapes with no layer place nothing.
        if (!top.rects.empty() || !top.not_rectilinear.empty() || !top.calls.empty()) {
            roots_.push_back(0);
        } else {
            for (std::size_t i = 1; i < n; ++i)
                if (!defs()[i].called_by_symbol) roots_.push_back(static_cast<int>(i));
        }
        std::uint64_t boxes = 0;
        std::uint64_t instances = 0;
        for (const int r : roots_) {
            boxes = saturating_add(boxes, boxes_[static_cast<std::size_t>(r)], cap);
            instances = saturating_add(instances, instances_[static_cast<std::size_t>(r)], instance_cap);
        }
        if (boxes > cap)
            throw ReadError{0, "the layout places more than " + counted(cap, "box", "boxes") + ", more than this reader takes"};
        if (instances > instance_cap)
            throw ReadError{0, "the layout places more than " + counted(instance_cap, "symbol instance", "symbol instances") +
                                   ", more than this reader takes"};
    }

    void place() {
        for (const int r : roots_) walk(r);
    }

    FlatLayout finish(SweepBudget& budget) {
        FlatLayout out;
        out.warnings = std::move(p_.warnings);
        out.has_end = p_.has_end;
        out.end_rest = std::move(p_.end_rest);
        for (std::size_t l = 0; l < p_.layer_names.size(); ++l) {
            LayerBoxes layer;
            layer.name = p_.layer_names[l];
            if (!union_boxes(placed_[l], layer.boxes, budget))
                throw ReadError{0, "layer " + layer.name + " is too complex to cut into boxes"};
            std::vector<HalfBox>().swap(placed_[l]);
            out.layers.push_back(std::move(layer));
            if (not_rectilinear_[l] > 0)
                out.warnings.push_back({0, "layer " + p_.layer_names[l] + ": " +
                                               counted(not_rectilinear_[l], "shape that is", "shapes that are") +
                                               " not rectilinear left out"});
        }
        if (rounded_shapes_ > 0)
            out.warnings.push_back(
                {0, counted(rounded_shapes_, "shape", "shapes") + " rounded to the nearest half CIF unit"});
        return out;
    }

private:
    std::vector<Definition>& defs() { return p_.definitions; }

    // Depth-first over the call graph; a call back into a definition still
    // on the stack is a recursion. order_ gets every definition after all
    // those it calls.
    void order_definitions() {
        depth_first(
            defs().size(), [&](int d) -> const std::vector<Call>& { return defs()[static_cast<std::size_t>(d)].calls; },
            [](const Call& c) { return c.target; },
            [&](const Call& c, const std::vector<DepthFirstFrame>&) {
                throw ReadError{c.line, "recursive call of symbol " +
                                            std::to_string(defs()[static_cast<std::size_t>(c.target)].number)};
            },
            [&](int d) { order_.push_back(d); });
    }

    void walk(int root) {
        struct Frame {
            int def;
            std::size_t next;
            Placement placement;
        };
        std::vector<Frame> stack;
        stack.push_back({root, 0, Placement{}});
        emit(root, stack.back().placement);
        while (!stack.empty()) {
            Frame& f = stack.back();
            const Definition& def = defs()[static_cast<std::size_t>(f.def)];
            if (f.next == def.calls.size()) {
                stack.pop_back();
                continue;
            }
            const Call& c = def.calls[f.next++];
            if (!places_[static_cast<std::size_t>(c.target)]) continue;
            Placement child;
            try {
                child = compose(f.placement, def, c);
            } catch (const Overflow&) {
                throw ReadError{c.line, "placement out of range"};
            }
            stack.push_back({c.target, 0, child});
            emit(c.target, child);
        }
    }

    // The shapes of one instance of definition d.
    void emit(int d, const Placement& at) {
        const Definition& def = defs()[static_cast<std::size_t>(d)];
        for (const ShapeCount& s : def.not_rectilinear) not_rectilinear_[static_cast<std::size_t>(s.layer)] += s.count;
        if (at.oblique) {
            // Turned by an angle that is no multiple of a right angle: no boxes.
            for (const LocalRect& r : def.rects)
                if (r.first_of_shape) ++not_rectilinear_[static_cast<std::size_t>(r.layer)];
            return;
        }
        const CornerMap m = corner_map(def, at);
        bool shape_rounded = false;
        for (const LocalRect& r : def.rects) {
            if (r.first_of_shape) {
                if (shape_rounded) ++rounded_shapes_;
                shape_rounded = false;
            }
            try {
                HalfBox out;
                corner(def, at, m, r.rect.xmin, r.rect.ymin, out.xmin, out.ymin, shape_rounded);
                corner(def, at, m, r.rect.xmax, r.rect.ymax, out.xmax, out.ymax, shape_rounded);
                if (out.xmin > out.xmax) std::swap(out.xmin, out.xmax);
                if (out.ymin > out.ymax) std::swap(out.ymin, out.ymax);
                if (out.xmin < MIN_HALF_UNITS || out.xmax > MAX_HALF_UNITS || out.ymin < MIN_HALF_UNITS ||
                    out.ymax > MAX_HALF_UNITS)
                    throw Overflow{};
                placed_[static_cast<std::size_t>(r.layer)].push_back(out);
            } catch (const Overflow&) {
                throw ReadError{r.line, "coordinates out of range (beyond 32-bit CIF numbers once placed)"};
            }
        }
        if (shape_rounded) ++rounded_shapes_;
    }

    // The 64-bit form of the instance's map, when its numbers fit.
    static CornerMap corner_map(const Definition& def, const Placement& at) {
        CornerMap m;
        m.map = at.map;
        m.fast = !__builtin_mul_overflow(def.scale_a, at.den, &m.scale) &&
                 !__builtin_mul_overflow(def.scale_b, at.den, &m.den) &&
                 !__builtin_mul_overflow(at.x, std::int64_t{2}, &m.ox) &&
                 !__builtin_mul_overflow(m.ox, def.scale_b, &m.ox) &&
                 !__builtin_mul_overflow(at.y, std::int64_t{2}, &m.oy) &&
                 !__builtin_mul_overflow(m.oy, def.scale_b, &m.oy) && m.den > 0;
        return m;
    }

    // One coordinate of a corner on the 64-bit path; false when it leaves 64 bits.
    static bool coordinate_64(const CornerMap& m, std::int64_t v, std::int64_t offset, std::int64_t& h, bool& inexact) {
        std::int64_t n = 0;
        if (__builtin_mul_overflow(v, m.scale, &n) || __builtin_add_overflow(n, offset, &n)) return false;
        if (m.den == 1) {
            h = n;
            inexact = false;
            return true;
        }
        return round_half_away_64(n, m.den, h, inexact);
    }

    // A corner (ex, ey), in halves of the definition's written unit, to
    // halves of a CIF unit where the placement puts it.
    static void corner(const Definition& def, const Placement& at, const CornerMap& m, std::int64_t ex,
                       std::int64_t ey, std::int64_t& hx, std::int64_t& hy, bool& rounded) {
        if (m.fast) {
            // |ex|, |ey| < 2^34 and the map's entries are -1, 0 and 1.
            const std::int64_t vx = m.map.xx * ex + m.map.xy * ey;
            const std::int64_t vy = m.map.yx * ex + m.map.yy * ey;
            bool inexact_x = false;
            bool inexact_y = false;
            if (coordinate_64(m, vx, m.ox, hx, inexact_x) && coordinate_64(m, vy, m.oy, hy, inexact_y)) {
                if (inexact_x || inexact_y) rounded = true;
                return;
            }
        }
        corner_128(def, at, ex, ey, hx, hy, rounded);
    }

    static void corner_128(const Definition& def, const Placement& at, std::int64_t ex, std::int64_t ey,
                           std::int64_t& hx, std::int64_t& hy, bool& rounded) {
        const i128 vx = static_cast<i128>(at.map.xx) * ex + static_cast<i128>(at.map.xy) * ey;
        const i128 vy = static_cast<i128>(at.map.yx) * ex + static_cast<i128>(at.map.yy) * ey;
        const i128 den = mul(def.scale_b, at.den);
        const i128 nx = add(mul(mul(vx, def.scale_a), at.den), mul(mul(at.x, 2), def.scale_b));
        const i128 ny = add(mul(mul(vy, def.scale_a), at.den), mul(mul(at.y, 2), def.scale_b));
        bool inexact_x = false;
        bool inexact_y = false;
        hx = round_half_away(nx, den, inexact_x);
        hy = round_half_away(ny, den, inexact_y);
        if (inexact_x || inexact_y) rounded = true;
    }

    ParsedLayout& p_;
    const ReadLimits& limits_;
    std::vector<int> order_;
    std::vector<std::uint64_t> boxes_;
    std::vector<std::uint64_t> instances_;
    std::vector<bool> places_;
    std::vector<int> roots_;
    std::vector<std::vector<HalfBox>> placed_;
    std::vector<std::uint64_t> not_rectilinear_;
    std::uint64_t rounded_shapes_ = 0;
};

}  // namespace

std::string counted(std::uint64_t n, std::string_view one, std::string_view many) {
    return std::to_string(n) + " " + std::string(n == 1 ? one : many);
}

FlatLayout flatten(ParsedLayout& parsed, const ReadLimits& limits, SweepBudget& budget) {
    Placer placer(parsed, limits);
    placer.check_calls();
    placer.count();
    placer.place();
    return placer.finish(budget);
}

ReadResult read_layout(std::string_view text, const ReadLimits& limits) {
    ReadResult result;
    SweepBudget budget{limits.max_sweep_steps};
    try {
        ParsedLayout parsed = parse_cif(text, budget);
        result.layout = flatten(parsed, limits, budget);
        result.ok = true;
    } catch (const ReadError& e) {
        result.error = {e.line, e.text};
    }
    return result;
}

}  // namespace cifread
