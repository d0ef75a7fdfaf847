// The structure of a stream: HEADER, library records, structures (BGNSTR,
// STRNAME, elements, ENDSTR) and ENDLIB. Records of the format that carry
// nothing the converter uses (properties, ELFLAGS, PLEX, PRESENTATION, the
// string and library records) are passed over; record types the format does
// not define are noted once each and passed over too.
#include <cmath>

#include "cifread/depth_first.h"
#include "gdsread/library.h"

namespace gdsread {

namespace {

bool starts_element(std::uint8_t type) {
    return type == BOUNDARY || type == PATH || type == SREF || type == AREF || type == TEXT || type == NODE ||
           type == BOX;
}

class LibraryReader {
public:
    explicit LibraryReader(ByteSource& source) : reader_(source) {}

    Library run() {
        if (!reader_.next(rec_)) throw GdsError{0, "the file is empty"};
        if (rec_.type != HEADER) throw GdsError{0, "not a GDSII stream: the first record is not HEADER"};
        for (;;) {
            next();
            switch (rec_.type) {
                case UNITS:
                    units();
                    break;
                case BGNSTR:
                    if (!(lib_.database_unit > 0))
                        throw GdsError{rec_.offset, "BGNSTR before the UNITS record"};
                    structure();
                    break;
                case ENDLIB:
                    resolve();
                    return std::move(lib_);
                case HEADER:
                case STRNAME:
                case ENDSTR:
                case ENDEL:
                    out_of_place("outside a structure");
                default:
                    if (starts_element(rec_.type)) out_of_place("outside a structure");
                    break;  // library records, passed over
            }
        }
    }

private:
    void next() {
        if (!reader_.next(rec_)) throw GdsError{reader_.offset(), "the file ends before ENDLIB (truncated file)"};
        if (rec_.type > LAST_KNOWN_TYPE) lib_.unknown_types.emplace(rec_.type, rec_.offset);
    }

    [[noreturn]] void out_of_place(const char* where) const {
        throw GdsError{rec_.offset, record_name(rec_.type) + " record " + where};
    }

    void need(std::size_t bytes, const char* what) const {
        if (rec_.data.size() < bytes)
            throw GdsError{rec_.offset, record_name(rec_.type) + " record holds " + std::to_string(rec_.data.size()) +
                                            " bytes, too few for " + what};
    }
    int uint16_field() const {
        need(2, "a 2-byte integer");
        return static_cast<std::uint16_t>(rec_.int16(0));
    }
    std::int64_t int32_field() const {
        need(4, "a 4-byte integer");
        return rec_.int32(0);
    }
    double real_field() const {
        need(8, "an 8-byte real");
        const double v = rec_.real8(0);
        return v;
    }

    void units() {
        need(16, "two 8-byte reals");
        const double metres = rec_.real8(1);
        if (!(metres > 0) || !std::isfinite(metres))
            throw GdsError{rec_.offset, "the database unit in UNITS is not a positive number of metres"};
        lib_.database_unit = metres;
    }

    void structure() {
        Structure s;
        s.offset = rec_.offset;
        bool named = false;
        for (;;) {
            next();
            if (rec_.type == STRNAME) {
                s.name = rec_.text();
                named = true;
                continue;
            }
            if (rec_.type == ENDSTR) break;
            if (starts_element(rec_.type)) {
                if (!named) throw GdsError{rec_.offset, "element before the structure's STRNAME"};
                element(s);
                continue;
            }
            if (rec_.type == BGNSTR || rec_.type == ENDLIB || rec_.type == HEADER || rec_.type == UNITS ||
                rec_.type == ENDEL)
                out_of_place("inside a structure (ENDSTR missing)");
            // Anything else (STRCLASS, properties, unknown types) is passed over.
        }
        if (!named) throw GdsError{s.offset, "structure without STRNAME"};
        const auto [it, added] = lib_.index.emplace(s.name, static_cast<int>(lib_.structures.size()));
        if (!added)
            throw GdsError{s.offset, "structure " + s.name + " defined twice (first at offset " +
                                         std::to_string(lib_.structures[static_cast<std::size_t>(it->second)].offset) +
                                         ")"};
        lib_.structures.push_back(std::move(s));
    }

    void points(std::vector<common::Point64>& out) const {
        if (rec_.data.size() % 8 != 0 || rec_.data.empty())
            throw GdsError{rec_.offset, "XY record of " + std::to_string(rec_.data.size()) +
                                            " bytes does not hold whole points"};
        out.clear();
        for (std::size_t i = 0; i < rec_.data.size() / 8; ++i) out.push_back({rec_.int32(2 * i), rec_.int32(2 * i + 1)});
    }

