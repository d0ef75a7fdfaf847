// The inputs the fuzz targets feed to the converter, and the checks they make
// on what comes back. Built both into the libFuzzer targets (clang, fuzz/) and
// into the regression tests that replay the committed inputs with the normal
// compiler (tests/fuzz_regressions/), so both go through the same code.
//
// Every entry returns an empty string when the run held up, else a line that
// says what went wrong; the fuzz targets abort on such a line, the tests
// print it. Sanitizer reports and crashes come on their own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

namespace fuzz_entry {

// A private temporary directory with a working folder in it. The stages run
// in the working folder; the input and output files of a run lie one level up,
// so no name a layout can make collides with them.
class ScratchDirectory {
public:
    ScratchDirectory();
    ~ScratchDirectory();
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;

    const std::filesystem::path& root() const { return root_; }
    const std::filesystem::path& work() const { return work_; }

    // Makes the working folder the current directory (and back).
    void enter();
    void leave();

    // Names of the entries left in the working folder, comma separated, and
    // removes them.
    std::string clear_work();

private:
    std::filesystem::path root_;
    std::filesystem::path work_;
    std::filesystem::path previous_;
};

// The CIF scanner on raw bytes: the bytes become the CIF file, scan_cif()
// splits it into layer files in memory, every one of which must read back as
// a polygon file, and nothing may be written to the working folder.
std::string scan_cif_bytes(ScratchDirectory& dir, const std::uint8_t* data, std::size_t size);

// The CIF reader of --flatten on raw bytes, with limits small enough for
// fuzzing. When it reads the bytes, each layer's boxes must be non-empty,
// sorted by (ymin, xmin) and apart from each other, cutting them again must
// give them back unchanged, a second read must give the same result, and the
// layer files made from it must hold every box, with nothing written to the
// working folder.
std::string cifread_bytes(ScratchDirectory& dir, const std::uint8_t* data, std::size_t size);

// The polygon file readers on raw bytes: the polygon library's reader, each
// operation of the polygon and strip clippers on what it read (against itself
// and between its even and odd contours, with the areas checked against each
// other), the quad writer read back, and the growing step, the copy and the
// box list of layer processing on the same bytes as a body file.
std::string polygon_bytes(ScratchDirectory& dir, const std::uint8_t* data, std::size_t size);

// The whole conversion on raw bytes as the CIF file, stage by stage as the run
// driver calls them, with the output in a file beside the working folder. The
// options -s, -r and -nolinkage come from the three low bits of the size. The
// output must end with the footer, and nothing may be written to the working
// folder.
std::string pipeline_bytes(ScratchDirectory& dir, const std::uint8_t* data, std::size_t size);

// kavrit-export on raw bytes as the kavrit file (fuzz/export_entry.cpp).
// Inputs that begin with '!' and hold at least 8 bytes take the options from
// those bytes: byte 1 the format (.svg, .obj, .stl, .glb, .html), byte 2 the
// flags for --view, --pose, --raise and --z-scale, bytes 3 to 7 their values
// (--z-scale from 0.0003 up to far beyond any format); other inputs are
// files alone, the format by their size.  The run must end with status 0, 1
// or 2, a message exactly when it refuses, and no file of a refused run
// nor any temporary left.  What is written must be finite and well-formed:
// the SVG closed, with plain numbers as coordinates; every OBJ vertex finite
// and every face of four given vertices; the STL 84 bytes and 50 per triangle,
// every float finite; the glTF's container right, its JSON valid and free of
// null, the model loadable by tinygltf with finite floats; the page's data a
// valid JSON text with such a glTF in it.  With bit 1 or 2 of byte 7 set, the
// run is --check and --ranges (--json when both are set) at that pose instead:
// their statuses and reports, the grid's pairs against a test of every pair,
// range ends within a full turn and free of new collisions when turned to,
// the range search under a small bound of work (collisions_and_ranges).
std::string export_bytes(ScratchDirectory& dir, const std::uint8_t* data, std::size_t size);

// The GDSII reader on raw bytes, with a map of layers 0 to 15 and limits
// small enough for fuzzing: a read must end with a message or with boxes that
// hold up as cifread_bytes checks them, a second read must give the same, and
// a read without a map must end the same way as far as the library goes.
std::string gdsread_bytes(ScratchDirectory& dir, const std::uint8_t* data, std::size_t size);

}  // namespace fuzz_entry
