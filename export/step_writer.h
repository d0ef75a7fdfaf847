// STEP output: the layout as solids for CAD and finite-element tools.
//
// Every structure becomes one solid, the union of its boxes with coplanar
// faces merged, named structure_N; its reflector becomes a solid of its own,
// structure_N_reflector.  Boxes that meet only along an edge or at a corner
// give several solids, kept together in one compound of that name.  Each
// solid carries the colour of its kind, the colours of the OBJ materials.
// Lengths are micrometres.
#pragma once

#include <stdexcept>
#include <string>

#include "export/kavrit.h"
#include "export/pose.h"

namespace kavrit {

// A structure whose boxes the modelling kernel cannot turn into a solid
// (a box without volume, a failed union); the message names the structure.
class StepError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The text of a STEP file (AP214) of the layout in the given pose.  Throws
// StepError.
std::string make_step(const Layout& layout, const Pose& pose);

}  // namespace kavrit
