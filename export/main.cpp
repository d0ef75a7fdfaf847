// kavrit-export: turns a kavrit file into meshes, pictures, glTF, a viewer page or STEP solids.
#include <iostream>
#include <string>
#include <vector>

#include "export/cli.h"
#include "export/step_writer.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    return kavrit::run_export(args, std::cout, std::cerr, kavrit::make_step);
}
