#include "driver/run.h"
#include "driver/threads.h"

int main(int argc, char** argv) {
    driver::tune_allocator();
    return driver::run_cif2kavrit(argc, argv);
}
