#include "cif/scan_cif.h"
void scan_cif() {}
