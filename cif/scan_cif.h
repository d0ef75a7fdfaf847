#pragma once
// Splits the CIF file (run_settings.cif_stream) into one polygon file per layer.
void scan_cif();
