#pragma once
// Reads postmason.file and writes the summary and the structure blocks to the output.
int output_structures();
