#include "export/mesh.h"

#include <charconv>

namespace kavrit {

Cuboid to_cuboid(const SizedBox& box) {
    Cuboid c;
    for (int a = 0; a < 3; ++a) {
        c.lo[a] = box.lo(a);
        c.hi[a] = box.hi(a);
    }
    return c;
}

Vec3 corner(const Cuboid& box, int c) {
    return {(c & 1) ? box.hi[0] : box.lo[0], (c & 2) ? box.hi[1] : box.lo[1],
            (c & 4) ? box.hi[2] : box.lo[2]};
}

const std::array<BoxFace, 6> BOX_FACES = {{
    {{0, 4, 6, 2}, 0, -1},
    {{1, 3, 7, 5}, 0, +1},
    {{0, 1, 5, 4}, 1, -1},
    {{2, 6, 7, 3}, 1, +1},
    {{0, 2, 3, 1}, 2, -1},
    {{4, 5, 7, 6}, 2, +1},
}};

std::vector<DrawnBox> drawn_boxes(const Layout& layout) {
    std::vector<DrawnBox> out;
    for (std::size_t i = 0; i < layout.structures.size(); ++i) {
        const Structure& s = layout.structures[i];
        for (const SizedBox& b : s.boxes) out.push_back({to_cuboid(b), i, false});
        if (s.reflector) out.push_back({to_cuboid(*s.reflector), i, true});
    }
    return out;
}

Bounds bounds_of(const std::vector<DrawnBox>& boxes) {
    Bounds b;
    for (const DrawnBox& d : boxes) b.add(d.box.lo, d.box.hi);
    return b;
}

std::string format_number(double value) {
    if (value == 0) value = 0;  // no "-0"
    char buf[64];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
    if (ec != std::errc()) return "0";
    return std::string(buf, end);
}

}  // namespace kavrit
