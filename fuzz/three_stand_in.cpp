// The fuzz build of kavrit-export leaves three.js out of the viewer page:
// the page's own text and data are what the checks read, and a page without
// the library is written thirty times faster.
#include "export/html_writer.h"

namespace kavrit {
const char* const EMBEDDED_THREE_JS = "";
}  // namespace kavrit
