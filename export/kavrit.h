// The kavrit file model and its reader.
//
// A kavrit file, as cif2kavrit writes it, is: whatever text followed the CIF
// end command, a header of '#' comment lines that names the CIF input file,
// an optional summary of the structure analysis, one block per structure and
// the footer line "# end of kavrit file".  A block reads
//
//       (empty line)
//       # structure 3 start -----------------
//       # (struct 3 in the neighbor summary.)      only with -s
//       {
//         anchor: false
//         link 3 start                             one per chain entry but the last
//         link 2 member
//         rotate: +x 0.00 2.00 2.00                not for anchored structures
//                                                  (empty line)
//         reflect start                            only with a reflector
//         4.0 2.0 1.5 10.0 5.0 7.0
//         reflect end
//                                                  (empty line)
//         4.0 2.0 2.0 10.0 5.0 2.0                 boxes: three sizes, three centre coordinates
//       }
//       # structure 3 end -----------------
//
// read_kavrit() turns such a text into a `Layout` or throws `ParseError`
// naming the line and what was expected there.
#pragma once

#include <array>
#include <istream>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace kavrit {

// An axis-aligned box given, as in the file, by its sizes and its centre.
struct SizedBox {
    std::array<double, 3> size{};    // x, y, z extent, each >= 0
    std::array<double, 3> centre{};  // x, y, z of the centre
    int line = 0;                    // its line in the file, for messages (0: not from a file)

    double lo(int axis) const { return centre[axis] - size[axis] / 2; }
    double hi(int axis) const { return centre[axis] + size[axis] / 2; }
};

// The hinge axis of a structure: a line through `point` along x or y.
struct Rotation {
    char axis = 'y';  // 'x' or 'y'
    std::array<double, 3> point{};
};

enum class Kind { anchored, hinged, free };

const char* kind_name(Kind kind);

struct Structure {
    int output_number = 0;           // the running number of the start and end lines
    std::optional<int> table_index;  // from the cross-reference line, when the file has one
    bool anchored = false;
    std::vector<int> chain;          // the link lines in order: the structure itself, then its parents
    std::optional<Rotation> rotation;
    std::optional<SizedBox> reflector;
    std::vector<SizedBox> boxes;
    int first_line = 0;              // line of the start line, for messages

    // The number the link lines and the summary use for this structure: the
    // cross-referenced index, or else the block's own number (they agree
    // unless the file was written in grouped order without a summary).
    int number() const { return table_index ? *table_index : output_number; }

    // Anchored when the anchor line says so, hinged when it has link lines
    // (it hangs from another structure), free otherwise.
    Kind kind() const;

    // The parent named by the link lines (the second chain entry), if any.
    // A structure hinged straight to its anchor names no parent there.
    std::optional<int> listed_parent() const;
};

// The figures of the optional summary block.
struct Summary {
    int structure_count = 0;
    int box_count = 0;
    std::map<int, std::vector<int>> neighbors;  // structure -> its neighbours
    std::map<int, int> parents;                 // structure -> parent (-1 for none); only with linkage
    int first_line = 0;
};

struct Layout {
    std::string cif_name;  // as the header names it
    std::optional<Summary> summary;
    std::vector<Structure> structures;  // in file order

    // Number of box lines of all structures (reflectors not counted).
    std::size_t box_count() const;
    // Number of reflector lines.
    std::size_t reflector_count() const;
    // The structure's parent as far as the file tells: the summary's linkage
    // line when there is one, else the link lines.
    std::optional<int> parent_of(const Structure& s) const;
};

class ParseError : public std::runtime_error {
public:
    ParseError(int line, const std::string& what);
    int line() const { return line_; }

private:
    int line_;
};

// Reads a whole kavrit file.  Throws ParseError for a text that cif2kavrit
// would not have written (the message starts with "line N: ").
Layout read_kavrit(std::istream& in);

// Parses one number as the file writes it ("-12.5"); only plain decimal
// notation within +-1e15 is taken.  Returns nothing for anything else.
std::optional<double> parse_number(const std::string& text);

}  // namespace kavrit
