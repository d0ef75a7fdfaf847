// The intermediate results of a run as the stages report them. A stage that
// makes an intermediate (a polygon file, a scratch file of the growing step,
// the box list, the grouped box list, the structure blocks) hands it to the
// run's Trace under its file name (file_names.h), when the run has one. The
// driver owns the trace: with --keep-intermediates it writes each report to
// the current directory as a file of that name; otherwise there is none, and
// the stages build no text for it.
#pragma once

#include <string>
#include <string_view>

namespace common {

class PolygonFile;

class Trace {
public:
    virtual ~Trace() = default;

    // The intermediate `name` holds `text`, replacing what it held before.
    virtual void made(const std::string& name, std::string_view text) = 0;

    // A polygon file, as its bytes (PolygonFile::render).
    virtual void made(const std::string& name, const PolygonFile& file);
};

}  // namespace common
