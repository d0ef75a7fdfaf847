#include "layers/process_layers.h"
void process_layers() {}
