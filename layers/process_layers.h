#pragma once
// Derives the device bodies from the layer files and writes premason.file.
void process_layers();
