#pragma once

#include <cstdint>
#include <istream>
#include <memory>
#include <span>
#include <streambuf>
#include <string>
#include <string_view>

// Little-endian reads of the record formats from a byte stream the reader owns. Every read on a
// failed stream leaves its output untouched and returns false; `good` tells whether the stream has
// seen neither a failure nor a read past its end.
class BinaryDataReader {
public:
    explicit BinaryDataReader(std::unique_ptr<std::istream> stream);
    virtual ~BinaryDataReader();
    BinaryDataReader(const BinaryDataReader&) = delete;
    BinaryDataReader& operator=(const BinaryDataReader&) = delete;

    // Four identifier bytes and a 32-bit version, which is remembered. Returns the identifier as
    // a text of length 4, or an empty text when the stream failed.
    std::string readHeader();
    // The version read by the last header, -1 before any.
    int32_t version() const { return version_; }

    bool readInt32(int32_t& value);
    bool readFloat(float& value);
    bool readBytes(void* data, size_t size);

    bool good() const;
    // Back to the first byte, clearing any failure; false when the stream cannot seek.
    bool rewind();

protected:
    std::istream& stream() { return *stream_; }

private:
    std::unique_ptr<std::istream> stream_;
    int32_t version_ = -1;
};

// A file opened for binary reading; a file that cannot be opened is a failed stream.
class BinaryFileReader : public BinaryDataReader {
public:
    explicit BinaryFileReader(const std::string& path);
};

// Reads bytes that outlive the reader, without copying them.
class BinaryMemoryReader : public BinaryDataReader {
public:
    explicit BinaryMemoryReader(std::span<const uint8_t> bytes);
};

// The bytes of a named resource (persistence/ResourceOpener.h); throws EResource when missing.
class BinaryResourceReader : public BinaryMemoryReader {
public:
    explicit BinaryResourceReader(std::string_view name);
};
