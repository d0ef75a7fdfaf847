// The files of a run as the driver opens and finishes them: the CIF file, and
// the -o file, which is written beside its final name and put in place only
// when the conversion is complete, so that a run that fails or is interrupted
// leaves an earlier file of that name as it was.
#pragma once

#include <cstdio>
#include <string>

namespace driver {

// Opens the CIF file for reading. A name that cannot be opened, or that names
// a directory, throws a RunError "Error opening file NAME".
std::FILE* open_input(const std::string& name);

// The CIF file as a stream that can be read again from any point. The readers
// step back over bytes they have read and look at the first bytes of the file
// by position, which a pipe or a FIFO cannot do: such an input is read to its
// end into an anonymous file, which is returned in its place (and `cif`
// closed). Any other file is returned as it is (a device may never end, so it
// is not copied). A failed read throws a RunError "Error reading file NAME".
std::FILE* rereadable_input(std::FILE* cif, const std::string& name);

// Throws a RunError (status 1) when `out_name` names the same
// file (device and inode, after symbolic links) as the open CIF file, before
// anything is opened for writing.
void refuse_output_that_is_input(const std::string& out_name, std::FILE* cif, const std::string& cif_name);

// Opens the output named with -o. A regular file, or a name not yet taken, is
// written to a new file in the same directory (the directory of the final
// target when the name is a symbolic link), which finish_output renames onto
// the target: a replaced file keeps its permission bits, a new one gets those
// that creating it directly would give. A FIFO, a device or any other special
// file is written straight through, and so is a regular file whose temporary
// neighbour cannot be made (or would not keep its owner or its other links).
// A name that cannot be opened throws a RunError "Error opening file NAME".
//
// Until finish_output, a run that ends early (a RunError, an exception
// that leaves main, or one of the signals of clean_up_on_signals) removes the
// temporary file, or a regular file it was writing in place.
std::FILE* open_output(const std::string& name);

// Closes the output and puts it in place. A failed write, close or rename
// throws a RunError "Error writing file NAME".
void finish_output(std::FILE* file, const std::string& name);

// On SIGINT, SIGTERM and SIGHUP (those not ignored when the run starts)
// removes the unfinished output as above and, in a run that does not keep its
// intermediate files, the fixed names the run removes at its end; the process
// then ends by the signal as it would without the handler. Called before the
// output is opened, so that no moment is left without the clean-up.
void clean_up_on_signals(bool keep_intermediates);

}  // namespace driver
