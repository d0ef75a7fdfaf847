#include "export/mesh_writers.h"

#include <cstdint>
#include <cstring>
#include <limits>

#include "export/checks.h"
#include "export/mesh.h"
#include "export/output_file.h"

namespace kavrit {

namespace {

struct Material {
    const char* name;
    const char* colour;  // diffuse colour, r g b
};

const Material MATERIALS[] = {
    {"anchored", "0.62 0.62 0.62"},
    {"hinged", "0.26 0.52 0.86"},
    {"free", "0.35 0.70 0.40"},
    {"reflector", "1.00 0.82 0.25"},
};

}  // namespace

ObjText make_obj(const Layout& layout, const std::string& mtl_name) {
    return make_obj(layout, mtl_name, flat_pose(layout));
}

ObjText make_obj(const Layout& layout, const std::string& mtl_name, const Pose& pose) {
    const std::vector<PosedBox> boxes = posed_boxes(layout, pose);
    ObjText out;
    out.mtl = "# materials of the structure kinds\n";
    for (const Material& m : MATERIALS) {
        out.mtl += "\nnewmtl ";
        out.mtl += m.name;
        out.mtl += "\nKa 0.00 0.00 0.00\nKd ";
        out.mtl += m.colour;
        out.mtl += "\nKs 0.10 0.10 0.10\nNs 10\nd 1\nillum 2\n";
    }

    std::string& o = out.obj;
    o = "# structures of the kavrit layout " + layout.cif_name + "\n";
    o += "# " + std::to_string(layout.structures.size()) + " structures, " +
         std::to_string(layout.box_count() + layout.reflector_count()) + " boxes\n";
    o += "mtllib " + mtl_name + "\n";
    std::size_t next_vertex = 1;
    auto add_box = [&](const PosedBox& b) {
        for (const Vec3& p : b.corners) {
            o += "v " + format_number(checked_double(p[0], ".obj")) + " " + format_number(checked_double(p[1], ".obj")) +
                 " " + format_number(checked_double(p[2], ".obj")) + "\n";
        }
        for (const BoxFace& f : BOX_FACES) {
            o += "f";
            for (int k : f.corners) {
                o += ' ';
                o += std::to_string(next_vertex + static_cast<std::size_t>(k));
            }
            o += "\n";
        }
        next_vertex += 8;
    };
    // posed_boxes gives each structure's boxes, then its reflector, in file order.
    std::size_t next_box = 0;
    for (std::size_t i = 0; i < layout.structures.size(); ++i) {
        const Structure& s = layout.structures[i];
        o += "o structure_" + std::to_string(s.number()) + "\n";
        if (!s.boxes.empty()) {
            o += std::string("usemtl ") + kind_name(s.kind()) + "\n";
            for (std::size_t k = 0; k < s.boxes.size(); ++k) add_box(boxes[next_box++]);
        }
        if (s.reflector) {
            o += "usemtl reflector\n";
            add_box(boxes[next_box++]);
        }
    }
    return out;
}

namespace {

void put_u32(std::string& out, std::uint32_t v) {
    for (int k = 0; k < 4; ++k) out += static_cast<char>((v >> (8 * k)) & 0xff);
}

void put_float(std::string& out, double value) {
    const float f = checked_float(value, ".stl");
    std::uint32_t bits = 0;
    static_assert(sizeof bits == sizeof f);
    std::memcpy(&bits, &f, sizeof bits);
    put_u32(out, bits);
}

}  // namespace

std::string make_stl(const Layout& layout) { return make_stl(layout, flat_pose(layout)); }

std::string make_stl(const Layout& layout, const Pose& pose) {
    const std::vector<PosedBox> boxes = posed_boxes(layout, pose);
    const std::size_t triangles = boxes.size() * 12;
    if (triangles > std::numeric_limits<std::uint32_t>::max())
        throw OutputError("too many boxes for one STL file");

    // The header must not begin with "solid", or readers take the file for text STL.
    std::string out = "binary STL of the kavrit layout " + layout.cif_name;
    out.resize(80, '\0');
    put_u32(out, static_cast<std::uint32_t>(triangles));
    out.reserve(out.size() + triangles * 50);
    for (const PosedBox& d : boxes) {
        for (const BoxFace& f : BOX_FACES) {
            Vec3 normal = d.edges[static_cast<std::size_t>(f.axis)];
            for (double& v : normal) v = v * f.side + 0.0;  // no -0 in the file
            const int tri[2][3] = {{f.corners[0], f.corners[1], f.corners[2]},
                                   {f.corners[0], f.corners[2], f.corners[3]}};
            for (const auto& t : tri) {
                for (double n : normal) put_float(out, n);
                for (int c : t) {
                    for (double v : d.corners[static_cast<std::size_t>(c)]) put_float(out, v);
                }
                out += '\0';
                out += '\0';
            }
        }
    }
    return out;
}

}  // namespace kavrit
