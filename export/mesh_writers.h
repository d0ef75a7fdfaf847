// Solid-model writers: Wavefront OBJ (with its material library) and binary STL.
#pragma once

#include <string>

#include "export/kavrit.h"
#include "export/pose.h"

namespace kavrit {

struct ObjText {
    std::string obj;
    std::string mtl;
};

// One object "structure_N" per structure, 8 vertices and 6 quad faces per
// box; the boxes use the material of the structure's kind ("anchored",
// "hinged", "free"), the reflector box the material "reflector".
// `mtl_name` is the name the OBJ's mtllib line refers to.
ObjText make_obj(const Layout& layout, const std::string& mtl_name);
// The same with the boxes where `pose` puts them.
ObjText make_obj(const Layout& layout, const std::string& mtl_name, const Pose& pose);

// Binary STL: an 80-byte header, the triangle count and 12 triangles per
// box (reflectors included), little-endian single precision.
std::string make_stl(const Layout& layout);
std::string make_stl(const Layout& layout, const Pose& pose);

}  // namespace kavrit
