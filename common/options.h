// The run settings: what the command line asks for. One value per run, filled
// by the driver and read (never changed) by the stages.
#pragma once

#include <string>

namespace common {

struct Options {
    std::string program_name;
    std::string cif_name;
    std::string out_name;
    bool summary = false;             // -s
    bool group = false;               // -r
    bool linkage = true;              // off only with exactly -nolinkage
    bool keep_intermediates = false;  // --keep-intermediates
    bool flatten = false;             // --flatten: the CIF reader that places symbols
    std::string layers_name;          // --layers FILE: the layer map (GDSII, and CIF with the placing reader)
    std::string top_name;             // --top NAME: the one GDSII structure to place
    int threads = 0;                  // --threads N: at most N threads; 0: as the machine has (driver/threads.h)
};

}  // namespace common
