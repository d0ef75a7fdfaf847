// The checks of what kavrit-export writes, for the fuzz entry: each returns
// the first problem found in the file's bytes, or "" when there is none.
#pragma once

#include <string>

namespace fuzz_entry::export_checks {

// A binary glTF: the container's lengths, a valid JSON chunk, a model that
// tinygltf loads, and finite floats in every float accessor and its bounds.
std::string check_glb(const std::string& glb);

// A viewer page: its data a valid JSON text holding a glTF that check_glb accepts.
std::string check_html(const std::string& page);

// Binary STL: 84 bytes and 50 per triangle, every number finite.
std::string check_stl(const std::string& stl);

// OBJ: finite vertices, faces of four vertices that exist; the MTL beside it.
std::string check_obj(const std::string& obj, bool mtl_there);

// SVG: tags closed in order, and every coordinate attribute a plain number.
std::string check_svg(const std::string& svg);

}  // namespace fuzz_entry::export_checks
