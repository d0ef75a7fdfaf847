// Generated layouts for the scale benchmark: a grid of hinged-mirror devices,
// written as a CIF file with one layer command per process layer.
//
// Each device stands in an anchored frame of four COL bars, with two COL
// hinge posts. On each post a CPS pin overlaps the post; a CPT arm of the
// mirror plate reaches over the pin inside the ring that the growing step
// draws around the post, which gives a hinge pair (pvtl/pvth) between the
// anchored pin and the plate. The plate is tiled from several CPT boxes, has
// etch holes (CHT) and a reflector (CCM over CMB). A CPS flap lies under the
// plate's edge, with a CMB mark over the overlap, so the flap hangs from the
// plate by a second hinge pair and the chain flap -> plate -> post is two
// links long; the flap has a release hole (CHO). The frame carries a metal pad
// (CCM) with a hole in the metal (CHM), a COF landing pad and a CPS latch.
#pragma once

#include <cstdint>
#include <string>

namespace scale {

// CIF boxes per device.
int boxes_per_device();

// A CIF layout of exactly `boxes` boxes: whole devices, the last one cut short
// when `boxes` is not a multiple of boxes_per_device(). Hole positions are
// jittered per device with a fixed seed, so the text depends on `boxes` alone.
std::string make_layout(std::int64_t boxes);

}  // namespace scale
