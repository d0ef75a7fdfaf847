#pragma once
// Splits the CIF file (run_settings.cif_stream) into one polygon file per layer
// in the current directory, <layer>.gpc, each box a four-vertex contour. The
// rest of the line of an end command goes to the output destination.
void scan_cif();
