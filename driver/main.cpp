#include "driver/run.h"

int main(int argc, char** argv) { return run_cif2kavrit(argc, argv); }
