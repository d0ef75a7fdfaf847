// The names of the intermediate files of a run. They are written to the
// current directory only with --keep-intermediates; otherwise what they hold
// passes from stage to stage in memory. The five fixed names are removed from
// the current directory at the end of every run that does not keep them.
#pragma once

#include <string>

namespace common {

// "<name>.gpc": a polygon file (common::PolygonFile). The CIF readers
// (cif/scan_cif, cifread/flatten_stage) make one per layer; the layer recipe
// (layers/recipe_steps) reads them and makes one per body; the box list
// (layers/box_list) reads the final bodies.
inline constexpr const char* POLYGON_FILE_SUFFIX = ".gpc";
inline std::string polygon_file_name(const std::string& body) { return body + POLYGON_FILE_SUFFIX; }

// A layer name that may become a file name in the current directory: not
// empty, no '/', no NUL and no control character. Layers with other names
// make no polygon file.
bool layer_name_is_safe(const std::string& name);

// The empty polygon file: made first by the layer recipe
// (layers/process_layers), read in place of every missing operand of a
// boolean step (layers/recipe_steps).
inline constexpr const char* EMPTY_POLYGON_FILE = "empty.gpc";

// The grown boxes of one body, as the growing step (layers/recipe_steps)
// widens them and its union reads them. Then, anew, one block of box lines
// per structure: made by the structure table (output/structure_table), with
// the box lines that the emission (output/emission) puts into the output.
inline constexpr const char* TMPDATA1_FILE = "tmpdata1.file";

// One grown box at a time, written and read back by the growing step's union
// (layers/recipe_steps, layers/grow); after the recipe it holds the last box
// grown.
inline constexpr const char* TMPDATA2_FILE = "tmpdata2.file";

// The box list: made by layer processing (layers/box_list), read by
// structure grouping (grouping/group_boxes).
inline constexpr const char* PREMASON_FILE = "premason.file";

// The grouped box list: made by structure grouping (grouping/group_boxes),
// read by structure output (output/structure_table).
inline constexpr const char* POSTMASON_FILE = "postmason.file";

// Written by no stage; removed at the end of every run with the others.
inline constexpr const char* MINIMIZEDM_FILE = "minimizedm.file";

// The fixed names removed at the end of a run, in this order.
inline constexpr const char* TEMPORARY_FILES[] = {TMPDATA1_FILE, TMPDATA2_FILE, PREMASON_FILE, POSTMASON_FILE,
                                                  MINIMIZEDM_FILE};

}  // namespace common
