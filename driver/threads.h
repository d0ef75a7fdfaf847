// The thread policy of a run, chosen here once and handed to the stages: how
// many threads the layer recipe and the grouping may use, and how the
// allocator is set up for them. See "Performance architecture" in
// CONTRIBUTING.md.
#pragma once

#include <optional>
#include <string>

namespace driver {

// --threads N (or --threads=N): at most N threads for each stage.
inline constexpr const char* THREADS_OPTION = "--threads";

// The largest N that --threads takes.
inline constexpr int MAX_THREADS_OPTION = 256;

// Beyond this many threads the recipe gains nothing (it has few steps that can
// run at once, and the largest steps are kept apart to bound the memory), so
// the default stops here even on machines with more cores.
inline constexpr int MOST_USEFUL_THREADS = 4;

// The value of --threads: a whole number from 1 to MAX_THREADS_OPTION written
// in decimal digits alone; nothing for any other text.
std::optional<int> read_thread_count(const std::string& text);

// The threads of a run: `requested` when the command line gave one (not 0),
// else what the machine has, at most MOST_USEFUL_THREADS.
int run_threads(int requested);

// Sets the allocator up for a run (see threads.cpp); called once, before the
// stages start a thread.
void tune_allocator();

}  // namespace driver
