#include "common/file_names.h"

namespace common {

bool layer_name_is_safe(const std::string& name) {
    if (name.empty()) return false;
    for (const char ch : name) {
        const unsigned char u = static_cast<unsigned char>(ch);
        if (u == '/' || u < 0x20 || u == 0x7f) return false;
    }
    return true;
}

}  // namespace common
