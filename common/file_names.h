// The names of the intermediate files of a run. They are written to the
// current directory only with --keep-intermediates; otherwise they exist as
// buffers passed from stage to stage. The five fixed names are removed from
// the current directory at the end of every run all the same.
#pragma once

#include <string>

namespace common {

// "<name>.gpc": a polygon file. The CIF reader writes one per layer
// (cif/, cifread/); the layer recipe (layers/) reads them and writes one per
// body it makes; the box list (layers/box_list) reads the final bodies.
inline constexpr const char* POLYGON_FILE_SUFFIX = ".gpc";
inline std::string polygon_file_name(const std::string& body) { return body + POLYGON_FILE_SUFFIX; }

// A layer name that may become a file name in the current directory: not
// empty, no '/', no NUL and no control character. Layers with other names
// make no polygon file.
bool layer_name_is_safe(const std::string& name);

// The empty polygon file: written first by the layer recipe, read in place of
// every missing operand of a boolean step and as the start of a growing step.
inline constexpr const char* EMPTY_POLYGON_FILE = "empty.gpc";

// The grown boxes of one body: written by the growing step (layers/grow),
// read by its union. Written anew by structure output (output/) with one
// block per structure, which emission reads.
inline constexpr const char* TMPDATA1_FILE = "tmpdata1.file";

// One grown box at a time: written and read by the growing step's union
// (layers/grow); after the recipe it holds the last box grown.
inline constexpr const char* TMPDATA2_FILE = "tmpdata2.file";

// The box list: written by layer processing (layers/box_list), read by
// structure grouping (grouping/).
inline constexpr const char* PREMASON_FILE = "premason.file";

// The grouped box list: written by structure grouping (grouping/), read by
// structure output (output/).
inline constexpr const char* POSTMASON_FILE = "postmason.file";

// Written by no stage; removed at the end of every run with the others.
inline constexpr const char* MINIMIZEDM_FILE = "minimizedm.file";

// The fixed names removed at the end of a run, in this order.
inline constexpr const char* TEMPORARY_FILES[] = {TMPDATA1_FILE, TMPDATA2_FILE, PREMASON_FILE, POSTMASON_FILE,
                                                  MINIMIZEDM_FILE};

}  // namespace common
