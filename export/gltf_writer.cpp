// The glTF model is assembled as tinygltf's Model and serialised by
// tinygltf, a well-kept glTF library, so that the container, the JSON and
// the chunk padding follow the format without a writer of our own.
#include "export/gltf_writer.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <optional>
#include <sstream>

#include <tiny_gltf.h>

#include "export/checks.h"
#include "export/mesh.h"
#include "export/output_file.h"

namespace kavrit {

namespace {

struct MaterialColour {
    const char* name;
    double r, g, b;
    double metallic, roughness;
};

// The colours of the OBJ output's materials.
const MaterialColour COLOURS[] = {
    {"anchored", 0.62, 0.62, 0.62, 0.0, 0.8},
    {"hinged", 0.26, 0.52, 0.86, 0.0, 0.6},
    {"free", 0.35, 0.70, 0.40, 0.0, 0.6},
    {"reflector", 1.00, 0.82, 0.25, 0.6, 0.3},
};

class Builder {
public:
    explicit Builder(tinygltf::Model& model) : model_(model) { model_.buffers.emplace_back(); }

    int material(const std::string& name) {
        for (std::size_t k = 0; k < model_.materials.size(); ++k)
            if (model_.materials[k].name == name) return static_cast<int>(k);
        tinygltf::Material m;
        m.name = name;
        for (const MaterialColour& c : COLOURS)
            if (name == c.name) {
                m.pbrMetallicRoughness.baseColorFactor = {c.r, c.g, c.b, 1.0};
                m.pbrMetallicRoughness.metallicFactor = c.metallic;
                m.pbrMetallicRoughness.roughnessFactor = c.roughness;
            }
        model_.materials.push_back(m);
        return static_cast<int>(model_.materials.size()) - 1;
    }

    // A triangle list of boxes, each given by its corners relative to the node.
    // Nothing when no side has an area.
    std::optional<tinygltf::Primitive> boxes(const std::vector<std::array<Vec3, 8>>& corners,
                                             const std::string& material_name) {
        std::vector<float> positions, normals;
        std::vector<std::uint32_t> indices;
        for (const auto& box : corners) {
            for (const BoxFace& f : BOX_FACES) {
                const Vec3& a = box[static_cast<std::size_t>(f.corners[0])];
                const Vec3& b = box[static_cast<std::size_t>(f.corners[1])];
                const Vec3& d = box[static_cast<std::size_t>(f.corners[3])];
                // A box flat along one axis has sides without area: leave them out.
                double along1 = 0, along2 = 0;
                for (int k = 0; k < 3; ++k) {
                    along1 += std::fabs(b[k] - a[k]);
                    along2 += std::fabs(d[k] - a[k]);
                }
                if (along1 == 0 || along2 == 0) continue;
                const auto first = static_cast<std::uint32_t>(positions.size() / 3);
                if (positions.size() / 3 + 4 > std::numeric_limits<std::uint32_t>::max())
                    throw OutputError("too many boxes in one structure for a glTF file");
                for (int c : f.corners) {
                    for (double v : box[static_cast<std::size_t>(c)]) positions.push_back(checked_float(v, "glTF"));
                    for (int k = 0; k < 3; ++k)
                        normals.push_back(k == f.axis ? static_cast<float>(f.side) : 0.0f);
                }
                for (std::uint32_t k : {0u, 1u, 2u, 0u, 2u, 3u}) indices.push_back(first + k);
            }
        }
        if (indices.empty()) return std::nullopt;
        tinygltf::Primitive p;
        p.mode = TINYGLTF_MODE_TRIANGLES;
        p.material = material(material_name);
        p.attributes["POSITION"] = vec3_accessor(positions, true);
        p.attributes["NORMAL"] = vec3_accessor(normals, false);
        p.indices = index_accessor(indices);
        return p;
    }

private:
    int view(const void* data, std::size_t bytes, int target) {
        auto& buffer = model_.buffers[0].data;
        while (buffer.size() % 4) buffer.push_back(0);
        tinygltf::BufferView v;
        v.buffer = 0;
        v.byteOffset = buffer.size();
        v.byteLength = bytes;
        v.target = target;
        const auto* p = static_cast<const unsigned char*>(data);
        buffer.insert(buffer.end(), p, p + bytes);
        model_.bufferViews.push_back(v);
        return static_cast<int>(model_.bufferViews.size()) - 1;
    }

    int vec3_accessor(const std::vector<float>& values, bool bounds) {
        tinygltf::Accessor a;
        a.bufferView = view(values.data(), values.size() * sizeof(float), TINYGLTF_TARGET_ARRAY_BUFFER);
        a.componentType = TINYGLTF_COMPONENT_TYPE_FLOAT;
        a.type = TINYGLTF_TYPE_VEC3;
        a.count = values.size() / 3;
        if (bounds && a.count > 0) {
            Bounds b;
            for (std::size_t i = 0; i + 2 < values.size(); i += 3)
                b.add({static_cast<double>(values[i]), static_cast<double>(values[i + 1]),
                       static_cast<double>(values[i + 2])});
            a.minValues = {b.lo[0], b.lo[1], b.lo[2]};
            a.maxValues = {b.hi[0], b.hi[1], b.hi[2]};
        }
        model_.accessors.push_back(a);
        return static_cast<int>(model_.accessors.size()) - 1;
    }

