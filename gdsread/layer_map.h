// The layer map of --layers: which source layers become which layers of the
// process. One entry a line: "LAYER/DATATYPE NAME" or "LAYER NAME" (any data
// type) for GDSII, "CIFNAME NAME" for CIF; '#' starts a comment that runs to
// the end of the line. Several sources may map to one name.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <utility>

namespace gdsread {

struct MapError {
    long line;
    std::string text;
};

class LayerMap {
public:
    // The name a GDSII layer/data type pair goes to, or nullptr when the map
    // leaves it out. An exact LAYER/DATATYPE entry wins over a LAYER entry.
    const std::string* gdsii_name(int layer, int data_type) const;
    // The name a CIF layer goes to, or nullptr.
    const std::string* cif_name(const std::string& cif_layer) const;

    bool empty() const { return by_text_.empty(); }

    // Reads a map text; throws MapError naming the line of an entry that
    // cannot be read or that maps a source a second time.
    static LayerMap parse(std::string_view text);

private:
    std::map<std::pair<int, int>, std::string> exact_;
    std::map<int, std::string> any_type_;
    std::map<std::string, std::string> by_text_;  // every entry by its source as written
};

}  // namespace gdsread
