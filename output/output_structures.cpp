#include "output/output_structures.h"
int output_structures() { return 0; }
