// kavrit-export: turns a kavrit file into OBJ, STL or an SVG picture.
#include <iostream>
#include <string>
#include <vector>

#include "export/cli.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    return kavrit::run_export(args, std::cout, std::cerr);
}