    void element(Structure& s) {
        const std::uint8_t kind = rec_.type;
        const long long offset = rec_.offset;
        Shape shape;
        shape.offset = offset;
        Reference ref;
        ref.offset = offset;
        std::vector<common::Point64> xy;
        bool has_xy = false;
        bool has_layer = false;
        bool has_name = false;
        bool has_colrow = false;
        for (;;) {
            next();
            const std::uint8_t t = rec_.type;
            if (t == ENDEL) break;
            if (starts_element(t) || t == BGNSTR || t == ENDSTR || t == ENDLIB || t == HEADER || t == UNITS ||
                t == STRNAME)
                out_of_place("inside an element (ENDEL missing)");
            switch (t) {
                case LAYER:
                    shape.layer = uint16_field();
                    has_layer = true;
                    break;
                case DATATYPE:
                case BOXTYPE:
                    shape.data_type = uint16_field();
                    break;
                case PATHTYPE:
                    shape.path_type = static_cast<std::int16_t>(uint16_field());
                    break;
                case WIDTH:
                    shape.width = int32_field();
                    break;
                case BGNEXTN:
                    shape.begin_extension = int32_field();
                    break;
                case ENDEXTN:
                    shape.end_extension = int32_field();
                    break;
                case XY:
                    points(xy);
                    has_xy = true;
                    break;
                case SNAME:
                    ref.name = rec_.text();
                    has_name = true;
                    break;
                case COLROW:
                    need(4, "two 2-byte integers");
                    ref.columns = rec_.int16(0);
                    ref.rows = rec_.int16(1);
                    has_colrow = true;
                    break;
                case STRANS: {
                    const int bits = uint16_field();
                    ref.reflect = (bits & 0x8000) != 0;
                    ref.absolute_magnification = (bits & 0x0004) != 0;
                    ref.absolute_angle = (bits & 0x0002) != 0;
                    break;
                }
                case MAG:
                    ref.magnification = real_field();
                    break;
                case ANGLE:
                    ref.angle = real_field();
                    break;
                default:
                    break;  // ELFLAGS, PLEX, properties, TEXTTYPE, NODETYPE, PRESENTATION, STRING, ...
            }
        }
        const std::string name = record_name(kind);
        if (kind == TEXT || kind == NODE) return;  // not geometry
        if (!has_xy) throw GdsError{offset, name + " element without XY"};
        if (kind == SREF || kind == AREF) {
            if (!has_name) throw GdsError{offset, name + " element without SNAME"};
            ref.origin = xy[0];
            if (kind == AREF) {
                if (!has_colrow) throw GdsError{offset, "AREF element without COLROW"};
                if (ref.columns <= 0 || ref.rows <= 0)
                    throw GdsError{offset, "AREF with " + std::to_string(ref.columns) + " columns and " +
                                               std::to_string(ref.rows) + " rows (both must be at least 1)"};
                if (xy.size() < 3) throw GdsError{offset, "AREF element with fewer than three points in XY"};
                ref.array = true;
                ref.column_end = xy[1];
                ref.row_end = xy[2];
            }
            if (!std::isfinite(ref.magnification) || !(ref.magnification > 0))
                throw GdsError{offset, name + " with a magnification that is not a positive number"};
            if (!std::isfinite(ref.angle)) throw GdsError{offset, name + " with an angle that is not a number"};
            s.references.push_back(std::move(ref));
            return;
        }
        if (!has_layer) throw GdsError{offset, name + " element without LAYER"};
        shape.kind = kind == PATH ? ShapeKind::Path : kind == BOX ? ShapeKind::Box : ShapeKind::Boundary;
        if (kind == PATH && shape.path_type != 0 && shape.path_type != 1 && shape.path_type != 2 &&
            shape.path_type != 4)
            throw GdsError{offset, "PATHTYPE " + std::to_string(shape.path_type) + " is none of 0, 1, 2 and 4"};
        shape.points = std::move(xy);
        s.shapes.push_back(std::move(shape));
    }

    // Every reference to its structure; then no structure may reach itself.
    void resolve() {
        for (Structure& s : lib_.structures) {
            const bool context = s.name == CONTEXT_STRUCTURE;
            for (Reference& r : s.references) {
                const auto it = lib_.index.find(r.name);
                if (it != lib_.index.end()) {
                    r.target = it->second;
                } else if (!context) {
                    throw GdsError{r.offset, "reference to undefined structure " + r.name};
                }
            }
        }
        check_cycles();
    }

    void check_cycles() {
        const auto name = [&](int s) -> const std::string& { return lib_.structures[static_cast<std::size_t>(s)].name; };
        cifread::depth_first(
            lib_.structures.size(),
            [&](int s) -> const std::vector<Reference>& { return lib_.structures[static_cast<std::size_t>(s)].references; },
            [](const Reference& r) { return r.target; },
            [&](const Reference& r, const std::vector<cifread::DepthFirstFrame>& stack) {
                // The chain from the target back to it, at most a few names.
                std::string chain;
                std::size_t first = stack.size();
                while (first > 0 && stack[first - 1].node != r.target) --first;
                if (first > 0) --first;
                const std::size_t shown = std::min<std::size_t>(stack.size() - first, 8);
                for (std::size_t i = first; i < first + shown; ++i) chain += name(stack[i].node) + " -> ";
                if (first + shown < stack.size()) chain += "... -> ";
                chain += name(r.target);
                throw GdsError{r.offset, "structure " + name(r.target) + " references itself (" + chain + ")"};
            },
            [](int) {});
    }

    RecordReader reader_;
    Record rec_;
    Library lib_;
};

}  // namespace

Library read_library(ByteSource& source) { return LibraryReader(source).run(); }

}  // namespace gdsread
