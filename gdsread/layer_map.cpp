#include "gdsread/layer_map.h"

#include <vector>

#include "common/file_names.h"

namespace gdsread {

namespace {

bool is_space(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

// A number of the stream's 16-bit layer and data type fields, or -1.
int small_number(std::string_view s) {
    if (s.empty() || s.size() > 5) return -1;
    int v = 0;
    for (const char c : s) {
        if (c < '0' || c > '9') return -1;
        v = v * 10 + (c - '0');
    }
    return v <= 65535 ? v : -1;
}

}  // namespace

const std::string* LayerMap::gdsii_name(int layer, int data_type) const {
    if (const auto it = exact_.find({layer, data_type}); it != exact_.end()) return &it->second;
    if (const auto it = any_type_.find(layer); it != any_type_.end()) return &it->second;
    return nullptr;
}

const std::string* LayerMap::cif_name(const std::string& cif_layer) const {
    const auto it = by_text_.find(cif_layer);
    return it == by_text_.end() ? nullptr : &it->second;
}

LayerMap LayerMap::parse(std::string_view text) {
    LayerMap map;
    std::map<std::string, long> first_line;
    long line_number = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
        ++line_number;
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        if (const std::size_t hash = line.find('#'); hash != std::string_view::npos) line = line.substr(0, hash);
        std::vector<std::string_view> words;
        std::size_t i = 0;
        while (i < line.size()) {
            while (i < line.size() && is_space(line[i])) ++i;
            const std::size_t start = i;
            while (i < line.size() && !is_space(line[i])) ++i;
            if (i > start) words.push_back(line.substr(start, i - start));
        }
        if (words.empty()) continue;
        if (words.size() != 2)
            throw MapError{line_number, "cannot read the entry: expected a source layer and a name, found " +
                                            std::to_string(words.size()) + " words"};
        const std::string source(words[0]);
        const std::string name(words[1]);
        if (!common::layer_name_is_safe(name))
            throw MapError{line_number, "the name \"" + name + "\" cannot name a layer file"};
        if (const auto [it, added] = first_line.emplace(source, line_number); !added)
            throw MapError{line_number, source + " is mapped a second time (first on line " +
                                            std::to_string(it->second) + ")"};
        const std::size_t slash = source.find('/');
        if (slash != std::string::npos) {
            const int layer = small_number(std::string_view(source).substr(0, slash));
            const int data_type = small_number(std::string_view(source).substr(slash + 1));
            if (layer < 0 || data_type < 0)
                throw MapError{line_number, "cannot read \"" + source +
                                                "\" as LAYER/DATATYPE (two numbers from 0 to 65535)"};
            map.exact_[{layer, data_type}] = name;
        } else if (const int layer = small_number(source); layer >= 0) {
            map.any_type_[layer] = name;
        }
        map.by_text_[source] = name;
    }
    return map;
}

}  // namespace gdsread