    int index_accessor(const std::vector<std::uint32_t>& values) {
        tinygltf::Accessor a;
        a.bufferView = view(values.data(), values.size() * sizeof(std::uint32_t), TINYGLTF_TARGET_ELEMENT_ARRAY_BUFFER);
        a.componentType = TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT;
        a.type = TINYGLTF_TYPE_SCALAR;
        a.count = values.size();
        model_.accessors.push_back(a);
        return static_cast<int>(model_.accessors.size()) - 1;
    }

    tinygltf::Model& model_;
};

// The quaternion (x, y, z, w) of a turn by `degrees` about +x or +y; exact at
// multiples of 90 degrees as far as sqrt(1/2) is.
std::vector<double> turn_quaternion(char axis, double degrees) {
    const Affine t = turn_about(axis, {0, 0, 0}, degrees);
    // From the exact matrix: cos and sin of the angle, then of its half.
    const double c = axis == 'x' ? t.m[1][1] : t.m[0][0];
    const double s = axis == 'x' ? t.m[2][1] : t.m[0][2];
    double half_c = std::sqrt(std::max(0.0, (1 + c) / 2));
    double half_s = std::sqrt(std::max(0.0, (1 - c) / 2));
    if (s < 0) half_s = -half_s;
    if (half_c == 0 && half_s < 0) half_s = -half_s;  // 180 degrees: (1, 0, 0, 0)
    return axis == 'x' ? std::vector<double>{half_s, 0, 0, half_c} : std::vector<double>{0, half_s, 0, half_c};
}

}  // namespace

std::string make_glb(const Layout& layout, const Pose& pose) {
    const auto& all = layout.structures;
    tinygltf::Model model;
    model.asset.version = "2.0";
    model.asset.generator = "kavrit-export";
    Builder build(model);

    // Each node's origin in flat coordinates (z stretched): the axis point
    // of a hinged structure, else the origin.
    std::vector<Vec3> origin(all.size(), Vec3{0, 0, 0});
    for (std::size_t i = 0; i < all.size(); ++i)
        if (pose.tree[i].turns) origin[i] = axis_point(all[i], pose.z_scale);

    tinygltf::Node root;
    root.name = "kavrit layout " + valid_utf8(layout.cif_name);
    root.rotation = {-std::sqrt(0.5), 0, 0, std::sqrt(0.5)};  // z up -> y up
    model.nodes.push_back(root);

    Affine flat;  // the file's coordinates, z stretched
    flat.m[2][2] = pose.z_scale;
    for (std::size_t i = 0; i < all.size(); ++i) {
        const Structure& s = all[i];
        tinygltf::Node node;
        node.name = "structure_" + std::to_string(s.number());
        tinygltf::Value::Object extras;
        extras["structure"] = tinygltf::Value(s.number());
        extras["kind"] = tinygltf::Value(std::string(kind_name(s.kind())));
        const Vec3 parent_origin = pose.tree[i].parent ? origin[*pose.tree[i].parent] : Vec3{0, 0, 0};
        if (pose.tree[i].turns) {
            const char axis = s.rotation ? s.rotation->axis : 'y';
            extras["axis"] = tinygltf::Value(std::string(1, axis));
            Vec3 offset{};
            for (int k = 0; k < 3; ++k) offset[k] = origin[i][k] - parent_origin[k];
            for (double& v : offset) v = checked_float(v, "glTF");
            if (offset != Vec3{0, 0, 0}) node.translation = {offset[0], offset[1], offset[2]};
            if (std::fmod(pose.degrees[i], 360.0) != 0) node.rotation = turn_quaternion(axis, pose.degrees[i]);
        }
        node.extras = tinygltf::Value(extras);

        std::vector<std::array<Vec3, 8>> plain, shiny;
        auto local = [&](const SizedBox& b) {
            const Cuboid c = to_cuboid(b);
            std::array<Vec3, 8> out{};
            for (int k = 0; k < 8; ++k) {
                const Vec3 p = flat.apply(corner(c, k));
                for (int a = 0; a < 3; ++a) out[static_cast<std::size_t>(k)][a] = p[a] - origin[i][a];
            }
            return out;
        };
        for (const SizedBox& b : s.boxes) plain.push_back(local(b));
        if (s.reflector) shiny.push_back(local(*s.reflector));
        tinygltf::Mesh mesh;
        mesh.name = node.name;
        if (auto p = build.boxes(plain, kind_name(s.kind()))) mesh.primitives.push_back(*p);
        if (auto p = build.boxes(shiny, "reflector")) mesh.primitives.push_back(*p);
        if (!mesh.primitives.empty()) {
            model.meshes.push_back(mesh);
            node.mesh = static_cast<int>(model.meshes.size()) - 1;
        }
        model.nodes.push_back(node);
    }
    // Nest the nodes: node 0 is the root, structure i is node i + 1.
    for (std::size_t i : tree_order(pose.tree)) {
        const int parent = pose.tree[i].parent ? static_cast<int>(*pose.tree[i].parent) + 1 : 0;
        model.nodes[static_cast<std::size_t>(parent)].children.push_back(static_cast<int>(i) + 1);
    }
    // A layout without a box side has no buffer at all: an empty one is refused.
    if (model.buffers[0].data.empty()) model.buffers.clear();

    tinygltf::Scene scene;
    scene.name = valid_utf8(layout.cif_name);
    scene.nodes = {0};
    model.scenes.push_back(scene);
    model.defaultScene = 0;

    std::ostringstream out;
    tinygltf::TinyGLTF writer;
    if (!writer.WriteGltfSceneToStream(&model, out, false, true)) throw OutputError("the glTF model could not be written");
    return out.str();
}

}  // namespace kavrit
