// Layer processing: the fixed recipe that derives the device's bodies from its
// CIF layers, and the lifting of the final bodies into the box list.
#pragma once

#include <cstddef>
#include <vector>

#include "common/box.h"
#include "common/polygon_file.h"
#include "layers/process.h"

namespace layers {

void run_recipe_step(common::PolygonFiles& files, const RecipeStep& step);

// Layouts with fewer vertices than this in their layer files run the recipe on
// one thread: below it a second thread costs more than it saves.
inline constexpr std::size_t THREADED_LAYOUT_VERTICES = 40'000;

// A clipping step holds some 50 to 65 bytes per vertex of its operands
// while it runs (its sweep and its result; the operands are read from their
// files as it goes). A second thread starts a step only while the operands
// of the steps running stay under this many vertices, which keeps the
// largest steps of a big layout apart; a step alone always runs, and so does
// a step of less than an eighth of it.
inline constexpr std::size_t CONCURRENT_VERTICES = 12'000'000;

// Creates empty.gpc, runs the recipe over the layer files and lifts the final
// bodies into the box list. Steps that do not read each other's bodies run on
// `threads` threads (0: `most_threads` for large layouts, one for small ones
// and when the files have a trace, whose scratch files must be written in the
// recipe's order) as far as `concurrent_vertices` allows; the result is the
// one of the steps run in order, for any number of threads. With a trace,
// premason.file is reported to it too.
std::vector<common::Box> process_layers(common::PolygonFiles files, int threads = 0,
                                        std::size_t concurrent_vertices = CONCURRENT_VERTICES,
                                        int most_threads = 2);

}  // namespace layers
