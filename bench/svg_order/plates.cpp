// The layouts of bench-svg-order (see plates.h).
#include "bench/svg_order/plates.h"

#include <cmath>
#include <sstream>

#include "export/mesh.h"

using namespace kavrit;

namespace svg_order_bench {

std::string kavrit_of(const std::vector<Plate>& plates) {
    std::ostringstream o;
    o << "#\n# cif input file: bench.cif\n#\n";
    o << std::fixed;
    o.precision(2);
    for (std::size_t i = 0; i < plates.size(); ++i) {
        const Plate& p = plates[i];
        const std::size_t n = i + 1;
        o << "\n# structure " << n << " start -----------------\n{\n  anchor: false\n  link " << n << " start\n";
        if (p.axis == 'x') o << "  rotate: +x 0.00 " << p.y << " " << p.z << "\n\n";
        else o << "  rotate: +y " << p.x << " 0.00 " << p.z << "\n\n";
        o.precision(1);
        o << "  " << p.w << " " << p.d << " " << p.t << " " << p.x + p.w / 2 << " " << p.y + p.d / 2 << " "
          << p.z + p.t / 2 << "\n}\n# structure " << n << " end -----------------\n";
        o.precision(2);
    }
    o << "#\n# end of kavrit file\n";
    return o.str();
}

Layout layout_of(const std::vector<Plate>& plates) {
    std::istringstream in(kavrit_of(plates));
    return read_kavrit(in);
}

std::vector<Plate> stack(std::size_t n) {
    std::vector<Plate> p;
    for (std::size_t i = 0; i < n; ++i) p.push_back({0, 0, 3.0 * static_cast<double>(i), 100, 60, 2, 'x'});
    return p;
}

std::vector<Plate> array_of(std::size_t n) {
    std::vector<Plate> p;
    const auto side = static_cast<std::size_t>(std::ceil(std::sqrt(static_cast<double>(n))));
    for (std::size_t i = 0; i < n; ++i)
        p.push_back({110.0 * static_cast<double>(i % side), 110.0 * static_cast<double>(i / side), 0, 100, 60, 2, 'x'});
    return p;
}

// The sides facing the viewer, as render_svg passes them.
std::vector<Face3> faces_of(const Layout& layout, const Pose& pose, const View& view) {
    std::vector<Face3> faces;
    for (const PosedBox& b : posed_boxes(layout, pose))
        for (const BoxFace& side : BOX_FACES) {
            Face3 f;
            for (int c = 0; c < 3; ++c) f.normal[c] = b.edges[static_cast<std::size_t>(side.axis)][c] * side.side;
            if (nearness(view, f.normal) <= 1e-9) continue;
            for (int c = 0; c < 4; ++c) f.corners[c] = b.corners[static_cast<std::size_t>(side.corners[c])];
            faces.push_back(f);
        }
    return faces;
}

Pose raised(const Layout& layout, double degrees) {
    PoseRequest r;
    r.raise = degrees;
    return make_pose(layout, r);
}

}  // namespace svg_order_bench
