// The GDSII stream format, record by record: a two-byte length (header
// included), a record type byte and a data type byte, then the data. The
// reader holds one record at a time in a buffer of at most 65,535 bytes and
// never trusts a length: one that is odd, below 4 or past the end of the
// input ends the reading with the record's byte offset.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace gdsread {

// Ends the reading with a message naming the byte offset of a record (-1:
// no offset).
struct GdsError {
    long long offset = -1;
    std::string text;
};

enum RecordType : std::uint8_t {
    HEADER = 0x00,
    BGNLIB = 0x01,
    LIBNAME = 0x02,
    UNITS = 0x03,
    ENDLIB = 0x04,
    BGNSTR = 0x05,
    STRNAME = 0x06,
    ENDSTR = 0x07,
    BOUNDARY = 0x08,
    PATH = 0x09,
    SREF = 0x0A,
    AREF = 0x0B,
    TEXT = 0x0C,
    LAYER = 0x0D,
    DATATYPE = 0x0E,
    WIDTH = 0x0F,
    XY = 0x10,
    ENDEL = 0x11,
    SNAME = 0x12,
    COLROW = 0x13,
    NODE = 0x15,
    TEXTTYPE = 0x16,
    STRANS = 0x1A,
    MAG = 0x1B,
    ANGLE = 0x1C,
    PATHTYPE = 0x21,
    NODETYPE = 0x2A,
    BOX = 0x2D,
    BOXTYPE = 0x2E,
    BGNEXTN = 0x30,
    ENDEXTN = 0x31,
    LAST_KNOWN_TYPE = 0x45,  // CONTACT; every type up to it is a record of the stream format
};

// The name of a record type for messages ("XY"), or "0x58" for one the
// format does not define.
std::string record_name(std::uint8_t type);

// The 8-byte real of the stream format: sign bit, 7-bit exponent of 16 in
// excess 64, 56-bit fraction.
double decode_real8(const std::uint8_t* bytes);

// A source of bytes: the file of a run, or bytes in memory.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Up to `size` bytes into `to`; fewer only at the end of the input.
    virtual std::size_t read(std::uint8_t* to, std::size_t size) = 0;
};

class FileSource : public ByteSource {
public:
    explicit FileSource(std::FILE* file) : file_(file) {}
    std::size_t read(std::uint8_t* to, std::size_t size) override { return std::fread(to, 1, size, file_); }

private:
    std::FILE* file_;
};

class MemorySource : public ByteSource {
public:
    MemorySource(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::size_t read(std::uint8_t* to, std::size_t size) override;

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

struct Record {
    std::uint8_t type = 0;
    std::uint8_t data_type = 0;
    long long offset = 0;  // of the record's first byte
    std::vector<std::uint8_t> data;  // without the four header bytes

    std::int16_t int16(std::size_t i) const {
        return static_cast<std::int16_t>(static_cast<std::uint16_t>(data[2 * i] << 8 | data[2 * i + 1]));
    }
    std::int32_t int32(std::size_t i) const {
        const std::size_t k = 4 * i;
        return static_cast<std::int32_t>(std::uint32_t{data[k]} << 24 | std::uint32_t{data[k + 1]} << 16 |
                                         std::uint32_t{data[k + 2]} << 8 | std::uint32_t{data[k + 3]});
    }
    double real8(std::size_t i) const { return decode_real8(data.data() + 8 * i); }
    // The ASCII string of the record, without the NUL bytes that pad it.
    std::string text() const;
};

class RecordReader {
public:
    explicit RecordReader(ByteSource& source) : source_(source) {}
    // The next record; false at a clean end of the input (no byte left).
    // Throws GdsError for a record cut short or a length that is not sound.
    bool next(Record& record);
    long long offset() const { return offset_; }

private:
    ByteSource& source_;
    long long offset_ = 0;
};

}  // namespace gdsread
