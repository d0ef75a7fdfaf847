#include "common/trace.h"

#include "common/polygon_file.h"

namespace common {

void Trace::made(const std::string& name, const PolygonFile& file) { made(name, file.render()); }

}  // namespace common
