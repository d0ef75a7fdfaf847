// The GDSII reader: a stream read into a library, checked, mapped to the
// process layers and handed to the placing engine of the CIF reader, which
// places every instance, rounds once after every transformation and cuts
// each layer's union into boxes. A GDSII layout and the same layout as CIF
// give the same boxes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cifread/layout.h"
#include "gdsread/layer_map.h"
#include "gdsread/records.h"

namespace gdsread {

struct LayerCount {
    int layer = 0;
    int data_type = 0;
    std::uint64_t shapes = 0;  // elements in the file, each counted once
};

struct GdsReadResult {
    bool ok = false;
    GdsError error;  // when !ok
    // The layer/data type pairs the file holds with their shape counts, in
    // increasing order (filled whenever the library could be read).
    std::vector<LayerCount> layers;
    // Filled when a map was given: the boxes of each mapped layer.
    cifread::FlatLayout layout;
    std::vector<GdsError> warnings;  // offset -1 when a warning names no record
};

// The ratio p / q (q > 0, both at most about 10^9) nearest `value` whose
// relative difference from it is below 1e-9 and whose denominator is the
// smallest such: decimal units such as 0.5 nm come out as the exact decimal
// ratio, not as the binary value the 8-byte real decodes to. False when no
// such ratio exists.
bool exact_ratio(double value, std::int64_t& p, std::int64_t& q);

// Reads the stream. Without a map (map == nullptr) only the library and its
// layer counts are read (ok, empty layout). `top` (may be empty) names the
// one structure to place.
GdsReadResult read_gds(ByteSource& source, const LayerMap* map, const std::string& top,
                       const cifread::ReadLimits& limits = {});

}  // namespace gdsread
