// The list of polygon files that the CIF split and the layer recipe create, so
// that layer processing can remove them all once the box list is written.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

// Opens `name` with `mode` through open_or_exit and records the name.
std::FILE* open_created_file(const std::string& name, const char* mode);

// Appends `name` to the list (names of any length; a name opened twice is recorded twice).
void record_created_file(const std::string& name);

// Removes every recorded file in list order, ignoring failures, then empties the list.
void remove_created_files();

// Empties the list without removing anything.
void release_created_files();

// The names recorded so far, in order (for tests and diagnostics).
const std::vector<std::string>& created_files();
