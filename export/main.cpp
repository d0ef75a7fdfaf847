// kavrit-export: turns a kavrit file into meshes, pictures, glTF, a viewer page or STEP solids.
#include <exception>
#include <iostream>
#include <new>
#include <string>
#include <vector>

#include "export/cli.h"
#include "export/step_writer.h"

int main(int argc, char** argv) {
    // run_export answers every fault of the input or the command line itself;
    // what still comes out here (memory exhausted, a fault of the program) is
    // reported rather than left to abort the process.
    try {
        std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
        return kavrit::run_export(args, std::cout, std::cerr, kavrit::make_step);
    } catch (const std::bad_alloc&) {
        std::cerr << "kavrit-export: out of memory\n";
    } catch (const std::exception& e) {
        std::cerr << "kavrit-export: " << e.what() << "\n";
    } catch (...) {
        std::cerr << "kavrit-export: an unexpected error ended the run\n";
    }
    return 1;
}
