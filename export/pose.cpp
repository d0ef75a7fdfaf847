#include "export/pose.h"

#include <charconv>
#include <cmath>
#include <numbers>

namespace kavrit {

Vec3 Affine::apply(const Vec3& p) const {
    Vec3 out{};
    for (int r = 0; r < 3; ++r) out[r] = m[r][0] * p[0] + m[r][1] * p[1] + m[r][2] * p[2] + t[r];
    return out;
}

Vec3 Affine::turn(const Vec3& d) const {
    Vec3 out{};
    for (int r = 0; r < 3; ++r) out[r] = m[r][0] * d[0] + m[r][1] * d[1] + m[r][2] * d[2];
    return out;
}

bool Affine::keeps_axes() const {
    for (const Vec3& row : m) {
        int nonzero = 0;
        for (double v : row) {
            if (v == 0) continue;
            if (v != 1 && v != -1) return false;
            ++nonzero;
        }
        if (nonzero != 1) return false;
    }
    return true;
}

Affine compose(const Affine& outer, const Affine& inner) {
    Affine out;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            out.m[r][c] = outer.m[r][0] * inner.m[0][c] + outer.m[r][1] * inner.m[1][c] + outer.m[r][2] * inner.m[2][c];
    out.t = outer.apply(inner.t);
    return out;
}

namespace {

// cos and sin of an angle in degrees, exact at multiples of 90.
void cos_sin(double degrees, double& c, double& s) {
    double d = std::fmod(degrees, 360.0);
    if (d < 0) d += 360;
    if (d == 0) c = 1, s = 0;
    else if (d == 90) c = 0, s = 1;
    else if (d == 180) c = -1, s = 0;
    else if (d == 270) c = 0, s = -1;
    else {
        const double r = d * std::numbers::pi / 180;
        c = std::cos(r);
        s = std::sin(r);
    }
}

}  // namespace

Affine turn_about(char axis, const Vec3& point, double degrees) {
    double c, s;
    cos_sin(degrees, c, s);
    Affine a;
    if (axis == 'x')
        a.m = {{{1, 0, 0}, {0, c, -s}, {0, s, c}}};
    else
        a.m = {{{c, 0, s}, {0, 1, 0}, {-s, 0, c}}};
    // Turned about `point`: x -> m (x - point) + point = m x + (point - m point).
    const Vec3 moved = a.turn(point);
    for (int k = 0; k < 3; ++k) a.t[k] = point[k] - moved[k];
    return a;
}

std::vector<HingeNode> hinge_tree(const Layout& layout) {
    const auto& all = layout.structures;
    std::map<int, std::size_t> by_number;
    for (std::size_t i = 0; i < all.size(); ++i) by_number[all[i].number()] = i;

    std::vector<HingeNode> tree(all.size());
    for (std::size_t i = 0; i < all.size(); ++i) {
        const Structure& s = all[i];
        if (s.kind() != Kind::hinged) continue;
        tree[i].turns = true;
        auto parent = s.listed_parent();
        if (!parent) {
            tree[i].hangs_from_anchor = true;
            continue;
        }
        auto it = by_number.find(*parent);
        if (it == by_number.end())
            throw PoseError("structure " + std::to_string(s.number()) + " hangs from structure " +
                            std::to_string(*parent) + " (its second link line, line " +
                            std::to_string(s.first_line) + " on), which the file does not hold");
        tree[i].parent = it->second;
    }

    // Cut rings: walk up from each structure; a walk that comes back to a
    // structure of its own path has found a ring, whose members all hang
    // from the fixed frame.
    enum State : unsigned char { unseen, on_path, settled };
    std::vector<State> state(all.size(), unseen);
    for (std::size_t start = 0; start < all.size(); ++start) {
        std::vector<std::size_t> path;
        std::size_t at = start;
        while (state[at] == unseen) {
            state[at] = on_path;
            path.push_back(at);
            if (!tree[at].parent) break;
            at = *tree[at].parent;
        }
        if (state[at] == on_path && tree[at].parent && state[*tree[at].parent] == on_path) {
            // `at` closes a ring: cut every member from `at` round to `at`.
            std::size_t member = at;
            std::vector<std::size_t> ring;
            do {
                ring.push_back(member);
                member = *tree[member].parent;
            } while (member != at);
            for (std::size_t r : ring) tree[r].parent.reset();
        }
        for (std::size_t p : path) state[p] = settled;
    }
    return tree;
}

std::vector<std::size_t> tree_order(const std::vector<HingeNode>& tree) {
    std::vector<std::vector<std::size_t>> children(tree.size());
    std::vector<std::size_t> order;
    for (std::size_t i = 0; i < tree.size(); ++i)
        if (tree[i].parent) children[*tree[i].parent].push_back(i);
        else order.push_back(i);
    // Breadth first from the roots; the tree has no rings (hinge_tree cuts them).
    for (std::size_t k = 0; k < order.size(); ++k)
        for (std::size_t c : children[order[k]]) order.push_back(c);
    return order;
}

std::string parse_pose_list(const std::string& text, std::map<int, double>& into) {
    std::size_t at = 0;
    if (text.empty()) return "--pose needs N=DEG[,N=DEG...]";
    while (at <= text.size()) {
        std::size_t comma = text.find(',', at);
        if (comma == std::string::npos) comma = text.size();
        const std::string item = text.substr(at, comma - at);
        const std::size_t eq = item.find('=');
        const std::string bad = "--pose: \"" + item + "\" is not N=DEG (a structure number, '=', an angle in degrees)";
        if (eq == std::string::npos || eq == 0 || eq + 1 == item.size()) return bad;
        int number = 0;
        const char* first = item.data();
        const char* mid = item.data() + eq;
        auto [p1, e1] = std::from_chars(first, mid, number);
        if (e1 != std::errc() || p1 != mid || number < 1) return bad;
        const char* end = item.data() + item.size();
        const char* deg_first = mid + 1;
        if (*deg_first == '+') ++deg_first;
        double degrees = 0;
        auto [p2, e2] = std::from_chars(deg_first, end, degrees, std::chars_format::fixed);
        if (e2 != std::errc() || p2 != end || !std::isfinite(degrees)) return bad;
        if (!into.emplace(number, degrees).second)
            return "--pose: structure " + std::to_string(number) + " is given twice";
        at = comma + 1;
    }
    return "";
}

Vec3 axis_point(const Structure& s, double z_scale) {
    if (!s.rotation) return {0, 0, 0};
    return {s.rotation->point[0], s.rotation->point[1], s.rotation->point[2] * z_scale};
}

Vec3 axis_direction(const Structure& s) {
    if (s.rotation && s.rotation->axis == 'x') return {1, 0, 0};
    return {0, 1, 0};
}

bool Pose::keeps_axes() const {
    for (const Affine& r : rotation)
        if (!r.keeps_axes()) return false;
    return true;
}

namespace {

Affine stretch_z(double z_scale) {
    Affine s;
    s.m[2][2] = z_scale;
    return s;
}

}  // namespace

Pose flat_pose(const Layout& layout, double z_scale) {
    Pose pose;
    pose.z_scale = z_scale;
    pose.tree.resize(layout.structures.size());
    pose.world.assign(layout.structures.size(), stretch_z(z_scale));
    pose.rotation.assign(layout.structures.size(), Affine{});
    pose.degrees.assign(layout.structures.size(), 0);
    return pose;
}

Pose unturned(const Pose& pose) {
    Pose out = pose;
    for (std::size_t i = 0; i < out.world.size(); ++i) {
        out.world[i] = stretch_z(pose.z_scale);
        out.rotation[i] = Affine{};
        out.degrees[i] = 0;
    }
    return out;
}

Pose make_pose(const Layout& layout, const PoseRequest& request) {
    const auto& all = layout.structures;
    Pose pose = flat_pose(layout, request.z_scale);
    pose.tree = hinge_tree(layout);

    std::map<int, std::size_t> by_number;
    for (std::size_t i = 0; i < all.size(); ++i) by_number[all[i].number()] = i;
    if (request.raise)
        for (std::size_t i = 0; i < all.size(); ++i)
            if (pose.tree[i].turns && pose.tree[i].hangs_from_anchor) pose.degrees[i] = *request.raise;
    for (const auto& [number, degrees] : request.degrees) {
        auto it = by_number.find(number);
        if (it == by_number.end())
            throw PoseError("--pose: the file holds no structure " + std::to_string(number), true);
        const Structure& s = all[it->second];
        if (s.anchored)
            throw PoseError("--pose: structure " + std::to_string(number) + " is anchored and does not turn", true);
        if (!pose.tree[it->second].turns)
            throw PoseError("--pose: structure " + std::to_string(number) +
                            " has no link lines, so it hangs from nothing and does not turn",
                            true);
        pose.degrees[it->second] = degrees;
    }

    // Parents before children: each structure's own turn, in flat
    // coordinates, after which its parent's pose carries it along.
    std::vector<Affine> turned(all.size());  // flat, z stretched -> posed
    for (std::size_t i : tree_order(pose.tree)) {
        Affine own;
        if (pose.tree[i].turns)
            own = turn_about(all[i].rotation ? all[i].rotation->axis : 'y', axis_point(all[i], request.z_scale),
                             pose.degrees[i]);
        turned[i] = pose.tree[i].parent ? compose(turned[*pose.tree[i].parent], own) : own;
        pose.rotation[i] = turned[i];
        pose.rotation[i].t = {0, 0, 0};
        pose.world[i] = compose(turned[i], stretch_z(request.z_scale));
    }
    return pose;
}

std::vector<PosedBox> posed_boxes(const Layout& layout, const Pose& pose) {
    std::vector<PosedBox> out;
    for (const DrawnBox& d : drawn_boxes(layout)) {
        PosedBox p;
        p.structure = d.structure;
        p.reflector = d.reflector;
        const Affine& w = pose.world[d.structure];
        // A structure that stays where it is keeps the file's numbers bit for bit.
        const bool still = w.m == Affine{}.m && w.t == Vec3{0, 0, 0};
        for (int c = 0; c < 8; ++c)
            p.corners[static_cast<std::size_t>(c)] = still ? corner(d.box, c) : w.apply(corner(d.box, c));
        const Affine& r = pose.rotation[d.structure];
        for (int a = 0; a < 3; ++a) {
            Vec3 e{0, 0, 0};
            e[static_cast<std::size_t>(a)] = 1;
            p.edges[static_cast<std::size_t>(a)] = r.turn(e);
        }
        out.push_back(p);
    }
    return out;
}

Cuboid bounding_cuboid(const PosedBox& box) {
    Bounds b;
    for (const Vec3& p : box.corners) b.add(p);
    return {b.lo, b.hi};
}

}  // namespace kavrit
