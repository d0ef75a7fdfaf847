// The fuzz build of kavrit-export leaves three.js and the page's own script
// out of the viewer page: the page's text and data are what the checks read,
// and a page without the library is written thirty times faster.
#include "export/html_writer.h"

namespace kavrit {
const char* const EMBEDDED_THREE_JS = "";
const char* const VIEWER_JS = "";
}  // namespace kavrit
