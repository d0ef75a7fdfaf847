#include "driver/run.h"

int main(int argc, char** argv) { return driver::run_cif2kavrit(argc, argv); }
