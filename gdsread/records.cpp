#include "gdsread/records.h"

#include <cmath>
#include <cstring>

namespace gdsread {

namespace {

const char* const NAMES[] = {
    "HEADER",    "BGNLIB",   "LIBNAME",      "UNITS",      "ENDLIB",    "BGNSTR",    "STRNAME",  "ENDSTR",
    "BOUNDARY",  "PATH",     "SREF",         "AREF",       "TEXT",      "LAYER",     "DATATYPE", "WIDTH",
    "XY",        "ENDEL",    "SNAME",        "COLROW",     "TEXTNODE",  "NODE",      "TEXTTYPE", "PRESENTATION",
    "SPACING",   "STRING",   "STRANS",       "MAG",        "ANGLE",     "UINTEGER",  "USTRING",  "REFLIBS",
    "FONTS",     "PATHTYPE", "GENERATIONS",  "ATTRTABLE",  "STYPTABLE", "STRTYPE",   "ELFLAGS",  "ELKEY",
    "LINKTYPE",  "LINKKEYS", "NODETYPE",     "PROPATTR",   "PROPVALUE", "BOX",       "BOXTYPE",  "PLEX",
    "BGNEXTN",   "ENDEXTN",  "TAPENUM",      "TAPECODE",   "STRCLASS",  "RESERVED",  "FORMAT",   "MASK",
    "ENDMASKS",  "LIBDIRSIZE", "SRFNAME",    "LIBSECUR",   "BORDER",    "SOFTFENCE", "HARDFENCE", "SOFTWIRE",
    "HARDWIRE",  "PATHPORT", "NODEPORT",     "USERCONSTRAINT", "SPACER_ERROR", "CONTACT",
};
static_assert(sizeof(NAMES) / sizeof(NAMES[0]) == LAST_KNOWN_TYPE + 1);

}  // namespace

std::string record_name(std::uint8_t type) {
    if (type <= LAST_KNOWN_TYPE) return NAMES[type];
    static const char HEX[] = "0123456789ABCDEF";
    return std::string("0x") + HEX[type >> 4] + HEX[type & 15];
}

double decode_real8(const std::uint8_t* b) {
    std::uint64_t fraction = 0;
    for (int i = 1; i < 8; ++i) fraction = fraction << 8 | b[i];
    const int exponent = (b[0] & 0x7f) - 64;
    // fraction / 2^56 * 16^exponent, exact in a double for every 53-bit part.
    const double value = std::ldexp(static_cast<double>(fraction), 4 * exponent - 56);
    return (b[0] & 0x80) != 0 ? -value : value;
}

std::size_t MemorySource::read(std::uint8_t* to, std::size_t size) {
    const std::size_t n = std::min(size, size_ - pos_);
    if (n > 0) std::memcpy(to, data_ + pos_, n);
    pos_ += n;
    return n;
}

std::string Record::text() const {
    std::string s(data.begin(), data.end());
    while (!s.empty() && s.back() == '\0') s.pop_back();
    return s;
}

bool RecordReader::next(Record& record) {
    std::uint8_t head[4];
    const std::size_t got = source_.read(head, 4);
    if (got == 0) return false;
    record.offset = offset_;
    if (got < 4) throw GdsError{offset_, "the file ends inside a record header (truncated file)"};
    const unsigned length = static_cast<unsigned>(head[0]) << 8 | head[1];
    record.type = head[2];
    record.data_type = head[3];
    if (length < 4)
        throw GdsError{offset_, "record length " + std::to_string(length) + " is below 4"};
    if (length % 2 != 0)
        throw GdsError{offset_, "record length " + std::to_string(length) + " is odd"};
    record.data.resize(length - 4);
    const std::size_t body = source_.read(record.data.data(), record.data.size());
    if (body < record.data.size())
        throw GdsError{offset_, "record " + record_name(record.type) + " of length " + std::to_string(length) +
                                    " reaches past the end of the file (truncated file)"};
    offset_ += length;
    return true;
}

}  // namespace gdsread
